#!/usr/bin/env bash
# Ends the real desktop program with SIGTERM while it holds an unsaved edit: the data file stays as
# it was, the edit is in the recovery file beside it (encrypted with the file's password) and the
# settings are written. The next start on the file offers the recovery file; restored and saved,
# the edit is in the data file. A SIGTERM while a dialog is up ends the program as well.
# Usage: desktop_terminate.sh ZELVANT ZELVANT_CLI DEMO_JSON OUT_DIR
set -euo pipefail
. "$(dirname "$0")/find_window.sh"

if [ "${1:-}" = --inside ]; then
    inside=1
    shift
fi
program=$1 cli=$2 demo_json=$3 out_dir=$4
if [ -z "${inside:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" --inside "$@"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out_dir" "$work/config/Quillmere" "$work/run"
chmod 700 "$work/run"
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run
conf=$work/config/Quillmere/Zelvant.conf
printf '[Settings]\nSplash=0\n' >"$conf"

password="terminated test password"
file="$work/bank.zvd"
recovery="$work/bank.recovery.zvd"
printf '%s\n' "$password" | "$cli" import "$file" "$demo_json" --password-stdin
cp "$file" "$work/before.zvd"

pid=
fail() {
    echo "terminate: $*" >&2
    [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null
    exit 1
}
ended() {
    for _ in $(seq 1 50); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.2
    done
    return 1
}
window() {
    find_window 30 --onlyvisible --name "$1" | head -1
}
type_password() {
    dialog=$(window "$1") || fail "no password dialog '$1'"
    xdotool windowfocus --sync "$dialog"
    xdotool type --delay 20 "$password"
    xdotool key Return
}
folders() {
    printf '%s\n' "$password" | "$cli" ls "$1" --password-stdin
}

# An unsaved new folder, then SIGTERM.
"$program" "$file" &
pid=$!
type_password '^File Password:bank\.zvd$'
main=$(window '^Zelvant - bank\.zvd$') || fail "no main window"
xdotool windowfocus --sync "$main"
xdotool key ctrl+f
name=$(window '^Folder Properties$') || fail "no folder dialog"
xdotool windowfocus --sync "$name"
xdotool type --delay 20 "Added before SIGTERM"
xdotool key Return
sleep 0.5
kill -TERM "$pid"
ended || fail "still running after SIGTERM"
wait "$pid" || fail "ended with status $? after SIGTERM"
pid=
cmp -s "$file" "$work/before.zvd" || fail "the data file was changed"
[ -f "$recovery" ] || fail "no recovery file"
folders "$recovery" | grep -q "Added before SIGTERM" || fail "the recovery file lacks the edit"
printf 'wrong\n' | "$cli" ls "$recovery" --password-stdin >/dev/null 2>&1 &&
    fail "the recovery file opens without the file's password"
grep -q '^TrayIcon=' "$conf" || fail "the settings were not written"

# The next start offers it; restored and saved on the way out, the edit is in the file.
"$program" "$file" &
pid=$!
offer=$(window '^Zelvant$') || fail "the recovery file was not offered"
sleep 0.3
import -window root "$out_dir/desktop-terminate-offer.png"
xdotool windowfocus --sync "$offer"
xdotool key Return
type_password '^File Password:bank\.recovery\.zvd$'
main=$(window '^Zelvant - bank\.zvd$') || fail "no main window after restoring"
[ ! -e "$recovery" ] || fail "the recovery file is still there after restoring"
xdotool windowfocus --sync "$main"
xdotool key alt+x
question=$(window '^Zelvant$') || fail "no save question on the way out"
xdotool windowfocus --sync "$question"
xdotool key Return
ended || fail "still running after saving on the way out"
wait "$pid" || fail "ended with status $?"
pid=
folders "$file" | grep -q "Added before SIGTERM" || fail "the restored edit was not saved"

# SIGTERM while a dialog is up ends the program too.
"$program" "$file" &
pid=$!
window '^File Password:bank\.zvd$' >/dev/null || fail "no password dialog"
kill -TERM "$pid"
ended || fail "a dialog kept the program from ending"
wait "$pid" || fail "ended with status $? with a dialog up"
echo "terminate: ok, screenshot in $out_dir/desktop-terminate-offer.png"
