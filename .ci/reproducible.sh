#!/usr/bin/env bash
# Reproducible builds: builds the release binary and the Debian package three times, one
# after the other in differently named folders and with SOURCE_DATE_EPOCH unset: from a
# clone of the current commit under umask 022, then twice from one `git archive` tarball of
# it, which has no .git, under umask 077 and 002. Fails unless all three give the same
# bytes, unless the package's directories are 0755 and its files 0644 or 0755 (what lintian
# wants), and unless its time stamps are noon UTC of the newest release in CHANGELOG.md.
# Release build only, no tests or benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."
unset SOURCE_DATE_EPOCH

commit=$(git rev-parse HEAD)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "reproducible: $*" >&2
    exit 1
}

build() { # build FOLDER UMASK: build and package the tree in FOLDER there, under the umask
    umask "$2"
    cd "$1"
    cmake --preset release >/dev/null
    cmake --build build/release -j2 >/dev/null
    cd build/release
    cpack -G DEB >/dev/null 2>&1
}
(umask 022 && git clone -q --no-hardlinks . "$work/a" && git -C "$work/a" checkout -q --detach "$commit")
(build "$work/a" 022)
git archive --format=tar --prefix=hpmimg/ "$commit" >"$work/hpmimg.tar"
for mask in 077 002; do
    # Extracted as a user would (root's tar would take the archive's modes).
    (umask $mask && mkdir "$work/tarball-$mask" &&
        tar -C "$work/tarball-$mask" --no-same-permissions -xf "$work/hpmimg.tar")
    (build "$work/tarball-$mask/hpmimg" $mask)
done

cd "$work/a/build/release"
for file in hpmimg hpmimg_*.deb; do
    for mask in 077 002; do
        cmp "$file" "$work/tarball-$mask/hpmimg/build/release/$file"
    done
    echo "reproducible: $(sha256sum "$file")"
done
modes=$(dpkg-deb -c hpmimg_*.deb | awk '$1 !~ /^(drwxr-xr-x|-rw-r--r--|-rwxr-xr-x)$/')
[ -z "$modes" ] || fail "the package holds entries of other modes: $modes"
release=$(sed -En 's/^## [0-9.]+ \(([0-9-]+)\)$/\1/p' "$work/a/CHANGELOG.md" | head -n1)
dates=$(TZ=UTC dpkg-deb -c hpmimg_*.deb | awk '{ print $4, $5 }' | sort -u)
[ "$dates" = "$release 12:00" ] || fail "the package's time stamps are $dates, not $release 12:00"
