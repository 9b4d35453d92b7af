#!/usr/bin/env bash
# The power-cut leg of CI: the tool runs in a virtual machine (qemu-system-x86_64 without
# KVM, Debian 12's cloud kernel, a busybox initramfs, hpmimg linked statically) on ext4 and
# FAT disks, and the machine's power is cut by killing qemu: 4 s after every run has exited
# 0, and at several instants while outputs are replaced in a loop. The disks are then
# repaired as at the next boot (e2fsck, fsck.vfat) and read on the host (debugfs, mtools).
# The scenarios, the flush each proves and their checks are in tests/powercut/ (guest.sh,
# check.sh). Installs what is missing with apt-get; the kernel package is fetched with
# apt-get download, unpacked here, never installed, and kept in
# ${XDG_CACHE_HOME:-~/.cache}/hpmimg. Five machines, two at a time: about 40 s on two cores,
# a minute with the build. Skips, saying why, only where qemu cannot run at all.
# POWERCUT_KEEP=1 keeps the machines' consoles and disks, and says where.
#
# HPMIMG=path tests another statically linked build instead of building build/powercut: that
# is how to see a planted fault fail. Take a flush out of a clone, build it, point here:
#   git clone -q . /tmp/plant && cd /tmp/plant && $EDITOR src/output/output.cpp
#   cmake -S . -B b -DCMAKE_BUILD_TYPE=Release -DHPMIMG_STATIC=ON -DHPMIMG_TESTS=OFF
#   cmake --build b && cd - && HPMIMG=/tmp/plant/b/hpmimg bash .ci/powercut.sh
# - No flush of the data before the name (finish_output in output.cpp flushing only an output
#   written in place): vfat-badflush's old file is replaced though the run fails, and the
#   loop's cuts find images and components of full size whose data never reached the disk.
# - No flush of the file after its name (flush_placed in temporary.cpp flushing only the
#   folder): the files extracted onto vfat are left empty.
set -euo pipefail
cd "$(dirname "$0")/.."

fail() {
    echo "powercut: $*" >&2
    exit 1
}
missing=()
for need in qemu-system-x86_64:qemu-system-x86 cpio:cpio e2fsck:e2fsprogs fsck.vfat:dosfstools \
    mcopy:mtools; do
    command -v "${need%%:*}" >/dev/null || missing+=("${need#*:}")
done
# The guest has no C library: its busybox must be the static one.
[ -x /bin/busybox ] && ! readelf -lW /bin/busybox | grep -q INTERP || missing+=(busybox-static)
bash .ci/apt-install.sh "${missing[@]}"

work=$(mktemp -d /tmp/hpmimg-powercut-XXXXXX)
cleanup() {
    local pidfile
    for pidfile in "$work"/vm-*/pid; do
        [ ! -f "$pidfile" ] || kill -KILL "$(cat "$pidfile")" 2>/dev/null || true
    done
    if [ -n "${POWERCUT_KEEP:-}" ]; then
        echo "powercut: the machines' consoles and disks are kept in $work"
    else
        rm -rf "$work"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

if ! why=$(echo quit | qemu-system-x86_64 -accel tcg -machine none -display none -nodefaults \
    -no-user-config -monitor stdio 2>&1 >/dev/null); then
    echo "powercut: skipped: qemu-system-x86_64 cannot run here: ${why:-no reason given}"
    exit 0
fi

# The kernel: the package Debian's linux-image-cloud-amd64 depends on, fetched unless kept.
cache=${XDG_CACHE_HOME:-$HOME/.cache}/hpmimg
mkdir -p "$cache"
fetch_kernel() {
    package=$(apt-cache depends linux-image-cloud-amd64 2>/dev/null |
        sed -n 's/^ *Depends: \(linux-image-6\.1\.0-[0-9]*-cloud-amd64\)$/\1/p')
    [ -n "$package" ] || return 1
    compgen -G "$cache/${package}_*.deb" >/dev/null && return
    rm -f "$cache"/linux-image-*.deb
    local sandbox=()
    [ "$(id -u)" -ne 0 ] || sandbox=(-o APT::Sandbox::User=root)
    (cd "$cache" && apt-get download -q "${sandbox[@]}" "$package" >/dev/null)
}
if ! fetch_kernel; then
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    fetch_kernel || fail "cannot fetch Debian's linux-image-6.1.0-*-cloud-amd64"
fi
dpkg-deb -x "$(compgen -G "$cache/${package}_*.deb" | head -n1)" "$work/kernel"
version=${package#linux-image-}
vmlinuz=$work/kernel/boot/vmlinuz-$version
moddir=$work/kernel/lib/modules/$version

if [ -z "${HPMIMG:-}" ]; then
    { cmake -S . -B build/powercut -DCMAKE_BUILD_TYPE=Release -DHPMIMG_STATIC=ON -DHPMIMG_TESTS=OFF &&
        cmake --build build/powercut -j"$(nproc)"; } >"$work/build.log" 2>&1 ||
        { cat "$work/build.log"; fail "the static build failed"; }
    HPMIMG=build/powercut/hpmimg
fi
! readelf -lW "$HPMIMG" | grep -q INTERP || fail "$HPMIMG is not statically linked"
bash tests/powercut/check.sh inputs "$work/in" "$HPMIMG"
mke2fs -q -F -t ext4 -b 4096 "$work/ext4.img" 1G >/dev/null
mkfs.vfat -C "$work/vfat.img" 65536 >/dev/null

# The initramfs: busybox, the modules the disks and file systems need where the kernel has
# them as modules, the scenarios and their inputs. /init names each disk /dev/pc-SERIAL,
# makes the cgroup "slow", whose writes go out at 8 MB/s on every disk, gives each disk a
# fifth of the dirty limit for itself (else the flusher, which the guest wakes at once for
# every file dirtied, writes back a disk whose share of the limit it finds small), and runs
# the scenario named by powercut= on the kernel's command line.
root=$work/root
mkdir -p "$root/bin" "$root/proc" "$root/sys" "$root/dev" "$root/tmp" "$root/mnt" "$root/lib/modules/$version"
cp /bin/busybox "$root/bin/"
cp -r "$work/in" "$root/in"
cp tests/powercut/guest.sh "$root/guest.sh"
busybox depmod -b "$work/kernel" "$version"
cp "$moddir/modules.dep" "$root/lib/modules/$version/"
modules=()
for need in VIRTIO_PCI:virtio_pci VIRTIO_BLK:virtio_blk EXT4_FS:ext4 VFAT_FS:vfat \
    NLS_CODEPAGE_437:nls_cp437 NLS_ASCII:nls_ascii; do
    case $(sed -n "s/^CONFIG_${need%%:*}=//p" "$work/kernel/boot/config-$version") in
    y) ;;
    m) modules+=("${need#*:}") ;;
    *) fail "$package has no ${need#*:}" ;;
    esac
done
for module in "${modules[@]}"; do
    read -ra files <<<"$(sed -n "s|^\([^:]*/$module\.ko\):|\1|p" "$moddir/modules.dep")"
    for file in "${files[@]}"; do
        mkdir -p "$root/lib/modules/$version/$(dirname "$file")"
        cp "$moddir/$file" "$root/lib/modules/$version/$file"
    done
done
cat >"$root/init" <<EOF
#!/bin/busybox sh
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc && mount -t sysfs sysfs /sys && mount -t devtmpfs devtmpfs /dev
modprobe -a ${modules[*]}
mount -t cgroup2 cgroup2 /sys/fs/cgroup && echo +memory +io >/sys/fs/cgroup/cgroup.subtree_control
mkdir /sys/fs/cgroup/slow
for disk in /sys/block/vd*; do
    ln -s "/dev/\${disk##*/}" "/dev/pc-\$(cat "\$disk/serial")"
    echo "\$(cat "\$disk/dev") wbps=8000000" >/sys/fs/cgroup/slow/io.max
    echo 20 >"\$disk/bdi/min_ratio"
done
exec sh /guest.sh "\$powercut"
EOF
chmod +x "$root/init"
(cd "$root" && find . | cpio -o -H newc --quiet) >"$work/initramfs"

# boot NAME SCENARIO CUT: boots a machine with four new disks (every flush fails on
# vfat-badflush), cuts its power CUT seconds after the scenario's last line, repairs the disks
# as the next boot would, copies every file off them into vm-NAME/DISK/ and checks them.
boot() {
    local name=$1 vm=$work/vm-$1 scenario=$2 cut=$3 disk file drives=() pid
    local deadline=$((SECONDS + 150))
    mkdir "$vm"
    printf '[inject-error]\nevent = "flush_to_disk"\niotype = "flush"\nerrno = "5"\n' >"$vm/badflush"
    for disk in ext4 ext4-noda vfat vfat-badflush; do
        file=$vm/$disk.img
        cp --sparse=always "$work/${disk%-*}.img" "$file"
        [ $disk != vfat-badflush ] || file=blkdebug:$vm/badflush:$file
        drives+=(-drive "file=$file,format=raw,if=none,id=$disk,werror=report"
            -device "virtio-blk-pci,drive=$disk,serial=$disk")
    done
    qemu-system-x86_64 -accel tcg -m 1024 -smp 1 -nodefaults -no-user-config -display none \
        -no-reboot -pidfile "$vm/pid" -serial "file:$vm/console" -kernel "$vmlinuz" \
        -initrd "$work/initramfs" -append "console=ttyS0 panic=-1 quiet powercut=$scenario" \
        "${drives[@]}" &
    pid=$!
    until grep -q '^powercut: \(runs done\|looping\)' "$vm/console" 2>/dev/null; do
        if ! kill -0 "$pid" 2>/dev/null || [ $SECONDS -gt $deadline ]; then
            kill -KILL "$pid" 2>/dev/null || true
            echo "powercut: $name: the guest never got to its last line; its console:"
            tail -n 30 "$vm/console"
            return 1
        fi
        sleep 0.1
    done
    sleep "$cut"
    kill -KILL "$pid"
    wait "$pid" 2>/dev/null || true
    echo "powercut: $name: power cut $cut s after the guest's last line"
    for disk in ext4 ext4-noda vfat vfat-badflush; do
        mkdir "$vm/$disk"
        if [[ $disk == ext4* ]]; then
            e2fsck -fy "$vm/$disk.img" >"$vm/$disk.fsck" 2>&1 || [ $? -lt 4 ] ||
                { echo "powercut: $name: e2fsck cannot repair $disk"; cat "$vm/$disk.fsck"; return 1; }
            debugfs -R "rdump / $vm/$disk" "$vm/$disk.img" 2>/dev/null
        else
            fsck.vfat -a "$vm/$disk.img" >"$vm/$disk.fsck" 2>&1 || [ $? -lt 2 ] ||
                { echo "powercut: $name: fsck.vfat cannot repair $disk"; cat "$vm/$disk.fsck"; return 1; }
            mcopy -s -n -i "$vm/$disk.img" '::*' "$vm/$disk/" 2>/dev/null || true
        fi
    done
    bash tests/powercut/check.sh "$scenario" "$vm" "$work/in"
}

# Two machines at a time, one per core; each prints its report when done.
vms=("after after 4")
for cut in 1.5 3 4.5 6; do
    vms+=("loop-$cut loop $cut")
done
running=0
for vm in "${vms[@]}"; do
    if [ $running -eq 2 ]; then
        wait -n || true
        running=1
    fi
    # shellcheck disable=SC2086 # a machine is words
    { boot $vm >"$work/${vm%% *}.log" 2>&1 && touch "$work/${vm%% *}.passed"; } &
    running=$((running + 1))
done
wait
failed=()
for vm in "${vms[@]}"; do
    cat "$work/${vm%% *}.log"
    [ -e "$work/${vm%% *}.passed" ] || failed+=("${vm%% *}")
done
[ ${#failed[@]} -eq 0 ] || fail "FAILED: ${failed[*]} (${#vms[@]} machines, $SECONDS s)"
echo "powercut: all ${#vms[@]} machines' disks held what they should after the cut, $SECONDS s"
