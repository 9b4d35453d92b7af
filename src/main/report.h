// Messages, cleanup, usage and the process's ways out.
#pragma once

#include <cstddef>
#include <cstdio>

// Prints one message (cut at 255 characters) with a newline; a non-zero status
// then runs cleanup and exits with it.
void report(int status, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Closes the streams and frees the name buffers, each at most once. A non-zero
// signal number prints the caught-signal notice and exits 3.
void cleanup(int signal_number);
// Empties the slot before closing, so a signal arriving meanwhile cannot close it twice.
void close_stream(FILE*& stream);
[[noreturn]] void usage();
char* alloc_zeroed(std::size_t size);
// SIGHUP ignored; SIGINT, SIGTERM and SIGQUIT run cleanup.
void install_signal_handlers();
