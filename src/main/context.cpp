#include "main/context.h"

#include "main/report.h"

#include <cerrno>
#include <cstring>

run_context ctx;

namespace {

// A stdio buffer far larger than the file system's block size saves most of the read and
// write system calls on large components; each stream has its own.
const std::size_t stream_buffer_size = std::size_t{256} * 1024;
char input_buffer[stream_buffer_size];
char output_buffer[stream_buffer_size];

void open_stream(FILE*& slot, const char* name, const char* mode, char* buffer, const char* use) {
    slot = fopen(name, mode);
    if (slot == nullptr)
        report(1, " Error: open('%s', %s) failed, %s", name, use, strerror(errno));
    setvbuf(slot, buffer, _IOFBF, stream_buffer_size);
}

// Empties the slot before closing, so that a report on the way out cannot close it again.
int close_stream(FILE*& slot) {
    FILE* stream = slot;
    slot = nullptr;
    return stream != nullptr ? fclose(stream) : 0;
}

} // namespace

void open_input(const char* name) {
    open_stream(ctx.input, name, "rb", input_buffer, "read");
}

void open_output(const char* name) {
    open_stream(ctx.output, name, "wb", output_buffer, "write");
}

void close_input() {
    close_stream(ctx.input);
}

void close_output(const char* name) {
    if (close_stream(ctx.output) != 0)
        report(1, " Error: close('%s') failed, %s", name, strerror(errno));
}

void close_streams() {
    close_stream(ctx.input);
    close_stream(ctx.output);
}
