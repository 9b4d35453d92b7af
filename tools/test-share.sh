#!/usr/bin/env bash
# The test suite's size against the code's, by non-blank, non-comment lines and by the
# characters on them that are not blanks (indentation and spacing do not count).
# The code: src/*/*.{h,cpp}. The suite: everything under tests/ that is code (C++, shell,
# python, CMake) and the transcripts' command lines (a row's expected output is not counted,
# as a unit test's expected values are), and the test scenarios that live elsewhere:
# fuzz/make_corpus.sh (the images fuzz_replay runs). Not counted: the scripts that run this
# same suite elsewhere (.ci/unprivileged.sh, fresh-root.sh, cross.sh, and
# packaging/check-deb.sh, which runs the documents' examples with the installed tool), checks
# of the build rather than of the tool (.ci/reproducible.sh, the package's files and lintian
# in check-deb.sh, the static checks), bench/ and the fuzzer, which measure or search and
# fail no test, and data (tests/mutants-equivalent.txt).
# Fails when the suite is over a third of the code by lines or over 40 % by characters.
set -euo pipefail
cd "$(dirname "$(realpath "$0")")/.."
# size MARKER FILES...: "lines characters" of the lines that are not blank and do not start
# with MARKER (a comment, or for transcripts anything but a command line, whose "  $ " or
# "  > " is dropped).
size() {
    local marker=$1
    shift
    [ $# -gt 0 ] || { echo "0 0"; return; }
    awk -v marker="$marker" '
        marker == "t" { if (!/^  [$>] /) next; $0 = substr($0, 5) }
        marker != "t" { line = $0; sub(/^[[:space:]]+/, "", line)
                        if (line == "" || index(line, marker) == 1) next }
        { gsub(/[[:space:]]/, ""); if ($0 != "") { lines++; chars += length($0) } }
        END { print lines + 0, chars + 0 }' "$@"
}
files() { # files PATTERN...: the files under tests/ of these names, sorted
    local args=() pattern
    for pattern in "$@"; do args+=(-o -name "$pattern"); done
    find tests -type f \( "${args[@]:1}" \) | sort
}
mapfile -t cpp < <(files '*.cpp' '*.h')
mapfile -t scripts < <(files '*.sh' '*.py' 'CMakeLists.txt' '*.cmake')
mapfile -t transcripts < <(files '*.t')
add() { # add NAME LINES CHARS
    printf '%-36s %4d lines %6d characters\n' "$1" "$2" "$3"
    total_lines=$((total_lines + $2)) total_chars=$((total_chars + $3))
}
total_lines=0 total_chars=0
# shellcheck disable=SC2046 # each size is two words
{
    add "tests/ C++" $(size // "${cpp[@]}")
    add "tests/ scripts" $(size '#' "${scripts[@]}")
    add "tests/ transcripts (command lines)" $(size t "${transcripts[@]}")
    add fuzz/make_corpus.sh $(size '#' fuzz/make_corpus.sh)
}
read -r code_lines code_chars < <(size // src/*/*.h src/*/*.cpp)
awk -v tl="$total_lines" -v tc="$total_chars" -v cl="$code_lines" -v cc="$code_chars" 'BEGIN {
    printf "lines: tests %d, code %d, share %.1f%% (at most 33.3%%)\n", tl, cl, 100 * tl / cl
    printf "characters: tests %d, code %d, share %.1f%% (at most 40%%)\n", tc, cc, 100 * tc / cc
    if (3 * tl > cl || 10 * tc > 4 * cc) {
        print "test-share: the suite is over its share of the code"
        exit 1
    }
}'
