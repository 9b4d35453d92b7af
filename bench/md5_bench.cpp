// Throughput of md5_update over 64 MiB, fed in one call and in 1024-byte chunks.
#include "digest/md5.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

const std::vector<unsigned char>& data_64_mib() {
    static const std::vector<unsigned char> data = [] {
        std::vector<unsigned char> bytes(64u << 20);
        std::mt19937 generator(64);
        for (unsigned char& byte : bytes)
            byte = static_cast<unsigned char>(generator());
        return bytes;
    }();
    return data;
}

void md5_update_64_mib(benchmark::State& state) {
    const auto& data = data_64_mib();
    const std::size_t chunk = static_cast<std::size_t>(state.range(0));
    unsigned char digest[md5_digest_size];
    for (auto _ : state) {
        md5_ctx ctx;
        md5_init(ctx);
        for (std::size_t at = 0; at < data.size(); at += chunk)
            md5_update(ctx, data.data() + at, chunk);
        md5_final(ctx, digest);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(data.size()));
}

} // namespace

BENCHMARK(md5_update_64_mib)->Arg(64u << 20)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
