#include "transfer/transfer.h"

#include "main/context.h"
#include "main/report.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace {

const std::size_t stream_buffer_size = std::size_t{256} * 1024;

} // namespace

FILE* open_stream(const char* name, const char* mode) {
    static char input_buffer[stream_buffer_size];
    static char output_buffer[stream_buffer_size];
    FILE* stream = fopen(name, mode);
    if (stream != nullptr)
        setvbuf(stream, mode[0] == 'r' ? input_buffer : output_buffer, _IOFBF, stream_buffer_size);
    return stream;
}

void copy_data(int32_t length, bool write) {
    for (int32_t done = 0; done < length;) {
        const auto remaining = static_cast<std::size_t>(length - done);
        const std::size_t chunk = std::min(remaining, transfer_buffer_size);
        if (fread(ctx.transfer_buffer, chunk, 1, ctx.input) != 1)
            report(1, " Error: input file fread(offset=%d) failed, %s", done, strerror(errno));
        md5_update(ctx.digest, ctx.transfer_buffer, chunk);
        if (write && fwrite(ctx.transfer_buffer, chunk, 1, ctx.output) != 1)
            report(1, " Error: output file fwrite(offset=%d) failed, %s", done, strerror(errno));
        done += static_cast<int32_t>(chunk);
    }
}

bool same_file(const char* first, const char* second) {
    struct stat a, b;
    return stat(first, &a) == 0 && stat(second, &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

void close_output(const char* name) {
    FILE* stream = ctx.output;
    ctx.output = nullptr;
    if (stream != nullptr && fclose(stream) != 0)
        report(1, " Error: close('%s') failed, %s", name, strerror(errno));
}
