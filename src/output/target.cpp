#include "output/target.h"

#include "run/report.h"
#include "run/streams.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <unistd.h>

namespace {

const int max_link_hops = 40; // the kernel follows 40 links in one name, not 41

// The length of the path's directory part, its last '/' included.
std::size_t directory_length(const char* path) {
    const char* slash = strrchr(path, '/');
    return slash != nullptr ? std::size_t(slash + 1 - path) : 0;
}

// Follows, as text, the chain of symbolic links that starts at name, so that the new file
// goes beside the file the chain ends at and the links stay links. Returns what opening
// the name would fail with (a chain too long, a name too long), or 0.
int follow_links(const char* name, char (&path)[name_buffer_size]) {
    std::memcpy(path, name, strlen(name) + 1);
    for (int hop = 0;; ++hop) {
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
// place when it is no regular file, or a regular file that no name reaches (deleted). Where
// the name reaches nothing, the look-up of its folder and leaf fails as this one did.
bool reached_in_place(const char* name, output_target& target) {
    const int named = open(name, O_PATH | O_CLOEXEC);
    if (named >= 0 && fstat(named, &target.file) == 0 &&
        (!S_ISREG(target.file.st_mode) || target.file.st_nlink == 0)) {
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
void find_target(const char* name, output_target& target) {
    target = {output_kind::in_place, -1, -1, {}, {}};
    if (reached_in_place(name, target))
        return;
    char path[name_buffer_size];
    const int error = follow_links(name, path);
    if (error != 0)
        open_failed(name, "write", error);
    target.folder = open_folder(path, target.leaf);
    if (target.folder < 0)
        open_failed(name, "write", errno);
    target.reached = openat(target.folder, target.leaf, O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (target.reached < 0 && errno != ENOENT)
        open_failed(name, "write", errno);
    if (target.reached < 0) {
        target.kind = output_kind::new_file;
        return;
    }
    if (fstat(target.reached, &target.file) != 0)
        open_failed(name, "write", errno);
    if (S_ISREG(target.file.st_mode))
        target.kind = output_kind::replacement;
    else
        close_slot(target.folder);
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
    if (fd < 0)
        open_failed(name, "write", errno);
    if (S_ISREG(target.file.st_mode) && ftruncate(fd, 0) != 0)
        open_failed(name, "write", errno);
    return fd;
}

bool same_file(const char* first, const char* second) {
    struct stat a, b;
    const bool a_exists = stat(first, &a) == 0;
    const bool b_exists = stat(second, &b) == 0;
    if (a_exists || b_exists)
        return a_exists && b_exists && S_ISREG(a.st_mode) && same_inode(a, b);
    char first_path[name_buffer_size], second_path[name_buffer_size];
    char first_leaf[name_buffer_size], second_leaf[name_buffer_size];
    if (follow_links(first, first_path) != 0 || follow_links(second, second_path) != 0)
        return false;
    const int first_folder = open_folder(first_path, first_leaf);
    const int second_folder = open_folder(second_path, second_leaf);
    const bool same = first_folder >= 0 && second_folder >= 0 && fstat(first_folder, &a) == 0 &&
                      fstat(second_folder, &b) == 0 && same_inode(a, b) &&
                      std::strcmp(first_leaf, second_leaf) == 0;
    for (const int folder : {first_folder, second_folder})
        if (folder >= 0)
            close(folder);
    return same;
}

bool is_standard_output(const char* name) {
    struct stat standard, file;
    return fstat(STDOUT_FILENO, &standard) == 0 &&
           (S_ISREG(standard.st_mode) || S_ISFIFO(standard.st_mode)) && stat(name, &file) == 0 &&
           same_inode(file, standard);
}

bool same_inode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

void descriptor_path(int fd, char (&path)[32]) {
    snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
}
