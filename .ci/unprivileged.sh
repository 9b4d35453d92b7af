#!/usr/bin/env bash
# The README's test command where most developers and CI jobs run it: as an ordinary user,
# as root without CAP_SYS_ADMIN (dropped from the bounding set by setpriv, as container
# runners start jobs), and as an ordinary user's root in a user namespace of its own
# (`unshare -r`, as rootless containers run jobs). Each leg runs in its own fresh clone of
# the current commit, owned by whoever runs it; plain `unshare -m` must fail for whoever
# starts it, every test must pass, and the rows may skip only as listed below (the full-disk
# row mounts in a user namespace, so it must run). The command's first part, which installs
# packages, runs once as root first, so in the legs it finds everything there. Needs root
# (or sudo); adds the user hpmimg-ci when it is missing.
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null ||
        { echo "unprivileged: adds a user and switches to it, so needs root: run it as root, or install sudo" >&2; exit 1; }
    exec sudo bash "$0" "$@"
fi
cd "$(dirname "$0")/.."

user=hpmimg-ci
commit=$(git rev-parse HEAD)
fail() {
    echo "unprivileged: $*" >&2
    exit 1
}
test_command=$(bash .ci/readme-command.sh test) || fail "README.md runs no test workflow"
bash .ci/test-deps.sh
id "$user" >/dev/null 2>&1 || useradd --create-home --shell /bin/bash "$user"
work=$(mktemp -d /tmp/hpmimg-unprivileged-XXXXXX)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"

# leg NAME OWNER SKIPS WRAPPER SETPRIV_OPTIONS...: the test command in a clone owned by OWNER,
# run through setpriv with the options and a clean environment, and through the WRAPPER
# command (words; may be empty); SKIPS: what it must skip, as .ci/skips.sh prints it.
# shellcheck disable=SC2016 # $1 and $2 are expanded by the bash setpriv starts
leg() {
    local name=$1 owner=$2 expected=$3 dir=$work/$1 skips
    local -a wrapper
    read -ra wrapper <<<"$4"
    shift 4
    git clone -q --no-hardlinks . "$dir"
    git -C "$dir" checkout -q --detach "$commit"
    chown -R "$owner:" "$dir"
    ! setpriv "$@" unshare -m true 2>/dev/null || fail "$name: unshare -m works, the leg proves nothing"
    echo "unprivileged: $name: \$ $test_command"
    setpriv --reset-env "$@" "${wrapper[@]}" bash -c 'cd "$1" && eval "$2"' bash "$dir" "$test_command" |
        tee "$dir.log"
    skips=$(bash .ci/skips.sh "$dir.log")
    [ "$skips" = "$expected" ] || fail "$name: skipped: ${skips:-nothing}; expected: ${expected:-nothing}"
}
as_user=(--reuid "$user" --regid "$user" --init-groups)
# Only root can give a file to another user, as one row of cli.outputs does, or make a folder
# append-only (CAP_LINUX_IMMUTABLE), as another does.
immutable=$'skip: no append-only folders here (no CAP_LINUX_IMMUTABLE, or a file system without them)'
leg user "$user" $'cli.outputs\n'"$immutable"$'\nskip: only root can give files to other users' "" "${as_user[@]}"
leg no-sys-admin root $'cli.outputs\nskip: no mount namespace of root\'s here (no CAP_SYS_ADMIN, or / not a mount point)' "" \
    --bounding-set -sys_admin --inh-caps -sys_admin
# In the namespace only the user's own id is mapped (to 0): no file can be given to another
# user, nor an ACL entry name one; its root has no CAP_LINUX_IMMUTABLE over the disk's files.
leg userns "$user" $'cli.outputs\nskip: no ACLs here (no setfacl, or a file system without them)\n'"$immutable"$'\nskip: only root can give files to other users' \
    "unshare -r" "${as_user[@]}"
echo "unprivileged: the README's test command passed as $user, as root without CAP_SYS_ADMIN and as $user's root in a user namespace, $SECONDS s"
