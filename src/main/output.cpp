#include "main/output.h"

#include "main/context.h"
#include "main/report.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <initializer_list>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

const int max_link_hops = 40; // the kernel follows 40 links in one name, not 41
const int temp_name_tries = 100;
const char temp_pattern[] = ".hpmimg-XXXXXX";
const char acl_attribute[] = "system.posix_acl_access";
const std::size_t max_acl_size = 65536; // the largest value an extended attribute may have

// An output is written in place, or as a new file that takes its target's name when
// complete: there is no file under that name yet, or one to replace.
enum class output_kind { in_place, new_file, replacement };

// The output being written. `folder` is open from open_output to the end of its output;
// `temp` names the new file while temp_made is set, and every way out removes it.
struct output_file {
    output_kind placement;
    int folder;
    char leaf[name_buffer_size]; // the target's name in the folder
    char temp[sizeof temp_pattern];
    volatile sig_atomic_t temp_made;
    bool unnamed;     // made with O_TMPFILE: no name until it is complete
    struct stat kept; // owner, group and mode the new file gets
    ssize_t acl_size; // the size of its access ACL, -1 where it gets none
    char acl[max_acl_size];
};

output_file out = {output_kind::in_place, -1, {}, {}, 0, false, {}, -1, {}};
char output_buffer[stream_buffer_size];

bool same_inode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

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

void descriptor_path(int fd, char (&path)[32]) {
    snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
}

// Signals wait while a temporary name comes and goes, so that one never escapes cleanup.
sigset_t hold_signals() {
    sigset_t all, old;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &old);
    return old;
}

void release_signals(const sigset_t& old) {
    sigprocmask(SIG_SETMASK, &old, nullptr);
}

// A fresh ".hpmimg-XXXXXX" in out.temp; tries tell its names apart.
void next_temp_name(unsigned attempt) {
    const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    timespec now = {};
    clock_gettime(CLOCK_REALTIME, &now);
    const unsigned long long start = static_cast<unsigned long long>(now.tv_nsec) ^
                                     static_cast<unsigned long long>(getpid()) << 32;
    unsigned long long seed = ((start + attempt) * 6364136223846793005ull) >> 16;
    std::memcpy(out.temp, temp_pattern, sizeof temp_pattern);
    for (char* x = strchr(out.temp, 'X'); x != nullptr && *x == 'X'; ++x) {
        *x = letters[seed % (sizeof letters - 1)];
        seed /= sizeof letters - 1;
    }
}

// Gives `make` fresh temporary names in out.temp until it succeeds (0 or more) or fails for
// another reason than a name already taken (-1, errno set).
template <typename Make> int at_temp_name(Make make) {
    for (unsigned attempt = 0; attempt < temp_name_tries; ++attempt) {
        next_temp_name(attempt);
        const int result = make();
        if (result >= 0 || errno != EEXIST)
            return result;
    }
    return -1;
}

// A new file under a temporary name in the folder, with the mode given; -1 when none can
// be made.
int make_named(mode_t mode) {
    return at_temp_name([mode] {
        const sigset_t old = hold_signals();
        const int fd = openat(out.folder, out.temp, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        out.temp_made = fd >= 0 ? 1 : 0;
        release_signals(old);
        return fd;
    });
}

// The access ACL of a file, or -1 with errno set. An O_PATH descriptor, of a file this user
// may not read, reaches its attributes only through its /proc name; without /proc the
// file is opened to read them.
ssize_t read_acl(int fd, const char* leaf) {
    ssize_t size = fgetxattr(fd, acl_attribute, out.acl, sizeof out.acl);
    if (size >= 0 || errno != EBADF)
        return size;
    char path[32];
    descriptor_path(fd, path);
    size = getxattr(path, acl_attribute, out.acl, sizeof out.acl);
    if (size >= 0 || errno != ENOENT)
        return size;
    const int readable =
        openat(out.folder, leaf, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    size = readable >= 0 ? fgetxattr(readable, acl_attribute, out.acl, sizeof out.acl) : -1;
    const int error = errno;
    if (readable >= 0)
        close(readable);
    errno = error;
    return size;
}

// Owner, group, mode and access ACL of a file, for the new file to take; a file without an
// ACL, or on a file system without them, gives none.
void keep_from(int fd, const char* leaf, const char* name) {
    if (fstat(fd, &out.kept) != 0)
        report(1, " Error: stat('%s') failed, %s", shown(name), strerror(errno));
    out.acl_size = read_acl(fd, leaf);
    if (out.acl_size < 0 && errno != ENODATA && errno != ENOTSUP)
        report(1, " Error: failed to read the ACL of '%s', %s", shown(name), strerror(errno));
}

// What the shell's `>` would give a new file in the folder (0666 less the umask, or what
// the folder's default ACL says), read off an empty file made and removed at once: the
// named temporary itself is made 0600, so that nobody can read it while it is written.
void keep_as_new(const char* name) {
    const int fd = make_named(0666);
    if (fd < 0)
        open_failed(name, "write", errno);
    keep_from(fd, out.temp, name);
    discard_output();
    close(fd);
}

void release_folder() {
    if (out.folder >= 0)
        close(out.folder);
    out.folder = -1;
}

// Whether a rename onto or within the file fails for its attributes: an append-only or
// immutable folder, an append-only or immutable target.
bool rename_refused(int fd) {
    struct statx attributes = {};
    return statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS, &attributes) == 0 &&
           (attributes.stx_attributes & (STATX_ATTR_APPEND | STATX_ATTR_IMMUTABLE)) != 0;
}

// Where the name leads, with the folder of a new file held: a regular file that a name
// reaches is replaced, a name that reaches nothing gets a new file, and anything else is
// written where it is. A deleted file behind /proc/self/fd has no name that reaches it.
// Where the rename onto the target could not succeed, the output is refused before
// anything is made.
void place_output(const char* name) {
    struct stat named;
    const bool exists = stat(name, &named) == 0;
    out.placement = output_kind::in_place;
    if (exists ? !S_ISREG(named.st_mode) : errno != ENOENT)
        return;
    char path[name_buffer_size];
    const int error = follow_links(name, path);
    if (error != 0)
        open_failed(name, "write", error);
    out.folder = open_folder(path, out.leaf);
    if (out.folder < 0)
        open_failed(name, "write", errno);
    const int old = exists ? openat(out.folder, out.leaf, O_PATH | O_NOFOLLOW | O_CLOEXEC) : -1;
    struct stat reached;
    if (!exists)
        out.placement = output_kind::new_file;
    else if (old >= 0 && fstat(old, &reached) == 0 && same_inode(reached, named))
        out.placement = output_kind::replacement;
    if (out.placement == output_kind::in_place)
        release_folder();
    else if (rename_refused(out.folder) || (old >= 0 && rename_refused(old)))
        open_failed(name, "write", EPERM);
    if (out.placement == output_kind::replacement)
        keep_from(old, out.leaf, name);
    if (old >= 0)
        close(old);
}

// The new file, made with mode 0666 so that the umask or the folder's default ACL applies as
// to any new file. Where the file system allows, it has no name until it is complete, so
// that not even SIGKILL can leave it behind; naming it then goes through /proc, without
// which it gets a temporary name at once, mode 0600.
int make_new_file(const char* name) {
    int fd = openat(out.folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    char path[32];
    descriptor_path(fd, path);
    out.unnamed = fd >= 0 && access(path, F_OK) == 0;
    if (out.unnamed)
        return fd;
    if (fd >= 0)
        close(fd);
    if (out.placement == output_kind::new_file)
        keep_as_new(name);
    fd = make_named(0600);
    if (fd < 0)
        open_failed(name, "write", errno);
    return fd;
}

// The mode and ACL while the new file is still this user's, then owner and group where the
// run may set them (root both, any user a group it belongs to), and a set-id bit last, only
// with the owner or group it goes with, so that no run makes a set-id program of someone
// else's. A set-id bit that the run may no longer set (root without CAP_FOWNER) is dropped.
void keep_attributes(const char* name, int fd) {
    const struct stat& old = out.kept;
    const mode_t mode = old.st_mode & 07777;
    const mode_t set_id = mode & (S_ISUID | S_ISGID);
    if (fchmod(fd, mode & ~set_id) != 0)
        report(1, " Error: chmod('%s') failed, %s", shown(name), strerror(errno));
    const bool kept =
        out.acl_size >= 0
            ? fsetxattr(fd, acl_attribute, out.acl, std::size_t(out.acl_size), 0) == 0
            : fremovexattr(fd, acl_attribute) == 0 || errno == ENODATA || errno == ENOTSUP;
    if (!kept)
        report(1, " Error: failed to keep the ACL of '%s', %s", shown(name), strerror(errno));
    if (out.placement != output_kind::replacement)
        return;
    if (fchown(fd, old.st_uid, old.st_gid) != 0 && fchown(fd, uid_t(-1), old.st_gid) != 0) {
        // neither may be set: the new file stays this user's, in the group it was given
    }
    struct stat now = {};
    mode_t bits = set_id;
    if (fstat(fd, &now) != 0 || now.st_uid != old.st_uid)
        bits &= ~mode_t{S_ISUID};
    if (now.st_gid != old.st_gid)
        bits &= ~mode_t{S_ISGID};
    if (bits != 0 && fchmod(fd, mode & ~(set_id & ~bits)) != 0) {
        // not this user's file any more: it keeps no set-id bit
    }
}

// Gives the finished unnamed file a name: its target's own where there was no file to
// replace, else a temporary one beside it. Returns whether it is still to be renamed.
bool name_new_file(const char* name, int fd) {
    char path[32];
    descriptor_path(fd, path);
    if (out.placement == output_kind::new_file &&
        linkat(AT_FDCWD, path, out.folder, out.leaf, AT_SYMLINK_FOLLOW) == 0)
        return false;
    const auto link_temp = [&path] {
        return linkat(AT_FDCWD, path, out.folder, out.temp, AT_SYMLINK_FOLLOW);
    };
    if (at_temp_name(link_temp) != 0)
        report(1, " Error: link('%s') failed, %s", shown(name), strerror(errno));
    out.temp_made = 1;
    return true;
}

// Empties the slot before closing, so that a report on the way out cannot close it again.
int close_stream() {
    FILE* stream = ctx.output;
    ctx.output = nullptr;
    return stream != nullptr ? fclose(stream) : 0;
}

} // namespace

void open_output(const char* name) {
    outputs_pending();
    place_output(name);
    if (out.placement == output_kind::in_place) {
        attach_stream(ctx.output, fopen(name, "wb"), name, "write", output_buffer);
        return;
    }
    attach_stream(ctx.output, fdopen(make_new_file(name), "wb"), name, "write", output_buffer);
}

void close_output(const char* name, bool last) {
    if (fflush(ctx.output) != 0)
        report(1, " Error: close('%s') failed, %s", shown(name), strerror(errno));
    const bool made_new = out.placement != output_kind::in_place;
    bool to_rename = made_new;
    sigset_t old;
    sigemptyset(&old);
    if (made_new) {
        const int fd = fileno(ctx.output);
        if (out.placement == output_kind::replacement || !out.unnamed)
            keep_attributes(name, fd);
        old = hold_signals();
        stop_if_signalled();
        if (out.unnamed)
            to_rename = name_new_file(name, fd);
    }
    if (close_stream() != 0)
        report(1, " Error: close('%s') failed, %s", shown(name), strerror(errno));
    if (to_rename && renameat(out.folder, out.temp, out.folder, out.leaf) != 0)
        report(1, " Error: rename('%s') failed, %s", shown(name), strerror(errno));
    out.temp_made = 0;
    release_folder();
    if (last)
        outputs_in_place();
    if (made_new)
        release_signals(old);
}

void discard_output() {
    if (out.temp_made != 0)
        unlinkat(out.folder, out.temp, 0);
    out.temp_made = 0;
}

void abandon_output() {
    close_stream();
    discard_output();
    release_folder();
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
