#!/usr/bin/env bash
# The power-cut test's host side; .ci/powercut.sh runs it, and tests/powercut/guest.sh tells
# what each scenario proves.
#   check.sh inputs DIR HPMIMG    writes the guest's inputs into DIR, with that binary
#   check.sh after|loop VM DIR    checks what the cut left in VM/DISK/, the files read off
#                                 each disk after its fsck, against the inputs in DIR
set -euo pipefail
export SOURCE_DATE_EPOCH=1796385600 # as in guest.sh: the same images, byte for byte
if [ "$1" = inputs ]; then
    mkdir -p "$2" && cp "$3" "$2/hpmimg" && cd "$2"
    seq -f 'kernel %09g' 60000 >kernel.bin
    seq -f 'rootfs %09g' 1200000 >rfs.bin # over 8 MiB: written back in several steps
    seq -f 'old %09g' 80000 >old.bin
    ./hpmimg -c -v 1.0 -e 1.0 -h src.hpm -k kernel.bin:1.0 -r rfs.bin:1.0
    exec ./hpmimg -c -v 1.0 -e 1.0 -h old.hpm -k kernel.bin:1.0
fi
cd "$2"
(cd "$3" && md5sum -- *.hpm *.bin) >sums
status=0
want() { # CHOICES FILE...: prints which input each file holds, else absent, 0 bytes, its size
    local file got
    for file in "${@:2}"; do
        got=absent
        [ ! -e "$file" ] || got="0 bytes"
        [ ! -s "$file" ] || got=$(sed -n "s/^$(md5sum <"$file" | cut -c1-32)  //p" sums)
        [ -n "$got" ] || got="$(stat -c %s "$file") bytes, no input whole"
        [[ "|$1|" == *"|$got|"* ]] || { got+=": FAIL, wants $1"; status=1; }
        echo "powercut: $file: $got"
    done
}
if [ "$1" = loop ]; then
    for fs in ext4 ext4-noda; do
        want 'old.hpm|src.hpm' "$fs/old.hpm"
        want 'old.bin|rfs.bin|kernel.bin' "$fs/old.bin"
    done
else
    for fs in ext4 ext4-noda vfat; do
        [ $fs = vfat ] || want src.hpm "$fs/new.hpm" "$fs/old.hpm"
        want kernel.bin "$fs/new.bin"
        want rfs.bin "$fs/old.bin"
    done
    want absent vfat/.hpmimg-*
    want old.bin vfat-badflush/old.bin
fi
! grep -A20 '^powercut: FAIL' console || status=1
exit $status
