#!/usr/bin/env bash
# The README's test command where most developers and CI jobs run it: as an ordinary user,
# and as root without CAP_SYS_ADMIN (dropped from the bounding set by setpriv, as container
# runners start jobs). Each leg runs in its own fresh clone of the current commit, owned by
# whoever runs it; plain `unshare -m` must fail in it, every test must pass, and the rows
# may skip only as listed below (the full-disk row mounts in a user namespace, so it must
# run). The command's first part, which installs packages, runs once as root first, so in
# the legs it finds everything there. Needs root (or sudo); adds the user hpmimg-ci when
# it is missing.
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

# leg NAME OWNER SKIPS SETPRIV_OPTIONS...: the test command in a clone owned by OWNER, run
# through setpriv with the options and a clean environment; SKIPS: what it must skip, as
# .ci/skips.sh prints it.
# shellcheck disable=SC2016 # $1 and $2 are expanded by the bash setpriv starts
leg() {
    local name=$1 owner=$2 expected=$3 dir=$work/$1 skips
    shift 3
    git clone -q --no-hardlinks . "$dir"
    git -C "$dir" checkout -q --detach "$commit"
    chown -R "$owner:" "$dir"
    ! setpriv "$@" unshare -m true 2>/dev/null || fail "$name: unshare -m works, the leg proves nothing"
    echo "unprivileged: $name: \$ $test_command"
    setpriv "$@" --reset-env bash -c 'cd "$1" && eval "$2"' bash "$dir" "$test_command" |
        tee "$dir.log"
    skips=$(bash .ci/skips.sh "$dir.log" "$dir/build/test/Testing/Temporary/LastTest.log")
    [ "$skips" = "$expected" ] || fail "$name: skipped: ${skips:-nothing}; expected: ${expected:-nothing}"
}
# Only root can give a file to another user, as one row of cli.outputs does.
leg user "$user" $'cli.outputs\nskip: only root can give files to other users' \
    --reuid "$user" --regid "$user" --init-groups
leg no-sys-admin root "" --bounding-set -sys_admin --inh-caps -sys_admin
echo "unprivileged: the README's test command passed as $user and as root without CAP_SYS_ADMIN, $SECONDS s"
