#!/usr/bin/env bash
# Static checks: the include ladder (.ci/ladder.sh), clang-tidy (.clang-tidy) and cppcheck
# over src/, clang-format (.clang-format, version 14 as Debian 12 ships it) over the C++ of
# src/ and tests/, shellcheck over every shell script of the repository, and groff's warnings
# on the manual page. Any finding fails the run. Installs what is missing with apt-get
# (.ci/apt-install.sh). Takes about a minute on two cores, most of it clang-tidy.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd -P)

missing=()
for tool in clang++:clang clang-tidy:clang-tidy clang-format:clang-format cppcheck:cppcheck \
    shellcheck:shellcheck groff:groff; do
    command -v "${tool%%:*}" >/dev/null || missing+=("${tool#*:}")
done
bash .ci/apt-install.sh "${missing[@]}"

build=build/static
# Configuring with clang++ is enough: the checks read the compile commands, nothing is built.
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
    -DHPMIMG_TESTS=ON -DHPMIMG_BENCH=OFF -DHPMIMG_WERROR=ON >/dev/null

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
failed=0

echo "static-checks: include ladder"
bash .ci/ladder.sh || failed=1

echo "static-checks: clang-tidy"
# One file per clang-tidy run, as many runs at once as there are cores; each run's
# output goes to its own log so that findings are not interleaved.
# shellcheck disable=SC2016 # the arguments are expanded by sh
printf '%s\n' src/*/*.cpp |
    xargs -P "$(nproc)" -I{} sh -c 'clang-tidy -quiet -p "$1" "$2" >"$3/$(echo "$2" | tr / _).log" 2>&1' \
        sh "$build" {} "$logs" || failed=1
if grep -qE '(warning|error):' "$logs"/*.log; then
    failed=1
fi
grep -hE -A3 '(warning|error):' "$logs"/*.log || true

echo "static-checks: cppcheck"
# The compile commands name the sources by absolute path: the filter starts at the checkout,
# which may itself lie under a folder named src.
# Suppressed, as it objects only to a deliberate choice:
#   useStlAlgorithm  plain loops are the house style; std::generate is no clearer.
cppcheck --project="$root/$build/compile_commands.json" --file-filter="$root/src/*" \
    --enable=warning,style,performance,portability --inconclusive --std=c++17 \
    --suppress=useStlAlgorithm --error-exitcode=1 --quiet \
    --template='{file}:{line}: {severity}: {message} [{id}]' || failed=1

echo "static-checks: clang-format"
format=$(command -v clang-format-14 || command -v clang-format)
git ls-files -z 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' |
    xargs -0 "$format" --dry-run -Werror || failed=1

echo "static-checks: shellcheck"
# Every tracked file named *.sh or starting with a shell's #! line.
mapfile -t scripts < <(git ls-files | while read -r file; do
    case $file in
    *.sh) echo "$file" ;;
    *) [ -f "$file" ] && head -n1 "$file" | grep -qE '^#!.*[/ ](ba)?sh( |$)' && echo "$file" ;;
    esac
done)
shellcheck "${scripts[@]}" || failed=1

echo "static-checks: manual page"
warnings=$(groff -man -t -ww -z man/hpmimg.1 2>&1)
if [ -n "$warnings" ]; then
    echo "$warnings"
    failed=1
fi

if [ "$failed" -ne 0 ]; then
    echo "static-checks: findings above"
    exit 1
fi
echo "static-checks: no findings"
