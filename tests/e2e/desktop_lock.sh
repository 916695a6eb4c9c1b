#!/usr/bin/env bash
# Protection that holds, on the real program in a virtual X server with a window manager: idle
# protection locks while Record Properties is open, the dialog goes with the window, and a second
# start of the program shows nothing of the document until the security password is typed; then
# the record dialog comes back with what it showed. On the way: selecting text in a record field
# leaves nothing on the X selection, the old obfuscated security password becomes a hash in a
# private settings file, and the program runs without core files.
# Usage: desktop_lock.sh ZELVANT ZELVANT_CLI DEMO_JSON OUT_DIR
set -euo pipefail
program=$1 cli=$2 demo_json=$3 out_dir=$4
. "$(dirname "$0")/desktop_lib.sh" lock "$@"
settings Splash=0 SingleInstance=1 TrayIcon=0 MinTime=1 MinPopTime=0 ProtMin=1
# The security password "Lock42" as older versions stored it (each byte XOR 0xFF).
printf 'PData=\xc2\xb3\xc2\x90\xc2\x9c\xc2\x94\xc3\x8b\xc3\x8d\n' >>"$conf"
chmod 644 "$conf"
password="lock test password"
make_file "$password"

start_openbox 1
# An idle "minute" of ten seconds: the lock comes without a long wait, yet a slow CI machine
# between two steps of this script does not count as a user walking away.
ZELVANT_TEST_IDLE_MINUTE_MS=10000 "$program" "$file" &
pid=$!
# Names of the windows on screen.
shown() { xdotool search --onlyvisible --name '.' 2>/dev/null | while read -r w; do
    xdotool getwindowname "$w"; done | grep -v '^$' | sort -u || true; }

type_password '^File Password:bank\.zvd$' "$password"
window=$(on_screen '^Zelvant - bank\.zvd$') || fail "no main window"
grep -q 'Max core file size *0 *0' "/proc/$pid/limits" || fail "core files are not off"

# The first folder's first record ("Northwind Savings Bank", the list's top row, under the banner
# telling of the demo's expired record), opened with a double click.
xdotool windowfocus --sync "$window"
xdotool key Down
sleep 0.5
xdotool mousemove --window "$window" 340 123 click --repeat 2 --delay 80 1
props=$(on_screen '^Record Properties$') || fail "no Record Properties; on screen: $(shown)"
xdotool windowfocus --sync "$props"
xdotool key ctrl+a
sleep 0.3
primary=$(timeout 2 xclip -o -selection primary 2>/dev/null || true)
case "$primary" in *Northwind*) fail "selecting the site name put it on the X selection" ;; esac
import -window root "$out_dir/desktop-lock-open.png"

# Hands off: the lock takes the dialog and the window away.
for _ in $(seq 1 70); do
    if ! shown | grep -q -e 'Record Properties' -e 'bank\.zvd'; then break; fi
    sleep 0.5
done
shown | grep -q -e 'Record Properties' -e 'bank\.zvd' && fail "still on screen: $(shown)"
import -window root "$out_dir/desktop-lock-locked.png"

# A second start hands over to the first and ends; the first asks before it shows anything.
timeout 20 "$program" "$file" || fail "the second start did not end by itself"
prompt=$(on_screen '^Restore from minimized:$') || fail "no password asked; on screen: $(shown)"
sleep 0.5
import -window root "$out_dir/desktop-lock-asked.png"
others=$(shown | grep -v -x -e 'Restore from minimized:' || true)
echo "$others" | grep -q -e 'Record Properties' -e 'bank\.zvd' -e 'Zelvant Options' &&
    fail "visible before the password: $others"

xdotool windowfocus --sync "$prompt"
xdotool type --delay 20 "Lock42"
xdotool key Return
on_screen '^Zelvant - bank\.zvd$' >/dev/null || fail "not shown after the password"
props=$(on_screen '^Record Properties$') || fail "Record Properties did not come back"
import -window root "$out_dir/desktop-lock-unlocked.png"
xdotool windowfocus --sync "$props"
xdotool key Escape
find_window 1 --onlyvisible --name '^Record Properties$' >/dev/null &&
    sleep 1 && find_window 1 --onlyvisible --name '^Record Properties$' >/dev/null &&
    fail "Record Properties did not close on Escape"

grep -q '^PData' "$conf" && fail "the obfuscated password is still stored"
grep -q '^PHash=.*argon2id' "$conf" || fail "no hash stored"
[ "$(stat -c %a "$conf")" = 600 ] || fail "settings file mode $(stat -c %a "$conf")"
[ "$(stat -c %a "$work/config/Quillmere")" = 700 ] || fail "settings folder is open to others"
[ "$(stat -c %a "$work/run/zelvant")" = 700 ] || fail "instance folder is open to others"

quit
echo "lock: ok, screenshots in $out_dir/desktop-lock-*.png"
