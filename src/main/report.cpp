#include "main/report.h"

#include "main/context.h"
#include "main/output.h"

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <poll.h>
#include <unistd.h>

namespace {

const char usage_text[] = " Usage: %s <-c|-t|-x> [-v <rev>] [-e <rev>] -h <hpm_file> \\\n"
                          "\t[-u <uboot_file:rev>] [-k <kernel_file:rev>] \\\n"
                          "\t[-r <rfs_file:rev>] [-a <app_file:rev>]";

// A handler only records a stopping signal: the run stops at its next check, in ordinary
// context, where closing streams and printing are safe. Should that not happen within the
// watchdog's time (a write blocked on a pipe nobody reads), the watchdog ends the process.
volatile sig_atomic_t caught_signal = 0;
volatile sig_atomic_t notice_started = 0; // from here a further signal leaves the notice be
const unsigned watchdog_seconds = 1;
bool alarm_ignored_on_entry = false; // a SIGALRM from outside then stays without effect

int stdout_errno = 0; // the first failure writing standard output

void write_text(const char* text) {
    for (std::size_t left = strlen(text); left > 0;) {
        const ssize_t written = write(STDOUT_FILENO, text, left);
        if (written <= 0)
            return;
        text += written;
        left -= static_cast<std::size_t>(written);
    }
}

// " %s: caught signal %d, exiting." with write(2) alone, so that a handler may print it.
void write_notice(int signal_number) {
    notice_started = 1;
    char number[12];
    char* digits = number + sizeof number;
    *--digits = '\0';
    auto n = static_cast<unsigned>(signal_number);
    do {
        *--digits = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n > 0);
    write_text(" ");
    write_text(ctx.program_name);
    write_text(": caught signal ");
    write_text(digits);
    write_text(", exiting.");
}

// The notice only when standard output takes it at once: a pipe nobody reads must not hold
// the process.
[[noreturn]] void stop_from_handler(int signal_number) {
    discard_output();
    pollfd out = {STDOUT_FILENO, POLLOUT, 0};
    if (poll(&out, 1, 0) == 1 && (out.revents & POLLOUT) != 0)
        write_notice(signal_number);
    _exit(3);
}

// Any other signal that ends a process ends it as if the tool had no handler, once the
// output being written is removed: the same status for the caller, and no litter. Raised
// again with its default action, the signal ends the process as the handler returns.
void end_by_signal(int signal_number) {
    discard_output();
    signal(signal_number, SIG_DFL);
    raise(signal_number);
}

void on_stopping_signal(int signal_number) {
    if (caught_signal == 0) {
        caught_signal = signal_number;
        alarm(watchdog_seconds);
    } else if (notice_started == 0) {
        stop_from_handler(caught_signal); // a second signal: the user insists
    }
}

// The watchdog's own expiry comes from the kernel (SI_KERNEL), which no other process can
// send; any other SIGALRM is one more signal from outside.
void on_alarm(int alarm_signal, siginfo_t* info, void* /*context*/) {
    if (info->si_code == SI_KERNEL && caught_signal != 0) {
        if (notice_started != 0)
            _exit(3); // the ordinary path is stuck writing the notice
        stop_from_handler(caught_signal);
    }
    if (!alarm_ignored_on_entry)
        end_by_signal(alarm_signal);
}

// A signal ignored on entry (SIGINT in a shell's background job, SIGPIPE under some
// supervisors) stays ignored.
void handle_unless_ignored(int signal_number, void (*handler)(int)) {
    struct sigaction old = {};
    if (sigaction(signal_number, nullptr, &old) != 0 || old.sa_handler == SIG_IGN)
        return;
    struct sigaction action = {};
    action.sa_handler = handler;
    sigaction(signal_number, &action, nullptr);
}

// The watchdog works whatever the parent left: SIGALRM is caught also when it was ignored
// on entry (one from outside is then ignored still), and unblocked. SA_RESTART: a SIGALRM
// that is ignored must not cut a system call short.
void install_watchdog() {
    struct sigaction action = {};
    action.sa_sigaction = on_alarm;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    struct sigaction old = {};
    sigaction(SIGALRM, &action, &old);
    alarm_ignored_on_entry = old.sa_handler == SIG_IGN;
    sigset_t alarm_only;
    sigemptyset(&alarm_only);
    sigaddset(&alarm_only, SIGALRM);
    sigprocmask(SIG_UNBLOCK, &alarm_only, nullptr);
}

// SIGINT, SIGTERM and SIGQUIT stop the run at its next check, or end it by themselves as
// the other ending signals do; those ignored on entry stay ignored.
void route_stopping_signals(bool stop_run) {
    for (const int stopping : {SIGINT, SIGTERM, SIGQUIT})
        handle_unless_ignored(stopping, stop_run ? on_stopping_signal : end_by_signal);
}

void note_stdout_failure() {
    if (stdout_errno == 0)
        stdout_errno = errno != 0 ? errno : EIO;
}

void free_buffer(char*& buffer) {
    char* allocated = buffer;
    buffer = nullptr;
    free(allocated);
}

} // namespace

void report(int status, const char* format, ...) {
    stop_if_signalled(); // a failed call may be a signal's EINTR, not an error of its own
    if (format != nullptr) {
        char message[256];
        va_list args;
        va_start(args, format);
        vsnprintf(message, sizeof message, format, args);
        va_end(args);
        if (puts(message) == EOF)
            note_stdout_failure();
    }
    if (status != 0)
        leave(status);
}

void cleanup(int signal_number) {
    close_input();
    abandon_output(); // an output not complete is removed
    free_buffer(ctx.image_name);
    for (char*& name : ctx.component_names)
        free_buffer(name);
    if (signal_number != 0) {
        fflush(stdout); // every line printed before comes before the notice
        write_notice(signal_number);
        exit(3);
    }
}

void outputs_in_place() {
    route_stopping_signals(false);
}

void outputs_pending() {
    route_stopping_signals(true);
}

void stop_if_signalled() {
    if (caught_signal != 0)
        cleanup(caught_signal);
}

void leave(int status) {
    cleanup(0);
    const bool failed = fflush(stdout) != 0 || ferror(stdout) != 0;
    if (failed)
        note_stdout_failure();
    stop_if_signalled();
    if (failed) {
        fprintf(stderr, "%s: standard output: %s\n", ctx.program_name, strerror(stdout_errno));
        status = status != 0 ? status : 1;
    }
    exit(status);
}

void usage() {
    report(2, usage_text, ctx.program_name);
    exit(2); // not reached: report ends the process for a non-zero status
}

const char* shown(const char* text, std::size_t size) {
    static char buffers[2][1024]; // longer than any message, which is cut at 255 characters
    static int next = 0;
    char* const start = buffers[next];
    next = 1 - next;
    char* out = start;
    const char* const end = start + sizeof buffers[0] - 5; // room for one more \xNN and a 0
    for (std::size_t n = 0; n < size && text[n] != '\0' && out < end; ++n) {
        const auto byte = static_cast<unsigned char>(text[n]);
        if (byte < 0x20 || byte >= 0x7F)
            out += snprintf(out, 5, "\\x%02X", byte);
        else
            *out++ = static_cast<char>(byte);
    }
    *out = '\0';
    return start;
}

char* alloc_zeroed(std::size_t size) {
    void* memory = calloc(1, size);
    if (memory == nullptr)
        report(1, " Error: failed to allocate %zu bytes, %s", size, strerror(errno));
    return static_cast<char*>(memory);
}

// No SA_RESTART: a system call blocked when a stopping signal arrives returns EINTR, and
// the run notices the signal. Past the file size limit a write fails with EFBIG and is
// reported, instead of SIGXFSZ ending the process without a word. The faults a bug raises
// (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP) stay with the sanitizers and debuggers.
void install_signal_handlers() {
    signal(SIGHUP, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
    route_stopping_signals(true);
    for (const int ending :
         {SIGPIPE, SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU, SIGIO, SIGPWR, SIGSYS, SIGSTKFLT})
        handle_unless_ignored(ending, end_by_signal);
    for (int real_time = SIGRTMIN; real_time <= SIGRTMAX; ++real_time)
        handle_unless_ignored(real_time, end_by_signal);
    install_watchdog();
}
