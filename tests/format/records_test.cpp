#include "format/records.h"
#include "format/vocabulary.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(zero_sum, two_complement_of_the_byte_sum) {
    const uint8_t one[] = {0x01};
    const uint8_t pair[] = {0x01, 0xFF};
    const uint8_t prepare_all[] = {1, 0x0F};
    const uint8_t prepare_uboot[] = {1, 0x01};
    const uint8_t upload_kernel[] = {2, 0x02};
    EXPECT_EQ(zero_sum(one, 0), 0);
    EXPECT_EQ(zero_sum(one, 1), 0xFF);
    EXPECT_EQ(zero_sum(pair, 2), 0x00);
    EXPECT_EQ(zero_sum(prepare_all, 2), 0xF0);
    EXPECT_EQ(zero_sum(prepare_uboot, 2), 0xFE);
    EXPECT_EQ(zero_sum(upload_kernel, 2), 0xFC);
}

image_header sample_header() {
    image_header header = {};
    std::memcpy(header.signature, image_signature, 8);
    header.device_id = 7;
    header.manufacturer_id = 0x0A7E51;
    header.product_id = 0x1234;
    header.time = 0x6B12AB40;
    header.capabilities = 7;
    header.components = 0x02;
    header.self_test_timeout = 60;
    header.rollback_timeout = 61;
    header.inaccessibility_timeout = 62;
    header.earliest_major = 1;
    header.earliest_minor = 0x20;
    header.firmware_major = 1;
    header.firmware_minor = 0x23;
    header.aux[3] = 0x0F;
    header.oem_length = 0x0102;
    header.checksum = 0x99;
    return header;
}

TEST(records, header_layout_is_little_endian_field_by_field) {
    const header_bytes bytes = serialise_header(sample_header());
    const uint8_t expected[image_header_size] = {
        'P',  'I',  'C',  'M',  'G',  'F',  'W',  'U',  0,    7,    0x51, 0x7E,
        0x0A, 0x34, 0x12, 0x40, 0xAB, 0x12, 0x6B, 7,    0x02, 60,   61,   62,
        1,    0x20, 1,    0x23, 0,    0,    0,    0x0F, 0x02, 0x01, 0x99};
    for (std::size_t n = 0; n < image_header_size; ++n)
        EXPECT_EQ(bytes[n], expected[n]) << "byte " << n;
    EXPECT_EQ(serialise_header(parse_header(bytes)), bytes);
}

TEST(records, header_parse_reads_every_field) {
    header_bytes bytes = serialise_header(sample_header());
    image_header header = parse_header(bytes);
    EXPECT_EQ(std::string(header.signature, 8), "PICMGFWU");
    EXPECT_EQ(header.manufacturer_id, 0x0A7E51u);
    EXPECT_EQ(header.product_id, 0x1234);
    EXPECT_EQ(header.time, 0x6B12AB40u);
    EXPECT_EQ(header.inaccessibility_timeout, 62);
    EXPECT_EQ(header.aux[3], 0x0F);
    EXPECT_EQ(header.oem_length, 0x0102);
    EXPECT_EQ(header.checksum, 0x99);
}

TEST(records, action_and_upload_layout) {
    EXPECT_EQ(serialise_action({1, 0x02, 0xFD}), (action_bytes{1, 0x02, 0xFD}));
    action_header action = parse_action({2, 0x08, 0xF6});
    EXPECT_EQ(action.type, 2);
    EXPECT_EQ(action.components, 0x08);
    EXPECT_EQ(action.checksum, 0xF6);

    upload_body body = {};
    body.firmware_major = 2;
    body.firmware_minor = 0x61;
    body.aux[3] = 9;
    std::memcpy(body.description, "abcdefghijklmnopqrstu", description_size);
    body.data_length = 0x80000001;
    const upload_bytes bytes = serialise_upload(body);
    EXPECT_EQ(bytes[0], 2);
    EXPECT_EQ(bytes[1], 0x61);
    EXPECT_EQ(bytes[5], 9);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[6]), 21), "abcdefghijklmnopqrstu");
    EXPECT_EQ(bytes[27], 0x01);
    EXPECT_EQ(bytes[30], 0x80);
    upload_body back = parse_upload(bytes);
    EXPECT_EQ(back.data_length, 0x80000001u);
    EXPECT_EQ(std::string(back.description, 21), "abcdefghijklmnopqrstu");
}

TEST(vocabulary, names_for_field_values) {
    const std::pair<int, const char*> devices[] = {
        {21, "Varn-1900"}, {7, "Varn-800"}, {8, "Tesk-800"}, {6, "Varn-600XE"},
        {5, "Varn-600"},   {3, "Varn-400"}, {0, "Unknown"},  {22, "Unknown"}};
    for (const auto& [id, name] : devices)
        EXPECT_STREQ(device_name(static_cast<uint8_t>(id)), name) << id;
    const std::pair<uint32_t, const char*> makers[] = {{0x00315A, "PICMG"}, {0x0A7E51, "KTL"},
                                                       {0x006F2A, "NSN"},   {0x00002A, "SUN"},
                                                       {0, "Unknown"},      {0x0A7E52, "Unknown"}};
    for (const auto& [id, name] : makers)
        EXPECT_STREQ(manufacturer_name(id), name) << id;
    const char* types[] = {"Backup", "Prepare", "Upload", "Reserved"};
    for (int type = 0; type < 4; ++type)
        EXPECT_STREQ(action_type_name(static_cast<uint8_t>(type)), types[type]);
    EXPECT_STREQ(action_type_name(0xFF), "Reserved");
}

TEST(vocabulary, capability_and_mask_texts) {
    std::string capabilities;
    for (int bit = 3; bit >= 0; --bit)
        capabilities += capability_text(0xFF, bit);
    EXPECT_EQ(capabilities, " PayloadAffected ManualRollback AutoRollback SelfTest");
    EXPECT_STREQ(capability_text(0x05, 1), "");
    std::string mask;
    for (int bit = 0; bit < 8; ++bit)
        mask += mask_bit_text(0x81, bit);
    EXPECT_EQ(mask, " 0 7");
    EXPECT_STREQ(components[2].name, "RFS");
    EXPECT_STREQ(components[3].record_tag, "comp.app");
}

} // namespace
