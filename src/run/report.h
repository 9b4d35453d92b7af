// Messages, cleanup and the process's ways out.
#pragma once

#include <cstddef>

// Prints one message (cut at 255 characters) with a newline, and the run goes on. A caught
// signal ends the run first, with the signal's notice.
void report(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Prints one message as report does, then ends the run with the status, which is not 0 (leave).
[[noreturn]] void fail(int status, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Closes the streams and frees the name buffers, each at most once. A non-zero signal
// number prints the caught-signal notice and exits 3.
void cleanup(int signal_number);
// The one way out: cleanup, a caught signal's notice and status 3, else a check that
// standard output was written whole (status 1 when not, unless the status is non-zero).
[[noreturn]] void leave(int status);
char* alloc_zeroed(std::size_t size);
// The text as it may be printed: printable ASCII as it is, any other byte as \x0A or \x9B,
// so that no file name or description adds a line to the output or drives a terminal. Reads
// at most `size` bytes (the text need not be terminated); the result lasts for one more call.
const char* shown(const char* text, std::size_t size = 4096);
// The one function cleanup runs to release the run's outputs, before the names are freed.
void at_cleanup(void (*release)());
// Ends the run (cleanup, notice, status 3) when a stopping signal has been caught.
void stop_if_signalled();
