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
    / Build Date         = / { sub(/= .*/, "= (date)") }
    / Header Checksum    = 0x/ { sub(/0x[0-9A-F][0-9A-F]/, "0x??") }
    match($0, /[0-9a-f]+/) && RLENGTH == 32 {
        d = substr($0, RSTART, 32); if (!(d in n)) n[d] = ++k; sub(d, "(digest " n[d] ")") }
    { print }'

# A "$ " line starts an example, "> " lines continue it; the lines after it are its output.
# README.md shows them indented by four spaces, the manual page between .EX and .EE. The
# first command, hidden, writes the component files: "NAME SIZE;..." in FILES.
# Usage: extract DOCUMENT ROFF FILES
extract() {
    awk -v roff="$2" -v files="$3" '
        BEGIN { print "  $ for f in" files " do seq 9999999 | head -c ${f#* } >${f% *}; done" }
        roff { gsub(/\\-/, "-"); gsub(/\\\(aq/, "\047"); gsub(/\\\(dq/, "\""); gsub(/\\e/, "\\") }
        roff && /^\.E[XE]/ { block = /^\.EX/; next }
        !roff { block = sub(/^    /, "") }
        block && (example || /^\$ /) { example = 1; print "  " $0; next }
        { example = 0 }
    ' "$1" | awk "$MASK" >"$work/${1##*/}.t"
}
extract "$root/README.md" 0 ' "u-boot.bin 262144" "zImage 2752512" "rootfs.img 8388608";'
extract "$root/man/hpmimg.1" 1 ' "u-boot.bin 3000" "zImage 200000";'
status=0
for transcript in "$work"/*.t; do bash "$root/tests/cli/run.sh" "$transcript" "$@" || status=1; done
exit $status
