#include "transfer/transfer.h"

#include "files.h"
#include "main/context.h"
#include "main/report.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

std::string pattern(std::size_t size) {
    std::string data(size, '\0');
    for (std::size_t n = 0; n < size; ++n)
        data[n] = static_cast<char>(n * 31 + n / 256);
    return data;
}

std::string digest_of(const std::string& data) {
    md5_ctx md5;
    md5_init(md5);
    md5_update(md5, reinterpret_cast<const unsigned char*>(data.data()), data.size());
    unsigned char digest[md5_digest_size];
    md5_final(md5, digest);
    return std::string(reinterpret_cast<char*>(digest), sizeof digest);
}

struct copy_data_test : testing::Test {
    temp_dir dir;
    void open_streams(const std::string& input, const char* output = nullptr) {
        write_file(dir / "in.bin", input);
        ctx.input = fopen((dir / "in.bin").c_str(), "rb");
        ctx.output = fopen(output != nullptr ? output : (dir / "out.bin").c_str(), "wb");
        md5_init(ctx.digest);
    }
    void TearDown() override {
        close_streams();
    }
    // Closes both streams; returns what was written and the digest of what was read.
    std::pair<std::string, std::string> finish() {
        TearDown();
        unsigned char digest[md5_digest_size];
        md5_final(ctx.digest, digest);
        return {read_file(dir / "out.bin"), std::string(reinterpret_cast<char*>(digest), 16)};
    }
};

TEST_F(copy_data_test, moves_and_digests_exactly_the_length_asked_for) {
    const std::pair<int32_t, bool> cases[] = {
        {0, true}, {1, true}, {1024, true}, {1025, true}, {3000, true}, {3000, false}, {-5, true}};
    for (const auto& [length, write] : cases) {
        const std::string data = pattern(length > 0 ? static_cast<std::size_t>(length) : 0);
        open_streams(data + "tail");
        copy_data(length, write);
        EXPECT_EQ(ftell(ctx.input), static_cast<long>(data.size())) << length;
        const auto [written, digest] = finish();
        EXPECT_EQ(written, write ? data : "") << length;
        EXPECT_EQ(digest, digest_of(data)) << length;
    }
}

TEST_F(copy_data_test, short_input_reports_the_offset_of_the_last_whole_chunk) {
    open_streams(pattern(2500));
    EXPECT_EXIT(
        {
            dup2(2, 1); // death tests match what the child writes to stderr
            copy_data(3000, true);
        },
        testing::ExitedWithCode(1), "^ Error: input file fread\\(offset=2048\\) failed, .*\n$");
}

TEST_F(copy_data_test, write_failure_reports_the_offset) {
    open_streams(pattern(2000), "/dev/full");
    setvbuf(ctx.output, nullptr, _IONBF, 0);
    EXPECT_EXIT(
        {
            dup2(2, 1);
            copy_data(2000, true);
        },
        testing::ExitedWithCode(1),
        "^ Error: output file fwrite\\(offset=0\\) failed, No space left on device\n$");
}

} // namespace
