#!/usr/bin/env bash
# Opens a legacy data file in the real desktop program in a virtual X server, takes a screenshot
# of the bar that offers to seal it, seals it with File > Strengthen Protection under a new
# password (agreeing to the warning and to removing the weak backup), and opens it again with
# the new password, in the program and with zelvant-cli.
# Usage: desktop_protection.sh ZELVANT ZELVANT_CLI DEMO_JSON OUT_DIR
set -euo pipefail
program=$1 cli=$2 demo_json=$3 out_dir=$4
. "$(dirname "$0")/desktop_lib.sh" protection "$@"
settings Splash=0 SingleInstance=0 LegacyNewFiles=1
old="old weak pw"
new="a much longer pass phrase, sealed"
make_file "$old"
cp "$file" "$work/bank.zvb"
magic() { head -c 8 "$1" | od -An -tx1 | tr -d ' \n'; }
[ "$(magic "$file")" != 895a56440d0a1a0a ] || fail "the file is sealed already"

start() {  # PASSWORD
    "$program" "$file" &
    pid=$!
    type_password '^File Password:bank\.zvd$' "$1" 10
    main_window
    sleep 1
}

# Answers the next box titled Zelvant with Alt+Y (Yes) and waits until it has gone.
yes_to_box() {  # WHAT
    box=$(on_screen '^Zelvant$') || fail "no $1 question"
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
dialog=$(find_window 30 --name '^File Password$') || fail "no new-password dialog"
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
