// The command line of the built tool: usage, option and revision complaints, modes.
#include "tool_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string program = HPMIMG_BINARY;

std::string usage_text() {
    return " Usage: " + program +
           " <-c|-t|-x> [-v <rev>] [-e <rev>] -h <hpm_file> \\\n"
           "\t[-u <uboot_file:rev>] [-k <kernel_file:rev>] \\\n"
           "\t[-r <rfs_file:rev>] [-a <app_file:rev>]\n";
}

struct cli : testing::Test {
    temp_dir dir;
    tool_result run(const std::vector<std::string>& args) { return run_tool(args, dir.path); }
};

TEST_F(cli, usage_for_missing_image_bad_option_or_several_modes) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"-t"},
        {"-x", "-u", "boot.bin"},
        {"-z", "-h", "img"},
        {"-h"},
        {"-c", "-t", "-h", "img"},
        {"-t", "-x", "-h", "img"},
        {"-c", "-x", "-h", "img"},
        {"-c", "-t", "-x", "-h", "img"},
        {"-h", ""},
    };
    for (const auto& args : cases) {
        tool_result result = run(args);
        EXPECT_EQ(result.status, 2) << testing::PrintToString(args);
        EXPECT_EQ(result.out, usage_text()) << testing::PrintToString(args);
    }
}

TEST_F(cli, getopt_complaint_goes_to_stderr) {
    tool_result result = run({"-z", "-h", "img"});
    EXPECT_NE(result.err.find("invalid option -- 'z'"), std::string::npos) << result.err;
    result = run({"-t", "-h"});
    EXPECT_NE(result.err.find("option requires an argument -- 'h'"), std::string::npos);
}

TEST_F(cli, bad_revisions_end_the_run_before_any_mode_check) {
    const std::string invalid = "invalid FW revision, expected something like 1.2.3";
    const std::string too_short = "FW revision is too short, expected something like 1.2.3";
    const std::string out_of_range = "FW revision is out of supported BCD+ range";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"-t", "-v", "1.x", "-h", "img"}, too_short},
        {{"-v", ""}, invalid},
        {{"-e", "   ", "-c", "-t"}, invalid},
        {{"-x", "-e", "7", "-h", "img"}, too_short},
        {{"-v", "abc"}, too_short},
        {{"-v", "1."}, too_short},
        {{"-v", ".5"}, too_short},
        {{"-v", "129.0"}, out_of_range},
        {{"-v", "1.11"}, out_of_range},
        {{"-v", "1.2.256"}, out_of_range},
        {{"-v", "-1.0"}, out_of_range},
        {{"-v", "1.-1"}, out_of_range},
        {{"-v", "4294967296.0"}, out_of_range},
        {{"-v", "4294967297.0"}, out_of_range},
        {{"-v", "99999999999999999999.1"}, out_of_range},
        {{"-u", "boot.bin:1.2.256"}, out_of_range},
        {{"-k", "zImage:"}, invalid},
        {{"-a", "app:x", "-h", "img"}, too_short},
        {{"-v", "1.2", "-r", "rfs:9", "-c", "-x"}, too_short},
    };
    for (const auto& [args, message] : cases) {
        tool_result result = run(args);
        EXPECT_EQ(result.status, 1) << testing::PrintToString(args);
        EXPECT_EQ(result.out, " " + program + ": " + message + "\n")
            << testing::PrintToString(args);
    }
}

TEST_F(cli, file_names_of_4096_bytes_or_more_are_refused) {
    const std::string long_name(4096, 'n');
    const std::vector<std::pair<std::string, char>> cases = {
        {"-h", 'h'}, {"-u", 'u'}, {"-k", 'k'}, {"-r", 'r'}, {"-a", 'a'}};
    for (const auto& [option, letter] : cases) {
        tool_result result = run({option, long_name + ":1.0", "-h", "img"});
        if (option == "-h")
            result = run({"-h", long_name});
        EXPECT_EQ(result.status, 1) << option;
        EXPECT_EQ(result.out.rfind(std::string(" Error: -") + letter +
                                       " file name is too long (4096 bytes or more): 'nnn",
                                   0),
                  0u)
            << result.out;
        EXPECT_EQ(result.out.size(), 256u) << "cut at 255 characters plus newline";
    }
}

} // namespace
