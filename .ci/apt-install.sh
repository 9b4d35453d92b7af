#!/usr/bin/env bash
# Installs the Debian packages named, without recommends; the package lists may be stale or
# absent, so they are refreshed only when the install fails. Callers name only what is missing.
set -euo pipefail
[ $# -gt 0 ] || exit 0
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
install=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive
         apt-get install -y --no-install-recommends "$@")
"${install[@]}" </dev/null || { "${sudo[@]}" apt-get update && "${install[@]}" </dev/null; }
