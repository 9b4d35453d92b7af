// Create mode, run as the built tool on real files: image bytes, messages, statuses.
#include "create/create.h"

#include "image_bytes.h"
#include "tool_run.h"

#include <gtest/gtest.h>

#include <csignal>
#include <ctime>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const std::string program = HPMIMG_BINARY;
const std::string no_earliest = " Warning: earliest compatibility version is set to 0(unknown).\n";

uint32_t le32(const std::string& image, std::size_t at) {
    uint32_t value = 0;
    for (std::size_t n = 4; n-- > 0;)
        value = value << 8 | static_cast<uint8_t>(image[at + n]);
    return value;
}

int byte_sum(const std::string& text) {
    int sum = 0;
    for (char c : text)
        sum += static_cast<uint8_t>(c);
    return sum & 0xFF;
}

struct create : testing::Test {
    temp_dir dir;
    tool_result run(const std::vector<std::string>& args) { return run_tool(args, dir.path); }
    std::string image(const std::string& name = "out.hpm") { return read_file(dir / name); }
};

TEST_F(create, single_kernel_image_byte_for_byte) {
    const std::string data = pattern(3000, 1);
    write_file(dir / "zImage", data);
    const uint32_t before = static_cast<uint32_t>(time(nullptr));
    tool_result result = run({"-c", "-v", "1.2.3", "-h", "out.hpm", "-k", "zImage:2.6.1"});
    const uint32_t after = static_cast<uint32_t>(time(nullptr));
    ASSERT_EQ(result.status, 0);
    EXPECT_EQ(result.out, no_earliest);

    const std::string img = image();
    ASSERT_EQ(img.size(), 35 + 3 + 34 + data.size() + 16);
    EXPECT_EQ(img.substr(0, 15), "PICMGFWU" + bytes({0, 7, 0x51, 0x7E, 0x0A, 0, 0}));
    EXPECT_GE(le32(img, 15), before);
    EXPECT_LE(le32(img, 15), after);
    EXPECT_EQ(img.substr(19, 15), bytes({7, 0x02, 60, 60, 60, 0, 0, 1, 0x23, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(byte_sum(img.substr(0, 35)), 0) << "header checksum";
    EXPECT_EQ(img.substr(35, 3), bytes({1, 0x02, 0xFD}));
    EXPECT_EQ(img.substr(38, 34), upload_record(2, 2, 0x61, 0, "zImage", 3000));
    EXPECT_EQ(img.substr(72, data.size()), data);

    write_file(dir / "body", img.substr(0, img.size() - 16));
    std::string trailer_hex;
    for (char c : img.substr(img.size() - 16)) {
        char pair[3];
        snprintf(pair, sizeof pair, "%02x", static_cast<uint8_t>(c));
        trailer_hex += pair;
    }
    EXPECT_EQ(trailer_hex, md5sum_of(dir / "body"));
}

TEST_F(create, four_components_in_fixed_order_with_and_without_revisions) {
    const std::string long_name = "a-description-longer-than-21.bin";
    write_file(dir / "u-boot.bin", pattern(1024, 2));
    write_file(dir / "empty.bin", "");
    write_file(dir / "rootfs.img", pattern(1025, 3));
    write_file(dir / long_name, pattern(5, 4));
    // Given out of order; packed U-Boot, Kernel, RFS, APP.
    tool_result result =
        run({"-c", "-a", long_name + ":3.10.4", "-r", "rootfs.img", "-k", "empty.bin:1.0.12", "-u",
             "u-boot.bin:1.2.15", "-v", "128.10.255", "-e", "1.2.15", "-h", "out.hpm"});
    ASSERT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");

    const std::string img = image();
    ASSERT_EQ(img.size(), 35u + 3 + 4 * 34 + 1024 + 0 + 1025 + 5 + 16);
    EXPECT_EQ(img[20], 0x0F);
    EXPECT_EQ(img.substr(24, 8), bytes({1, 0x02, 128, 0x0A, 0, 0, 0, 255}));
    EXPECT_EQ(img.substr(35, 3), bytes({1, 0x0F, 0xF0}));
    std::size_t at = 38;
    EXPECT_EQ(img.substr(at, 34), upload_record(1, 1, 0x02, 15, "u-boot.bin", 1024));
    at += 34 + 1024;
    EXPECT_EQ(img.substr(at, 34), upload_record(2, 1, 0x00, 12, "empty.bin", 0));
    at += 34;
    EXPECT_EQ(img.substr(at, 34), upload_record(4, 0, 0, 0, "rootfs.img", 1025));
    EXPECT_EQ(img.substr(at + 34, 1025), pattern(1025, 3));
    at += 34 + 1025;
    EXPECT_EQ(img.substr(at, 34), upload_record(8, 3, 0xA4, 0, long_name, 5));
    EXPECT_EQ(img.substr(at + 9, 21), long_name.substr(0, 21)) << "no terminator";
}

TEST_F(create, description_keeps_the_directory_part) {
    ASSERT_EQ(system(("mkdir -p " + (dir / "fw/v2")).c_str()), 0);
    write_file(dir / "fw/v2/app", "x");
    ASSERT_EQ(run({"-c", "-v", "1.0", "-e", "1.0", "-h", "out.hpm", "-a", "fw/v2/app"}).status, 0);
    EXPECT_EQ(image().substr(38, 34), upload_record(8, 0, 0, 0, "fw/v2/app", 1));
}

TEST_F(create, named_bit_without_a_file_stays_in_the_masks) {
    write_file(dir / "app.bin", "abc");
    ASSERT_EQ(run({"-c", "-v", "1.0", "-h", "out.hpm", "-k", ":1.0", "-a", "app.bin"}).status, 0);
    const std::string img = image();
    ASSERT_EQ(img.size(), 35u + 3 + 34 + 3 + 16);
    EXPECT_EQ(img[20], 0x0A);
    EXPECT_EQ(img.substr(35, 3), bytes({1, 0x0A, 0xF5}));
    EXPECT_EQ(img.substr(38, 3), bytes({2, 8, 0xF6}));
}

TEST(guess_device_id, first_key_in_rfs_kernel_uboot_app_image_order) {
    struct guess_case {
        const char* rfs;
        const char* kernel;
        const char* uboot;
        const char* app;
        const char* image;
        int device_id;
    };
    const guess_case cases[] = {
        {"rootfs-varn600.img", "", "/opt/varn600e/u-boot.bin", "", "x.hpm", 5},
        {"", "", "/opt/varn600e/u-boot.bin", "", "x.hpm", 6},
        {"", "zImage", "", "", "fw-tesk800.hpm", 8},
        {"", "k-varn1900", "", "a-varn400", "varn800.hpm", 21},
        {"", "", "", "app-varn400", "", 3},
        {"", "", "", "", "VARN800.hpm", 7},
        {"", "", "", "", "tesk-800.hpm", 7},
        {"", "", "", "", "", 7},
    };
    for (const guess_case& c : cases)
        EXPECT_EQ(guess_device_id(c.rfs, c.kernel, c.uboot, c.app, c.image), c.device_id)
            << c.rfs << ' ' << c.kernel << ' ' << c.uboot << ' ' << c.app << ' ' << c.image;
}

TEST_F(create, device_id_comes_from_the_command_line_names) {
    ASSERT_EQ(system(("mkdir -p " + (dir / "opt/varn600e")).c_str()), 0);
    write_file(dir / "opt/varn600e/u-boot.bin", "u");
    write_file(dir / "rootfs-varn600.img", "r");
    write_file(dir / "zImage", "k");
    ASSERT_EQ(run({"-c", "-v", "1.0", "-h", "a.hpm", "-u", "opt/varn600e/u-boot.bin", "-r",
                   "rootfs-varn600.img"})
                  .status,
              0);
    EXPECT_EQ(image("a.hpm")[9], 5);
    ASSERT_EQ(run({"-c", "-v", "1.0", "-h", "fw-tesk800.hpm", "-k", "zImage"}).status, 0);
    EXPECT_EQ(image("fw-tesk800.hpm")[9], 8);
}

// Checks that run before the image is opened: an existing image is left untouched.
TEST_F(create, command_line_faults_leave_the_image_alone) {
    write_file(dir / "k.bin", "kernel");
    write_file(dir / "out.hpm", "old image");
    ASSERT_EQ(system(("mkdir " + (dir / "adir")).c_str()), 0);
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    ASSERT_EQ(system(("truncate -s 2G " + (dir / "huge.bin")).c_str()), 0);
    ASSERT_EQ(system(("truncate -s 2147483647 " + (dir / "largest.bin")).c_str()), 0);
    const std::string p = " " + program + ": ";
    const std::string enoent = "No such file or directory\n";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"-k", "k.bin"}, p + "FW revision is necessary in create mode.\n"},
        {{"-v", "0.0", "-k", "k.bin"}, p + "FW revision is necessary in create mode.\n"},
        {{"-v", "1.0"},
         p + "either U-Boot or Kernel or RFS or APP file shall be specified in create mode.\n"},
        {{"-v", "1.0", "-k", ":1.0"},
         p + "either U-Boot or Kernel or RFS or APP file shall be specified in create mode.\n"},
        {{"-v", "1.0", "-u", "no.bin"}, " Error: can't access U-Boot file 'no.bin', " + enoent},
        {{"-v", "1.0", "-k", "k.bin", "-k", "no.bin:1.0"},
         " Error: can't access Kernel file 'no.bin', " + enoent},
        {{"-v", "1.0", "-k", "k.bin", "-r", "no.bin"},
         " Error: can't access RFS file 'no.bin', " + enoent},
        {{"-v", "1.0", "-a", "no.bin", "-u", "k.bin"},
         " Error: can't access APP file 'no.bin', " + enoent},
        {{"-v", "1.0", "-r", "adir"}, " Error: RFS file 'adir' is not a regular file\n"},
        {{"-v", "1.0", "-k", "fifo"}, " Error: Kernel file 'fifo' is not a regular file\n"},
        {{"-v", "1.0", "-a", "huge.bin"},
         " Error: APP file 'huge.bin' is 2 GiB or more, too large for an image\n"},
        {{"-v", "1.0", "-u", "largest.bin", "-k", "largest.bin", "-r", "k.bin"},
         " Error: the components add up to 4 GiB or more, too large for an image\n"},
        {{"-v", "1.0", "-u", "out.hpm"},
         " Error: U-Boot file 'out.hpm' is the image file itself\n"},
    };
    for (const auto& [args, message] : cases) {
        std::vector<std::string> full = {"-c", "-h", "out.hpm"};
        full.insert(full.end(), args.begin(), args.end());
        tool_result result = run(full);
        EXPECT_EQ(result.status, 1) << testing::PrintToString(args);
        EXPECT_EQ(result.out, message) << testing::PrintToString(args);
        EXPECT_EQ(image(), "old image") << testing::PrintToString(args);
    }
    tool_result result = run({"-c", "-h", "new.hpm", "-u", "no.bin", "-v", "1.0"});
    EXPECT_EQ(result.status, 1);
    EXPECT_FALSE(file_exists(dir / "new.hpm"));
}

TEST_F(create, write_faults_end_with_status_1) {
    write_file(dir / "small.bin", "tiny");
    write_file(dir / "large.bin", pattern(1 << 20, 5));
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"-h", "missing/out.hpm", "-u", "small.bin"},
         " Error: open('missing/out.hpm', write) failed, No such file or directory\n"},
        {{"-h", ".", "-u", "small.bin"}, " Error: open('.', write) failed, Is a directory\n"},
        {{"-h", "/dev/full", "-u", "small.bin"},
         " Error: close('/dev/full') failed, No space left on device\n"},
    };
    for (const auto& [args, message] : cases) {
        std::vector<std::string> full = {"-c", "-v", "1.0", "-e", "1.0"};
        full.insert(full.end(), args.begin(), args.end());
        tool_result result = run(full);
        EXPECT_EQ(result.status, 1) << testing::PrintToString(args);
        EXPECT_EQ(result.out, message) << testing::PrintToString(args);
    }
    // The failure shows once the stream's buffer is first written out, at a chunk boundary.
    tool_result result =
        run({"-c", "-v", "1.0", "-e", "1.0", "-h", "/dev/full", "-u", "large.bin"});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(std::regex_match(
        result.out,
        std::regex(
            " Error: output file fwrite\\(offset=[0-9]+\\) failed, No space left on device\n")))
        << result.out;
}

// A sparse component of 256 MiB keeps the copy busy long enough to be interrupted.
TEST_F(create, stopping_signals_during_a_copy_exit_3_and_sighup_is_ignored) {
    ASSERT_EQ(system(("truncate -s 256M " + (dir / "rfs.img")).c_str()), 0);
    for (int sig : {SIGINT, SIGQUIT, SIGTERM}) {
        unlink((dir / "out.hpm").c_str());
        running_tool tool = start_tool(
            {"-c", "-v", "1.0", "-e", "1.0", "-h", "out.hpm", "-r", "rfs.img"}, dir.path);
        for (int wait = 0; wait < 10000 && file_size(dir / "out.hpm") < (1 << 20); ++wait)
            usleep(1000);
        kill(tool.pid, SIGHUP);
        usleep(10000);
        kill(tool.pid, sig);
        tool_result result = finish_tool(tool);
        EXPECT_EQ(result.status, 3) << sig;
        EXPECT_EQ(result.out,
                  " " + program + ": caught signal " + std::to_string(sig) + ", exiting.")
            << sig;
        EXPECT_LT(file_size(dir / "out.hpm"), 256 << 20) << "stopped before the end";
    }
}

} // namespace
