#!/usr/bin/env bash
# Cross-builds hpmimg and its tests for a target and runs every test under qemu user-mode
# emulation: .ci/cross.sh armhf (32-bit ARM), armhf-static (32-bit ARM, statically linked,
# run with no sysroot) or ppc (32-bit big-endian PowerPC), the name of a CMake workflow
# preset. Installs the cross compiler and qemu with apt-get when they are missing. For
# armhf-static it first checks that the tool has no program interpreter and no dynamic
# section, and that qemu is given no sysroot, so that the tests prove the binary runs on a
# board that has no ARM libraries.
set -euo pipefail
cd "$(dirname "$0")/.."

case "${1:-}" in
armhf | armhf-static) triple=arm-linux-gnueabihf qemu=qemu-arm ;;
ppc) triple=powerpc-linux-gnu qemu=qemu-ppc ;;
*) echo "usage: $0 armhf|armhf-static|ppc" >&2; exit 2 ;;
esac

packages=()
command -v "$triple-g++" >/dev/null || packages+=("g++-$triple")
command -v "$qemu" >/dev/null || packages+=(qemu-user)
bash .ci/apt-install.sh "${packages[@]}"

if [ "$1" != armhf-static ]; then
    exec cmake --workflow --preset "$1"
fi
fail() {
    echo "cross: $*" >&2
    exit 1
}
build=build/$1
cmake --preset "$1"
cmake --build --preset "$1"
! readelf -lW "$build/hpmimg" | grep -qE '^ *(INTERP|DYNAMIC) ' ||
    fail "$build/hpmimg is not statically linked: $(readelf -lW "$build/hpmimg" | grep -E '^ *(INTERP|DYNAMIC) ')"
emulator=$(sed -n 's/^CMAKE_CROSSCOMPILING_EMULATOR:[A-Z]*=//p' "$build/CMakeCache.txt")
[ "$emulator" = "$qemu" ] || fail "the tests run through '$emulator', not $qemu alone"
echo "cross: $build/hpmimg is statically linked; qemu runs it with no sysroot"
ctest --preset "$1"
