#include "main/report.h"

#include "main/context.h"
#include "tool_run.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <unistd.h>

namespace {

TEST(report, status_0_prints_and_returns) {
    testing::internal::CaptureStdout();
    report(0, " line %d", 7);
    report(0, nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " line 7\n");
}

TEST(report, message_is_cut_at_255_characters) {
    const std::string long_text(300, 'x');
    testing::internal::CaptureStdout();
    report(0, " %s", long_text.c_str());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " " + std::string(254, 'x') + "\n");
}

TEST(report, non_zero_status_prints_cleans_up_and_exits_with_it) {
    EXPECT_EXIT(
        {
            dup2(2, 1);
            ctx.input = fopen("/dev/null", "rb");
            report(4, " Error: boom %s", "now");
        },
        testing::ExitedWithCode(4), "^ Error: boom now\n$");
}

void open_everything(temp_dir& dir) {
    ctx.input = fopen("/dev/null", "rb");
    ctx.output = fopen((dir / "out").c_str(), "wb");
    ctx.image_name = alloc_zeroed(name_buffer_size);
    for (char*& name : ctx.component_names)
        name = alloc_zeroed(name_buffer_size);
}

// A second cleanup is what a signal during or after the first would run; under
// the sanitizers a second fclose or free would abort the test.
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
    EXPECT_EQ(ctx.input, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr); // cleanup leaves the stopping signals blocked
}

TEST(cleanup, signal_after_cleanup_prints_notice_and_exits_3) {
    temp_dir dir;
    EXPECT_EXIT(
        {
            dup2(2, 1);
            ctx.program_name = "hpmimg";
            open_everything(dir);
            cleanup(0);
            cleanup(SIGTERM);
        },
        testing::ExitedWithCode(3), "^ hpmimg: caught signal 15, exiting.$");
}

TEST(cleanup, stopping_signals_stay_blocked_after_cleanup) {
    EXPECT_EXIT(
        {
            install_signal_handlers();
            cleanup(0);
            raise(SIGINT); // held pending, never run
            _exit(0);
        },
        testing::ExitedWithCode(0), "");
}

TEST(alloc_zeroed, returns_zero_filled_memory) {
    char* memory = alloc_zeroed(4096);
    ASSERT_NE(memory, nullptr);
    EXPECT_EQ(std::string(memory, 4096), std::string(4096, '\0'));
    free(memory);
}

} // namespace
