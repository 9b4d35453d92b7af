#!/usr/bin/env bash
# Prints the README's command that runs a CMake workflow preset (release, test): the first
# indented line of README.md that runs it, so that the CI legs run what the README shows.
# Fails when README.md has none. Usage: .ci/readme-command.sh PRESET
set -euo pipefail
cd "$(dirname "$0")/.."
grep -m1 -E "^    (.*&& *)?cmake --workflow --preset $1( |\$)" README.md | sed 's/^    //'
