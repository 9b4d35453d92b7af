// Messages, cleanup, usage, signals and the process's ways out.
#pragma once

#include <cstddef>

// Prints one message (cut at 255 characters) with a newline; a non-zero status then ends
// the run with it (leave). A caught signal ends the run first, with the signal's notice.
void report(int status, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Closes the streams and frees the name buffers, each at most once. A non-zero signal
// number prints the caught-signal notice and exits 3.
void cleanup(int signal_number);
// The one way out: cleanup, a caught signal's notice and status 3, else a check that
// standard output was written whole (status 1 when not, unless the status is non-zero).
[[noreturn]] void leave(int status);
[[noreturn]] void usage();
char* alloc_zeroed(std::size_t size);
// The text as it may be printed: printable ASCII as it is, any other byte as \x0A or \x9B,
// so that no file name or description adds a line to the output or drives a terminal. Reads
// at most `size` bytes (the text need not be terminated); the result lasts for one more call.
const char* shown(const char* text, std::size_t size = 4096);
// SIGHUP and SIGXFSZ ignored; SIGINT, SIGTERM and SIGQUIT recorded, to end the run at its
// next check; every other signal that ends a process ends it by itself once the output being
// written is removed. A signal ignored on entry stays ignored.
void install_signal_handlers();
// The run's last output is in place: from here SIGINT, SIGTERM and SIGQUIT end the process by
// themselves, without the notice, as the other ending signals do, so that status 3 always
// means that it was not put in place.
void outputs_in_place();
// An output is being written again: stopping signals stop the run, as before the first.
void outputs_pending();
// Ends the run (cleanup, notice, status 3) when a stopping signal has been caught.
void stop_if_signalled();
