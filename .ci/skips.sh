#!/usr/bin/env bash
# Prints what a run of the test suite skipped: the tests CTest did not run, read from its
# output (LOG), then the rows' "skip: REASON" lines, read from CTest's LastTest.log, each
# list sorted. Usage: .ci/skips.sh LOG LASTTEST_LOG
set -euo pipefail
sed -En 's/^[[:space:]]*[0-9]+ - (.*) \(Skipped\)$/\1/p' "$1" | sort
grep -h '^skip: ' "$2" | sort -u || true
