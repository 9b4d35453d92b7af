#!/usr/bin/env bash
# Create, test and extract mode under valgrind: no memory error, no leak and no file left
# open (each component file is closed before the next is opened), on the success path and
# on an error path, which ends the process through exit with the tool's own status 1.
# Exits 77 (skipped) where valgrind is absent.
set -euo pipefail
tool=$1
command -v valgrind >/dev/null || { echo "skip: valgrind is not installed"; exit 77; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
seq 1200 >k.bin
printf 'u' >u.bin
for run in "0 -c -v 1.2.3 -e 1.0 -h img.hpm -u u.bin -k k.bin:2.6.1" "0 -t -h img.hpm" \
    "0 -x -h img.hpm -k k.out" "1 -x -h img.hpm -k no/such/dir"; do
    set -- $run
    status=0
    valgrind -q --leak-check=full --errors-for-leak-kinds=definite,indirect --error-exitcode=99 \
        --track-fds=yes "$tool" "${@:2}" >/dev/null 2>fds.log || status=$?
    if [ "$status" -ne "$1" ] || grep 'Open file descriptor.*\.\(bin\|hpm\|out\)' fds.log; then
        echo "valgrind: hpmimg ${*:2}: status $status, expected $1"
        exit 1
    fi
done
cmp k.bin k.out
echo "valgrind: create, test, extract and an error exit are clean"
