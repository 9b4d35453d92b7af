#include "output/temporary.h"

#include "output/files.h"
#include "run/signals.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {

const int temp_name_tries = 100;
char copy_buffer[256 * 1024];

// A fresh ".hpmimg-XXXXXX" in temp.name; tries tell its names apart.
void next_temp_name(temporary& temp, unsigned attempt) {
    const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    timespec now = {};
    clock_gettime(CLOCK_REALTIME, &now);
    const unsigned long long start = static_cast<unsigned long long>(now.tv_nsec) ^
                                     static_cast<unsigned long long>(getpid()) << 32;
    unsigned long long seed = ((start + attempt) * 6364136223846793005ull) >> 16;
    std::memcpy(temp.name, temp_pattern, sizeof temp_pattern);
    for (char* x = strchr(temp.name, 'X'); x != nullptr && *x == 'X'; ++x) {
        *x = letters[seed % (sizeof letters - 1)];
        seed /= sizeof letters - 1;
    }
}

// Gives `make` fresh temporary names until it succeeds (0 or more) or fails for another
// reason than a name already taken (-1, errno set). Signals wait while a name comes, so
// that one never escapes cleanup.
template <typename Make> int at_temp_name(temporary& temp, Make make) {
    for (unsigned attempt = 0; attempt < temp_name_tries; ++attempt) {
        next_temp_name(temp, attempt);
        const sigset_t old = block_signals();
        const int result = make();
        temp.named = result >= 0;
        restore_signals(old);
        if (result >= 0 || errno != EEXIST)
            return result;
    }
    return -1;
}

int link_at(const temporary& temp, const char* leaf) {
    char path[32];
    descriptor_path(temp.fd, path);
    return linkat(AT_FDCWD, path, temp.folder, leaf, AT_SYMLINK_FOLLOW);
}

// The file size limit needs no check of its own: the complete file was written under it.
int reserve(int fd, off_t size) {
    if (size == 0 || fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) == 0)
        return 0;
    return errno == EOPNOTSUPP || errno == ENOSYS ? 0 : errno;
}

} // namespace

bool make_unnamed(temporary& temp) {
    temp.fd = openat(temp.folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    char path[32];
    descriptor_path(temp.fd, path);
    temp.unnamed = temp.fd >= 0 && access(path, F_OK) == 0;
    if (!temp.unnamed)
        close_temporary(temp);
    return temp.unnamed;
}

bool make_named(temporary& temp, mode_t mode) {
    temp.fd = at_temp_name(temp, [&temp, mode] {
        return openat(temp.folder, temp.name, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    });
    return temp.fd >= 0;
}

bool link_unnamed(temporary& temp, const char* leaf) {
    if (link_at(temp, leaf) != 0)
        return false;
    temp.step = placed::linked;
    return true;
}

bool give_temp_name(temporary& temp) {
    return temp.named != 0 || at_temp_name(temp, [&temp] { return link_at(temp, temp.name); }) == 0;
}

bool rename_temp(temporary& temp, const char* leaf, unsigned how) {
    if (renameat2(temp.folder, temp.name, temp.folder, leaf, how) != 0)
        return false;
    temp.named = how == RENAME_EXCHANGE;
    temp.step = how == RENAME_EXCHANGE    ? placed::exchanged
                : how == RENAME_NOREPLACE ? placed::renamed
                                          : placed::for_good;
    return true;
}

step_result place_undoably(temporary& temp, const output_target& target) {
    const char* const leaf = target.leaf;
    const bool new_file = target.kind == output_kind::new_file;
    if (target.kind == output_kind::in_place || rename_refused(temp.folder))
        return {nullptr, 0};
    if (temp.unnamed && new_file && link_unnamed(temp, leaf))
        return {nullptr, 0};
    if (!give_temp_name(temp))
        return {"link", errno};
    if (new_file && rename_temp(temp, leaf, RENAME_NOREPLACE))
        return {nullptr, 0};
    if (rename_temp(temp, leaf, RENAME_EXCHANGE)) {
        struct stat came_out = {};
        const bool folder = fstatat(temp.folder, temp.name, &came_out, AT_SYMLINK_NOFOLLOW) == 0 &&
                            S_ISDIR(came_out.st_mode);
        return {folder ? "rename" : nullptr, folder ? EISDIR : 0};
    }
    if (errno == ENOENT && rename_temp(temp, leaf, RENAME_NOREPLACE))
        return {nullptr, 0};
    if (errno == EBUSY || errno == EINVAL)
        return {nullptr, 0};
    return {"rename", errno};
}

step_result place_for_good(temporary& temp, const output_target& target, const char* name) {
    if (target.kind == output_kind::in_place)
        return {nullptr, 0};
    if (temp.unnamed && target.kind == output_kind::new_file) {
        if (link_unnamed(temp, target.leaf))
            return {nullptr, 0};
        const int error = errno;
        if (rename_refused(temp.folder))
            return {"link", error};
    }
    if (!give_temp_name(temp))
        return {"link", errno};
    if (rename_temp(temp, target.leaf, 0))
        return {nullptr, 0};
    if (errno != EBUSY || target.kind != output_kind::replacement)
        return {"rename", errno};
    const int fd = open_reached(target, name);
    if (fd < 0)
        return {"open", errno};
    step_result copied = {nullptr, copy_temp(temp, fd)};
    if (copied.error != 0)
        copied = {"write", copied.error};
    else if ((copied.error = flush_file(fd, false)) != 0)
        copied = {"fsync", copied.error};
    if (close(fd) != 0 && copied.call == nullptr)
        copied = {"close", errno};
    remove_name(temp);
    temp.step = copied.call == nullptr ? placed::copied : temp.step;
    return copied;
}

void take_back(temporary& temp, const char* leaf) {
    struct stat file = {};
    const bool ours =
        fstatat(temp.folder, leaf, &file, AT_SYMLINK_NOFOLLOW) == 0 && is_file(temp.fd, file);
    if (temp.step == placed::linked && ours)
        unlinkat(temp.folder, leaf, 0);
    else if (temp.step == placed::renamed && ours &&
             renameat2(temp.folder, leaf, temp.folder, temp.name, RENAME_NOREPLACE) == 0)
        temp.named = true;
    else if (temp.step == placed::exchanged)
        rename_temp(temp, leaf, RENAME_EXCHANGE);
    temp.step = placed::not_yet;
}

int copy_temp(const temporary& temp, int fd) {
    struct stat status = {};
    if (fstat(temp.fd, &status) != 0)
        return errno;
    if (const int error = reserve(fd, status.st_size))
        return error;
    for (off_t at = 0; at < status.st_size;) {
        const auto want = static_cast<std::size_t>(
            std::min<off_t>(status.st_size - at, static_cast<off_t>(sizeof copy_buffer)));
        const ssize_t got = pread(temp.fd, copy_buffer, want, at);
        if (got <= 0)
            return got < 0 ? errno : EIO;
        for (ssize_t put = 0, n = 0; put < got; put += n)
            if ((n = pwrite(fd, copy_buffer + put, std::size_t(got - put), at + put)) <= 0)
                return n < 0 ? errno : EIO;
        at += got;
    }
    return ftruncate(fd, status.st_size) == 0 ? 0 : errno;
}

int flush_placed(const temporary& temp) {
    const int error = temp.step == placed::copied ? 0 : flush_file(temp.fd, false);
    return error != 0 ? error : flush_folder(temp.folder);
}

void remove_name(temporary& temp) {
    if (temp.named != 0)
        unlinkat(temp.folder, temp.name, 0);
    temp.named = false;
}

void close_temporary(temporary& temp) {
    if (temp.fd >= 0)
        close(temp.fd);
    temp.fd = -1;
}
