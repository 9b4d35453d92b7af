#!/usr/bin/env bash
# Runs every "$ command" example of README.md and of the manual page, with the output shown
# under it, through the transcript runner: each document in a fresh directory that holds
# the component files its examples name, of the data lengths they show (written here, not
# read from the documents). The build date and what it changes (the header checksum, MD5
# digests) are masked; equal digests stay equal.
# Usage: tests/docs/examples.sh HPMIMG_BINARY [EMULATOR WORDS...]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/hpmimg-docs-XXXXXX")
trap 'rm -rf "$work"' EXIT
# shellcheck disable=SC2016 # an awk program
export MASK='
    /^  [$>] / { print; next }
    / Build Date         = / { sub(/= .*/, "= (date)") }
    / Header Checksum    = 0x/ { sub(/0x[0-9A-F][0-9A-F]/, "0x??") }
    {
        h = "[0-9a-f]"; h = h h h h; h = h h h h h h h h
        while (match($0, h)) {
            d = substr($0, RSTART, 32)
            if (!(d in n)) n[d] = ++digests
            $0 = substr($0, 1, RSTART - 1) "(digest " n[d] ")" substr($0, RSTART + 32)
        }
        print
    }'

# A "$ " line starts an example, "> " lines continue it; the lines after it are its output.
# README.md shows them indented by four spaces, the manual page between .EX and .EE.
# Usage: extract DOCUMENT ROFF [FILE SIZE]...
extract() {
    local doc=$1 roff=$2 files=""
    shift 2
    while [ $# -gt 0 ]; do files+=" seq 9999999 | head -c $2 >$1;" && shift 2; done
    awk -v roff="$roff" -v files="$files" '
        BEGIN { print "  $" files }
        roff { gsub(/\\-/, "-"); gsub(/\\\(aq/, "\047"); gsub(/\\\(dq/, "\""); gsub(/\\e/, "\\") }
        roff && /^\.EX/ { block = 1; next }
        roff && /^\.EE/ { block = 0; next }
        !roff { block = sub(/^    /, "") }
        block && /^\$ / { example = 1 }
        block && example { print "  " $0; next }
        { example = 0 }
    ' "$doc" | awk "$MASK" >"$work/${doc##*/}.t"
}
extract "$root/README.md" 0 u-boot.bin 262144 zImage 2752512 rootfs.img 8388608
extract "$root/man/hpmimg.1" 1 u-boot.bin 3000 zImage 200000
# The scripting recipe, which fuzz_replay proves on README.md's copy, reads the same in both.
recipe() { awk '/^  \$ sound\(\)/ { on = 1 } on { printf " %s", substr($0, 5) } /; }$/ { on = 0 }' "$1"; }
[ "$(recipe "$work/README.md.t")" = "$(recipe "$work/hpmimg.1.t")" ] || { echo "recipes differ"; exit 1; }
status=0
for transcript in "$work"/*.t; do
    echo "${transcript##*/}: $(grep -c '^  \$ ' "$transcript") examples"
    bash "$root/tests/cli/run.sh" "$transcript" "$@" || status=1
done
exit $status
