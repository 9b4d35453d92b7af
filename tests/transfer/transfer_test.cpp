#include "transfer/transfer.h"

#include "main/context.h"
#include "tool_run.h"

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

std::string current_digest() {
    unsigned char digest[md5_digest_size];
    md5_final(ctx.digest, digest);
    return std::string(reinterpret_cast<char*>(digest), sizeof digest);
}

struct copy_fixture : testing::Test {
    temp_dir dir;
    void open_streams(const std::string& input_data) {
        write_file(dir / "in.bin", input_data);
        ctx.input = fopen((dir / "in.bin").c_str(), "rb");
        ctx.output = fopen((dir / "out.bin").c_str(), "wb");
        md5_init(ctx.digest);
    }
    void TearDown() override {
        if (ctx.input != nullptr)
            fclose(ctx.input);
        if (ctx.output != nullptr)
            fclose(ctx.output);
        ctx.input = ctx.output = nullptr;
    }
};

TEST_F(copy_fixture, copies_and_digests_exactly_the_length_asked_for) {
    for (std::size_t size : {0u, 1u, 1024u, 1025u, 3000u}) {
        const std::string data = pattern(size);
        open_streams(data + "tail");
        copy_data(static_cast<int32_t>(size), true);
        EXPECT_EQ(ftell(ctx.input), static_cast<long>(size)) << size;
        fclose(ctx.output);
        ctx.output = nullptr;
        EXPECT_EQ(read_file(dir / "out.bin"), data) << size;
        EXPECT_EQ(current_digest(), digest_of(data)) << size;
        TearDown();
    }
}

TEST_F(copy_fixture, without_write_reads_through_and_writes_nothing) {
    const std::string data = pattern(3000);
    open_streams(data);
    copy_data(3000, false);
    fclose(ctx.output);
    ctx.output = nullptr;
    EXPECT_EQ(read_file(dir / "out.bin"), "");
    EXPECT_EQ(current_digest(), digest_of(data));
}

TEST_F(copy_fixture, negative_length_moves_nothing) {
    open_streams(pattern(10));
    copy_data(-5, true);
    EXPECT_EQ(ftell(ctx.input), 0);
    EXPECT_EQ(current_digest(), digest_of(""));
}

TEST_F(copy_fixture, short_input_reports_offset_of_last_whole_chunk) {
    open_streams(pattern(2500));
    EXPECT_EXIT(
        {
            dup2(2, 1); // report prints on stdout; death tests match stderr
            copy_data(3000, true);
        },
        testing::ExitedWithCode(1), "^ Error: input file fread\\(offset=2048\\) failed, .*\n$");
}

TEST_F(copy_fixture, write_failure_reports_offset) {
    open_streams(pattern(2000));
    fclose(ctx.output);
    ctx.output = fopen("/dev/full", "wb");
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
