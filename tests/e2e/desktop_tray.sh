#!/usr/bin/env bash
# The tray icon in a virtual X server with a tray host: the icon appears, Esc minimises the window
# into the tray, a double click on the icon brings it back, and a minute without input minimises
# it again by itself.
# Usage: desktop_tray.sh ZELVANT ZELVANT_CLI DEMO_JSON OUT_DIR
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
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$out_dir" "$work/config/Quillmere"
printf '[Settings]\nSplash=0\nSingleInstance=0\nTrayIcon=1\nTrayMinimize=1\nTrayAction=0\nMinTime=1\nProtMin=0\n' \
    > "$work/config/Quillmere/Zelvant.conf"
password="tray test password"
file="$work/bank.zvd"
printf '%s\n' "$password" | XDG_CONFIG_HOME="$work/config" "$cli" import "$file" "$demo_json" \
    --password-stdin

# The tray host sits in the top right corner; the icon is its only one.
trayer --edge top --align right --widthtype request --height 24 --SetDockType true &
sleep 1
XDG_CONFIG_HOME="$work/config" "$program" "$file" &
pid=$!
fail() { echo "tray: $*" >&2; exit 1; }
visible() { xdotool search --onlyvisible --name '^Zelvant - bank\.zvd$' 2>/dev/null | wc -l; }

dialog=$(find_window 30 --name '^File Password:bank\.zvd$' | head -1) ||
    fail "no password dialog"
xdotool windowfocus --sync "$dialog"
xdotool type --delay 20 "$password"
xdotool key Return
window=$(find_window 30 --name '^Zelvant - bank\.zvd$' | head -1) ||
    fail "no main window"
sleep 2
import -window root "$out_dir/desktop-tray.png"

xdotool windowfocus --sync "$window"
xdotool key Escape
sleep 1
[ "$(visible)" -eq 0 ] || fail "Esc did not minimise the window into the tray"

xdotool mousemove 1268 12 click --repeat 2 --delay 80 1
sleep 1
[ "$(visible)" -ge 1 ] || fail "a double click on the tray icon did not bring the window back"

# No input from here on: after a minute the window goes into the tray by itself.
xdotool mousemove 600 700
for _ in $(seq 1 90); do
    [ "$(visible)" -eq 0 ] && break
    sleep 1
done
[ "$(visible)" -eq 0 ] || fail "the window stayed on screen after a minute without input"
kill "$pid"
wait "$pid" 2>/dev/null || true
echo "tray: ok"
