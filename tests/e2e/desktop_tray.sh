#!/usr/bin/env bash
# The tray icon in a virtual X server with a tray host: the icon appears, Esc minimises the window
# into the tray, a double click on the icon brings it back, and an idle "minute" (ten seconds
# here) without input minimises it again by itself.
# Usage: desktop_tray.sh ZELVANT ZELVANT_CLI DEMO_JSON OUT_DIR
set -euo pipefail
program=$1 cli=$2 demo_json=$3 out_dir=$4
. "$(dirname "$0")/desktop_lib.sh" tray "$@"
settings Splash=0 SingleInstance=0 TrayIcon=1 TrayMinimize=1 TrayAction=0 MinTime=1 ProtMin=0
password="tray test password"
make_file "$password"

# The tray host sits in the top right corner; the icon is its only one.
trayer --edge top --align right --widthtype request --height 24 --SetDockType true &
sleep 1
ZELVANT_TEST_IDLE_MINUTE_MS=10000 "$program" "$file" &
pid=$!
visible() { xdotool search --onlyvisible --name '^Zelvant - bank\.zvd$' 2>/dev/null | wc -l; }

type_password '^File Password:bank\.zvd$' "$password"
main_window
sleep 2
import -window root "$out_dir/desktop-tray.png"

xdotool windowfocus --sync "$window"
xdotool key Escape
sleep 1
[ "$(visible)" -eq 0 ] || fail "Esc did not minimise the window into the tray"

xdotool mousemove 1268 12 click --repeat 2 --delay 80 1
sleep 1
[ "$(visible)" -ge 1 ] || fail "a double click on the tray icon did not bring the window back"

# No input from here on: after the idle minute the window goes into the tray by itself.
xdotool mousemove 600 700
for _ in $(seq 1 40); do
    [ "$(visible)" -eq 0 ] && break
    sleep 1
done
[ "$(visible)" -eq 0 ] || fail "the window stayed on screen after the idle minute"
kill "$pid"
wait "$pid" 2>/dev/null || true
echo "tray: ok"
