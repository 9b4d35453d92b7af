#!/usr/bin/env bash
# Writes the seed corpus of the inspector's fuzzer: small images made by create mode, and
# images written byte by byte (with the transcripts' helpers) or cut and patched from them,
# in the damaged and unusual shapes the inspector must survive. The same files every time.
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
. "$root/tests/cli/prelude.sh" # hex, patch, flip, checksum, seal, header, action, upload

# Component files of a few sizes around the 1024-byte transfer chunk; descriptions that read
# like verdicts make a sound image all the same.
seq 9999 >pattern
for file in u-boot.bin:100 zImage:1025 rfs.img:1 app.tar:0 big.bin:3000 varn1900-app.tar:17 \
    'x(Error):5' Warning:2 ' MD5 Checksum       = OK:3'; do
    head -c "${file##*:}" pattern >"${file%:*}"
done
made() { SOURCE_DATE_EPOCH=1796385600 "${tool[@]}" -c -h "$out/created-$1.hpm" "${@:2}" >/dev/null; }
made one-uboot -v 1.0 -u u-boot.bin:1.0.1
made one-kernel -v 1.2.3 -k big.bin:2.6.1
made two -v 3.4 -e 1.0 -r rfs.img:0.9.12 -a app.tar:7.10.255
made four -v 128.10.255 -e 2.1.5 -u u-boot.bin -k zImage:1.1 -r rfs.img -a varn1900-app.tar
made named -v 1.0 -e 1.0 -u 'x(Error)' -k Warning -r ' MD5 Checksum       = OK'
head -c -16 "$out/created-two.hpm" | tail -c +36 >body # two's actions and data
# seed NAME COMMAND [OFFSET BYTES]...: the bytes the shell command writes, patched, with the
# header's checksum made right again (after 34 bytes and $oem bytes of OEM data) and the MD5
# trailer. part NAME FROM SIZE: the first SIZE bytes of the seed FROM.
seed() {
    f=$out/$1.hpm
    eval "$2" >"$f"
    for ((n = 3; n < $#; n += 2)); do patch "$f" "${!n}" "${@:n+1:1}"; done
    checksum "$f" 0 $((34 + ${oem:-0}))
    seal "$f"
}
part() { f=$out/$1.hpm && head -c "$3" "$out/$2.hpm" >"$f"; }
seed small-51 header
seed zero-components header 20 00
seed zero-components-prepare 'header; action 1 0' 20 00
for n in 1 4 300; do
    oem=$n seed oem-$n "header | head -c 34; head -c $n pattern; hex 00; cat body" \
        32 "$(printf %02x%02x $((n % 256)) $((n / 256)))"
done
part oem-bad-checksum oem-4 -16 && flip "$f" 38 && seal "$f"
seed oem-past-end header 32 ffff
part oem-4-in-38-bytes oem-4 38
# Backup, Reserved and unchecked actions; action checksums wrong; uploads of odd masks.
seed backup-reserved 'header; action 0 15; action 3 1; action 255 255; cat body'
seed bad-action-checksums 'header; cat body' 37 00 40 00
seed two-uploads-same-component 'header; upload 1 2 35 0 z 3; printf abc; upload 1 2 35 0 z 2; printf de' 20 01
seed upload-mask-06 'header; upload 6 2 35 0 z 5; printf 12345' 20 06
seed upload-mask-f0 'header; upload 240 2 35 0 z 4; printf wxyz; upload 0 2 35 0 z 0' 20 00
seed description-21 'header; upload 8 2 255 200 DDDDDDDDDDDDDDDDDDDDD 1; printf !'
# Data lengths: huge, negative as signed counts, into the trailer, past the end.
for n in 4294967295 2147483648 2147483647 10 100; do seed length-$n "header; upload 4 2 35 0 z $n; printf short"; done
# Cut short: inside the header, the action headers, the upload body, data, the trailer.
for n in 0 1 8 34 38 40 60 72 200 1316 1332; do part truncated-$n created-four $n; done
seed dropped-action-header 'header; hex 01fe'
seed dropped-upload-body 'header; head -c 20 <(upload 1 2 35 0 z 0)'
# 35 to 50 bytes: the trailer overlaps the header and no action is read.
seed small 'header; hex 000102030405060708090a0b0c0d0e0f'
for n in 35 36 40 45 50; do part small-$n small $n; done
rm "$out/small.hpm"
# Header faults and unusual fields; a wrong trailer, a data bit flipped.
seed bad-signature header 3 6d
seed format-version-1 header 8 01
seed odd-fields 'header; action 1 129' 9 15 15 ffffffff 19 ff 20 81 25 f0 27 9a 31 07
part bad-header-checksum created-two -16 && patch "$f" 34 00 && seal "$f"
part bad-md5 created-four 1333 && patch "$f" 1332 00
part flipped-data-bit created-four 1333 && flip "$f" 122
part flipped-named created-named 166 && flip "$f" 72
