# Sourced by the desktop scripts. `xdotool search --sync` gives up on an X error, which comes
# whenever a window goes away while the search walks the tree; this retries through them.
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
