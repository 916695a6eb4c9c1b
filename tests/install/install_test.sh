#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR as "make install" does (nothing is built), then runs
# the installed programs from outside the build tree: templates by name from the installed share
# folder and from the user's own folder, the manual pages against --help, shell completion, and
# binaries free of RPATHs and build-tree paths.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR WITH_GUI(0|1) APP_ID SANITIZED(0|1)
set -euo pipefail
build=$(cd "$1" && pwd) source=$(cd "$2" && pwd) gui=$3 id=$4 sanitized=$5

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=/usr/local
root=$work/stage$prefix
DESTDIR=$work/stage cmake --install "$build" --prefix "$prefix" --strip >/dev/null
failures=0
fail() {
    echo "install test: $*" >&2
    failures=$((failures + 1))
}

# ---- the layout
files=(bin/zelvant-cli share/zelvant/templates/Summary.ZVT share/man/man1/zelvant-cli.1.gz
       share/bash-completion/completions/zelvant-cli share/doc/zelvant/copyright
       share/doc/zelvant/changelog.gz)
if [ "$gui" = 1 ]; then
    files+=(bin/zelvant share/man/man1/zelvant.1.gz share/doc/zelvant/user-guide.html
            "share/applications/$id.desktop" "share/mime/packages/$id.xml"
            "share/metainfo/$id.metainfo.xml" "share/icons/hicolor/scalable/apps/$id.svg")
    for size in 16 22 24 32 48 64 128 256; do
        files+=("share/icons/hicolor/${size}x${size}/apps/$id.png")
    done
fi
for file in "${files[@]}"; do
    [ -f "$root/$file" ] || fail "$file is not installed"
done
for exe in "$root"/bin/*; do
    if readelf -d "$exe" | grep -qE 'RPATH|RUNPATH'; then fail "$exe has an RPATH"; fi
    # Sanitizers keep source locations in the program by design.
    if [ "$sanitized" = 0 ] && grep -qF -e "$build" -e "$source" "$exe"; then
        fail "$exe names the build or source tree"
    fi
done

# ---- the installed programs, away from the build tree and this machine's own data folders
cd "$work"
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data \
    XDG_DATA_DIRS=$work/system
mkdir -p "$HOME" "$XDG_DATA_HOME/zelvant/templates"
cli=$root/bin/zelvant-cli

"$cli" report --template Summary | grep -qF '<h1>Untitled</h1>' ||
    fail "the installed Summary template does not report by name"
printf '<# start #>mine<# endtmpl #>' >"$XDG_DATA_HOME/zelvant/templates/Mine.ZVT"
[ "$("$cli" report --template Mine)" = mine ] || fail "the user's own template is not found"
[ "$("$cli" templates)" = $'Full listing\nMine\nPassword sheet\nSummary' ] ||
    fail "templates lists: $("$cli" templates | tr '\n' ',')"
"$cli" templates --paths | grep -qxF "Summary"$'\t'"$root/share/zelvant/templates/Summary.ZVT" ||
    fail "Summary does not come from the installed share folder"

"$source/tests/install/man_sync.sh" "$cli" "$root/share/man/man1/zelvant-cli.1.gz" || fail "zelvant-cli.1"
if [ "$gui" = 1 ]; then
    # Answered before Qt looks for a display.
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/bin/zelvant" --version |
        grep -qx "zelvant [0-9.]*" || fail "zelvant --version needs a display"
    "$source/tests/install/man_sync.sh" "$root/bin/zelvant" "$root/share/man/man1/zelvant.1.gz" ||
        fail "zelvant.1"
fi

# ---- completion: COMPREPLY for the words given, one per line
complete_words() {
    PATH=$root/bin:$PATH bash -c '
        source "$1"; shift
        COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _zelvant_cli
        printf "%s\n" "${COMPREPLY[@]}"' complete \
        "$root/share/bash-completion/completions/zelvant-cli" zelvant-cli "$@"
}
touch bank.zvd notes.txt
[ "$(complete_words rep)" = report ] || fail "completion of a command: $(complete_words rep)"
[ "$(complete_words report --te)" = --template ] || fail "completion of an option"
[ "$(complete_words report bank.zvd --template M)" = Mine ] || fail "completion of a template"
[ "$(complete_words ls b)" = bank.zvd ] || fail "completion of a data file"
[ -z "$(complete_words ls n)" ] || fail "completion offers a file that is not a data file"
[ "$(complete_words export bank.zvd --format c)" = csv ] || fail "completion of a format"
[ "$(complete_words report --print Password,U)" = Password,UserName ] ||
    fail "completion of a print field: $(complete_words report --print Password,U)"
[ "$(complete_words import bank.zvd --from chr)" = chrome-csv ] || fail "completion of --from"
[ "$(complete_words import bank.zvd --from chrome-csv n)" = notes.txt ] ||
    fail "completion of another program's export"
[ -z "$(complete_words edit bank.zvd b)" ] || fail "completion offers files for a record"

[ "$failures" = 0 ]
