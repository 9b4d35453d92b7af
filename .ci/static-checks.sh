#!/usr/bin/env bash
# Static checks: the include ladder (.ci/ladder.sh), clang-tidy (.clang-tidy,
# tests/.clang-tidy) over src/ and tests/, cppcheck over src/, and groff's warnings on the
# manual page. Any finding fails the run.
# Takes one to two minutes on two cores, most of it clang-tidy on the tests, so .ci/run does not
# call it.
set -euo pipefail
cd "$(dirname "$0")/.."

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
ls src/*/*.cpp tests/*/*.cpp |
    xargs -P "$(nproc)" -I{} sh -c 'clang-tidy -quiet -p "$1" "$2" >"$3/$(echo "$2" | tr / _).log" 2>&1' \
        sh "$build" {} "$logs" || failed=1
if grep -qE '(warning|error):' "$logs"/*.log; then
    failed=1
fi
grep -hE -A3 '(warning|error):' "$logs"/*.log || true

echo "static-checks: cppcheck"
# Suppressed, as they object only to deliberate choices:
#   useStlAlgorithm  plain loops are the house style; std::generate is no clearer.
#   variableScope    open_stream's two stream buffers are function statics declared up front.
cppcheck --project="$PWD/$build/compile_commands.json" --file-filter='*/src/*' \
    --enable=warning,style,performance,portability --inconclusive --std=c++17 \
    --suppress=useStlAlgorithm --suppress=variableScope:*/src/transfer/transfer.cpp \
    --error-exitcode=1 --quiet --template='{file}:{line}: {severity}: {message} [{id}]' ||
    failed=1

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
