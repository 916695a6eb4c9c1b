# shellcheck shell=bash
# Sourced by the desktop scripts as `. desktop_lib.sh NAME "$@"` once their arguments are read
# (the last is the folder for screenshots). Outside a virtual X server it runs the script again
# inside one (at $screen, 1280x800x24 unless set). Inside, it gives: $work (removed on exit with
# every background job), $conf under a private $XDG_CONFIG_HOME, a private $XDG_RUNTIME_DIR, and
# the helpers below. $pid is the program under test; fail kills it.
if [ -z "${ZELVANT_E2E_INSIDE:-}" ]; then
    shift
    ZELVANT_E2E_INSIDE=1 exec xvfb-run -a -s "-screen 0 ${screen:-1280x800x24}" "$0" "$@"
fi
e2e_name=$1
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$out_dir" "$work/config/Quillmere" "$work/run"
chmod 700 "$work/run"
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run
conf=$work/config/Quillmere/Zelvant.conf
file=$work/bank.zvd
pid=

# The reason on stderr and a screenshot of what was on screen, then out.
fail() {
    echo "$e2e_name: $*" >&2
    import -window root "$out_dir/desktop-${e2e_name// /-}-failed.png" 2>/dev/null || true
    [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null
    exit 1
}

# settings KEY=VALUE...: the settings file holds only these.
settings() {
    printf '[Settings]\n' >"$conf"
    printf '%s\n' "$@" >>"$conf"
}

# make_file PASSWORD: $file from the demo records under that password.
make_file() {
    printf '%s\n' "$1" | "$cli" import "$file" "$demo_json" --password-stdin
}

start_openbox() {  # SECONDS to let it settle
    openbox >/dev/null 2>&1 &
    sleep "$1"
}

# `xdotool search --sync` gives up on an X error, which comes whenever a window goes away while
# the search walks the tree; this retries through them.
# find_window SECONDS XDOTOOL_SEARCH_ARGS...: the first matching window's id, or status 1.
find_window() {
    local deadline=$((SECONDS + $1)) id
    shift
    while :; do
        id=$(xdotool search "$@" 2>/dev/null | head -1) || true
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        [ "$SECONDS" -ge "$deadline" ] && return 1
        sleep 0.2
    done
}

# on_screen TITLE_PATTERN: the id of a shown window so titled, within thirty seconds.
on_screen() {
    find_window 30 --onlyvisible --name "$1"
}

# type_password TITLE_PATTERN PASSWORD [DELAY_MS]: answers the password dialog with that title.
type_password() {
    local dialog
    dialog=$(on_screen "$1") || fail "no password dialog '$1'"
    xdotool windowfocus --sync "$dialog"
    xdotool type --delay "${3:-20}" "$2"
    xdotool key Return
}

# main_window: $window, the main window on bank.zvd, within thirty seconds.
main_window() {
    window=$(find_window 30 --name '^Zelvant - bank\.zvd$') ||
        fail "no main window titled 'Zelvant - bank.zvd'"
}

# ended: whether $pid is gone within ten seconds.
ended() {
    for _ in $(seq 1 50); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.2
    done
    return 1
}

# quit [FOCUS_COMMAND]: Alt+X in $window; the program ends by itself with status 0.
quit() {
    xdotool "${1:-windowfocus}" --sync "$window"
    xdotool key alt+x
    ended || fail "the program did not end after Alt+X"
    wait "$pid" || fail "the program ended with status $?"
    pid=
}
