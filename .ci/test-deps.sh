#!/usr/bin/env bash
# Installs with apt-get what the test suite needs beyond CMake and a C++17 compiler, each
# package only when what it provides is missing, so that `cmake --workflow --preset test`
# runs every test on a bare Debian machine and nothing is skipped. Quick when all is there.
# Run as root or by a user who may use sudo.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=()
# The unit tests' framework.
[ -f /usr/include/gtest/gtest.h ] || [ -f /usr/local/include/gtest/gtest.h ] ||
    packages+=(libgtest-dev)
# fuzz_replay writes its seed corpus and decodes its findings with python3.
command -v python3 >/dev/null || packages+=(python3)
# cli.inspect counts the bytes read with strace, and holds calls back with it.
command -v strace >/dev/null || packages+=(strace)
# valgrind.create_test_extract.
command -v valgrind >/dev/null || packages+=(valgrind)
# cli.outputs fills a small tmpfs, mounted in a mount namespace of its own.
command -v mount >/dev/null || packages+=(mount)
# cli.outputs sets ACLs to see that a replaced file keeps its own.
command -v setfacl >/dev/null || packages+=(acl)
bash .ci/apt-install.sh "${packages[@]}"
