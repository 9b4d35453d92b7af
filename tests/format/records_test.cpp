#include "format/records.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(zero_sum, two_complement_of_the_byte_sum) {
    const std::pair<std::vector<uint8_t>, uint8_t> cases[] = {
        {{}, 0x00},        {{0x01}, 0xFF},    {{0x01, 0xFF}, 0x00},
        {{1, 0x0F}, 0xF0}, {{1, 0x01}, 0xFE}, {{2, 0x08}, 0xF6},
    };
    for (const auto& [covered, sum] : cases)
        EXPECT_EQ(zero_sum(covered.data(), covered.size()), sum) << covered.size();
}

// Every field holds a distinct value, so a field written to the wrong place shows.
TEST(records, little_endian_layout_both_ways) {
    header_bytes header = {'P',  'I',  'C',  'M',  'G',  'F',  'W',  'U',  0,    7,    0x51, 0x7E,
                           0x0A, 0x34, 0x12, 0x40, 0xAB, 0x12, 0x6B, 7,    0x02, 60,   61,   62,
                           1,    0x20, 1,    0x23, 0xA0, 0xA1, 0xA2, 0x0F, 0x02, 0x01, 0x99};
    const image_header parsed = parse_header(header);
    EXPECT_EQ(parsed.manufacturer_id, 0x0A7E51u);
    EXPECT_EQ(parsed.product_id, 0x1234);
    EXPECT_EQ(parsed.time, 0x6B12AB40u);
    EXPECT_EQ(parsed.inaccessibility_timeout, 62);
    EXPECT_EQ(parsed.aux[3], 0x0F);
    EXPECT_EQ(parsed.oem_length, 0x0102);
    EXPECT_EQ(serialise_header(parsed), header);

    upload_bytes upload = {2,   0x61, 0,   0,   0,   9,    'a', 'b', 'c', 'd', 'e',
                           'f', 'g',  'h', 'i', 'j', 'k',  'l', 'm', 'n', 'o', 'p',
                           'q', 'r',  's', 't', 'u', 0x01, 0,   0,   0x80};
    const upload_body body = parse_upload(upload);
    EXPECT_EQ(body.data_length, 0x80000001u);
    EXPECT_EQ(std::string(body.description, 21), "abcdefghijklmnopqrstu");
    EXPECT_EQ(serialise_upload(body), upload);
    EXPECT_EQ(serialise_action(parse_action({2, 0x08, 0xF6})), (action_bytes{2, 0x08, 0xF6}));
}

} // namespace
