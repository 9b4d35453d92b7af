// A running tool that is signalled, or whose files change under it: a clear end, never a crash.
#include "image_bytes.h"
#include "tool_run.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const std::string program = HPMIMG_BINARY;
const long long large = 512ll << 20; // sparse, so cheap to make, and long to read

// Bytes the process has read so far; under an emulator, the emulator's reads.
long long bytes_read(int pid) {
    std::ifstream io("/proc/" + std::to_string(pid) + "/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value)
        if (key == "rchar:")
            return value;
    return -1;
}

// Waits until the tool is well into its data, or has ended.
void wait_until_busy(const running_tool& tool) {
    for (int wait = 0;
         wait < 20000 && bytes_read(tool.pid) >= 0 && bytes_read(tool.pid) < (16 << 20); ++wait)
        usleep(1000);
}

struct interrupt : testing::Test {
    temp_dir dir;
    void SetUp() override {
        // A component of zeros, and an image holding it with a wrong trailer.
        ASSERT_EQ(truncate_to(dir / "rfs.img", large), 0);
        write_file(dir / "big.hpm", header_record() + upload_record(4, 1, 0, 0, "rfs.img",
                                                                    static_cast<uint32_t>(large)));
        ASSERT_EQ(truncate_to(dir / "big.hpm", 35 + 34 + large + 16), 0);
    }
    static int truncate_to(const std::string& path, long long size) {
        return system(("truncate -s " + std::to_string(size) + " '" + path + "'").c_str());
    }
};

const std::vector<std::vector<std::string>> long_runs = {
    {"-c", "-v", "1.0", "-e", "1.0", "-h", "out.hpm", "-r", "rfs.img"},
    {"-t", "-h", "big.hpm"},
    {"-x", "-h", "big.hpm", "-r", "rfs.out"},
};

TEST_F(interrupt, stopping_signals_end_every_mode_with_status_3) {
    for (const auto& args : long_runs) {
        for (int sig : {SIGINT, SIGQUIT, SIGTERM}) {
            running_tool tool = start_tool(args, dir.path);
            wait_until_busy(tool);
            kill(tool.pid, SIGHUP); // ignored
            kill(tool.pid, sig);
            usleep(200);
            kill(tool.pid, sig); // a second one, while the first is being handled
            const tool_result result = finish_tool(tool);
            const std::string notice =
                " " + program + ": caught signal " + std::to_string(sig) + ", exiting.";
            EXPECT_EQ(result.status, 3) << args[0] << ' ' << sig;
            ASSERT_GE(result.out.size(), notice.size());
            EXPECT_EQ(result.out.substr(result.out.size() - notice.size()), notice) << args[0];
            EXPECT_EQ(result.out.find(notice), result.out.size() - notice.size()) << "once";
            EXPECT_EQ(result.err, "") << args[0] << ' ' << sig;
        }
    }
}

// The input shrinks while it is read: the read error ends the run.
TEST_F(interrupt, input_cut_short_while_read_ends_with_status_1) {
    for (const auto& args : long_runs) {
        const std::string input = args[0] == "-c" ? "rfs.img" : "big.hpm";
        SetUp();
        running_tool tool = start_tool(args, dir.path);
        wait_until_busy(tool);
        ASSERT_EQ(truncate_to(dir / input, 20 << 20), 0);
        const tool_result result = finish_tool(tool);
        EXPECT_EQ(result.status, 1) << args[0];
        EXPECT_NE(result.out.find(" Error: input file fread(offset="), std::string::npos)
            << args[0] << ": " << result.out;
        EXPECT_EQ(result.err, "") << args[0];
    }
}

} // namespace
