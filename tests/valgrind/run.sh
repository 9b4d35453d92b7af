#!/usr/bin/env bash
# Create, test and extract mode under valgrind: no memory error and no leak, on the
# success path and on an error path. Exits 77 (skipped) where valgrind is absent.
set -euo pipefail
tool=$1
if ! command -v valgrind >/dev/null; then
    echo "valgrind is not installed: skipped"
    exit 77
fi
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
head -c 5000 /dev/urandom >k.bin
printf 'u' >u.bin

memcheck=(valgrind -q --leak-check=full --errors-for-leak-kinds=definite,indirect)
# Each component file is closed before the next one is opened: none is open at exit.
"${memcheck[@]}" --error-exitcode=1 --track-fds=yes "$tool" -c -v 1.2.3 -e 1.0 -h img.hpm \
    -u u.bin -k k.bin:2.6.1 >/dev/null 2>fds.log
if grep 'Open file descriptor.*\.bin' fds.log; then exit 1; fi
"${memcheck[@]}" --error-exitcode=1 "$tool" -t -h img.hpm >test.out
grep -qx ' MD5 Checksum       = OK' test.out
"${memcheck[@]}" --error-exitcode=1 "$tool" -x -h img.hpm -k k.out >/dev/null
cmp k.bin k.out

# An error ends the process through exit: still clean, with the tool's own status 1.
status=0
"${memcheck[@]}" --error-exitcode=99 "$tool" -x -h img.hpm -k no/such/dir >/dev/null || status=$?
if [ "$status" -ne 1 ]; then
    echo "error path: status $status, expected 1"
    exit 1
fi
echo "valgrind: create, test, extract and an error exit are clean"
