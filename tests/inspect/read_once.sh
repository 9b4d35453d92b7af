#!/usr/bin/env bash
# Test and extract mode read a well-formed image once: the bytes read from it, counted with
# strace, equal its size. Exits 77 (skipped) where strace is not installed.
# Usage: tests/inspect/read_once.sh hpmimg command...   (the command may start with an emulator)
set -euo pipefail
command -v strace >/dev/null || { echo "strace is not installed: skipped"; exit 77; }
export ASAN_OPTIONS=detect_leaks=0 # LeakSanitizer cannot run under ptrace
tool=("$@")
tool[-1]=$(realpath "${tool[-1]}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
head -c 3000000 /dev/zero >rfs.img
printf 'U-Boot' >u-boot.bin
"${tool[@]}" -c -v 1.0 -e 1.0 -h img.hpm -u u-boot.bin -r rfs.img >/dev/null
size=$(stat -c %s img.hpm)
status=0
for mode in -t "-x -r rfs.out"; do
    # shellcheck disable=SC2086 # the mode is a word list
    strace -f -qq -y -e trace=read,pread64 -o trace "${tool[@]}" $mode -h img.hpm >/dev/null
    read=$(awk '/img\.hpm>/ { n += $NF } END { print n + 0 }' trace)
    echo "hpmimg $mode: read $read bytes of a $size-byte image"
    [ "$read" -eq "$size" ] || status=1
done
exit $status
