#!/bin/sh
# Installs the build into a scratch prefix and checks what a user's system receives, each file with
# the tool made for its format. Usage: check-install.sh BUILD_DIR GUI(0|1) SOURCE_DIR
set -eu
BUILD=$1
GUI=$2
SOURCE=$3
PREFIX=$(mktemp -d)
trap 'rm -rf "$PREFIX"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

cmake --install "$BUILD" --prefix "$PREFIX" >/dev/null
CLI="$PREFIX/bin/quarrow-cli"
[ -x "$CLI" ] || fail "quarrow-cli is not installed"
"$CLI" --version | grep -Eq '^quarrow-cli [0-9]+\.[0-9]+\.[0-9]+$' || fail "quarrow-cli --version"

# One page for each command that `quarrow-cli help` lists: the table they both come from is the one
# place a new command is added.
commands=$("$CLI" help | sed -n 's/^  quarrow-cli \([a-z]*\) .*/\1/p')
[ -n "$commands" ] || fail "quarrow-cli help lists no command"
for page in quarrow quarrow-cli $(printf 'quarrow-cli-%s ' $commands); do
    file="$PREFIX/share/man/man1/$page.1.gz"
    [ -f "$file" ] || fail "no manual page $page"
    warnings=$(gzip -dc "$file" | groff -man -Tutf8 -ww -z 2>&1)
    [ -z "$warnings" ] || fail "$page: $warnings"
done
gzip -dc "$PREFIX/share/man/man1/quarrow-cli-scan.1.gz" | grep -q '^\\fB\\-\\-progress\\fR' ||
    fail "the scan page lacks --progress"

completion="$PREFIX/share/bash-completion/completions/quarrow-cli"
complete_words() {
    bash -c '. "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _quarrow_cli; echo "${COMPREPLY[*]}"' \
        sh "$completion" "$@"
}
[ "$(complete_words quarrow-cli sc)" = scan ] || fail "completion of a command"
[ "$(complete_words quarrow-cli export x --category No)" = Notes ] || fail "completion of a category"
[ "$(complete_words quarrow-cli scan --pro)" = --progress ] || fail "completion of an option"

samples="$PREFIX/share/quarrow/samples/Backup"
"$CLI" backups --json --root "$samples" | grep -q '"backUpFilePath": "' || fail "the sample backups do not list"

if [ "$GUI" = 1 ]; then
    [ -x "$PREFIX/bin/quarrow" ] || fail "quarrow is not installed"
    desktop-file-validate "$PREFIX/share/applications/org.quarrow.Quarrow.desktop" || fail "desktop entry"
    appstreamcli validate --no-net "$PREFIX/share/metainfo/org.quarrow.Quarrow.metainfo.xml" >/dev/null ||
        fail "AppStream metainfo"
    grep -q '<svg' "$PREFIX/share/icons/hicolor/scalable/apps/org.quarrow.Quarrow.svg" || fail "icon"
    for page in "$SOURCE"/docs/help/*; do
        cmp -s "$page" "$PREFIX/share/quarrow/help/$(basename "$page")" || fail "help page $(basename "$page")"
    done
fi
echo "installed layout checked in $PREFIX"
