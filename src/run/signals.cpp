#include "run/signals.h"

#include "run/context.h"

#include <cstring>
#include <initializer_list>
#include <poll.h>
#include <unistd.h>

namespace {

// A handler only records a stopping signal: the run stops at its next check, in ordinary
// context, where closing streams and printing are safe. Should that not happen within the
// watchdog's time (a write blocked on a pipe nobody reads), the watchdog ends the process.
volatile sig_atomic_t caught_signal = 0;
volatile sig_atomic_t notice_started = 0; // from here a further signal leaves the notice be
const unsigned watchdog_seconds = 1;
bool alarm_ignored_on_entry = false; // a SIGALRM from outside then stays without effect
void (*volatile signal_cleanup)() = nullptr;

void write_text(const char* text) {
    for (std::size_t left = strlen(text); left > 0;) {
        const ssize_t written = write(STDOUT_FILENO, text, left);
        if (written <= 0)
            return;
        text += written;
        left -= static_cast<std::size_t>(written);
    }
}

void run_signal_cleanup() {
    void (*const discard)() = signal_cleanup;
    if (discard != nullptr)
        discard();
}

// The notice only when standard output takes it at once: a pipe nobody reads must not hold
// the process.
[[noreturn]] void stop_from_handler(int signal_number) {
    run_signal_cleanup();
    pollfd out = {STDOUT_FILENO, POLLOUT, 0};
    if (poll(&out, 1, 0) == 1 && (out.revents & POLLOUT) != 0)
        write_notice(signal_number);
    _exit(3);
}

// Any other signal that ends a process ends it as if the tool had no handler, once the
// signal cleanup has run: the same status for the caller, and no litter. Raised again with
// its default action, the signal ends the process as the handler returns.
void end_by_signal(int signal_number) {
    run_signal_cleanup();
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

void route_stopping_signals(void (*handler)(int)) {
    for (const int stopping : {SIGINT, SIGTERM, SIGQUIT})
        handle_unless_ignored(stopping, handler);
}

} // namespace

// No SA_RESTART: a system call blocked when a stopping signal arrives returns EINTR, and
// the run notices the signal. Past the file size limit a write fails with EFBIG and is
// reported, instead of SIGXFSZ ending the process without a word. The faults a bug raises
// (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP) stay with the sanitizers and debuggers.
void install_signal_handlers() {
    signal(SIGHUP, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
    stop_run_on_stopping_signals();
    for (const int ending :
         {SIGPIPE, SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU, SIGIO, SIGPWR, SIGSYS, SIGSTKFLT})
        handle_unless_ignored(ending, end_by_signal);
    for (int real_time = SIGRTMIN; real_time <= SIGRTMAX; ++real_time)
        handle_unless_ignored(real_time, end_by_signal);
    install_watchdog();
}

void stop_run_on_stopping_signals() {
    route_stopping_signals(on_stopping_signal);
}

void end_process_on_stopping_signals() {
    route_stopping_signals(end_by_signal);
}

int caught_stopping_signal() {
    return caught_signal;
}

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

void set_signal_cleanup(void (*discard)()) {
    signal_cleanup = discard;
}

sigset_t block_signals() {
    sigset_t all, old;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &old);
    return old;
}

void restore_signals(const sigset_t& old) {
    sigprocmask(SIG_SETMASK, &old, nullptr);
}
