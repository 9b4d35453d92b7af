// The action walk, extraction and the trailer check, on created and hand-made images.
#include "image_bytes.h"
#include "tool_run.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const std::string separator = " --------------------\n";
const std::string header_ok = " Header Checksum    = 0x75 (OK)\n";
const std::string md5_ok = " MD5 Checksum       = OK\n";
const std::string md5_error = " MD5 Checksum       = Error\n";
const std::string backup_of_uboot = " Upgrade Action     = 0 (Backup)\n"
                                    " Action Components  = 0x01 ( 0 )\n"
                                    " Action Checksum    = 0xFF (OK)\n";

std::string upload_lines(const std::string& mask_line, const std::string& checksum,
                         const std::string& revision, const std::string& description, int length) {
    return " Upgrade Action     = 2 (Upload)\n Action Components  = " + mask_line +
           "\n Action Checksum    = " + checksum + " (OK)\n Action FW Revision = " + revision +
           "\n Action AUX Revision= 0x00 0x00 0x00 0x00\n Action Description = " + description +
           "\n Action Data Length = " + std::to_string(length) + "\n";
}

// The values of the lines that start with prefix, in order.
std::vector<std::string> values_of(const std::string& out, const std::string& prefix) {
    std::vector<std::string> found;
    for (std::size_t at = 0, end; at < out.size(); at = end + 1) {
        end = out.find('\n', at);
        if (out.compare(at, prefix.size(), prefix) == 0)
            found.push_back(out.substr(at + prefix.size(), end - at - prefix.size()));
    }
    return found;
}

struct walk : testing::Test {
    temp_dir dir;
    tool_result run(const std::vector<std::string>& args) { return run_tool(args, dir.path); }
    tool_result run_on(const std::string& image, std::vector<std::string> args) {
        write_file(dir / "img.hpm", image);
        args.insert(args.end(), {"-h", "img.hpm"});
        return run(args);
    }
    // Four components of 1, 0, 3 MiB + 5 and 1024 bytes; the inputs stay in the directory.
    std::string four_component_image() {
        write_file(dir / "u.bin", "U");
        write_file(dir / "k.bin", "");
        write_file(dir / "r.bin", pattern(3 * 1024 * 1024 + 5, 3));
        write_file(dir / "a.bin", pattern(1024, 4));
        EXPECT_EQ(run({"-c", "-v", "2.1", "-e", "1.0", "-h", "four.hpm", "-u", "u.bin:1.2.15", "-k",
                       "k.bin:1.0.12", "-r", "r.bin:3.10.4", "-a", "a.bin"})
                      .status,
                  0);
        return read_file(dir / "four.hpm");
    }
};

TEST_F(walk, round_trip_of_four_components) {
    four_component_image();
    tool_result result = run({"-t", "-h", "four.hpm"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(values_of(result.out, " Action FW Revision = "),
              (std::vector<std::string>{"1.2.15", "1.0.12", "3. .4", "0.0.0"}));
    EXPECT_EQ(values_of(result.out, " Action Description = "),
              (std::vector<std::string>{"u.bin", "k.bin", "r.bin", "a.bin"}));
    EXPECT_EQ(values_of(result.out, " Action Data Length = "),
              (std::vector<std::string>{"1", "0", "3145733", "1024"}));
    EXPECT_EQ(values_of(result.out, " Action Checksum    = "),
              (std::vector<std::string>{"0xF0 (OK)", "0xFD (OK)", "0xFC (OK)", "0xFA (OK)",
                                        "0xF6 (OK)"}));
    EXPECT_EQ(values_of(result.out, " Image FW Revision  = "), std::vector<std::string>{"2.1.0"});
    EXPECT_EQ(values_of(result.out, " Earliest CompatRev = "), std::vector<std::string>{"1.0.0"});
    EXPECT_EQ(values_of(result.out, " MD5 Checksum       = "), std::vector<std::string>{"OK"});

    result =
        run({"-x", "-h", "four.hpm", "-u", "u.out", "-k", "k.out", "-r", "r.out", "-a", "a.out"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(values_of(result.out, " Save Component to  = "),
              (std::vector<std::string>{"u.out", "k.out", "r.out", "a.out"}));
    for (const char* name : {"u", "k", "r", "a"})
        EXPECT_EQ(read_file(dir / (std::string(name) + ".out")),
                  read_file(dir / (std::string(name) + ".bin")))
            << name;
}

// The verdicts of header, Prepare, four Uploads and trailer after one byte is changed.
TEST_F(walk, one_changed_byte_shows_in_its_own_verdict) {
    const std::string image = four_component_image();
    const std::size_t first_upload = 38, rfs_data = 38 + 34 + 1 + 34 + 34 + 1000;
    const std::vector<std::pair<std::size_t, std::vector<std::string>>> cases = {
        {rfs_data, {"OK", "OK", "OK", "OK", "OK", "OK", "Error"}},
        {22, {"Error", "OK", "OK", "OK", "OK", "OK", "Error"}},
        {37, {"OK", "Error", "OK", "OK", "OK", "OK", "Error"}},
        {first_upload + 2, {"OK", "OK", "Error", "OK", "OK", "OK", "Error"}},
        {image.size() - 1, {"OK", "OK", "OK", "OK", "OK", "OK", "Error"}},
    };
    for (const auto& [offset, verdicts] : cases) {
        std::string damaged = image;
        damaged[offset] = static_cast<char>(damaged[offset] ^ 0x01);
        const tool_result result = run_on(damaged, {"-t"});
        EXPECT_EQ(result.status, 0) << offset;
        std::vector<std::string> found;
        for (std::string line : values_of(result.out, " "))
            if (line.find("Checksum") != std::string::npos) {
                line.erase(0, line.find("= ") + 2);
                found.push_back(line.back() == ')' ? line.substr(6, line.size() - 7) : line);
            }
        EXPECT_EQ(found, verdicts) << offset;
    }
}

// Extract mode with no names: the walk's lines only, nothing written.
TEST_F(walk, action_sequences_and_their_lines) {
    const std::string header = header_record();
    const std::string upload_7 = upload_record(1, 1, 0x23, 0, "u", 7) + pattern(7, 1);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {with_trailer(header), header_ok + separator + md5_ok},
        {header, header_ok + separator + md5_error},
        {header + pattern(15, 2), header_ok + separator + md5_error},
        {with_trailer(header + action_record(0, 1) + action_record(3, 0xF0)),
         header_ok + separator + backup_of_uboot + separator +
             " Upgrade Action     = 3 (Reserved)\n Action Components  = 0xF0 ( 4 5 6 7 )\n"
             " Action Checksum    = 0x0D (OK)\n" +
             separator + md5_ok},
        {with_trailer(header + action_record(0, 1) + "\x01\x01"),
         header_ok + separator + backup_of_uboot + " Warning: dropping invalid action header.\n" +
             separator + md5_ok},
        {with_trailer(header + upload_7 + upload_record(2, 0, 0, 0, "", 0).substr(0, 33)),
         header_ok + separator + upload_lines("0x01 ( 0 )", "0xFD", "1.2.3", "u", 7) + separator +
             " Upgrade Action     = 2 (Upload)\n Action Components  = 0x02 ( 1 )\n"
             " Action Checksum    = 0xFC (OK)\n"
             " Warning: dropping invalid upload action header.\n" +
             separator + md5_ok},
        // Data running into the trailer ends the walk quietly.
        {with_trailer(header + upload_record(4, 0, 0, 0, "twenty-one-characters", 20) +
                      pattern(10, 3)),
         header_ok + separator +
             upload_lines("0x04 ( 2 )", "0xFA", "0.0.0", "twenty-one-characters", 20) + separator +
             md5_ok},
    };
    for (const auto& [image, expected] : cases) {
        const tool_result result = run_on(image, {"-x"});
        EXPECT_EQ(result.status, 0) << image.size();
        EXPECT_EQ(result.out, expected) << image.size();
    }
}

TEST_F(walk, lengths_past_the_image_end_the_run_and_write_nothing) {
    const std::string header = header_record();
    const std::vector<std::pair<uint32_t, std::string>> cases = {
        {1200, " Error: input file fread(offset=1024) failed, Success\n"},
        {0x7FFFFFFFu, " Error: input file fread(offset=1024) failed, Success\n"},
        {0x80000000u, " Error: upload data length 2147483648 is 2 GiB or more, the image is "
                      "damaged.\n"},
        {0xFFFFFFFFu, " Error: upload data length 4294967295 is 2 GiB or more, the image is "
                      "damaged.\n"},
    };
    for (const auto& [length, message] : cases) {
        const std::string image =
            with_trailer(header + upload_record(1, 0, 0, 0, "u", length) + pattern(1100, 5));
        for (const char* mode : {"-t", "-x"}) {
            unlink((dir / "u.out").c_str());
            const tool_result result = run_on(image, {mode, "-u", "u.out"});
            EXPECT_EQ(result.status, 1) << length << mode;
            const std::string out = result.out;
            EXPECT_EQ(out.substr(out.rfind('\n', out.size() - 2) + 1), message) << length << mode;
            EXPECT_FALSE(file_exists(dir / "u.out")) << length << mode;
        }
    }
}

TEST_F(walk, extraction_follows_the_first_named_component_bit) {
    const std::string image =
        with_trailer(header_record() + upload_record(1, 0, 0, 0, "first", 5) + "11111" +
                     upload_record(6, 0, 0, 0, "kernel-and-rfs", 3) + "222" +
                     upload_record(8, 0, 0, 0, "app", 2) + "33" +
                     upload_record(1, 0, 0, 0, "second", 4) + "4444");
    tool_result result = run_on(image, {"-x", "-u", "u.out", "-r", "r.out", "-k", "k.out"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(values_of(result.out, " Save Component to  = "),
              (std::vector<std::string>{"u.out", "k.out", "u.out"}));
    EXPECT_EQ(read_file(dir / "u.out"), "4444") << "the second U-Boot upload overwrites";
    EXPECT_EQ(read_file(dir / "k.out"), "222");
    EXPECT_FALSE(file_exists(dir / "r.out"));
    EXPECT_EQ(values_of(result.out, " MD5 Checksum       = "), std::vector<std::string>{"OK"});

    result = run_on(image, {"-x", "-a", "a.out"});
    EXPECT_EQ(values_of(result.out, " Save Component to  = "), std::vector<std::string>{"a.out"});
    EXPECT_EQ(read_file(dir / "a.out"), "33");

    // An output that cannot be opened ends the run; what was written before stays.
    unlink((dir / "u.out").c_str());
    result = run_on(image, {"-x", "-u", "u.out", "-k", "no/such/dir"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(
        values_of(result.out, " Error: "),
        std::vector<std::string>{"open('no/such/dir', write) failed, No such file or directory"});
    EXPECT_EQ(read_file(dir / "u.out"), "11111");

    result = run_on(image, {"-x", "-u", "img.hpm"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(values_of(result.out, " Error: "),
              std::vector<std::string>{"U-Boot file 'img.hpm' is the image file itself"});
    EXPECT_EQ(read_file(dir / "img.hpm"), image);
}

TEST_F(walk, extract_write_faults_end_with_status_1) {
    const std::string small =
        with_trailer(header_record() + upload_record(1, 0, 0, 0, "u", 5) + "12345");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/dev/full", " Error: close('/dev/full') failed, No space left on device"},
        {".", " Error: open('.', write) failed, Is a directory"},
    };
    for (const auto& [output, message] : cases) {
        const tool_result result = run_on(small, {"-x", "-u", output});
        EXPECT_EQ(result.status, 1) << output;
        EXPECT_EQ(result.out.substr(result.out.rfind('\n', result.out.size() - 2) + 1),
                  message + "\n");
    }
    const std::string large = with_trailer(
        header_record() + upload_record(1, 0, 0, 0, "u", 1 << 20) + pattern(1 << 20, 6));
    const tool_result result = run_on(large, {"-x", "-u", "/dev/full"});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(std::regex_search(
        result.out,
        std::regex(
            "\n Error: output file fwrite\\(offset=[0-9]+\\) failed, No space left on device\n$")))
        << result.out;
}

// Every prefix of a valid image, from 0 bytes to all of it, ends with a message and
// status 0 or 1: never a crash, a hang or a sanitizer report.
TEST_F(walk, every_truncated_prefix_ends_cleanly) {
    write_file(dir / "u.bin", "U");
    write_file(dir / "k.bin", "");
    write_file(dir / "r.bin", pattern(40, 3));
    write_file(dir / "a.bin", pattern(9, 4));
    ASSERT_EQ(run({"-c", "-v", "1.0", "-h", "four.hpm", "-u", "u.bin", "-k", "k.bin", "-r", "r.bin",
                   "-a", "a.bin:1.2.15"})
                  .status,
              0);
    const std::string image = read_file(dir / "four.hpm");
    for (std::size_t size = 0; size <= image.size(); ++size) {
        const tool_result result = run_on(image.substr(0, size), {"-t"});
        EXPECT_TRUE(result.status == 0 || result.status == 1) << size << ": " << result.status;
        EXPECT_EQ(result.err, "") << size;
        ASSERT_FALSE(result.out.empty()) << size;
        const bool verdict_or_error =
            result.out.find(" MD5 Checksum       = ") != std::string::npos ||
            result.out.find(" Error: ") != std::string::npos;
        EXPECT_TRUE(verdict_or_error) << size << ":\n" << result.out;
        EXPECT_EQ(result.status == 0,
                  size == image.size() || result.out.find(" Error: ") == std::string::npos)
            << size;
    }
}

} // namespace
