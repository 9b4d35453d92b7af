#include "digest/md5.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string hex(const unsigned char* bytes, std::size_t count) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t n = 0; n < count; ++n) {
        text += digits[bytes[n] >> 4];
        text += digits[bytes[n] & 15];
    }
    return text;
}

std::string md5_in_pieces(const std::string& data, std::size_t piece) {
    md5_ctx ctx;
    md5_init(ctx);
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    for (std::size_t at = 0; at < data.size(); at += piece)
        md5_update(ctx, bytes + at, std::min(piece, data.size() - at));
    unsigned char digest[md5_digest_size + 1];
    digest[md5_digest_size] = 0xA5; // md5_final stores 16 bytes, not one more
    md5_final(ctx, digest);
    EXPECT_EQ(digest[md5_digest_size], 0xA5);
    return hex(digest, md5_digest_size);
}

std::string md5_of(const std::string& data) {
    return md5_in_pieces(data, data.size() + 1);
}

struct vector_case {
    std::string input;
    const char* digest;
};

TEST(md5, known_vectors) {
    const vector_case cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {[] {
             std::string eighty;
             for (int n = 0; n < 8; ++n)
                 eighty += "1234567890";
             return eighty;
         }(),
         "57edf4a22be3c955ac49da2e2107b67a"},
        // n letters 'a' around the one- and two-block padding limits (digests from md5sum)
        {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
        {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
        {std::string(63, 'a'), "b06521f39153d618550606be297466d5"},
        {std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
        {std::string(65, 'a'), "c743a45e0d2e6a95cb859adae0248435"},
    };
    for (const vector_case& c : cases)
        EXPECT_EQ(md5_of(c.input), c.digest) << '"' << c.input << '"';
}

TEST(md5, split_feeding_gives_the_same_digest) {
    std::string data;
    for (int n = 0; n < 5000; ++n)
        data += static_cast<char>(n * 7 + n / 3);
    const std::string whole = md5_of(data);
    for (std::size_t piece : {1u, 3u, 34u, 63u, 64u, 65u, 1024u})
        EXPECT_EQ(md5_in_pieces(data, piece), whole) << "pieces of " << piece;
}

} // namespace
