#include "image_bytes.h"

#include "digest/md5.h"

#include <algorithm>

std::string bytes(std::initializer_list<int> values) {
    std::string text;
    for (int value : values)
        text += static_cast<char>(value);
    return text;
}

std::string pattern(std::size_t size, int seed) {
    std::string data(size, '\0');
    for (std::size_t n = 0; n < size; ++n)
        data[n] = static_cast<char>(n * 7 + static_cast<std::size_t>(seed) + n / 251);
    return data;
}

char checksum_byte(const std::string& covered) {
    unsigned sum = 0;
    for (char c : covered)
        sum += static_cast<unsigned char>(c);
    return static_cast<char>(0u - sum);
}

namespace {

std::string le32(uint32_t value) {
    return bytes({static_cast<int>(value & 0xFF), static_cast<int>(value >> 8 & 0xFF),
                  static_cast<int>(value >> 16 & 0xFF), static_cast<int>(value >> 24)});
}

} // namespace

std::string header_record(const std::vector<std::pair<int, int>>& patches) {
    std::string header = "PICMGFWU" + bytes({0, 7, 0x51, 0x7E, 0x0A, 0, 0}) + le32(0x6B12AB40) +
                         bytes({7, 0x02, 60, 60, 60, 0, 0, 1, 0x23, 0, 0, 0, 0, 0, 0, 0});
    bool checksum_patched = false;
    for (const auto& [offset, value] : patches) {
        header[static_cast<std::size_t>(offset)] = static_cast<char>(value);
        checksum_patched = checksum_patched || offset == 34;
    }
    if (!checksum_patched)
        header[34] = checksum_byte(header.substr(0, 34));
    return header;
}

std::string action_record(int type, int mask) {
    const std::string covered = bytes({type, mask});
    return covered + checksum_byte(covered);
}

std::string upload_record(int mask, int major, int minor, int aux3, const std::string& description,
                          uint32_t length) {
    std::string field = description.substr(0, 21);
    field.resize(21, '\0');
    return action_record(2, mask) + bytes({major, minor, 0, 0, 0, aux3}) + field + le32(length);
}

std::string with_trailer(const std::string& body) {
    md5_ctx ctx;
    md5_init(ctx);
    md5_update(ctx, reinterpret_cast<const unsigned char*>(body.data()), body.size());
    unsigned char digest[md5_digest_size];
    md5_final(ctx, digest);
    return body + std::string(reinterpret_cast<const char*>(digest), sizeof digest);
}
