#!/usr/bin/env bash
# Reproducible builds: builds the release binary and the Debian package twice, from two
# clones of the current commit in differently named folders one after the other, and fails
# unless both builds give the same bytes. Release build only, no tests or benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."

commit=$(git rev-parse HEAD)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

build() { # build FOLDER: clone the commit into FOLDER, build and package it there
    git clone -q --no-hardlinks . "$1"
    cd "$1"
    git checkout -q --detach "$commit"
    cmake --preset release >/dev/null
    cmake --build build/release -j2 >/dev/null
    cd build/release
    cpack -G DEB >/dev/null 2>&1
}
(build "$work/a")
(build "$work/second-clone")

cd "$work/a/build/release"
for file in hpmimg hpmimg_*.deb; do
    cmp "$file" "$work/second-clone/build/release/$file"
    echo "reproducible: $(sha256sum "$file")"
done
