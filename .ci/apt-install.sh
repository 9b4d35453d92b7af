#!/usr/bin/env bash
# Installs the Debian packages named, without recommends; the package lists may be stale or
# absent, so they are refreshed only when the install fails. Callers name only what is missing.
# Needs root or sudo; without either it says so in one line and fails.
set -euo pipefail
[ $# -gt 0 ] || exit 0
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null ||
        { echo "apt-install: installing $* needs root: run as root, or install sudo" >&2; exit 1; }
    sudo=(sudo)
fi
install=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive
         apt-get install -y --no-install-recommends "$@")
"${install[@]}" </dev/null || { "${sudo[@]}" apt-get update && "${install[@]}" </dev/null; }
