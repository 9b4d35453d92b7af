#!/usr/bin/env bash
# Reproducible builds: builds the release binary and the Debian package twice, from two
# clones of the current commit in differently named folders one after the other, the first
# under umask 022, the second under umask 077, and fails unless both builds give the same
# bytes, and unless the package's directories are 0755 and its files 0644 or 0755 (what
# lintian wants), whatever the umask. Release build only, no tests or benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."

commit=$(git rev-parse HEAD)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "reproducible: $*" >&2
    exit 1
}

build() { # build FOLDER UMASK: clone the commit into FOLDER, build and package it there
    umask "$2"
    git clone -q --no-hardlinks . "$1"
    cd "$1"
    git checkout -q --detach "$commit"
    cmake --preset release >/dev/null
    cmake --build build/release -j2 >/dev/null
    cd build/release
    cpack -G DEB >/dev/null 2>&1
}
(build "$work/a" 022)
(build "$work/second-clone" 077)

cd "$work/a/build/release"
for file in hpmimg hpmimg_*.deb; do
    cmp "$file" "$work/second-clone/build/release/$file"
    echo "reproducible: $(sha256sum "$file")"
done
modes=$(dpkg-deb -c hpmimg_*.deb | awk '$1 !~ /^(drwxr-xr-x|-rw-r--r--|-rwxr-xr-x)$/')
[ -z "$modes" ] || fail "the package holds entries of other modes: $modes"
