#!/usr/bin/env bash
# What the test suite needs beyond CMake and a C++17 compiler: the tools some tests need,
# which skip rows or whole tests where they are missing. Installs with apt-get (.ci/apt-install.sh) each package whose part is missing,
# so that `cmake --workflow --preset test` runs every test on a bare Debian machine and
# nothing is skipped; quick when all is there. Where it cannot install (not root and no
# sudo, or the install fails), it names on stderr each package still missing and what
# skips without it, one line each, and ends with status 0, so that the suite runs with
# what there is.
set -euo pipefail
cd "$(dirname "$0")/.."

# Each package, and what it serves.
packages=(strace valgrind mount acl e2fsprogs)
declare -A serves=(
    [strace]="the strace rows of cli.inspect and cli.outputs will skip"
    [valgrind]="valgrind.create_test_extract will skip"
    [mount]="the full-disk rows of cli.outputs will skip (they mount small tmpfs file systems)"
    [acl]="the ACL row of cli.outputs will skip (setfacl)"
    [e2fsprogs]="the append-only row of cli.outputs will skip (chattr)"
)
present() { # present PACKAGE: whether what the package provides is there
    case $1 in
    acl) command -v setfacl >/dev/null ;;
    e2fsprogs) command -v chattr >/dev/null ;;
    *) command -v "$1" >/dev/null ;;
    esac
}
missing() {
    local package
    for package in "${packages[@]}"; do
        present "$package" || echo "$package"
    done
}

mapfile -t absent < <(missing)
[ ${#absent[@]} -gt 0 ] || exit 0
if [ "$(id -u)" -ne 0 ] && ! command -v sudo >/dev/null; then
    echo "test-deps: cannot install ${absent[*]}: not root, and no sudo" >&2
elif ! bash .ci/apt-install.sh "${absent[@]}"; then
    echo "test-deps: could not install ${absent[*]}" >&2
fi
mapfile -t absent < <(missing)
for package in "${absent[@]}"; do
    echo "test-deps: missing $package: ${serves[$package]}" >&2
done
