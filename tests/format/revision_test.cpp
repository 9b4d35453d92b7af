#include "format/revision.h"

#include <gtest/gtest.h>

namespace {

// Bytes that no revision given on the command line packs to (strict.t shows those): how an
// image made elsewhere prints.
TEST(revision, text_of_stored_bytes) {
    EXPECT_STREQ(revision_text(0xFF, 0), "_._");
    EXPECT_STREQ(revision_text(0x05, 255), "5.255");
    EXPECT_STREQ(revision_text(0x23, 5), "2.3"); // aux only counts when the high digit is 0
    EXPECT_STREQ(revision_text(0xBC, 0), "-..");
    EXPECT_STREQ(revision_text(0xDE, 0), ":.,");
}

} // namespace
