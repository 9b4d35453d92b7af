#include "transfer/transfer.h"

#include "main/context.h"
#include "main/report.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

void copy_data(int32_t length, bool write) {
    for (int32_t done = 0; done < length;) {
        int32_t remaining = length - done;
        std::size_t chunk = remaining < 1024 ? static_cast<std::size_t>(remaining) : 1024;
        if (fread(ctx.transfer_buffer, chunk, 1, ctx.input) != 1)
            report(1, " Error: input file fread(offset=%d) failed, %s", done, strerror(errno));
        md5_update(ctx.digest, ctx.transfer_buffer, chunk);
        if (write && fwrite(ctx.transfer_buffer, chunk, 1, ctx.output) != 1)
            report(1, " Error: output file fwrite(offset=%d) failed, %s", done, strerror(errno));
        done += static_cast<int32_t>(chunk);
    }
}
