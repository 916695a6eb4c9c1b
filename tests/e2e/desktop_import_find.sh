#!/usr/bin/env bash
# A newcomer's first minutes, in a virtual X server: File > Import brings in a browser's CSV export
# and a Bitwarden export, the search box finds a record by part of its site name, the record
# dialog's generator gives it a new password whose strength shows, and the document is saved
# under a file password (a weak one is asked about first). zelvant-cli then reads the file back
# and holds a password on the clipboard, marked secret, until its time is up.
# Usage: desktop_import_find.sh ZELVANT ZELVANT_CLI IMPORT_DATA OUT_DIR
set -euo pipefail
program=$1 cli=$2 data=$3 out_dir=$4
. "$(dirname "$0")/desktop_lib.sh" import-find "$@"
settings Splash=0 SingleInstance=0

# Dialogs take the focus as a desktop's window manager gives it.
if command -v openbox >/dev/null; then
    start_openbox 0.5
fi

"$program" &
pid=$!
window=$(find_window 30 --name '^Zelvant - Untitled$') || fail "no main window"
xdotool windowactivate --sync "$window"
sleep 0.5

# File > Import..., the file typed into the dialog; its format is told by its contents.
for export in chrome.csv bitwarden.json; do
    xdotool key alt+f
    sleep 0.3
    xdotool key i
    find_window 10 --name '^Import$' >/dev/null || fail "no Import dialog"
    sleep 0.5
    xdotool type --delay 5 "$data/$export"
    xdotool key Return
    sleep 1
    import -window root "$out_dir/import-find-summary-${export%%.*}.png"
    xdotool key Return
    sleep 0.5
done

# Part of a site name, in any case, in the search box (Ctrl+E).
xdotool key ctrl+e
sleep 0.3
xdotool type --delay 40 NORTH
sleep 0.5
import -window root "$out_dir/import-find-results.png"

# Into the results, open the first one, and generate a new password for it.
xdotool key Down
sleep 0.3
xdotool key Return
find_window 10 --name '^Record Properties$' >/dev/null ||
    fail "no Record Properties for the found record"
sleep 0.5
xdotool key alt+g
find_window 10 --name '^Generate Password$' >/dev/null ||
    fail "no password generator"
sleep 0.5
import -window root "$out_dir/import-find-generator.png"
xdotool key Return
sleep 0.5
import -window root "$out_dir/import-find-record.png"
xdotool key Return
sleep 0.5

# Save: a name, then a file password; a weak one is asked about, and refused here.
xdotool key ctrl+s
find_window 10 --name '^Save As' >/dev/null || fail "no Save As dialog"
sleep 0.5
xdotool type --delay 5 "$work/mine.zvd"
xdotool key Return
if ! find_window 10 --name '^File Password$' >/dev/null; then
    # On a slow machine the name field's completer can open late and take the first Return.
    find_window 1 --name '^Save As' >/dev/null && xdotool key Return
    find_window 10 --name '^File Password$' >/dev/null || fail "no File Password"
fi
sleep 0.5
xdotool type --delay 10 summer
xdotool key Tab
xdotool type --delay 10 summer
xdotool key Return
sleep 0.8
import -window root "$out_dir/import-find-weak-password.png"
xdotool key Return  # No, the default
sleep 0.5
strong="Harbour lights at 7!"
xdotool key ctrl+a
xdotool type --delay 10 "$strong"
xdotool key Tab ctrl+a
xdotool type --delay 10 "$strong"
xdotool key Return
for _ in $(seq 1 50); do
    [ -s "$work/mine.zvd" ] && break
    sleep 0.2
done
[ -s "$work/mine.zvd" ] || fail "the document was not saved"

quit windowactivate

# What was saved: both exports' records, and the found one's new, generated password.
found=$(printf '%s\n' "$strong" | "$cli" search "$work/mine.zvd" north --password-stdin)
[ "$(wc -l <<<"$found")" = 2 ] || fail "search finds: $found"
address=$(grep 'northwind.example$' <<<"$found" | cut -d' ' -f1)
shown=$(printf '%s\n' "$strong" | "$cli" show "$work/mine.zvd" "$address" --reveal --password-stdin)
password=$(sed -n 's/^Password: //p' <<<"$shown")
[ "${#password}" = 20 ] && [ "$password" != 'Tide!Compass-77' ] ||
    fail "the record's password is '$password'"

# zelvant-cli clip holds it on the clipboard, marked secret, and takes it away afterwards.
printf '%s\n' "$strong" | "$cli" clip "$work/mine.zvd" "$address" --timeout 2 --password-stdin &
clip=$!
for _ in $(seq 1 25); do
    [ "$(xclip -o -selection clipboard 2>/dev/null)" = "$password" ] && break
    sleep 0.2
done
[ "$(xclip -o -selection clipboard 2>/dev/null)" = "$password" ] ||
    fail "clip did not put the password on the clipboard"
xclip -o -selection clipboard -t TARGETS | grep -qx 'x-kde-passwordManagerHint' ||
    fail "the clipped password is not marked secret"
wait "$clip" || fail "clip ended with status $?"
[ -z "$(xclip -o -selection clipboard 2>/dev/null || true)" ] ||
    fail "the clipboard still holds the password after the timeout"
echo "import-find: ok, screenshots in $out_dir"
