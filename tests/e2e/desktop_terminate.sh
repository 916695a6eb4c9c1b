#!/usr/bin/env bash
# Ends the real desktop program with SIGTERM while it holds an unsaved edit: the data file stays as
# it was, the edit is in the recovery file beside it (encrypted with the file's password) and the
# settings are written. The next start on the file offers the recovery file; restored and saved,
# the edit is in the data file. A SIGTERM while a dialog is up ends the program as well.
# Usage: desktop_terminate.sh ZELVANT ZELVANT_CLI DEMO_JSON OUT_DIR
set -euo pipefail
program=$1 cli=$2 demo_json=$3 out_dir=$4
. "$(dirname "$0")/desktop_lib.sh" terminate "$@"
settings Splash=0
password="terminated test password"
recovery="$work/bank.recovery.zvd"
make_file "$password"
cp "$file" "$work/before.zvd"

folders() {
    printf '%s\n' "$password" | "$cli" ls "$1" --password-stdin
}
# terminated WHILE: SIGTERM, and the program ends by itself with status 0.
terminated() {
    kill -TERM "$pid"
    ended || fail "still running after SIGTERM $1"
    wait "$pid" || fail "ended with status $? after SIGTERM $1"
    pid=
}

# An unsaved new folder, then SIGTERM.
"$program" "$file" &
pid=$!
type_password '^File Password:bank\.zvd$' "$password"
main=$(on_screen '^Zelvant - bank\.zvd$') || fail "no main window"
xdotool windowfocus --sync "$main"
xdotool key ctrl+f
name=$(on_screen '^Folder Properties$') || fail "no folder dialog"
xdotool windowfocus --sync "$name"
xdotool type --delay 20 "Added before SIGTERM"
xdotool key Return
sleep 0.5
terminated "with an unsaved edit"
cmp -s "$file" "$work/before.zvd" || fail "the data file was changed"
[ -f "$recovery" ] || fail "no recovery file"
folders "$recovery" | grep -q "Added before SIGTERM" || fail "the recovery file lacks the edit"
printf 'wrong\n' | "$cli" ls "$recovery" --password-stdin >/dev/null 2>&1 &&
    fail "the recovery file opens without the file's password"
grep -q '^TrayIcon=' "$conf" || fail "the settings were not written"

# The next start offers it; restored and saved on the way out, the edit is in the file.
"$program" "$file" &
pid=$!
offer=$(on_screen '^Zelvant$') || fail "the recovery file was not offered"
sleep 0.3
import -window root "$out_dir/desktop-terminate-offer.png"
xdotool windowfocus --sync "$offer"
xdotool key Return
type_password '^File Password:bank\.recovery\.zvd$' "$password"
window=$(on_screen '^Zelvant - bank\.zvd$') || fail "no main window after restoring"
[ ! -e "$recovery" ] || fail "the recovery file is still there after restoring"
xdotool windowfocus --sync "$window"
xdotool key alt+x
question=$(on_screen '^Zelvant$') || fail "no save question on the way out"
xdotool windowfocus --sync "$question"
xdotool key Return
ended || fail "still running after saving on the way out"
wait "$pid" || fail "ended with status $?"
pid=
folders "$file" | grep -q "Added before SIGTERM" || fail "the restored edit was not saved"

# SIGTERM while a dialog is up ends the program too.
"$program" "$file" &
pid=$!
on_screen '^File Password:bank\.zvd$' >/dev/null || fail "no password dialog"
terminated "with a dialog up"
echo "terminate: ok, screenshot in $out_dir/desktop-terminate-offer.png"
