#!/usr/bin/env bash
# Cross-builds hpmimg and its tests for 32-bit ARM (armhf) and runs every test under qemu-arm.
# Installs the cross compiler and qemu user-mode emulation with apt-get when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=()
command -v arm-linux-gnueabihf-g++ >/dev/null || packages+=(g++-arm-linux-gnueabihf)
command -v qemu-arm >/dev/null || packages+=(qemu-user)
[ -f /usr/src/googletest/CMakeLists.txt ] || packages+=(googletest)
if [ ${#packages[@]} -gt 0 ]; then
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    install=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive
             apt-get install -y --no-install-recommends "${packages[@]}")
    # The package lists may be stale or absent: refresh them only when needed.
    "${install[@]}" </dev/null || { "${sudo[@]}" apt-get update && "${install[@]}" </dev/null; }
fi

cmake --workflow --preset armhf
