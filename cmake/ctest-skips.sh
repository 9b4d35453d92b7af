#!/bin/sh
# Run by CTest after the tests and its summary (CTEST_CUSTOM_POST_TEST, written into the build
# folder's CTestCustom.cmake by tests/CMakeLists.txt): below CTest's list of the tests that did
# not run, the reasons the skipped ones gave, which CTest itself shows only with -V. A test
# that skips prints a "skip: REASON" line a reason; they are read from CTest's log of the run
# (LastTest.log.tmp while CTest runs). Prints nothing when no test gave one; never fails.
# Usage: ctest-skips.sh BUILD/Testing/Temporary
log=$1/LastTest.log.tmp
[ -f "$log" ] || log=$1/LastTest.log
[ -f "$log" ] || exit 0
awk '/^[0-9]+\/[0-9]+ Test: / { test = substr($0, index($0, ": ") + 2) }
    /^skip: / && !seen[test, $0]++ { reasons = reasons "\n\t" test ": " substr($0, 7) }
    END { if (reasons != "") print "\nThe skipped tests gave these reasons:" reasons }' "$log" || true
