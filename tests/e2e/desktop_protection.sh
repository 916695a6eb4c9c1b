#!/usr/bin/env bash
# Opens a legacy data file in the real desktop program in a virtual X server, takes a screenshot
# of the bar that offers to seal it, seals it with File > Strengthen Protection under a new
# password (agreeing to the warning and to removing the weak backup), and opens it again with
# the new password, in the program and with zelvant-cli.
# Usage: desktop_protection.sh ZELVANT ZELVANT_CLI DEMO_JSON OUT_DIR
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
mkdir -p "$out_dir" "$work/config/Quillmere"
printf '[Settings]\nSplash=0\nSingleInstance=0\nLegacyNewFiles=1\n' \
    > "$work/config/Quillmere/Zelvant.conf"

old="old weak pw"
new="a much longer pass phrase, sealed"
file="$work/bank.zvd"
printf '%s\n' "$old" | XDG_CONFIG_HOME="$work/config" "$cli" import "$file" "$demo_json" \
    --password-stdin
cp "$file" "$work/bank.zvb"
magic() { head -c 8 "$1" | od -An -tx1 | tr -d ' \n'; }
[ "$(magic "$file")" != 895a56440d0a1a0a ] || { echo "protection: the file is sealed already" >&2; exit 1; }

pid=
fail() { echo "protection: $*" >&2; [ -n "$pid" ] && kill "$pid" 2>/dev/null; exit 1; }

start() {  # PASSWORD
    XDG_CONFIG_HOME="$work/config" "$program" "$file" &
    pid=$!
    dialog=$(find_window 30 --name '^File Password:bank\.zvd$' | head -1) ||
        fail "no password dialog"
    xdotool windowfocus --sync "$dialog"
    xdotool type --delay 10 "$1"
    xdotool key Return
    window=$(find_window 30 --name '^Zelvant - bank\.zvd$' | head -1) ||
        fail "no main window titled 'Zelvant - bank.zvd'"
    sleep 1
}

quit() {
    xdotool windowfocus --sync "$window"
    xdotool key alt+x
    for _ in $(seq 1 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.2
    done
    kill -0 "$pid" 2>/dev/null && fail "the program did not end after Alt+X"
    wait "$pid" || fail "the program ended with status $?"
    pid=
}

# Answers the next box titled Zelvant with Alt+Y (Yes) and waits until it has gone.
yes_to_box() {  # WHAT
    box=$(find_window 30 --onlyvisible --name '^Zelvant$' | head -1) ||
        fail "no $1 question"
    xdotool windowfocus --sync "$box"
    sleep 0.3
    xdotool key alt+y
    for _ in $(seq 1 50); do
        xdotool search --onlyvisible --name '^Zelvant$' | grep -qx "$box" || return 0
        sleep 0.2
    done
    fail "the $1 question stayed open"
}

start "$old"
import -window root "$out_dir/desktop-protection-bar.png"

# File > Strengthen Protection: the new password twice, the warning, then the old backup.
xdotool windowfocus --sync "$window"
xdotool key alt+f
sleep 0.3
xdotool key p
dialog=$(find_window 30 --name '^File Password$' | head -1) ||
    fail "no new-password dialog"
xdotool windowfocus --sync "$dialog"
xdotool type --delay 10 "$new"
xdotool key Tab
xdotool type --delay 10 "$new"
xdotool key Return
yes_to_box "warning"
yes_to_box "backup"
sleep 1
import -window root "$out_dir/desktop-protection-sealed.png"
quit

[ "$(magic "$file")" = 895a56440d0a1a0a ] || fail "the file was not sealed"
[ ! -e "$work/bank.zvb" ] || fail "the weak backup is still there"
info=$(printf '%s\n' "$new" | "$cli" info "$file" --password-stdin) || fail "zelvant-cli cannot open it"
grep -q '^Protection: sealed (Argon2id, 256 MiB, [0-9]* passes, XChaCha20-Poly1305)$' <<<"$info" ||
    fail "info says: $info"

start "$new"
import -window root "$out_dir/desktop-protection-reopened.png"
quit
echo "protection: ok, screenshots in $out_dir/desktop-protection-*.png"
