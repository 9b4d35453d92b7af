#include "run/report.h"

#include "run/context.h"
#include "run/signals.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int stdout_errno = 0;             // the first failure writing standard output
void (*cleanup_hook)() = nullptr; // what the run registered for cleanup to release

void note_stdout_failure() {
    if (stdout_errno == 0)
        stdout_errno = errno != 0 ? errno : EIO;
}

void free_buffer(char*& buffer) {
    char* allocated = buffer;
    buffer = nullptr;
    free(allocated);
}

void print_message(const char* format, va_list args) {
    stop_if_signalled(); // a failed call may be a signal's EINTR, not an error of its own
    char message[256];
    vsnprintf(message, sizeof message, format, args);
    if (puts(message) == EOF)
        note_stdout_failure();
}

} // namespace

void report(const char* format, ...) {
    va_list args;
    va_start(args, format);
    print_message(format, args);
    va_end(args);
}

void fail(int status, const char* format, ...) {
    va_list args;
    va_start(args, format);
    print_message(format, args);
    va_end(args);
    leave(status);
}

void cleanup(int signal_number) {
    close_slot(ctx.input);
    if (cleanup_hook != nullptr)
        cleanup_hook();
    free_buffer(ctx.image_name);
    for (char*& name : ctx.component_names)
        free_buffer(name);
    if (signal_number != 0) {
        fflush(stdout); // every line printed before comes before the notice
        write_notice(signal_number);
        exit(3);
    }
}

void at_cleanup(void (*release)()) {
    cleanup_hook = release;
}

void stop_if_signalled() {
    if (caught_stopping_signal() != 0)
        cleanup(caught_stopping_signal());
}

void leave(int status) {
    cleanup(0);
    fflush(stdout); // a failed flush sets the error indicator, as an earlier failed write did
    const bool failed = ferror(stdout) != 0;
    if (failed)
        note_stdout_failure();
    stop_if_signalled();
    if (failed) {
        fprintf(stderr, "%s: standard output: %s\n", ctx.program_name, strerror(stdout_errno));
        status = status != 0 ? status : 1;
    }
    exit(status);
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
        fail(1, " Error: failed to allocate %zu bytes, %s", size, strerror(errno));
    return static_cast<char*>(memory);
}
