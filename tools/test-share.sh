#!/usr/bin/env bash
# Prints the test suite's size against the code's: non-blank, non-comment lines of
# tests/*/*.cpp and tests/*/*.sh plus the transcripts' command lines, over non-blank,
# non-comment lines of src/*/*.h and src/*/*.cpp, and the share as a percentage.
# The suite must stay at or under a third of the code.
set -euo pipefail
cd "$(dirname "$(realpath "$0")")/.."
code_lines() { # comment marker, files...
    local marker=$1
    shift
    cat "$@" | grep -cEv "^[[:space:]]*(\$|$marker)" || true
}
cpp_tests=$(code_lines // tests/*/*.cpp)
sh_tests=$(code_lines '#' tests/*/*.sh)
commands=$(cat tests/*/*.t | grep -Ec '^  [$>] ' || true)
tests=$((cpp_tests + sh_tests + commands))
code=$(code_lines // src/*/*.h src/*/*.cpp)
awk -v t="$tests" -v c="$code" 'BEGIN { printf "tests %d, code %d, share %.1f%%\n", t, c, 100 * t / c }'
