#!/usr/bin/env bash
# Checks a manual page against its program's --help. Every command under "Commands:" has a
# subsection (.SS) of its own, every option of "PROGRAM COMMAND --help" is named in it, and the
# options its .TP items name exist; every option of "PROGRAM --help" is named in the page.
# Usage: man_sync.sh PROGRAM PAGE       (PAGE may be compressed with gzip)
set -euo pipefail -o noglob
program=$1 page=$2

# The page's source with roff's escapes for "-" and its font changes taken out.
text=$(gzip -dcf "$page" | sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e 's/\\f(..//g' -e 's/\\&//g')

# The left column of the indented rows under the heading $1 of the help on standard input.
rows() {
    awk -v heading="$1" '
        $0 == heading { inside = 1; next }
        inside && !/^  [^ ]/ { exit }
        inside { sub(/^  /, ""); sub(/  .*/, ""); gsub(/,/, ""); print }'
}

# The words of $1 that start with "-".
options() {
    local word
    for word in $1; do
        [[ $word == -* ]] && printf '%s\n' "$word"
    done
    return 0
}

# The subsection of the command $1: from its .SS line to the next .SS or .SH.
section() {
    awk -v cmd="$1" '
        /^\.S[SH]( |$)/ {
            title = $0; sub(/^\.S[SH] */, "", title); gsub(/"/, "", title)
            inside = $1 == ".SS" && (title == cmd || index(title, cmd " ") == 1); next }
        inside' <<<"$text"
}

# Whether the text $2 names the option $1 as a word of its own.
names() { [[ $2 =~ (^|[^-[:alnum:]])$1([^-[:alnum:]]|$) ]]; }
# Whether the line $1 is one of the lines of $2.
listed() { [[ $'\n'$2$'\n' == *$'\n'$1$'\n'* ]]; }

failures=()
top=$("$program" --help)
global=$(options "$(rows Options: <<<"$top")")
for option in $global; do
    names "$option" "$text" || failures+=("$option is not in the page")
done
for command in $(rows Commands: <<<"$top" | cut -d' ' -f1); do
    body=$(section "$command")
    if [ -z "$body" ]; then
        failures+=("command $command has no .SS section")
        continue
    fi
    own=$(options "$("$program" "$command" --help | rows Options:)")
    for option in $own; do
        listed "$option" "$global" && continue
        names "$option" "$body" || failures+=("$command: $option is not in its section")
    done
    # Options documented under the command must still exist: the first line of each .TP item.
    item=
    while IFS= read -r line; do
        if [ -n "$item" ]; then
            for option in $(options "${line//\"/ }"); do
                listed "$option" "$own" ||
                    failures+=("$command: the page names $option, which --help does not list")
            done
        fi
        [[ $line == .TP* ]] && item=1 || item=
    done <<<"$body"
done
if [ ${#failures[@]} -gt 0 ]; then
    printf '%s\n' "${failures[@]/#/$page: }" >&2
    exit 1
fi
