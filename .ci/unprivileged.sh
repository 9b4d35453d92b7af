#!/usr/bin/env bash
# The README's test command where most developers and CI jobs run it: as an ordinary user,
# and as root without CAP_SYS_ADMIN (dropped from the bounding set by setpriv, as container
# runners start jobs). Each leg runs in its own fresh clone of the current commit, owned by
# whoever runs it; plain `unshare -m` must fail in it, and every test must pass with none
# skipped (rows that mount use a user namespace instead). The command's first part, which
# installs packages, runs once as root first, so in the legs it finds everything there.
# Needs root (or sudo); adds the user hpmimg-ci when it is missing.
set -euo pipefail
[ "$(id -u)" -eq 0 ] || exec sudo bash "$0" "$@"
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

# leg NAME OWNER SETPRIV_OPTIONS...: the test command in a clone owned by OWNER, run through
# setpriv with the options and a clean environment.
# shellcheck disable=SC2016 # $1 and $2 are expanded by the bash setpriv starts
leg() {
    local name=$1 owner=$2 dir=$work/$1
    shift 2
    git clone -q --no-hardlinks . "$dir"
    git -C "$dir" checkout -q --detach "$commit"
    chown -R "$owner:" "$dir"
    ! setpriv "$@" unshare -m true 2>/dev/null || fail "$name: unshare -m works, the leg proves nothing"
    echo "unprivileged: $name: \$ $test_command"
    setpriv "$@" --reset-env bash -c 'cd "$1" && eval "$2"' bash "$dir" "$test_command" |
        tee "$dir.log"
    ! grep -q 'The following tests did not run' "$dir.log" || fail "$name: some tests were skipped"
}
leg user "$user" --reuid "$user" --regid "$user" --init-groups
leg no-sys-admin root --bounding-set -sys_admin --inh-caps -sys_admin
echo "unprivileged: the README's test command passed as $user and as root without CAP_SYS_ADMIN, $SECONDS s"
