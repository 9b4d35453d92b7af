#include "format/revision.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct revision_case {
    const char* text;
    packed_revision packed;
    uint8_t minor;
    uint8_t aux3;
    const char* printed; // major, '.', revision_text
};

TEST(revision, packs_places_and_prints_back) {
    const revision_case cases[] = {
        {"1.2.9", 0x01290000, 0x29, 0, "1.2.9"},    // the last patch packed into the minor byte
        {"1.2.10", 0x01020A00, 0x02, 10, "1.2.10"}, // the first in the aux byte
        {"1.2", 0x01200000, 0x20, 0, "1.2.0"},
        {"1.2.15", 0x01020F00, 0x02, 15, "1.2.15"},
        {"3.10.4", 0x03A40000, 0xA4, 0, "3. .4"},
        {"128.10.255", 0x800AFF00, 0x0A, 255, "128. .255"},
        {"0.0", 0, 0, 0, "0.0.0"},
        {"0.0.0", 0, 0, 0, "0.0.0"},
        {"1.2.3rc", 0x01230000, 0x23, 0, "1.2.3"},
        {"1.2.3.4", 0x01230000, 0x23, 0, "1.2.3"},
        {" 2. 6.1", 0x02610000, 0x61, 0, "2.6.1"},
        {"+1.2", 0x01200000, 0x20, 0, "1.2.0"},
    };
    for (const revision_case& c : cases) {
        packed_revision packed = parse_revision(c.text);
        EXPECT_EQ(packed, c.packed) << c.text;
        revision_bytes bytes = place_revision(packed);
        EXPECT_EQ(bytes.major, packed >> 24) << c.text;
        EXPECT_EQ(bytes.minor, c.minor) << c.text;
        EXPECT_EQ(bytes.aux[0], 0) << c.text;
        EXPECT_EQ(bytes.aux[1], 0) << c.text;
        EXPECT_EQ(bytes.aux[2], 0) << c.text;
        EXPECT_EQ(bytes.aux[3], c.aux3) << c.text;
        EXPECT_EQ(std::to_string(bytes.major) + "." + revision_text(bytes.minor, bytes.aux[3]),
                  c.printed)
            << c.text;
    }
}

TEST(revision, text_of_stored_bytes) {
    EXPECT_STREQ(revision_text(0xFF, 0), "_._");
    EXPECT_STREQ(revision_text(0x05, 255), "5.255");
    EXPECT_STREQ(revision_text(0x23, 5), "2.3"); // aux only counts when the high digit is 0
    EXPECT_STREQ(revision_text(0xBC, 0), "-..");
    EXPECT_STREQ(revision_text(0xDE, 0), ":.,");
}

} // namespace
