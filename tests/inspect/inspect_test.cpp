// Test and extract modes on the header: checks, the dump, the checksum line.
#include "image_bytes.h"
#include "tool_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string dump_of_kernel_image = R"( HPM.1 Image Format = 0
 Target Device ID   = 0x07 (Varn-800)
 Manufacturer ID    = 0x0A7E51 (KTL)
 Product ID         = 0x0000
 Build Date         = Fri Dec  4 12:00:00 2026
 Image Capabilities = 0x07 ( ManualRollback AutoRollback SelfTest )
 Components Mask    = 0x02 ( 1 )
 Self Test Timeout  = 300 seconds
 Rollback Timeout   = 300 seconds
 No Access Timeout  = 300 seconds
 Earliest CompatRev = 0.0.0
 Image FW Revision  = 1.2.3
 Image AUX Revision = 0x00 0x00 0x00 0x00
 OEM Data Length    = 0
 Header Checksum    = 0x75 (OK)
 --------------------
 Upgrade Action     = 1 (Prepare)
 Action Components  = 0x02 ( 1 )
 Action Checksum    = 0xFD (OK)
 --------------------
 Upgrade Action     = 2 (Upload)
 Action Components  = 0x02 ( 1 )
 Action Checksum    = 0xFC (OK)
 Action FW Revision = 2.6.1
 Action AUX Revision= 0x00 0x00 0x00 0x00
 Action Description = zImage
 Action Data Length = 3000
 --------------------
 MD5 Checksum       = OK
)";

struct inspect : testing::Test {
    temp_dir dir;
    tool_result run(const std::vector<std::string>& args) { return run_tool(args, dir.path); }
    tool_result inspect_bytes(const std::string& image, const std::string& mode = "-t") {
        write_file(dir / "img.hpm", image);
        return run({mode, "-h", "img.hpm"});
    }
    // The lines of out that start with prefix, in order.
    static std::vector<std::string> lines_starting(const std::string& out,
                                                   const std::string& prefix) {
        std::vector<std::string> found;
        for (std::size_t at = 0, end; at < out.size(); at = end + 1) {
            end = out.find('\n', at);
            if (out.compare(at, prefix.size(), prefix) == 0)
                found.push_back(out.substr(at, end - at));
        }
        return found;
    }
};

// Built by create mode, then given the build time of 12:00:00 UTC on 4 December 2026.
TEST_F(inspect, dump_of_a_created_image_line_for_line) {
    write_file(dir / "zImage", pattern(3000, 1));
    ASSERT_EQ(run({"-c", "-v", "1.2.3", "-h", "out.hpm", "-k", "zImage:2.6.1"}).status, 0);
    std::string image = read_file(dir / "out.hpm");
    image.replace(15, 4, bytes({0x40, 0xAB, 0x12, 0x6B}));
    image[34] = 0x75;
    image = with_trailer(image.substr(0, image.size() - 16));
    ASSERT_EQ(image.substr(0, 35), header_record());

    tool_result result = inspect_bytes(image);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, dump_of_kernel_image);
    EXPECT_EQ(run({"-h", "img.hpm"}).out, dump_of_kernel_image) << "test mode is the default";
    EXPECT_EQ(run({"stray", "-h", "img.hpm", "-t", "-t"}).out, dump_of_kernel_image);
}

TEST_F(inspect, header_faults_end_with_status_1) {
    const std::string valid = with_trailer(header_record());
    std::vector<std::pair<std::string, std::string>> cases = {
        {valid.substr(0, 34), " Error: HPM image is too short.\n"},
        {"", " Error: HPM image is too short.\n"},
        {with_trailer(header_record({{8, 1}})), " Error: invalid HPM image header.\n"},
        {header_record({{32, 4}}) + "OEM", " Error: invalid HPM image header with OEM data.\n"},
    };
    for (int offset = 0; offset < 8; ++offset)
        cases.emplace_back(with_trailer(header_record({{offset, 'p'}})),
                           " Error: invalid HPM image header.\n");
    for (const auto& [image, message] : cases) {
        tool_result result = inspect_bytes(image, "-x");
        EXPECT_EQ(result.status, 1) << image.size();
        EXPECT_EQ(result.out, message) << image.size();
        result = inspect_bytes(image, "-t");
        EXPECT_EQ(result.status, 1) << image.size();
        EXPECT_EQ(result.out.substr(result.out.size() - message.size()), message) << image.size();
    }
    EXPECT_EQ(run({"-h", "none.hpm"}).out,
              " Error: stat('none.hpm') failed, No such file or directory\n");
    EXPECT_EQ(run({"-h", "."}).out, " Error: fread(header) failed, Is a directory\n");
}

TEST_F(inspect, field_texts_for_every_capability_and_mask_bit) {
    const std::string image =
        with_trailer(header_record({{19, 0xFF}, {20, 0x81}, {21, 0}, {22, 1}, {23, 51}}));
    tool_result result = inspect_bytes(image);
    EXPECT_EQ(result.status, 0);
    const std::string expected =
        " Build Date         = Fri Dec  4 12:00:00 2026\n"
        " Image Capabilities = 0xFF ( PayloadAffected ManualRollback AutoRollback SelfTest )\n"
        " Components Mask    = 0x81 ( 0 7 )\n"
        " Self Test Timeout  = 0 seconds\n"
        " Rollback Timeout   = 5 seconds\n"
        " No Access Timeout  = 255 seconds\n";
    EXPECT_NE(result.out.find(expected), std::string::npos) << result.out;
    result = inspect_bytes(with_trailer(header_record({{20, 0}, {19, 0}})));
    EXPECT_EQ(lines_starting(result.out, " Components Mask"),
              std::vector<std::string>{" Components Mask    = 0x00 ( )"});
    EXPECT_EQ(lines_starting(result.out, " Image Capabilities"),
              std::vector<std::string>{" Image Capabilities = 0x00 ( )"});
}

TEST_F(inspect, ids_revisions_and_times_beyond_2038) {
    // Device 21, PICMG, product 0xBEEF, earliest 1.0.2, firmware 128. .255, time 0xFFFFFFFF.
    const std::string image = with_trailer(header_record({{9, 21},
                                                          {10, 0x5A},
                                                          {11, 0x31},
                                                          {12, 0},
                                                          {13, 0xEF},
                                                          {14, 0xBE},
                                                          {15, 0xFF},
                                                          {16, 0xFF},
                                                          {17, 0xFF},
                                                          {18, 0xFF},
                                                          {24, 1},
                                                          {25, 0x02},
                                                          {26, 128},
                                                          {27, 0x0A},
                                                          {28, 1},
                                                          {29, 2},
                                                          {30, 3},
                                                          {31, 255}}));
    const std::string out = inspect_bytes(image).out;
    for (const char* line :
         {" Target Device ID   = 0x15 (Varn-1900)\n", " Manufacturer ID    = 0x00315A (PICMG)\n",
          " Product ID         = 0xBEEF\n", " Build Date         = Sun Feb  7 06:28:15 2106\n",
          " Earliest CompatRev = 1.0.2\n", " Image FW Revision  = 128. .255\n",
          " Image AUX Revision = 0x01 0x02 0x03 0xFF\n"})
        EXPECT_NE(out.find(line), std::string::npos) << line << out;
}

TEST_F(inspect, header_checksum_line_in_both_modes) {
    const std::string good = with_trailer(header_record());
    std::string bad = good;
    bad[34] = 0x76;
    EXPECT_EQ(inspect_bytes(bad).status, 0);
    EXPECT_EQ(lines_starting(inspect_bytes(bad).out, " Header"),
              std::vector<std::string>{" Header Checksum    = 0x76 (Error)"});
    EXPECT_EQ(inspect_bytes(good, "-x").out,
              " Header Checksum    = 0x75 (OK)\n --------------------\n"
              " MD5 Checksum       = OK\n");
}

// With OEM data the checksum byte follows it; it is checked over the OEM bytes too, and
// only a mismatch is printed.
TEST_F(inspect, oem_data_moves_the_header_checksum) {
    const std::string header = header_record({{32, 4}, {34, 'O'}}) + "EM!";
    const char checksum = checksum_byte(header);
    for (const char* mode : {"-t", "-x"}) {
        const tool_result result =
            inspect_bytes(with_trailer(header + checksum + action_record(0, 1)), mode);
        EXPECT_EQ(result.status, 0);
        EXPECT_TRUE(lines_starting(result.out, " Header").empty()) << result.out;
        EXPECT_TRUE(lines_starting(result.out, " Warning").empty()) << result.out;
        EXPECT_EQ(lines_starting(result.out, " Upgrade Action"),
                  std::vector<std::string>{" Upgrade Action     = 0 (Backup)"});
        EXPECT_EQ(lines_starting(result.out, " MD5"),
                  std::vector<std::string>{" MD5 Checksum       = OK"});
    }
    char expected[80];
    snprintf(expected, sizeof expected,
             " Warning: header checksum after OEM data is 0x%02X, expected 0x%02X.",
             static_cast<uint8_t>(checksum + 1), static_cast<uint8_t>(checksum));
    const std::string damaged = with_trailer(header + static_cast<char>(checksum + 1));
    EXPECT_EQ(lines_starting(inspect_bytes(damaged).out, " Warning"),
              std::vector<std::string>{expected});
    EXPECT_EQ(inspect_bytes(damaged).status, 0);
}

} // namespace
