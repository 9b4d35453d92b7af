#include "output/temporary.h"

#include "output/target.h"
#include "run/signals.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {

const int temp_name_tries = 100;

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
        temp.named = result >= 0 ? 1 : 0;
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

bool link_unnamed(const temporary& temp, const char* leaf) {
    return link_at(temp, leaf) == 0;
}

bool link_unnamed_named(temporary& temp) {
    return at_temp_name(temp, [&temp] { return link_at(temp, temp.name); }) == 0;
}

void remove_name(temporary& temp) {
    if (temp.named != 0)
        unlinkat(temp.folder, temp.name, 0);
    temp.named = 0;
}

void close_temporary(temporary& temp) {
    if (temp.fd >= 0)
        close(temp.fd);
    temp.fd = -1;
}
