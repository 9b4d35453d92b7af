// Throughput of md5_update over 64 MiB, fed in one call and in 1024-byte chunks, and of
// whole digests of 16 KiB, the unit `openssl speed -bytes 16384` reports.
#include "digest/md5.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

std::vector<unsigned char> random_bytes(std::size_t count) {
    std::vector<unsigned char> bytes(count);
    std::mt19937 generator(64);
    for (unsigned char& byte : bytes)
        byte = static_cast<unsigned char>(generator());
    return bytes;
}

void md5_update_64_mib(benchmark::State& state) {
    static const std::vector<unsigned char> data = random_bytes(64u << 20);
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

// One digest of a cached 16 KiB buffer per iteration, as openssl speed measures it.
void md5_16_kib(benchmark::State& state) {
    static const std::vector<unsigned char> data = random_bytes(16384);
    unsigned char digest[md5_digest_size];
    for (auto _ : state) {
        md5_ctx ctx;
        md5_init(ctx);
        md5_update(ctx, data.data(), data.size());
        md5_final(ctx, digest);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(data.size()));
}

} // namespace

BENCHMARK(md5_update_64_mib)->Arg(64u << 20)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(md5_16_kib)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
