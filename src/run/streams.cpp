#include "run/streams.h"

#include "run/context.h"
#include "run/report.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>

namespace {

char input_buffer[stream_buffer_size];

} // namespace

void open_failed(const char* name, const char* use, int error) {
    fail(1, " Error: open('%s', %s) failed, %s", shown(name), use, strerror(error));
}

void attach_stream(FILE*& slot, FILE* stream, const char* name, const char* use, char* buffer) {
    slot = stream;
    if (slot == nullptr)
        open_failed(name, use, errno);
    setvbuf(slot, buffer, _IOFBF, stream_buffer_size);
}

// Opened without waiting: a FIFO that takes the place of a file after it was checked must not
// hold the run until a writer comes.
void open_input(const char* name) {
    const int fd = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0)
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    attach_stream(ctx.input, fd >= 0 ? fdopen(fd, "rb") : nullptr, name, "read", input_buffer);
}
