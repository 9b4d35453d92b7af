#!/usr/bin/env bash
# The fuzz leg of CI: builds the fuzz preset and fuzzes the inspector for a fixed time, one
# worker, from the seed corpus alone (fuzz/make_corpus.sh), so that neither the harness nor
# its build can rot unseen. Installs clang and libFuzzer's runtime with apt-get when missing.
# Prints the executions done; on a finding, the end of libFuzzer's log and each finding as
# hex, for fuzz/regressions/, and fails.
# Usage: .ci/fuzz.sh [seconds]    (default 30)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}

# A fuzzer links only where clang++ and its runtime (Debian's libclang-rt-dev) are both there.
links_fuzzer() {
    printf '%s\n' '#include <cstddef>' \
        'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, std::size_t) { return 0; }' |
        clang++ -fsanitize=fuzzer,address,undefined -x c++ - -o /dev/null 2>/dev/null
}
missing=()
links_fuzzer || missing+=(clang libclang-rt-dev)
bash .ci/apt-install.sh "${missing[@]}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --workflow --preset fuzz >"$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }
mkdir "$work/seeds" "$work/corpus" "$work/findings"
fuzz/make_corpus.sh "$work/seeds" build/fuzz/hpmimg

status=0
build/fuzz/fuzz/fuzz_inspect "$work/corpus" "$work/seeds" -max_len=4096 -timeout=5 \
    -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$work/findings/" \
    >"$work/fuzz.log" 2>&1 || status=$?
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/fuzz.log")
if [ "$status" -ne 0 ]; then
    tail -n 60 "$work/fuzz.log"
    for finding in "$work"/findings/*; do
        [ -e "$finding" ] || continue
        echo "fuzz: $(basename "$finding"), as hex:"
        od -An -v -tx1 "$finding" | tr -d ' '
    done
    echo "fuzz: fuzz_inspect ended with status $status after ${runs:-its} executions"
    exit 1
fi
took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$work/fuzz.log")
seeds=$(find "$work/seeds" -type f | wc -l)
echo "fuzz: $runs executions in $took s from $seeds seeds, no finding"
