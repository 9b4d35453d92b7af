#include "digest/md5.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

namespace {

// The digest in hexadecimal of the data fed in pieces of the given size; md5_final stores 16
// bytes, not one more.
std::string md5_hex(const std::string& data, std::size_t piece) {
    md5_ctx ctx;
    md5_init(ctx);
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    for (std::size_t at = 0; at < data.size(); at += piece)
        md5_update(ctx, bytes + at, std::min(piece, data.size() - at));
    unsigned char digest[md5_digest_size + 1] = {};
    digest[md5_digest_size] = 0xA5;
    md5_final(ctx, digest);
    EXPECT_EQ(digest[md5_digest_size], 0xA5);
    char hex[2 * md5_digest_size + 1] = {};
    for (std::size_t n = 0; n < md5_digest_size; ++n)
        std::snprintf(hex + 2 * n, 3, "%02x", digest[n]);
    return hex;
}

// The empty message and n letters 'a' around the one- and two-block padding limits (digests
// from md5sum), whole and in pieces that cross the block edges.
TEST(md5, known_vectors) {
    const std::pair<std::string, const char*> cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
        {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
        {std::string(63, 'a'), "b06521f39153d618550606be297466d5"},
        {std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
        {std::string(65, 'a'), "c743a45e0d2e6a95cb859adae0248435"},
    };
    for (const auto& [input, digest] : cases)
        for (const std::size_t piece : {1, 3, 64, 65, 1024})
            EXPECT_EQ(md5_hex(input, piece), digest) << input.size() << " bytes by " << piece;
}

} // namespace
