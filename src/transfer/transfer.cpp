#include "transfer/transfer.h"

#include "output/output.h"
#include "run/context.h"
#include "run/report.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

const int32_t writeback_step = 8 << 20; // a few MiB, as the disk takes them

} // namespace

void start_digest(uint64_t length) {
    md5_init(ctx.digest);
    ctx.digest_left = length;
}

bool read_digested(unsigned char* into, std::size_t size) {
    stop_if_signalled();
    if (fread(into, size, 1, ctx.input) != 1)
        return false;
    const auto digested = static_cast<std::size_t>(std::min<uint64_t>(size, ctx.digest_left));
    md5_update(ctx.digest, into, digested);
    ctx.digest_left -= digested;
    return true;
}

std::size_t read_chunk(uint32_t left) {
    const std::size_t chunk = std::min(std::size_t{left}, transfer_buffer_size);
    return read_digested(ctx.transfer_buffer, chunk) ? chunk : 0;
}

const char* read_failure() {
    return feof(ctx.input) != 0 ? "unexpected end of file" : strerror(errno);
}

void copy_data(int32_t length, bool write) {
    for (int32_t done = 0; done < length;) {
        const std::size_t chunk = read_chunk(static_cast<uint32_t>(length - done));
        if (chunk == 0)
            fail(1, " Error: input file fread(offset=%d) failed, %s", done, read_failure());
        if (write && fwrite(ctx.transfer_buffer, chunk, 1, ctx.output) != 1)
            fail(1, " Error: output file fwrite(offset=%d) failed, %s", done, strerror(errno));
        done += static_cast<int32_t>(chunk);
        if (write && done % writeback_step == 0)
            start_writeback();
    }
}
