#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks the installed desktop entry, MIME package,
# AppStream data and manual pages with the freedesktop and Debian tools, each when it is present
# (scripts/install-deps installs them all). Exits 77, "skipped", when none is.
# Usage: validate_test.sh BUILD_DIR SOURCE_DIR WITH_GUI(0|1) APP_ID VERSION
set -euo pipefail
build=$1 source=$2 gui=$3 id=$4 version=$5

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/stage/usr
DESTDIR=$work/stage cmake --install "$build" --prefix /usr >/dev/null
share=$root/share
failures=0 checked=0
fail() {
    echo "validate: $*" >&2
    failures=$((failures + 1))
}
have() { command -v "$1" >/dev/null; }
# Runs a checker; its output counts as a failure, since the tools print hints and warnings
# without failing.
quiet() {
    local out
    checked=$((checked + 1))
    if ! out=$("$@" 2>&1) || [ -n "$out" ]; then
        fail "$* said:"$'\n'"$out"
    fi
}

# The change log names the version that is built.
[ "$(gzip -dc "$share/doc/zelvant/changelog.gz" | head -1)" = "zelvant ($version) unstable; urgency=medium" ] ||
    fail "packaging/changelog has no entry for $version at the top"

if have man; then
    for page in "$share"/man/man1/*.1.gz; do
        # As lintian reads them: only the warnings, not the page.
        quiet sh -c 'LC_ALL=C.UTF-8 MANROFFSEQ="" MANWIDTH=80 \
            man --warnings -E UTF-8 -l -Tutf8 -Z "$1" >/dev/null' man "$page"
    done
fi

if [ "$gui" = 1 ]; then
    desktop=$share/applications/$id.desktop
    mime=$share/mime/packages/$id.xml
    metainfo=$share/metainfo/$id.metainfo.xml

    # The files agree with each other and with what is installed.
    grep -qx "Icon=$id" "$desktop" || fail "the desktop entry does not name the icon $id"
    grep -qx "Exec=zelvant %f" "$desktop" && [ -x "$root/bin/zelvant" ] ||
        fail "the desktop entry does not start the installed zelvant with a file"
    type=$(sed -n 's/^MimeType=\([^;]*\);$/\1/p' "$desktop")
    grep -qF "<mime-type type=\"$type\">" "$mime" || fail "$type is not in the MIME package"
    grep -qF "<release version=\"$version\"" "$metainfo" ||
        fail "the AppStream data has no release entry for $version"

    if have desktop-file-validate; then
        checked=$((checked + 1))
        out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
        # Hints are advice; errors and warnings are not.
        grep -E 'error|warning' <<<"$out" && fail "desktop-file-validate: $out"
    fi
    if have appstreamcli; then
        # The whole tree: the metainfo file with the desktop entry and icons it refers to.
        checked=$((checked + 1))
        appstreamcli validate-tree --no-net "$root" >"$work/appstream" 2>&1 ||
            fail "appstreamcli: $(cat "$work/appstream")"
    fi
    if have xmllint; then
        quiet xmllint --noout "$mime" "$metainfo"
    fi
    if have update-mime-database; then
        mkdir -p "$work/mime/mime/packages" "$work/empty"
        cp "$mime" "$work/mime/mime/packages/"
        quiet env XDG_DATA_HOME="$work/empty" XDG_DATA_DIRS="$work/mime" \
            update-mime-database "$work/mime/mime"
        grep -qx "50:$type:\*.zvd" "$work/mime/mime/globs2" || fail "*.zvd is not $type"
        if have gio; then
            # A sealed file is known by its first bytes, whatever its name.
            checked=$((checked + 1))
            printf '\x89ZVD\r\n\x1a\nsealed' >"$work/sealed"
            head -c 64 /dev/zero >"$work/old.zvd"
            cp "$work/sealed" "$work/backup.zvb"
            for file in sealed:"$type" old.zvd:"$type" backup.zvb:application/x-zelvant-backup; do
                got=$(XDG_DATA_HOME=$work/empty XDG_DATA_DIRS=$work/mime \
                    gio info -a standard::content-type "$work/${file%%:*}" |
                    sed -n 's/.*content-type: //p')
                [ "$got" = "${file#*:}" ] || fail "${file%%:*} is taken for $got"
            done
        fi
    fi
fi

[ "$failures" = 0 ] || exit 1
[ "$checked" -gt 0 ] || exit 77
