#!/usr/bin/env bash
# Builds the release preset, packages it with cpack -G DEB, has lintian check the package
# (any error or warning fails), installs it, runs the installed /usr/bin/hpmimg (create an
# image, then test it), checks its --version, that man finds the page and that its bash
# completion loads and completes, and removes the package again.
# Refuses to start when hpmimg is already on the machine, so that removing the package at
# the end leaves the machine as it was. Needs root (or sudo).
set -euo pipefail
cd "$(dirname "$0")/.."

# Installing and removing the package needs root, or sudo.
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null ||
        { echo "check-deb: installs the package, so needs root: run it as root, or install sudo" >&2; exit 1; }
    sudo=(sudo)
fi

fail() {
    echo "check-deb: $*" >&2
    exit 1
}

package_state() {
    dpkg-query -W -f='${db:Status-Status}' hpmimg 2>/dev/null || true
}
case "$(package_state)" in
"" | not-installed) ;;
*) fail "the hpmimg package is on the machine ($(package_state)); remove it first (dpkg -P hpmimg)" ;;
esac
completion=/usr/share/bash-completion/completions/hpmimg
for file in /usr/bin/hpmimg /usr/share/man/man1/hpmimg.1.gz /usr/share/doc/hpmimg "$completion"; do
    [ ! -e "$file" ] || fail "$file exists outside the package; not overwriting it"
done

cmake --workflow --preset release
rm -f build/release/hpmimg_*.deb
(cd build/release && cpack -G DEB)
debs=(build/release/hpmimg_*.deb)
{ [ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ]; } || fail "cpack made no single .deb: ${debs[*]}"
deb=${debs[0]}
echo "check-deb: $deb, $(stat -c %s "$deb") bytes"
dpkg-deb --field "$deb" Package Version Architecture Depends

command -v lintian >/dev/null || bash .ci/apt-install.sh lintian
# Fails on errors and warnings; info and pedantic tags pass (and are not shown).
lintian --fail-on error,warning "$deb" || fail "lintian reports errors or warnings (above)"
echo "check-deb: lintian: no errors or warnings"

work=$(mktemp -d)
cleanup() {
    "${sudo[@]}" dpkg -r hpmimg || true
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
"${sudo[@]}" dpkg -i "$deb"

# Create an image with the installed binary; with -e given, create mode prints nothing.
head -c 5000 /dev/urandom >"$work/zImage"
out=$(cd "$work" && /usr/bin/hpmimg -c -v 1.2.3 -e 1.0 -h fw.hpm -k zImage:2.6.15) ||
    fail "create mode ended with status $?"
[ -z "$out" ] || fail "create mode printed: $out"
[ "$(stat -c %s "$work/fw.hpm")" -eq $((35 + 3 + 34 + 5000 + 16)) ] ||
    fail "the image has the wrong size"
# The trailer is the MD5 of everything before it; md5sum checks that independently.
[ "$(head -c -16 "$work/fw.hpm" | md5sum | cut -c1-32)" = \
    "$(tail -c 16 "$work/fw.hpm" | od -An -tx1 | tr -d ' \n')" ] ||
    fail "the image's MD5 trailer does not match md5sum"

# Test it. The build date and the header checksum depend on the time of creation.
out=$(cd "$work" && TZ=UTC /usr/bin/hpmimg -h fw.hpm) || fail "test mode ended with status $?"
masked=$(sed -E -e 's/^( Build Date         = ).*/\1DATE/' \
    -e 's/^( Header Checksum    = )0x[0-9A-F]{2} \(OK\)$/\1OK/' <<<"$out")
expected=" HPM.1 Image Format = 0
 Target Device ID   = 0x07 (Varn-800)
 Manufacturer ID    = 0x0A7E51 (KTL)
 Product ID         = 0x0000
 Build Date         = DATE
 Image Capabilities = 0x07 ( ManualRollback AutoRollback SelfTest )
 Components Mask    = 0x02 ( 1 )
 Self Test Timeout  = 300 seconds
 Rollback Timeout   = 300 seconds
 No Access Timeout  = 300 seconds
 Earliest CompatRev = 1.0.0
 Image FW Revision  = 1.2.3
 Image AUX Revision = 0x00 0x00 0x00 0x00
 OEM Data Length    = 0
 Header Checksum    = OK
 --------------------
 Upgrade Action     = 1 (Prepare)
 Action Components  = 0x02 ( 1 )
 Action Checksum    = 0xFD (OK)
 --------------------
 Upgrade Action     = 2 (Upload)
 Action Components  = 0x02 ( 1 )
 Action Checksum    = 0xFC (OK)
 Action FW Revision = 2.6.15
 Action AUX Revision= 0x00 0x00 0x00 0x0F
 Action Description = zImage
 Action Data Length = 5000
 --------------------
 MD5 Checksum       = OK"
if [ "$masked" != "$expected" ]; then
    diff <(echo "$expected") <(echo "$masked") >&2 || true
    fail "test mode printed something else"
fi

if command -v man >/dev/null; then
    page=$(env -u MANPATH man -w hpmimg) || fail "man -w hpmimg found no page"
    [ "$page" = /usr/share/man/man1/hpmimg.1.gz ] || fail "man -w hpmimg found $page"
else
    echo "check-deb: man-db is not installed; not looking for the page"
fi

[ "$(/usr/bin/hpmimg --version | head -1)" = "hpmimg $(dpkg-deb --field "$deb" Version)" ] ||
    fail "--version does not print the package's version"
# The completion where bash-completion finds it by the command's name, loaded as it loads it.
offered=$(bash -c '. "$1" && COMP_WORDS=(hpmimg --vers) && COMP_CWORD=1 && _hpmimg && echo "${COMPREPLY[*]}"' \
    sh "$completion") ||
    fail "$completion does not load"
[ "$offered" = --version ] || fail "$completion completes --vers to '$offered'"

trap - EXIT
cleanup
case "$(package_state)" in
"" | not-installed) ;;
*) fail "the package is still on the machine ($(package_state))" ;;
esac
[ ! -e /usr/bin/hpmimg ] || fail "/usr/bin/hpmimg is still there"
echo "check-deb: OK: installed, created and tested an image, found the page, removed"
