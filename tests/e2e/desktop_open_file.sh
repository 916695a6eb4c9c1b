#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR, registers its desktop entry and file type the way
# the package's triggers do, and opens a data file as a file manager does ("gio open"): the
# installed program starts on that file and asks for its password. Its Print dialog is opened
# (screenshot), then it quits through the keyboard.
# Usage: desktop_open_file.sh BUILD_DIR ZELVANT_CLI DEMO_JSON OUT_DIR
set -euo pipefail
build=$1 cli=$2 demo_json=$3 out_dir=$4 screen=1024x768x24
. "$(dirname "$0")/desktop_lib.sh" "open file" "$@"
mkdir -p "$work/data/zelvant/templates"
printf '<# start #>mine<# endtmpl #>' >"$work/data/zelvant/templates/Mine.ZVT"
DESTDIR=$work/stage cmake --install "$build" --prefix /usr >/dev/null
share=$work/stage/usr/share
export PATH=$work/stage/usr/bin:$PATH XDG_DATA_HOME=$work/data XDG_DATA_DIRS=$share:/usr/share
settings Splash=0 SingleInstance=0
update-desktop-database "$share/applications"
update-mime-database "$share/mime" >/dev/null

password="opened from the file manager"
make_file "$password"
gio open "$file" || fail "gio cannot open a .zvd file"
dialog=$(find_window 30 --name '^File Password:bank\.zvd$') ||
    fail "the installed program did not ask for the file's password"
pid=$(xdotool getwindowpid "$dialog")
[ "$(readlink "/proc/$pid/exe")" = "$work/stage/usr/bin/zelvant" ] ||
    fail "the file was opened by $(readlink "/proc/$pid/exe")"
xdotool windowfocus --sync "$dialog"
xdotool type --delay 20 "$password"
xdotool key Return
main_window
sleep 0.5
import -window root "$out_dir/desktop-open-file.png"
# The Print dialog lists the installed templates and the user's own.
xdotool windowfocus --sync "$window"
xdotool key ctrl+p
print=$(find_window 10 --name '^Print/Print Preview$') || fail "no Print dialog"
sleep 0.5
import -window root "$out_dir/desktop-open-file-print.png"
xdotool windowfocus --sync "$print"
xdotool key Escape
sleep 0.3
xdotool windowfocus --sync "$window"
xdotool key alt+x
# Not this shell's child: gone is all that can be seen of it.
ended || fail "the program did not end after Alt+X"
echo "open file: ok, screenshot in $out_dir/desktop-open-file.png"
