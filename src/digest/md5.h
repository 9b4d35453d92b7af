// MD5 message digest (RFC 1321), driven incrementally as image bytes flow.
#pragma once

#include <cstddef>
#include <cstdint>

struct md5_ctx {
    uint32_t state[4];        // chaining values A, B, C, D
    uint32_t count[2];        // bits absorbed so far, low word first
    unsigned char buffer[64]; // bytes of the current incomplete block
};

constexpr std::size_t md5_digest_size = 16;

void md5_init(md5_ctx& ctx);
void md5_update(md5_ctx& ctx, const unsigned char* bytes, std::size_t length);
// Pads and stores the digest (A first, each word little-endian); digest may be null.
void md5_final(md5_ctx& ctx, unsigned char* digest);
