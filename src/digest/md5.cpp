#include "digest/md5.h"

#include <cstring>

namespace {

const unsigned char padding[64] = {0x80};

uint32_t load_le32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void store_le32(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

uint32_t rotate_left(uint32_t x, int n) {
    return x << n | x >> (32 - n);
}

inline uint32_t f(uint32_t x, uint32_t y, uint32_t z) {
    return (x & y) | (~x & z);
}
// The two terms share no bits, so + gives the same as |, and lets the term that does
// not need x (the value computed last) be added while x is still being computed.
inline uint32_t g(uint32_t x, uint32_t y, uint32_t z) {
    return (y & ~z) + (x & z);
}
inline uint32_t h(uint32_t x, uint32_t y, uint32_t z) {
    return x ^ y ^ z;
}
inline uint32_t i(uint32_t x, uint32_t y, uint32_t z) {
    return y ^ (x | ~z);
}

// x and t do not wait for the previous step, so they are added first.
template <uint32_t (*fn)(uint32_t, uint32_t, uint32_t)>
inline void step(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, int s, uint32_t t) {
    a = b + rotate_left(a + x + t + fn(b, c, d), s);
}

// Runs the compression over count consecutive blocks. The chaining values stay in
// registers from one block to the next: stored and reloaded around each block, they put a
// store-to-load forwarding delay on the dependency chain once per block.
void transform_blocks(uint32_t state[4], const unsigned char* p, std::size_t count) {
    uint32_t a0 = state[0], b0 = state[1], c0 = state[2], d0 = state[3];
    for (; count > 0; --count, p += 64) {
        uint32_t x[16];
        for (std::size_t n = 0; n < 16; ++n)
            x[n] = load_le32(p + 4 * n);
        uint32_t a = a0, b = b0, c = c0, d = d0;

        step<f>(a, b, c, d, x[0], 7, 0xd76aa478);
        step<f>(d, a, b, c, x[1], 12, 0xe8c7b756);
        step<f>(c, d, a, b, x[2], 17, 0x242070db);
        step<f>(b, c, d, a, x[3], 22, 0xc1bdceee);
        step<f>(a, b, c, d, x[4], 7, 0xf57c0faf);
        step<f>(d, a, b, c, x[5], 12, 0x4787c62a);
        step<f>(c, d, a, b, x[6], 17, 0xa8304613);
        step<f>(b, c, d, a, x[7], 22, 0xfd469501);
        step<f>(a, b, c, d, x[8], 7, 0x698098d8);
        step<f>(d, a, b, c, x[9], 12, 0x8b44f7af);
        step<f>(c, d, a, b, x[10], 17, 0xffff5bb1);
        step<f>(b, c, d, a, x[11], 22, 0x895cd7be);
        step<f>(a, b, c, d, x[12], 7, 0x6b901122);
        step<f>(d, a, b, c, x[13], 12, 0xfd987193);
        step<f>(c, d, a, b, x[14], 17, 0xa679438e);
        step<f>(b, c, d, a, x[15], 22, 0x49b40821);

        step<g>(a, b, c, d, x[1], 5, 0xf61e2562);
        step<g>(d, a, b, c, x[6], 9, 0xc040b340);
        step<g>(c, d, a, b, x[11], 14, 0x265e5a51);
        step<g>(b, c, d, a, x[0], 20, 0xe9b6c7aa);
        step<g>(a, b, c, d, x[5], 5, 0xd62f105d);
        step<g>(d, a, b, c, x[10], 9, 0x02441453);
        step<g>(c, d, a, b, x[15], 14, 0xd8a1e681);
        step<g>(b, c, d, a, x[4], 20, 0xe7d3fbc8);
        step<g>(a, b, c, d, x[9], 5, 0x21e1cde6);
        step<g>(d, a, b, c, x[14], 9, 0xc33707d6);
        step<g>(c, d, a, b, x[3], 14, 0xf4d50d87);
        step<g>(b, c, d, a, x[8], 20, 0x455a14ed);
        step<g>(a, b, c, d, x[13], 5, 0xa9e3e905);
        step<g>(d, a, b, c, x[2], 9, 0xfcefa3f8);
        step<g>(c, d, a, b, x[7], 14, 0x676f02d9);
        step<g>(b, c, d, a, x[12], 20, 0x8d2a4c8a);

        step<h>(a, b, c, d, x[5], 4, 0xfffa3942);
        step<h>(d, a, b, c, x[8], 11, 0x8771f681);
        step<h>(c, d, a, b, x[11], 16, 0x6d9d6122);
        step<h>(b, c, d, a, x[14], 23, 0xfde5380c);
        step<h>(a, b, c, d, x[1], 4, 0xa4beea44);
        step<h>(d, a, b, c, x[4], 11, 0x4bdecfa9);
        step<h>(c, d, a, b, x[7], 16, 0xf6bb4b60);
        step<h>(b, c, d, a, x[10], 23, 0xbebfbc70);
        step<h>(a, b, c, d, x[13], 4, 0x289b7ec6);
        step<h>(d, a, b, c, x[0], 11, 0xeaa127fa);
        step<h>(c, d, a, b, x[3], 16, 0xd4ef3085);
        step<h>(b, c, d, a, x[6], 23, 0x04881d05);
        step<h>(a, b, c, d, x[9], 4, 0xd9d4d039);
        step<h>(d, a, b, c, x[12], 11, 0xe6db99e5);
        step<h>(c, d, a, b, x[15], 16, 0x1fa27cf8);
        step<h>(b, c, d, a, x[2], 23, 0xc4ac5665);

        step<i>(a, b, c, d, x[0], 6, 0xf4292244);
        step<i>(d, a, b, c, x[7], 10, 0x432aff97);
        step<i>(c, d, a, b, x[14], 15, 0xab9423a7);
        step<i>(b, c, d, a, x[5], 21, 0xfc93a039);
        step<i>(a, b, c, d, x[12], 6, 0x655b59c3);
        step<i>(d, a, b, c, x[3], 10, 0x8f0ccc92);
        step<i>(c, d, a, b, x[10], 15, 0xffeff47d);
        step<i>(b, c, d, a, x[1], 21, 0x85845dd1);
        step<i>(a, b, c, d, x[8], 6, 0x6fa87e4f);
        step<i>(d, a, b, c, x[15], 10, 0xfe2ce6e0);
        step<i>(c, d, a, b, x[6], 15, 0xa3014314);
        step<i>(b, c, d, a, x[13], 21, 0x4e0811a1);
        step<i>(a, b, c, d, x[4], 6, 0xf7537e82);
        step<i>(d, a, b, c, x[11], 10, 0xbd3af235);
        step<i>(c, d, a, b, x[2], 15, 0x2ad7d2bb);
        step<i>(b, c, d, a, x[9], 21, 0xeb86d391);

        a0 += a;
        b0 += b;
        c0 += c;
        d0 += d;
    }
    state[0] = a0;
    state[1] = b0;
    state[2] = c0;
    state[3] = d0;
}

} // namespace

void md5_init(md5_ctx& ctx) {
    ctx.state[0] = 0x67452301;
    ctx.state[1] = 0xefcdab89;
    ctx.state[2] = 0x98badcfe;
    ctx.state[3] = 0x10325476;
    ctx.count[0] = 0;
    ctx.count[1] = 0;
}

void md5_update(md5_ctx& ctx, const unsigned char* bytes, std::size_t length) {
    if (length == 0)
        return;
    std::size_t index = (ctx.count[0] >> 3) & 63;
    // The bit count is 64 bits wide; carry from the low word into the high one.
    uint64_t bits = (static_cast<uint64_t>(ctx.count[1]) << 32 | ctx.count[0]) +
                    (static_cast<uint64_t>(length) << 3);
    ctx.count[0] = static_cast<uint32_t>(bits);
    ctx.count[1] = static_cast<uint32_t>(bits >> 32);

    std::size_t done = 0;
    if (index > 0) {
        std::size_t space = 64 - index;
        if (length < space) {
            std::memcpy(ctx.buffer + index, bytes, length);
            return;
        }
        std::memcpy(ctx.buffer + index, bytes, space);
        transform_blocks(ctx.state, ctx.buffer, 1);
        done = space;
    }
    const std::size_t blocks = (length - done) / 64;
    transform_blocks(ctx.state, bytes + done, blocks);
    done += blocks * 64;
    if (length > done)
        std::memcpy(ctx.buffer, bytes + done, length - done);
}

void md5_final(md5_ctx& ctx, unsigned char* digest) {
    unsigned char bit_count[8];
    store_le32(bit_count, ctx.count[0]);
    store_le32(bit_count + 4, ctx.count[1]);
    std::size_t index = (ctx.count[0] >> 3) & 63;
    std::size_t pad_length = index < 56 ? 56 - index : 120 - index;
    md5_update(ctx, padding, pad_length);
    md5_update(ctx, bit_count, 8);
    if (digest == nullptr)
        return;
    for (std::size_t n = 0; n < 4; ++n)
        store_le32(digest + 4 * n, ctx.state[n]);
}
