#!/usr/bin/env bash
# Cross-builds hpmimg and its tests for a target and runs every test under qemu user-mode
# emulation: .ci/cross.sh armhf (32-bit ARM) or .ci/cross.sh ppc (32-bit big-endian PowerPC),
# the name of a CMake workflow preset. Installs the cross compiler, qemu and the GoogleTest
# sources with apt-get when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."

case "${1:-}" in
armhf) triple=arm-linux-gnueabihf qemu=qemu-arm ;;
ppc) triple=powerpc-linux-gnu qemu=qemu-ppc ;;
*) echo "usage: $0 armhf|ppc" >&2; exit 2 ;;
esac

packages=()
command -v "$triple-g++" >/dev/null || packages+=("g++-$triple")
command -v "$qemu" >/dev/null || packages+=(qemu-user)
[ -f /usr/src/googletest/CMakeLists.txt ] || packages+=(googletest)
bash .ci/apt-install.sh "${packages[@]}"

cmake --workflow --preset "$1"
