#include "main/report.h"

#include "main/context.h"

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char usage_text[] = " Usage: %s <-c|-t|-x> [-v <rev>] [-e <rev>] -h <hpm_file> \\\n"
                          "\t[-u <uboot_file:rev>] [-k <kernel_file:rev>] \\\n"
                          "\t[-r <rfs_file:rev>] [-a <app_file:rev>]";

sigset_t stopping_signals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGQUIT);
    return set;
}

void free_buffer(char*& buffer) {
    char* allocated = buffer;
    buffer = nullptr;
    free(allocated);
}

void on_signal(int signal_number) {
    cleanup(signal_number);
}

} // namespace

void report(int status, const char* format, ...) {
    if (format != nullptr) {
        char message[256];
        va_list args;
        va_start(args, format);
        vsnprintf(message, sizeof message, format, args);
        va_end(args);
        puts(message);
    }
    if (status != 0) {
        cleanup(0);
        exit(status);
    }
}

void close_stream(FILE*& stream) {
    FILE* open_stream = stream;
    stream = nullptr;
    if (open_stream != nullptr)
        fclose(open_stream);
}

void cleanup(int signal_number) {
    // cleanup runs only on the way out of the process, so the stopping signals stay
    // blocked from here on: a second signal can never release anything twice.
    sigset_t set = stopping_signals();
    sigprocmask(SIG_BLOCK, &set, nullptr);
    close_stream(ctx.input);
    close_stream(ctx.output);
    free_buffer(ctx.image_name);
    for (char*& name : ctx.component_names)
        free_buffer(name);
    if (signal_number != 0) {
        printf(" %s: caught signal %d, exiting.", ctx.program_name, signal_number);
        exit(3);
    }
}

void usage() {
    report(2, usage_text, ctx.program_name);
    exit(2); // not reached: report ends the process for a non-zero status
}

char* alloc_zeroed(std::size_t size) {
    void* memory = calloc(1, size);
    if (memory == nullptr)
        report(1, " Error: failed to allocate %zu bytes, %s", size, strerror(errno));
    return static_cast<char*>(memory);
}

void install_signal_handlers() {
    signal(SIGHUP, SIG_IGN);
    struct sigaction action = {};
    action.sa_handler = on_signal;
    action.sa_mask = stopping_signals(); // no stopping signal interrupts the handler
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGQUIT, &action, nullptr);
}
