#!/usr/bin/env bash
# The README's two set-up commands on a fresh machine: a minimal Debian 12 root holding only
# git, cmake, g++, make and ca-certificates (made by mmdebstrap), a clone of the current
# commit in it, and the two commands read out of README.md, so that the README and this
# check cannot drift apart, run as root in the root with /proc, /sys and /dev bound in.
# The root is not a mount point, as in pbuilder-like build roots, where no mount namespace
# can be made: the first command must end with the image's MD5 verdict "OK", the second
# with every test passed but cli.outputs and cli.strict, skipped for the rows that mount
# something. Then, with the root bound onto itself, both must run and pass (root's own mount
# namespace). Needs root (or
# sudo) and Debian's mirrors; the root's tarball is cached in
# ${XDG_CACHE_HOME:-~/.cache}/hpmimg, keyed by its package list, and rebuilt after 30 days.
set -euo pipefail
# chroot and mount need root; the cache stays the caller's.
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null ||
        { echo "fresh-root: mounts and chroots, so needs root: run it as root, or install sudo" >&2; exit 1; }
    exec sudo env XDG_CACHE_HOME="${XDG_CACHE_HOME:-$HOME/.cache}" bash "$0" "$@"
fi
cd "$(dirname "$0")/.."

suite=bookworm
packages=ca-certificates,git,cmake,g++,make
commit=$(git rev-parse HEAD)

fail() {
    echo "fresh-root: $*" >&2
    exit 1
}
build_command=$(bash .ci/readme-command.sh release) || fail "README.md runs no release workflow"
test_command=$(bash .ci/readme-command.sh test) || fail "README.md runs no test workflow"

cache=${XDG_CACHE_HOME:-$HOME/.cache}/hpmimg
tarball=$cache/root-$suite-$(echo "$packages" | sha256sum | cut -c1-16).tar
work=$(mktemp -d /tmp/hpmimg-root-XXXXXX)
root=$work/root
mounts=()
cleanup() {
    local status=$? i
    rm -f "$tarball.new"
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
        umount -R "${mounts[i]}" || umount -R -l "${mounts[i]}" || status=1
    done
    # Never delete through a mount that is still there.
    if grep -q " $work/" /proc/self/mountinfo; then
        echo "fresh-root: $work still has mounts; not removing it" >&2
        status=1
    else
        rm -rf --one-file-system "$work"
    fi
    exit $status
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

command -v mmdebstrap >/dev/null || bash .ci/apt-install.sh mmdebstrap
mkdir -p "$cache"
find "$tarball" -mtime +30 -delete 2>/dev/null || true
if [ ! -f "$tarball" ]; then
    echo "fresh-root: making the $suite root ($packages)"
    mmdebstrap --quiet --variant=apt --format=tar --include="$packages" "$suite" "$tarball.new"
    mv "$tarball.new" "$tarball"
fi
# The folder holding the root is a mount point, so that no mount below it reaches the host's
# other mount namespaces; the root itself is not one.
mount --bind "$work" "$work"
mounts+=("$work")
mount --make-rslave "$work"
mkdir "$root"
tar -C "$root" -xf "$tarball"
for dir in proc sys dev; do
    mount --rbind "/$dir" "$root/$dir"
    mounts+=("$root/$dir")
    # Unmounting at the end must not reach back into the host's own mounts.
    mount --make-rslave "$root/$dir"
done
rm -f "$root/etc/resolv.conf"
cp -L /etc/resolv.conf "$root/etc/resolv.conf"
git clone -q --no-hardlinks . "$root/root/hpmimg"
git -C "$root/root/hpmimg" checkout -q --detach "$commit"

# in_root COMMAND: runs it with bash in the clone, as root in a clean environment.
# shellcheck disable=SC2016 # $1 is expanded by the bash in the root
in_root() {
    chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        bash -c 'cd /root/hpmimg && eval "$1"' bash "$1"
}

echo "fresh-root: \$ $build_command"
in_root "$build_command" | tee "$root/build.log"
tail -n1 "$root/build.log" | grep -qx ' MD5 Checksum       = OK' ||
    fail "the first command did not end with the MD5 verdict OK"

echo "fresh-root: \$ $test_command"
in_root "$test_command" | tee "$root/test.log"
skips=$(bash .ci/skips.sh "$root/test.log")
expected=$'cli.outputs\ncli.strict\nskip: no mount namespace of root\'s here (no CAP_SYS_ADMIN, or / not a mount point)'
expected+=$'\nskip: nothing can be mounted: no user namespace here, nor CAP_SYS_ADMIN with / a mount point'
[ "$skips" = "$expected" ] || fail "skipped: ${skips:-nothing}; expected: the rows that mount something"

# A root that is a mount point, as on a real machine: root's own mount namespace works there.
mount --rbind "$root" "$root"
mounts+=("$root")
mount --make-rslave "$root"
outputs_command='ctest --test-dir build/test -R "^cli\.(outputs|strict)\$" --output-on-failure'
echo "fresh-root: \$ $outputs_command"
in_root "$outputs_command" | tee "$work/outputs.log"
! grep -q 'The following tests did not run' "$work/outputs.log" ||
    fail "cli.outputs or cli.strict was skipped in a root that is a mount point"
echo "fresh-root: both README commands passed in a bare $suite root, $SECONDS s"
