#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR, registers its desktop entry and file type the way
# the package's triggers do, and opens a data file as a file manager does ("gio open"): the
# installed program starts on that file and asks for its password. Its Print dialog is opened
# (screenshot), then it quits through the keyboard.
# Usage: desktop_open_file.sh BUILD_DIR ZELVANT_CLI DEMO_JSON OUT_DIR
set -euo pipefail
. "$(dirname "$0")/find_window.sh"

if [ "${1:-}" = --inside ]; then
    inside=1
    shift
fi
build=$1 cli=$2 demo_json=$3 out_dir=$4
if [ -z "${inside:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside "$@"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out_dir" "$work/data/zelvant/templates" "$work/config/Quillmere"
printf '<# start #>mine<# endtmpl #>' >"$work/data/zelvant/templates/Mine.ZVT"
DESTDIR=$work/stage cmake --install "$build" --prefix /usr >/dev/null
share=$work/stage/usr/share
export PATH=$work/stage/usr/bin:$PATH XDG_DATA_HOME=$work/data XDG_DATA_DIRS=$share:/usr/share \
    XDG_CONFIG_HOME=$work/config
printf '[Settings]\nSplash=0\nSingleInstance=0\n' >"$XDG_CONFIG_HOME/Quillmere/Zelvant.conf"
update-desktop-database "$share/applications"
update-mime-database "$share/mime" >/dev/null

password="opened from the file manager"
printf '%s\n' "$password" | "$cli" import "$work/bank.zvd" "$demo_json" --password-stdin
pid=
fail() {
    echo "open file: $*" >&2
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
    exit 1
}

gio open "$work/bank.zvd" || fail "gio cannot open a .zvd file"
dialog=$(find_window 30 --name '^File Password:bank\.zvd$' | head -1) ||
    fail "the installed program did not ask for the file's password"
pid=$(xdotool getwindowpid "$dialog")
[ "$(readlink "/proc/$pid/exe")" = "$work/stage/usr/bin/zelvant" ] ||
    fail "the file was opened by $(readlink "/proc/$pid/exe")"
xdotool windowfocus --sync "$dialog"
xdotool type --delay 20 "$password"
xdotool key Return
window=$(find_window 30 --name '^Zelvant - bank\.zvd$' | head -1) ||
    fail "no main window titled 'Zelvant - bank.zvd'"
sleep 0.5
import -window root "$out_dir/desktop-open-file.png"
# The Print dialog lists the installed templates and the user's own.
xdotool windowfocus --sync "$window"
xdotool key ctrl+p
print=$(find_window 10 --name '^Print/Print Preview$' | head -1) ||
    fail "no Print dialog"
sleep 0.5
import -window root "$out_dir/desktop-open-file-print.png"
xdotool windowfocus --sync "$print"
xdotool key Escape
sleep 0.3
xdotool windowfocus --sync "$window"
xdotool key alt+x
for _ in $(seq 1 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
done
kill -0 "$pid" 2>/dev/null && fail "the program did not end after Alt+X"
echo "open file: ok, screenshot in $out_dir/desktop-open-file.png"
