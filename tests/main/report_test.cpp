#include "main/report.h"

#include "files.h"
#include "main/context.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <unistd.h>

namespace {

TEST(report, status_0_prints_one_line_cut_at_255_characters_and_returns) {
    testing::internal::CaptureStdout();
    report(0, " line %d", 7);
    report(0, nullptr);
    report(0, " %s", std::string(300, 'x').c_str());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " line 7\n " + std::string(254, 'x') + "\n");
}

TEST(report, other_status_prints_cleans_up_and_exits_with_it) {
    EXPECT_EXIT(
        {
            dup2(2, 1); // death tests match what the child writes to stderr
            ctx.input = fopen("/dev/null", "rb");
            report(4, " Error: boom %s", "now");
        },
        testing::ExitedWithCode(4), "^ Error: boom now\n$");
}

void open_everything(temp_dir& dir) {
    ctx.program_name = "hpmimg";
    ctx.input = fopen("/dev/null", "rb");
    ctx.output = fopen((dir / "out").c_str(), "wb");
    ctx.image_name = alloc_zeroed(name_buffer_size);
    for (char*& name : ctx.component_names)
        name = alloc_zeroed(name_buffer_size);
}

// A second cleanup is what a signal during or after the first would run; under the
// sanitizers a second fclose or free would abort the test.
TEST(cleanup, second_run_releases_nothing_twice) {
    temp_dir dir;
    open_everything(dir);
    cleanup(0);
    EXPECT_EQ(ctx.input, nullptr);
    EXPECT_EQ(ctx.output, nullptr);
    EXPECT_EQ(ctx.image_name, nullptr);
    for (char* name : ctx.component_names)
        EXPECT_EQ(name, nullptr);
    cleanup(0);
}

TEST(cleanup, signal_after_cleanup_prints_the_notice_and_exits_3) {
    temp_dir dir;
    EXPECT_EXIT(
        {
            dup2(2, 1);
            open_everything(dir);
            cleanup(0);
            cleanup(SIGTERM);
        },
        testing::ExitedWithCode(3), "^ hpmimg: caught signal 15, exiting.$");
}

} // namespace
