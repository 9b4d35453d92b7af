#!/usr/bin/env bash
# Writes the seed corpus of the inspector's fuzzer: small images made by create mode, and
# variants of them edited byte by byte into the damaged and unusual shapes the inspector
# must survive. The same files every time (the build time is fixed after creation).
# Usage: fuzz/make_corpus.sh [out_dir [hpmimg command...]]
#   out_dir defaults to fuzz/corpus/generated, the command to build/fuzz/hpmimg; the
#   command may start with an emulator, e.g. qemu-arm -L /usr/arm-linux-gnueabihf hpmimg.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/fuzz/corpus/generated}
shift || true
tool=("$@")
[ ${#tool[@]} -gt 0 ] || tool=("$root/build/fuzz/hpmimg")
# create mode runs in a scratch directory: a relative tool path must survive the cd.
last=${tool[${#tool[@]} - 1]}
[[ $last == */* ]] && tool[${#tool[@]} - 1]=$(realpath "$last")
mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Component files of a few sizes around the 1024-byte transfer chunk.
python3 -c '
import sys
for name, size in (("u-boot.bin", 100), ("zImage", 1025), ("rfs.img", 1), ("app.tar", 0),
                   ("big.bin", 3000), ("varn1900-app.tar", 17), ("x(Error)", 5), ("Warning", 2),
                   (" MD5 Checksum       = OK", 3)):
    open(name, "wb").write(bytes((n * 7 + n // 251 + size) & 255 for n in range(size)))
'
create() {
    local image=$1
    shift
    "${tool[@]}" -c -h "$image" "$@" >/dev/null
}
create one-uboot.hpm -v 1.0 -u u-boot.bin:1.0.1
create one-kernel.hpm -v 1.2.3 -k big.bin:2.6.1
create two.hpm -v 3.4 -e 1.0 -r rfs.img:0.9.12 -a app.tar:7.10.255
create four.hpm -v 128.10.255 -e 2.1.5 -u u-boot.bin -k zImage:1.1 -r rfs.img -a varn1900-app.tar
# Descriptions that read like verdicts: a sound image all the same.
create named.hpm -v 1.0 -e 1.0 -u 'x(Error)' -k Warning -r ' MD5 Checksum       = OK'

python3 - "$out" <<'EOF'
import hashlib, struct, sys

out = sys.argv[1]
HEADER = 35


def seed(name, data):
    with open(f"{out}/{name}", "wb") as f:
        f.write(data)


def zero_sum(data):
    return -sum(data) & 255


def trailer(body):
    return body + hashlib.md5(body).digest()


def body_of(image):
    return bytearray(image[:-16])


def header(mask=0x0F, time=0x6B12AB40, oem=b"", patches=()):
    h = bytearray(b"PICMGFWU" + bytes([0, 7, 0x51, 0x7E, 0x0A, 0, 0]) + struct.pack("<I", time)
                  + bytes([7, mask, 60, 60, 60, 0, 0, 1, 0x23, 0, 0, 0, 0]))
    h += struct.pack("<H", len(oem))
    for offset, value in patches:
        h[offset] = value
    if not oem:
        return h + bytes([zero_sum(h)])
    return h + oem + bytes([zero_sum(h + oem)])


def action(kind, mask, checksum=None):
    return bytes([kind, mask, zero_sum([kind, mask]) if checksum is None else checksum])


def upload(mask, length, data=b"", description=b"zImage", minor=0x23, aux3=0):
    field = description[:21].ljust(21, b"\0")
    return (action(2, mask) + bytes([2, minor, 0, 0, 0, aux3]) + field
            + struct.pack("<I", length) + data)


# Created images, with the build time fixed so that the corpus is the same on every run.
created = {}
for name in ("one-uboot", "one-kernel", "two", "four", "named"):
    image = body_of(open(f"{name}.hpm", "rb").read())
    image[15:19] = struct.pack("<I", 0x6B12AB40)
    image[34] = zero_sum(image[:34])
    created[name] = image
    seed(f"created-{name}.hpm", trailer(image))
two, four = created["two"], created["four"]

# No components: header and trailer alone, and with an empty Prepare action.
seed("zero-components.hpm", trailer(header(mask=0)))
seed("zero-components-prepare.hpm", trailer(header(mask=0) + action(1, 0)))

# OEM data: its checksum byte right, wrong, and OEM data running past the end of the file.
for length in (1, 4, 300):
    oem = bytes(n & 255 for n in range(length))
    seed(f"oem-{length}.hpm", trailer(header(oem=oem) + two[HEADER:]))
bad = header(oem=b"OEM!")
bad[-1] ^= 0x5A
seed("oem-bad-checksum.hpm", trailer(bad + two[HEADER:]))
seed("oem-past-end.hpm", trailer(header(patches=((32, 0xFF), (33, 0xFF)))))
seed("oem-4-in-38-bytes.hpm", header(oem=b"OEM!")[:38])

# Backup, Reserved and unchecked actions between the created ones.
seed("backup-reserved.hpm", trailer(two[:HEADER] + action(0, 0x0F) + action(3, 0x01)
                                    + action(0xFF, 0xFF) + two[HEADER:]))
seed("bad-action-checksums.hpm",
     trailer(two[:HEADER] + action(1, 0x0C, 0) + action(2, 0x04, 0) + two[HEADER + 6:]))
seed("two-uploads-same-component.hpm",
     trailer(header(mask=1) + upload(1, 3, b"abc") + upload(1, 2, b"de")))
seed("upload-mask-06.hpm", trailer(header(mask=6) + upload(0x06, 5, b"12345")))
seed("upload-mask-f0.hpm", trailer(header(mask=0) + upload(0xF0, 4, b"wxyz") + upload(0, 0)))
seed("description-21.hpm",
     trailer(header() + upload(8, 1, b"!", b"D" * 21, minor=0xFF, aux3=200)))

# Data lengths: huge, negative as signed counts, into the trailer, past the end.
for length in (0xFFFFFFFF, 0x80000000, 0x7FFFFFFF):
    seed(f"length-{length:08x}.hpm", trailer(header() + upload(2, length, b"data")))
seed("length-into-trailer.hpm", trailer(header() + upload(4, 10, b"short")))
seed("length-past-end.hpm", trailer(header() + upload(4, 100, b"short")))

# Truncated images: inside the header, the action headers, the upload body, data, trailer.
whole = trailer(four)
for size in (0, 1, 8, 34, 38, 40, 60, 72, 200, len(whole) - 17, len(whole) - 1):
    seed(f"truncated-{size}.hpm", whole[:size])
seed("dropped-action-header.hpm", trailer(header() + b"\x01\xFE"))
seed("dropped-upload-body.hpm", trailer(header() + upload(1, 0)[:20]))

# Images of 35 to 50 bytes: the trailer overlaps the header and no action is read.
for size in (35, 36, 40, 45, 50):
    seed(f"small-{size}.hpm", (header() + bytes(range(size)))[:size])
seed("small-51.hpm", trailer(header()))

# Header faults and unusual fields.
seed("bad-signature.hpm", trailer(header(patches=((3, ord("m")),))))
seed("format-version-1.hpm", trailer(header(patches=((8, 1),))))
seed("bad-header-checksum.hpm", trailer(header()[:34] + b"\x00" + two[HEADER:]))
seed("odd-fields.hpm", trailer(header(mask=0x81, time=0xFFFFFFFF,
                                      patches=((9, 21), (19, 0xFF), (25, 0xF0), (27, 0x9A),
                                               (31, 7))) + action(1, 0x81)))
seed("bad-md5.hpm", bytes(trailer(four)[:-1]) + b"\x00")
flipped = bytearray(trailer(four))
flipped[HEADER + 3 + 34 + 50] ^= 0x01
seed("flipped-data-bit.hpm", flipped)
flipped = bytearray(trailer(created["named"]))
flipped[HEADER + 3 + 34] ^= 0x01
seed("flipped-named.hpm", flipped)
EOF
