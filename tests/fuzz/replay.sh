#!/usr/bin/env bash
# Replays the fuzzer's seed corpus (fuzz/make_corpus.sh) and its recorded findings
# (fuzz/regressions/*.hex) through the built tool in test mode and in extract mode. Every
# run must end within 10 seconds with status 0 or 1 and print nothing on stderr, where
# the sanitizers report; a sanitizer finding also ends with status 99, never 1. A run that
# ends with status 0 must give the MD5 verdict that md5sum gives for the same bytes.
# Test mode with HPMIMG_STRICT=1 must end with status 0 on exactly the images whose plain test
# run ends with status 0, md5sum's verdict OK and no error, warning or checksum mismatch,
# and so on every image create mode made.
# Every run says how it ended: an error line, or the MD5 line.
# Usage: tests/fuzz/replay.sh hpmimg command...   (the command may start with an emulator)
set -euo pipefail
# Exits 77 (skipped) where python3, which writes the corpus and decodes the findings, is absent.
command -v python3 >/dev/null || { echo "skip: python3 is not installed"; exit 77; }
root=$(cd "$(dirname "$0")/../.." && pwd)
tool=("$@")
export ASAN_OPTIONS=exitcode=99 UBSAN_OPTIONS=exitcode=99:print_stacktrace=1 TZ=UTC
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/inputs" "$work/run"
"$root/fuzz/make_corpus.sh" "$work/inputs" "${tool[@]}"
for hex in "$root"/fuzz/regressions/*.hex; do
    [ -e "$hex" ] || continue
    name=$(basename "$hex" .hex)
    python3 -c 'import sys; sys.stdout.buffer.write(bytes.fromhex(sys.stdin.read()))' \
        <"$hex" >"$work/inputs/regression-$name.hpm"
done

# The MD5 verdict md5sum gives: the digest of all but the last 16 bytes against those bytes.
md5_verdict() {
    local size
    size=$(stat -c %s "$1")
    if [ "$(head -c $((size - 16)) "$1" | md5sum | cut -c1-32)" = \
        "$(tail -c 16 "$1" | od -An -tx1 | tr -d ' \n')" ]; then echo OK; else echo Error; fi
}

# Test mode; extract mode into four files; extract mode failing to open an APP file in a
# missing directory.
runs=("-t -h img.hpm"
      "-x -h img.hpm -u uboot.bin -k kernel.bin -r rfs.bin -a app.bin"
      "-x -h img.hpm -a missing/app.bin")
cd "$work/run"
count=0 failures=0
for input in "$work"/inputs/*; do
    expected=$(md5_verdict "$input")
    for args in "${runs[@]}"; do
        rm -f ./*
        cp "$input" img.hpm
        status=0
        # shellcheck disable=SC2086 # the arguments are words
        timeout -k 5 10 "${tool[@]}" $args >stdout.txt 2>stderr.txt || status=$?
        count=$((count + 1))
        if [[ $status -eq 0 ]] && ! grep -qx " MD5 Checksum       = $expected" stdout.txt; then
            failures=$((failures + 1))
            echo "FAIL $(basename "$input"): hpmimg $args: MD5 verdict is not $expected"
        elif [[ $status -gt 1 || -s stderr.txt ]] || ! grep -q '^ Error: \|^ MD5 Checksum' stdout.txt; then
            failures=$((failures + 1))
            case $status in
                124 | 137) outcome="timed out" ;;
                13[0-9] | 1[4-9][0-9]) outcome="killed by signal $((status - 128))" ;;
                *) outcome="status $status" ;;
            esac
            echo "FAIL $(basename "$input"): hpmimg $args: $outcome"
            head -c 4000 stderr.txt
        elif [[ $args == -t* ]]; then
            oracle=damaged strict=damaged
            [[ $status -eq 0 && $expected == OK ]] && ! grep -Eq \
                '^ (Error|Warning): |Checksum += (0x.. \(Error\)|Error)$' stdout.txt && oracle=sound
            HPMIMG_STRICT=1 "${tool[@]}" -t -h img.hpm >/dev/null && strict=sound
            if [[ $strict != "$oracle" || $input == */created-* && $strict == damaged ]]; then
                failures=$((failures + 1)) && echo "FAIL $(basename "$input"): strict: $strict"
            fi
        fi
    done
done
echo "$count runs on $(find "$work/inputs" -type f | wc -l) inputs, $failures failed"
[ "$failures" -eq 0 ]
