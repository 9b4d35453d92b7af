// The records of a PICMG HPM.1 upgrade image and their little-endian byte layout.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

constexpr std::size_t image_header_size = 35; // without OEM data
constexpr std::size_t action_header_size = 3;
constexpr std::size_t upload_body_size = 31;
constexpr std::size_t description_size = 21;
constexpr std::size_t trailer_size = 16;

constexpr uint8_t action_backup = 0;
constexpr uint8_t action_prepare = 1;
constexpr uint8_t action_upload = 2;

extern const char image_signature[8]; // "PICMGFWU", no terminator

struct image_header {
    char signature[8];
    uint8_t format_version;
    uint8_t device_id;
    uint32_t manufacturer_id; // 24 bits stored
    uint16_t product_id;
    uint32_t time;
    uint8_t capabilities;
    uint8_t components;
    uint8_t self_test_timeout; // all three timeouts in units of 5 seconds
    uint8_t rollback_timeout;
    uint8_t inaccessibility_timeout;
    uint8_t earliest_major;
    uint8_t earliest_minor;
    uint8_t firmware_major;
    uint8_t firmware_minor;
    uint8_t aux[4];
    uint16_t oem_length;
    uint8_t checksum; // byte 34; the first OEM byte when OEM data is present
};

struct action_header {
    uint8_t type;
    uint8_t components;
    uint8_t checksum;
};

struct upload_body {
    uint8_t firmware_major;
    uint8_t firmware_minor;
    uint8_t aux[4];
    char description[description_size]; // not terminated when 21 bytes long
    uint32_t data_length;
};

using header_bytes = std::array<uint8_t, image_header_size>;
using action_bytes = std::array<uint8_t, action_header_size>;
using upload_bytes = std::array<uint8_t, upload_body_size>;

// The two's complement of the 8-bit sum: covered bytes plus checksum sum to 0.
uint8_t zero_sum(const uint8_t* bytes, std::size_t count);
// The checksum of a header without OEM data: over bytes 0 to 33.
uint8_t header_checksum(const header_bytes& bytes);
// The checksum of an action header: over its type and components bytes.
uint8_t action_checksum(uint8_t type, uint8_t components);

header_bytes serialise_header(const image_header& header);
image_header parse_header(const header_bytes& in);
action_bytes serialise_action(const action_header& action);
action_header parse_action(const action_bytes& in);
upload_bytes serialise_upload(const upload_body& body);
upload_body parse_upload(const upload_bytes& in);
