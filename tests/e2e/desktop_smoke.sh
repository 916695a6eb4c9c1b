#!/usr/bin/env bash
# Starts the real desktop program in a virtual X server on a data file given on the command line,
# types the file's password into its dialog, checks the window title, takes a screenshot, copies a
# masked password from the password popup and reads it back from the X clipboard, and quits
# through the keyboard.
# Usage: desktop_smoke.sh ZELVANT ZELVANT_CLI DEMO_JSON OUT_DIR
set -euo pipefail
program=$1 cli=$2 demo_json=$3 out_dir=$4
. "$(dirname "$0")/desktop_lib.sh" smoke "$@"
settings Splash=0 SingleInstance=0
password="smoke test password"
make_file "$password"

"$program" "$file" &
pid=$!
type_password '^File Password:bank\.zvd$' "$password"
main_window
sleep 1
# Show the records of the first folder: the tree has the focus after opening.
xdotool windowfocus --sync "$window"
xdotool key Down
sleep 1
import -window root "$out_dir/desktop-smoke.png"

# View > Password Popup, narrowed to one record by its filter; Tab walks filter, pin, tree,
# then each field and its copy button down to the password's.
xdotool key alt+v
sleep 0.3
xdotool key Down Down Down Down Return
popup=$(find_window 10 --name '^Password Popup$') || fail "no password popup"
xdotool windowfocus --sync "$popup"
xdotool type --delay 20 "Northwind"
sleep 0.3
for _ in $(seq 1 9); do xdotool key Tab; done
xdotool key space
sleep 0.5
import -window root "$out_dir/desktop-smoke-popup.png"
copied=$(xclip -o -selection clipboard)
[ "$copied" = "Tide!Compass-77" ] || fail "the clipboard holds '$copied'"
xclip -o -selection clipboard -t TARGETS | grep -qx 'x-kde-passwordManagerHint' ||
    fail "the copied password is not marked secret"

quit
# The settings were written back on the way out.
grep -q '^Splash=0' "$conf" || fail "settings not saved"
echo "smoke: ok, screenshot in $out_dir/desktop-smoke.png"
