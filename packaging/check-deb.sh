#!/usr/bin/env bash
# Builds the release preset, packages it with cpack -G DEB, has lintian check the package
# (any error or warning fails), installs it, runs the documents' examples with the installed
# /usr/bin/hpmimg (tests/docs/examples.sh), checks its --version, that man finds the page and
# that its bash completion loads and completes, and removes the package again.
# Refuses to start when hpmimg is already on the machine, so that removing the package at
# the end leaves the machine as it was. Needs root (or sudo).
set -euo pipefail
cd "$(dirname "$0")/.."
fail() {
    echo "check-deb: $*" >&2
    exit 1
}
# Installing and removing the package needs root, or sudo.
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || fail "installs the package, so needs root: run it as root, or install sudo"
    sudo=(sudo)
fi
absent() { # whether the package is not on the machine, else its state in $state
    state=$(dpkg-query -W -f='${db:Status-Status}' hpmimg 2>/dev/null || true)
    [[ $state == "" || $state == not-installed ]]
}
absent || fail "the hpmimg package is on the machine ($state); remove it first (dpkg -P hpmimg)"
completion=/usr/share/bash-completion/completions/hpmimg
for file in /usr/bin/hpmimg /usr/share/man/man1/hpmimg.1.gz /usr/share/doc/hpmimg "$completion"; do
    [ ! -e "$file" ] || fail "$file exists outside the package; not overwriting it"
done

cmake --workflow --preset release
rm -f build/release/hpmimg_*.deb
(cd build/release && cpack -G DEB)
deb=$(echo "$PWD"/build/release/hpmimg_*.deb)
[ -f "$deb" ] || fail "cpack made no single .deb: $deb"
dpkg-deb --field "$deb" Package Version Architecture Depends

command -v lintian >/dev/null || bash .ci/apt-install.sh lintian
# Fails on errors and warnings; info and pedantic tags pass (and are not shown).
lintian --fail-on error,warning "$deb" || fail "lintian reports errors or warnings (above)"

trap '"${sudo[@]}" dpkg -r hpmimg || true' EXIT
trap 'exit 130' INT TERM
"${sudo[@]}" dpkg -i "$deb"

bash tests/docs/examples.sh /usr/bin/hpmimg || fail "the installed tool runs the documents' examples otherwise (above)"

if command -v man >/dev/null; then
    page=$(env -u MANPATH man -w hpmimg) || fail "man -w hpmimg found no page"
    [ "$page" = /usr/share/man/man1/hpmimg.1.gz ] || fail "man -w hpmimg found $page"
else
    echo "check-deb: man-db is not installed; not looking for the page"
fi
[ "$(/usr/bin/hpmimg --version | head -1)" = "hpmimg $(dpkg-deb --field "$deb" Version)" ] ||
    fail "--version does not print the package's version"
# The completion where bash-completion finds it by the command's name, loaded as it loads it.
# shellcheck disable=SC2016 # expanded by that bash
offered=$(bash -c '. "$1" && COMP_WORDS=(hpmimg --vers) && COMP_CWORD=1 && _hpmimg && echo "${COMPREPLY[*]}"' \
    sh "$completion") || fail "$completion does not load"
[ "$offered" = --version ] || fail "$completion completes --vers to '$offered'"

trap - EXIT
"${sudo[@]}" dpkg -r hpmimg
absent || fail "the package is still on the machine ($state)"
[ ! -e /usr/bin/hpmimg ] || fail "/usr/bin/hpmimg is still there"
echo "check-deb: OK: installed, ran the documents' examples, found the page, removed"
