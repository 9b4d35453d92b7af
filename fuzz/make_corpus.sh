#!/usr/bin/env bash
# Writes the seed corpus of the inspector's fuzzer: small images made by create mode, images
# with OEM data written byte by byte (with the transcripts' helpers), and variants of them cut
# short or with one byte changed at the places that shape the walk, in the damaged and unusual
# shapes the inspector must survive. The same files every time.
# Usage: fuzz/make_corpus.sh OUT_DIR HPMIMG_COMMAND...
#   the command may start with an emulator, e.g. qemu-arm -L /usr/arm-linux-gnueabihf hpmimg.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$1"
out=$(realpath "$1")
tool=("${@:2}")
tool[-1]=$(realpath "${tool[-1]}") # create mode runs in a scratch folder
cd "$(mktemp -d)"
trap 'rm -rf "$PWD"' EXIT
# shellcheck source=tests/cli/prelude.sh
. "$root/tests/cli/prelude.sh" # hex, patch, checksum, seal, header

# Component files of a few sizes around the 1024-byte transfer chunk; descriptions that read
# like verdicts, one of 21 characters or more, make a sound image all the same.
seq 9999 >pattern
for file in u-boot.bin:100 zImage:1025 rfs.img:1 app.tar:0 big.bin:3000 varn1900-app.tar:17 \
    'x(Error):5' Warning:2 ' MD5 Checksum       = OK:3'; do
    head -c "${file##*:}" pattern >"${file%:*}"
done
made() { SOURCE_DATE_EPOCH=1796385600 "${tool[@]}" -c -h "$out/$1.hpm" "${@:2}" >/dev/null; }
made one-uboot -v 1.0 -u u-boot.bin:1.0.1
made one-kernel -v 1.2.3 -k big.bin:2.6.1
made two -v 3.4 -e 1.0 -r rfs.img:0.9.12 -a app.tar:7.10.255
made four -v 128.10.255 -e 2.1.5 -u u-boot.bin -k zImage:1.1 -r rfs.img -a varn1900-app.tar
made named -v 1.0 -e 1.0 -u 'x(Error)' -k Warning -r ' MD5 Checksum       = OK'
# part NAME FROM SIZE: the first SIZE bytes of the seed FROM (all but -SIZE), as $f.
part() { f=$out/$1.hpm && head -c "$3" "$out/$2.hpm" >"$f"; }

# OEM data of 1, 4 and 300 bytes before two's actions, its checksum byte right and wrong; the
# header alone; no components.
for n in 1 4 300; do
    f=$out/oem-$n.hpm
    { header | head -c 34 && head -c $n pattern && echo && tail -c +36 "$out/two.hpm" | head -c -16; } >"$f"
    patch "$f" 32 "$(printf %02x%02x $((n % 256)) $((n / 256)))" && checksum "$f" 0 $((34 + n)) && seal "$f"
done
part oem-bad-checksum oem-4 -16 && patch "$f" 38 00 && seal "$f"
header >"$out/header.hpm" && seal "$out/header.hpm"
part none two 35 && patch "$f" 20 00 && checksum "$f" 0 34 && seal "$f"
# Cut short: inside the header (the trailer overlapping it), the action headers, the upload
# body, data, the trailer; and so with a right trailer.
for n in 0 1 8 34 35 36 38 40 45 50 60 72 200 1316 1332; do part cut-$n four $n; done
for n in 37 40 60; do part sealed-$n four $n && seal "$f"; done
# One byte set to 00, 80 or ff, the header's checksum made right again where the byte is in
# it, the trailer too: signature, format version, device, build time, capabilities, mask,
# revisions, OEM data length, header checksum; the Prepare action's type, mask and checksum;
# the first Upload's type, mask and checksum, revision, description, data length, the last one's length.
for at in 3 8 9 18 19 20 25 27 32 33 34 35 36 37 38 39 40 42 46 50 68 71 1296; do
    for byte in 00 80 ff; do
        part $at-$byte four -16 && patch "$f" $at $byte && { [ $at -gt 33 ] || checksum "$f" 0 34; } && seal "$f"
    done
done
