#!/usr/bin/env bash
# Replays the fuzzer's seed corpus (fuzz/make_corpus.sh) and its recorded findings
# (fuzz/regressions/*.hex) through the built tool in test mode and in extract mode. Every
# run must end within 10 seconds with status 0 or 1 and print nothing on stderr, where
# the sanitizers report; a sanitizer finding also ends with status 99, never 1. A run that
# ends with status 0 must give the MD5 verdict that md5sum gives for the same bytes.
# Test mode with HPMIMG_STRICT=1 must end with status 0 on exactly the images whose plain test
# run ends with status 0, md5sum's verdict OK and no error, warning or checksum mismatch,
# and so on every image create mode made.
# Every run says how it ended: an error line, or the MD5 line. A failure prints the status
# (124 or 137: timed out; 128 + N: killed by signal N).
# Usage: tests/fuzz/replay.sh HPMIMG_BINARY [EMULATOR WORDS...]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
tool=("${@:2}" "$1")
export ASAN_OPTIONS=exitcode=99 UBSAN_OPTIONS=exitcode=99:print_stacktrace=1 TZ=UTC
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/inputs" "$work/run"
"$root/fuzz/make_corpus.sh" "$work/inputs" "${tool[@]}"
# shellcheck source=tests/cli/prelude.sh
. "$root/tests/cli/prelude.sh" # hex
for finding in "$root"/fuzz/regressions/*.hex; do
    [ ! -e "$finding" ] || hex "$(cat "$finding")" >"$work/inputs/regression-$(basename "$finding" .hex).hpm"
done
cd "$work/run"
count=0 failures=0
fail() {
    failures=$((failures + 1))
    echo "FAIL ${input##*/}: hpmimg $args: $*"
}
for input in "$work"/inputs/*; do
    # md5sum's verdict: the digest of all but the last 16 bytes against those bytes
    expected=Error
    [ "$(head -c -16 "$input" | md5sum | cut -c1-32)" != "$(tail -c 16 "$input" | od -An -tx1 | tr -d ' \n')" ] ||
        expected=OK
    # test mode; extract mode into four files; extract mode failing to open a missing folder's file
    for args in "-t -h img.hpm" "-x -h img.hpm -u uboot.bin -k kernel.bin -r rfs.bin -a app.bin" \
        "-x -h img.hpm -a missing/app.bin"; do
        rm -f ./*
        cp "$input" img.hpm
        status=0 count=$((count + 1))
        # shellcheck disable=SC2086 # the arguments are words
        timeout -k 5 10 "${tool[@]}" $args >stdout.txt 2>stderr.txt || status=$?
        if [ $status = 0 ] && ! grep -qx " MD5 Checksum       = $expected" stdout.txt; then
            fail "MD5 verdict is not $expected"
        elif [ $status -gt 1 ] || [ -s stderr.txt ] || ! grep -q '^ Error: \|^ MD5 Checksum' stdout.txt; then
            fail "status $status" && head -c 4000 stderr.txt
        elif [[ $args == -t* ]]; then
            oracle=damaged strict=damaged
            [[ $status = 0 && $expected = OK ]] && ! grep -Eq \
                '^ (Error|Warning): |Checksum += (0x.. \(Error\)|Error)$' stdout.txt && oracle=sound
            HPMIMG_STRICT=1 "${tool[@]}" -t -h img.hpm >/dev/null && strict=sound
            [[ $strict != "$oracle" || $input == */created-* && $strict == damaged ]] && fail "strict: $strict"
        fi
    done
done
echo "$count runs on $(find "$work/inputs" -type f | wc -l) inputs, $failures failed"
[ "$failures" -eq 0 ]
