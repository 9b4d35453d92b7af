#!/usr/bin/env bash
# Builds the bench preset (the optimised tool and md5_bench) into build/bench, installing
# Google Benchmark with apt-get first when it is missing. The benchmark scripts call it on
# first use; the release preset stays free of it.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f /usr/include/benchmark/benchmark.h ] || bash .ci/apt-install.sh libbenchmark-dev
cmake --workflow --preset bench
