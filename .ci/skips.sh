#!/usr/bin/env bash
# Prints what a run of the test suite skipped, read from its output (LOG): the tests CTest
# did not run, then the reasons they gave as "skip: REASON" lines, from the list the test
# command prints after CTest's summary (cmake/ctest-skips.sh), each list sorted.
# Usage: .ci/skips.sh LOG
set -euo pipefail
sed -En 's/^[[:space:]]*[0-9]+ - (.*) \(Skipped\)$/\1/p' "$1" | sort
sed -n '/^The skipped tests gave these reasons:$/,/^$/s/^\t[^:]*: /skip: /p' "$1" | sort -u
