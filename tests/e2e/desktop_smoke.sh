#!/usr/bin/env bash
# Starts the real desktop program in a virtual X server on a data file given on the command line,
# types the file's password into its dialog, checks the window title, takes a screenshot, copies a
# masked password from the password popup and reads it back from the X clipboard, and quits
# through the keyboard.
# Usage: desktop_smoke.sh ZELVANT ZELVANT_CLI DEMO_JSON OUT_DIR
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
printf '[Settings]\nSplash=0\nSingleInstance=0\n' > "$work/config/Quillmere/Zelvant.conf"

password="smoke test password"
file="$work/bank.zvd"
printf '%s\n' "$password" | XDG_CONFIG_HOME="$work/config" "$cli" import "$file" "$demo_json" \
    --password-stdin

run() {
    XDG_CONFIG_HOME="$work/config" "$program" "$file" &
    pid=$!
    fail() { echo "smoke: $*" >&2; kill "$pid" 2>/dev/null || true; exit 1; }

    dialog=$(find_window 30 --name '^File Password:bank\.zvd$' | head -1) ||
        fail "no password dialog"
    xdotool windowfocus --sync "$dialog"
    xdotool type --delay 20 "$password"
    xdotool key Return

    window=$(find_window 30 --name '^Zelvant - bank\.zvd$' | head -1) ||
        fail "no main window titled 'Zelvant - bank.zvd'"
    sleep 1
    # Show the records of the first folder: the tree has the focus after opening.
    xdotool windowfocus --sync "$window"
    xdotool key Down
    sleep 1
    import -window root "$out_dir/desktop-smoke.png"
    title=$(xdotool getwindowname "$window")
    [ "$title" = "Zelvant - bank.zvd" ] || fail "title is '$title'"

    # View > Password Popup, narrowed to one record by its filter; Tab walks filter, pin, tree,
    # then each field and its copy button down to the password's.
    xdotool key alt+v
    sleep 0.3
    xdotool key Down Down Down Down Return
    popup=$(find_window 10 --name '^Password Popup$' | head -1) ||
        fail "no password popup"
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

    xdotool windowfocus --sync "$window"
    xdotool key alt+x
    for _ in $(seq 1 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.2
    done
    if kill -0 "$pid" 2>/dev/null; then
        fail "the program did not end after Alt+X"
    fi
    wait "$pid" || fail "the program ended with status $?"
    # The settings were written back on the way out.
    grep -q '^Splash=0' "$work/config/Quillmere/Zelvant.conf" || fail "settings not saved"
    echo "smoke: ok, screenshot in $out_dir/desktop-smoke.png"
}
run
