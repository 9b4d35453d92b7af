#!/usr/bin/env bash
# A fuzzing campaign on the inspector: builds the fuzz preset, writes the seed corpus and
# fuzzes test and extract modes from it. The grown corpus is kept in fuzz/out/corpus and
# reused by the next campaign; findings (crash-*, leak-*, timeout-*, oom-*) and the
# workers' logs (fuzz-N.log) land in fuzz/out.
# Usage: fuzz/run.sh [seconds [workers]]    (default 1800 seconds, 2 workers)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-1800}
workers=${2:-2}
cmake --workflow --preset fuzz >/dev/null
fuzz/make_corpus.sh fuzz/corpus/generated build/fuzz/hpmimg
mkdir -p fuzz/out/corpus
cd fuzz/out
# Images of a few KiB reach every path; a run takes well under a millisecond.
exec ../../build/fuzz/fuzz/fuzz_inspect corpus ../corpus/generated -max_len=4096 -timeout=5 \
    -max_total_time="$seconds" -jobs="$workers" -workers="$workers" -print_final_stats=1 \
    -artifact_prefix=./
