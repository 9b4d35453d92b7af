#include "output/files.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

bool same_inode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool is_file(int fd, const struct stat& file) {
    struct stat status;
    return fd >= 0 && fstat(fd, &status) == 0 && same_inode(status, file);
}

void descriptor_path(int fd, char (&path)[32]) {
    snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
}

bool rename_refused(int fd) {
    struct statx attributes = {};
    return fd >= 0 && statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS, &attributes) == 0 &&
           (attributes.stx_attributes & (STATX_ATTR_APPEND | STATX_ATTR_IMMUTABLE)) != 0;
}

int flush_file(int fd, bool data_only) {
    if ((data_only ? fdatasync(fd) : fsync(fd)) == 0)
        return 0;
    return errno == EINVAL || errno == ESPIPE || errno == EROFS ? 0 : errno;
}

int flush_folder(int folder) {
    const int readable = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (readable < 0)
        return errno == EACCES || errno == EPERM ? 0 : errno; // no read permission: no flush
    const int error = flush_file(readable, false);
    close(readable);
    return error;
}
