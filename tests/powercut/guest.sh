# shellcheck shell=sh
# The power-cut scenarios, in the guest: .ci/powercut.sh boots a virtual machine whose /init
# runs this script with the scenario's name, the tool and its inputs in /in and four disks,
# each a new file system: ext4 and ext4-noda, vfat and vfat-badflush. The host cuts the power
# (kills qemu) after the last line printed here, reads the disks and checks every file
# (tests/powercut/check.sh). A run that ends with another status than wanted prints
# "powercut: FAIL" and its output.
#
# after: every output written once, then "powercut: runs done"; the power is cut 4 s later,
#   once the journal has committed every name (commit=1). Every output must be whole.
#   - ext4, mounted as by default: the new image and the new component prove that the data
#     are flushed before the run ends; the replaced files ext4 flushes itself (auto_da_alloc).
#   - ext4-noda, noauto_da_alloc (as on file systems without that heuristic, XFS among them):
#     all four outputs prove it.
#   - vfat, a component over a file and one as a new file: the flush of the file after its
#     name (fsync), without which FAT writes no size nor first cluster under the name.
#   - vfat-badflush, whose every flush fails (qemu's blkdebug): the flush of the data before
#     the name (fdatasync): the run fails with the flush's error and the old file stays.
# loop: an image and a component replaced over and over on both ext4 disks, the tool's writes
#   slowed down (the cgroup "slow" of /init) while the journal's go at full speed; the power
#   is cut at several instants: each file is the old or the new, whole. This too proves the
#   flush before the name: without it the journal commits the name while the data are on
#   their way, and the file reads as zeros.
set -u
cd /in || exit 1
export SOURCE_DATE_EPOCH=1796385600 # as in check.sh: the same images, byte for byte
say() { echo "powercut: $*"; }
run() { # the status wanted, then the command
    want=$1 && shift && "$@" >/tmp/out 2>&1
    got=$?
    [ $got = "$want" ] || { say "FAIL: status $got, not $want: $*"; cat /tmp/out; }
}
image() { ./hpmimg -c -v 1.0 -e 1.0 -h "$@" -k kernel.bin:1.0; } # PATH [-r rfs.bin:1.0]
x() { ./hpmimg -x -h src.hpm "$@"; }
for disk in ext4:commit=1 ext4-noda:commit=1,noauto_da_alloc vfat:rw vfat-badflush:rw; do
    mkdir "/mnt/${disk%:*}"
    mount -o "${disk#*:}" "/dev/pc-${disk%:*}" "/mnt/${disk%:*}" || say "FAIL: mount $disk"
    cp old.hpm old.bin "/mnt/${disk%:*}/"
done
sync
# No periodic writeback, and dirty data never old or many enough to be written for their own
# sake: what the tool leaves unflushed is lost, as on a board whose power fails before the
# kernel's writeback comes round.
sysctl -qw vm.dirty_writeback_centisecs=0 vm.dirty_expire_centisecs=360000 \
    vm.dirty_background_ratio=90 vm.dirty_ratio=95
case $1 in
after)
    for fs in ext4 ext4-noda; do
        run 0 image "/mnt/$fs/new.hpm" -r rfs.bin:1.0
        run 0 image "/mnt/$fs/old.hpm" -r rfs.bin:1.0
        run 0 x -k "/mnt/$fs/new.bin"
        run 0 x -r "/mnt/$fs/old.bin"
    done
    run 0 x -k /mnt/vfat/new.bin -r /mnt/vfat/old.bin
    run 1 x -k /mnt/vfat-badflush/old.bin
    grep -qxF " Error: fsync('/mnt/vfat-badflush/old.bin') failed, Input/output error" /tmp/out ||
        say "FAIL: no flush error"
    say "runs done"
    ;;
loop)
    echo $$ >/sys/fs/cgroup/slow/cgroup.procs || say "FAIL: no cgroup"
    for fs in ext4 ext4-noda; do
        while :; do
            image "/mnt/$fs/old.hpm" -r rfs.bin:1.0
            x -r "/mnt/$fs/old.bin"
            image "/mnt/$fs/old.hpm"
            x -k "/mnt/$fs/old.bin"
        done >/dev/null 2>&1 &
    done
    say looping
    ;;
esac
sleep 3600
