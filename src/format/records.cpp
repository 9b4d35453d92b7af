#include "format/records.h"

#include <cstring>

const char image_signature[8] = {'P', 'I', 'C', 'M', 'G', 'F', 'W', 'U'};

namespace {

// Little-endian fields of 1 to 4 bytes.
void put_le(uint8_t* out, uint32_t value, std::size_t size) {
    for (std::size_t n = 0; n < size; ++n)
        out[n] = static_cast<uint8_t>(value >> (8 * n));
}

uint32_t get_le(const uint8_t* in, std::size_t size) {
    uint32_t value = 0;
    for (std::size_t n = size; n-- > 0;)
        value = value << 8 | in[n];
    return value;
}

} // namespace

uint8_t zero_sum(const uint8_t* bytes, std::size_t count) {
    unsigned sum = 0;
    for (std::size_t n = 0; n < count; ++n)
        sum += bytes[n];
    return static_cast<uint8_t>(0u - sum);
}

uint8_t header_checksum(const header_bytes& bytes) {
    return zero_sum(bytes.data(), image_header_size - 1);
}

uint8_t action_checksum(uint8_t type, uint8_t components) {
    const uint8_t covered[2] = {type, components};
    return zero_sum(covered, 2);
}

header_bytes serialise_header(const image_header& header) {
    header_bytes out = {};
    std::memcpy(out.data(), header.signature, 8);
    out[8] = header.format_version;
    out[9] = header.device_id;
    put_le(&out[10], header.manufacturer_id, 3);
    put_le(&out[13], header.product_id, 2);
    put_le(&out[15], header.time, 4);
    out[19] = header.capabilities;
    out[20] = header.components;
    out[21] = header.self_test_timeout;
    out[22] = header.rollback_timeout;
    out[23] = header.inaccessibility_timeout;
    out[24] = header.earliest_major;
    out[25] = header.earliest_minor;
    out[26] = header.firmware_major;
    out[27] = header.firmware_minor;
    std::memcpy(&out[28], header.aux, 4);
    put_le(&out[32], header.oem_length, 2);
    out[34] = header.checksum;
    return out;
}

image_header parse_header(const header_bytes& in) {
    image_header header = {};
    std::memcpy(header.signature, in.data(), 8);
    header.format_version = in[8];
    header.device_id = in[9];
    header.manufacturer_id = get_le(&in[10], 3);
    header.product_id = static_cast<uint16_t>(get_le(&in[13], 2));
    header.time = get_le(&in[15], 4);
    header.capabilities = in[19];
    header.components = in[20];
    header.self_test_timeout = in[21];
    header.rollback_timeout = in[22];
    header.inaccessibility_timeout = in[23];
    header.earliest_major = in[24];
    header.earliest_minor = in[25];
    header.firmware_major = in[26];
    header.firmware_minor = in[27];
    std::memcpy(header.aux, &in[28], 4);
    header.oem_length = static_cast<uint16_t>(get_le(&in[32], 2));
    header.checksum = in[34];
    return header;
}

action_bytes serialise_action(const action_header& action) {
    return {action.type, action.components, action.checksum};
}

action_header parse_action(const action_bytes& in) {
    return {in[0], in[1], in[2]};
}

upload_bytes serialise_upload(const upload_body& body) {
    upload_bytes out = {};
    out[0] = body.firmware_major;
    out[1] = body.firmware_minor;
    std::memcpy(&out[2], body.aux, 4);
    std::memcpy(&out[6], body.description, description_size);
    put_le(&out[27], body.data_length, 4);
    return out;
}

upload_body parse_upload(const upload_bytes& in) {
    upload_body body = {};
    body.firmware_major = in[0];
    body.firmware_minor = in[1];
    std::memcpy(body.aux, &in[2], 4);
    std::memcpy(body.description, &in[6], description_size);
    body.data_length = get_le(&in[27], 4);
    return body;
}
