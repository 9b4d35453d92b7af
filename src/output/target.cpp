#include "output/target.h"

#include "output/files.h"
#include "run/report.h"
#include "run/streams.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

const int max_link_hops = 40; // the kernel follows 40 links in one name, not 41

// The length of the path's directory part, its last '/' included.
std::size_t directory_length(const char* path) {
    const char* slash = strrchr(path, '/');
    return slash != nullptr ? std::size_t(slash + 1 - path) : 0;
}

// Follows, as text, the chain of symbolic links that starts at name, so that the new file
// goes beside the file the chain ends at and the links stay links; `stop`, where given, ends
// the chain early at a path it accepts (returning -1). Returns what opening the name would
// fail with (a chain too long, a name too long), or 0.
int follow_links(const char* name, char (&path)[name_buffer_size],
                 bool (*stop)(const char*) = nullptr) {
    std::memcpy(path, name, strlen(name) + 1);
    for (int hop = 0;; ++hop) {
        if (stop != nullptr && stop(path))
            return -1;
        char link[name_buffer_size];
        const ssize_t length = readlink(path, link, sizeof link);
        if (length < 0)
            return 0;
        if (hop == max_link_hops)
            return ELOOP;
        const std::size_t kept = link[0] == '/' ? 0 : directory_length(path);
        if (kept + std::size_t(length) >= name_buffer_size)
            return ENAMETOOLONG;
        std::memcpy(path + kept, link, std::size_t(length));
        path[kept + std::size_t(length)] = '\0';
    }
}

// Skips the digits at the start of text; nullptr where there are none.
const char* after_number(const char* text) {
    const char* end = text;
    while (std::isdigit(static_cast<unsigned char>(*end)) != 0)
        ++end;
    return end != text ? end : nullptr;
}

// /proc/self/fd/N, /proc/thread-self/fd/N, /proc/PID/fd/N or /dev/fd/N.
bool is_descriptor_name(const char* path) {
    const char* rest = nullptr;
    if (strncmp(path, "/dev/fd/", 8) == 0)
        rest = path + 8;
    else if (strncmp(path, "/proc/", 6) == 0) {
        const char* process = path + 6;
        for (const char* own : {"self", "thread-self"})
            if (strncmp(process, own, strlen(own)) == 0)
                rest = process + strlen(own);
        rest = rest != nullptr ? rest : after_number(process);
        rest = rest != nullptr && strncmp(rest, "/fd/", 4) == 0 ? rest + 4 : nullptr;
    }
    rest = rest != nullptr ? after_number(rest) : nullptr;
    return rest != nullptr && *rest == '\0';
}

// Whether the name reaches its file through one of /proc's descriptor links, the only way a
// name reaches a file with no links: a file that vanished or was replaced between two looks
// is not one. The kernel tells (openat2 refusing such links); where it cannot, the names
// along the chain of links do.
bool through_descriptor_link(const char* name) {
#ifdef SYS_openat2
    open_how how = {};
    how.flags = O_PATH | O_CLOEXEC;
    how.resolve = RESOLVE_NO_MAGICLINKS;
    const long fd = syscall(SYS_openat2, AT_FDCWD, name, &how, sizeof how);
    if (fd >= 0)
        close(static_cast<int>(fd));
    if (fd >= 0 || errno != ENOSYS)
        return fd < 0 && errno == ELOOP;
#endif
    char path[name_buffer_size];
    return follow_links(name, path, is_descriptor_name) == -1;
}

// Opens the folder of a path whose links are followed, its directory part or "." when it
// has none, and copies its last part to leaf. Returns the folder's descriptor, or -1.
int open_folder(const char* path, char (&leaf)[name_buffer_size]) {
    char folder[name_buffer_size];
    const std::size_t length = directory_length(path);
    std::memcpy(folder, length > 0 ? path : ".", length > 0 ? length : 1);
    folder[length > 0 ? length : 1] = '\0';
    std::memcpy(leaf, path + length, strlen(path + length) + 1);
    return open(folder, O_PATH | O_DIRECTORY | O_CLOEXEC);
}

void close_slot(int& fd) {
    if (fd >= 0)
        close(fd);
    fd = -1;
}

// What the whole name reaches, links and /proc's descriptor links followed: written in
// place when it is no regular file, or a regular file that only a descriptor reaches (a
// deleted one). Where the name reaches nothing, the look-up of its folder and leaf fails as
// this one did.
bool reached_in_place(const char* name, output_target& target) {
    const int named = open(name, O_PATH | O_CLOEXEC);
    if (named >= 0 && fstat(named, &target.file) == 0 &&
        (!S_ISREG(target.file.st_mode) ||
         (target.file.st_nlink == 0 && through_descriptor_link(name)))) {
        target.reached = named;
        return true;
    }
    if (named >= 0)
        close(named);
    return false;
}

} // namespace

// The leaf alone decides: the file it reaches now is replaced, or written in place when it
// is no regular file; a file that takes the name later is replaced by the rename, as mv
// would, and never written into. A link that took the leaf's place is not followed: it is
// no regular file, and opening it through its descriptor fails with ELOOP.
int find_target(const char* name, output_target& target) {
    target = {output_kind::in_place, -1, -1, {}, {}};
    if (reached_in_place(name, target))
        return 0;
    char path[name_buffer_size];
    const int error = follow_links(name, path);
    if (error != 0)
        return error;
    target.folder = open_folder(path, target.leaf);
    if (target.folder < 0)
        return errno;
    target.reached = openat(target.folder, target.leaf, O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (target.reached < 0 && errno != ENOENT)
        return errno;
    if (target.reached < 0)
        target.kind = output_kind::new_file;
    else if (fstat(target.reached, &target.file) == 0 && S_ISREG(target.file.st_mode))
        target.kind = output_kind::replacement;
    else
        close_slot(target.folder);
    return 0;
}

void release_target(output_target& target) {
    close_slot(target.reached);
    close_slot(target.folder);
}

int open_reached(const output_target& target, const char* name) {
    char path[32];
    descriptor_path(target.reached, path);
    const int flags = O_WRONLY | O_NOCTTY | O_CLOEXEC;
    int fd = open(path, flags);
    if (fd < 0 && errno == ENOENT) {
        fd = target.folder >= 0 ? openat(target.folder, target.leaf, flags | O_NOFOLLOW)
                                : open(name, flags);
        struct stat opened = {};
        if (fd >= 0 && (fstat(fd, &opened) != 0 || !same_inode(opened, target.file))) {
            close(fd);
            fd = -1;
            errno = ESTALE; // another file took the name meanwhile
        }
    }
    return fd;
}

bool shares_target(const output_target& earlier, int earlier_new, const output_target& later) {
    if (later.reached >= 0)
        return is_file(earlier.reached, later.file) || is_file(earlier_new, later.file);
    struct stat folder;
    return earlier.kind == output_kind::new_file && fstat(later.folder, &folder) == 0 &&
           is_file(earlier.folder, folder) && std::strcmp(earlier.leaf, later.leaf) == 0;
}
