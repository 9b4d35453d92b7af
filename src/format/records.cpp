#include "format/records.h"

#include <cstring>

const char image_signature[8] = {'P', 'I', 'C', 'M', 'G', 'F', 'W', 'U'};

namespace {

// Where each field starts: in the image header,
constexpr std::size_t signature_at = 0;
constexpr std::size_t format_version_at = 8;
constexpr std::size_t device_id_at = 9;
constexpr std::size_t manufacturer_id_at = 10; // 3 bytes; the other widths are their types'
constexpr std::size_t product_id_at = 13;
constexpr std::size_t time_at = 15;
constexpr std::size_t capabilities_at = 19;
constexpr std::size_t components_at = 20;
constexpr std::size_t self_test_timeout_at = 21;
constexpr std::size_t rollback_timeout_at = 22;
constexpr std::size_t inaccessibility_timeout_at = 23;
constexpr std::size_t earliest_major_at = 24;
constexpr std::size_t earliest_minor_at = 25;
constexpr std::size_t firmware_major_at = 26;
constexpr std::size_t firmware_minor_at = 27;
constexpr std::size_t aux_at = 28;
constexpr std::size_t oem_length_at = 32;
constexpr std::size_t checksum_at = 34;
// and in the upload body.
constexpr std::size_t body_major_at = 0;
constexpr std::size_t body_minor_at = 1;
constexpr std::size_t body_aux_at = 2;
constexpr std::size_t description_at = 6;
constexpr std::size_t data_length_at = 27;

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
    std::memcpy(&out[signature_at], header.signature, sizeof header.signature);
    out[format_version_at] = header.format_version;
    out[device_id_at] = header.device_id;
    put_le(&out[manufacturer_id_at], header.manufacturer_id, 3);
    put_le(&out[product_id_at], header.product_id, sizeof header.product_id);
    put_le(&out[time_at], header.time, sizeof header.time);
    out[capabilities_at] = header.capabilities;
    out[components_at] = header.components;
    out[self_test_timeout_at] = header.self_test_timeout;
    out[rollback_timeout_at] = header.rollback_timeout;
    out[inaccessibility_timeout_at] = header.inaccessibility_timeout;
    out[earliest_major_at] = header.earliest_major;
    out[earliest_minor_at] = header.earliest_minor;
    out[firmware_major_at] = header.firmware_major;
    out[firmware_minor_at] = header.firmware_minor;
    std::memcpy(&out[aux_at], header.aux, sizeof header.aux);
    put_le(&out[oem_length_at], header.oem_length, sizeof header.oem_length);
    out[checksum_at] = header.checksum;
    return out;
}

image_header parse_header(const header_bytes& in) {
    image_header header = {};
    std::memcpy(header.signature, &in[signature_at], sizeof header.signature);
    header.format_version = in[format_version_at];
    header.device_id = in[device_id_at];
    header.manufacturer_id = get_le(&in[manufacturer_id_at], 3);
    header.product_id = static_cast<uint16_t>(get_le(&in[product_id_at], sizeof header.product_id));
    header.time = get_le(&in[time_at], sizeof header.time);
    header.capabilities = in[capabilities_at];
    header.components = in[components_at];
    header.self_test_timeout = in[self_test_timeout_at];
    header.rollback_timeout = in[rollback_timeout_at];
    header.inaccessibility_timeout = in[inaccessibility_timeout_at];
    header.earliest_major = in[earliest_major_at];
    header.earliest_minor = in[earliest_minor_at];
    header.firmware_major = in[firmware_major_at];
    header.firmware_minor = in[firmware_minor_at];
    std::memcpy(header.aux, &in[aux_at], sizeof header.aux);
    header.oem_length = static_cast<uint16_t>(get_le(&in[oem_length_at], sizeof header.oem_length));
    header.checksum = in[checksum_at];
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
    out[body_major_at] = body.firmware_major;
    out[body_minor_at] = body.firmware_minor;
    std::memcpy(&out[body_aux_at], body.aux, sizeof body.aux);
    std::memcpy(&out[description_at], body.description, description_size);
    put_le(&out[data_length_at], body.data_length, sizeof body.data_length);
    return out;
}

upload_body parse_upload(const upload_bytes& in) {
    upload_body body = {};
    body.firmware_major = in[body_major_at];
    body.firmware_minor = in[body_minor_at];
    std::memcpy(body.aux, &in[body_aux_at], sizeof body.aux);
    std::memcpy(body.description, &in[description_at], description_size);
    body.data_length = get_le(&in[data_length_at], sizeof body.data_length);
    return body;
}
