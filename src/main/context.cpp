#include "main/context.h"

#include "main/report.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

run_context ctx;

namespace {

// A stdio buffer far larger than the file system's block size saves most of the read and
// write system calls on large components; each stream has its own.
const std::size_t stream_buffer_size = std::size_t{256} * 1024;
char input_buffer[stream_buffer_size];
char output_buffer[stream_buffer_size];

const int max_link_hops = 40; // as the kernel allows before ELOOP

[[noreturn]] void open_failed(const char* name, const char* use, int error) {
    report(1, " Error: open('%s', %s) failed, %s", name, use, strerror(error));
    exit(1); // not reached: report ends the process for a non-zero status
}

void attach_stream(FILE*& slot, FILE* stream, const char* name, const char* use, char* buffer) {
    slot = stream;
    if (slot == nullptr)
        open_failed(name, use, errno);
    setvbuf(slot, buffer, _IOFBF, stream_buffer_size);
}

// Empties the slot before closing, so that a report on the way out cannot close it again.
int close_stream(FILE*& slot) {
    FILE* stream = slot;
    slot = nullptr;
    return stream != nullptr ? fclose(stream) : 0;
}

// The length of the path's directory part, its last '/' included.
std::size_t directory_length(const char* path) {
    const char* slash = strrchr(path, '/');
    return slash != nullptr ? std::size_t(slash + 1 - path) : 0;
}

// The file a chain of symbolic links ends at, in ctx.target_name: the new file goes beside
// it and the links stay links.
void follow_links(const char* name) {
    std::memcpy(ctx.target_name, name, strlen(name) + 1);
    for (int hop = 0; hop < max_link_hops; ++hop) {
        char link[name_buffer_size];
        const ssize_t length = readlink(ctx.target_name, link, sizeof link - 1);
        if (length < 0)
            return;
        const std::size_t kept = link[0] == '/' ? 0 : directory_length(ctx.target_name);
        if (kept + std::size_t(length) >= sizeof ctx.target_name)
            open_failed(name, "write", ENAMETOOLONG);
        std::memcpy(ctx.target_name + kept, link, std::size_t(length));
        ctx.target_name[kept + std::size_t(length)] = '\0';
    }
    open_failed(name, "write", ELOOP);
}

mode_t file_creation_mask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

// A new file in the target's directory, with the permission bits the target has, or the
// ones a newly created target would get.
int make_temp_file(const char* name, mode_t mode) {
    const std::size_t kept = directory_length(ctx.target_name);
    std::memcpy(ctx.temp_name, ctx.target_name, kept);
    std::memcpy(ctx.temp_name + kept, temp_file_pattern, sizeof temp_file_pattern);
    const int fd = mkstemp(ctx.temp_name);
    if (fd < 0)
        open_failed(name, "write", errno);
    ctx.temp_made = 1;
    if (fchmod(fd, mode) != 0) {
        const int error = errno;
        close(fd);
        open_failed(name, "write", error);
    }
    return fd;
}

} // namespace

void fill_standard_descriptors() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd)
        if (fcntl(fd, F_GETFD) == -1 && open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY) != fd)
            _exit(1); // nowhere safe to say so
}

void open_input(const char* name) {
    attach_stream(ctx.input, fopen(name, "rb"), name, "read", input_buffer);
}

// A FIFO, a device or a directory is opened in place, as there is no file to replace.
void open_output(const char* name) {
    follow_links(name);
    struct stat target;
    const bool exists = stat(ctx.target_name, &target) == 0;
    if (exists && !S_ISREG(target.st_mode)) {
        attach_stream(ctx.output, fopen(name, "wb"), name, "write", output_buffer);
        return;
    }
    const mode_t mode = exists ? target.st_mode & 07777 : 0666 & ~file_creation_mask();
    attach_stream(ctx.output, fdopen(make_temp_file(name, mode), "wb"), name, "write",
                  output_buffer);
}

void close_input() {
    close_stream(ctx.input);
}

void close_output(const char* name) {
    if (close_stream(ctx.output) != 0)
        report(1, " Error: close('%s') failed, %s", name, strerror(errno));
    if (ctx.temp_made != 0 && rename(ctx.temp_name, ctx.target_name) != 0)
        report(1, " Error: rename('%s') failed, %s", name, strerror(errno));
    ctx.temp_made = 0;
}

void close_streams() {
    close_stream(ctx.input);
    close_stream(ctx.output);
    if (ctx.temp_made != 0)
        unlink(ctx.temp_name);
    ctx.temp_made = 0;
}
