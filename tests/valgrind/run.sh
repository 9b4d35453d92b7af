#!/usr/bin/env bash
# Create, test and extract mode under valgrind: no memory error, no leak and no descriptor
# left open at exit (a file, a folder, anything beyond 0, 1 and 2 that the run opened), on
# the success path and on an error path with an output open (a write to /dev/full), which
# ends the process through exit with the tool's own status 1. Exits 77 (skipped) where
# valgrind is absent.
set -euo pipefail
command -v valgrind >/dev/null || { echo "skip: valgrind is not installed"; exit 77; }
tool=$1
cd "$(mktemp -d)"
trap 'rm -rf "$PWD"' EXIT
seq 1200 >k.bin
for run in "0 -c -v 1.2.3 -e 1.0 -h img.hpm -u k.bin -k k.bin:2.6.1" "0 -t -h img.hpm" \
    "0 -x -h img.hpm -k k.out" "1 -x -h img.hpm -k /dev/full"; do
    read -ra args <<<"$run"
    status=0
    valgrind -q --leak-check=full --errors-for-leak-kinds=definite,indirect --error-exitcode=99 \
        --track-fds=yes "$tool" "${args[@]:1}" >/dev/null 2>fds.log || status=$?
    # valgrind lists each descriptor open at exit but 0, 1 and 2, then where it was opened;
    # those the caller passed down say "<inherited from parent>" instead.
    left=$(awk '/Open .* [0-9]+:/ { getline where; if (where !~ /inherited from parent/) print }' fds.log)
    [[ $status = "${args[0]}" && -z $left ]] || {
        printf 'valgrind: hpmimg %s: status %s, not %s; left open at exit:\n%s\n' "${args[*]:1}" "$status" \
            "${args[0]}" "$left"
        exit 1
    }
done
cmp k.bin k.out
echo "valgrind: create, test, extract and an error exit are clean"
