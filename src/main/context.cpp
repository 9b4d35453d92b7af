#include "main/context.h"

#include "main/report.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

run_context ctx;

namespace {

// A stdio buffer far larger than the file system's block size saves most of the read and
// write system calls on large components; each stream has its own.
const std::size_t stream_buffer_size = std::size_t{256} * 1024;
char input_buffer[stream_buffer_size];
char output_buffer[stream_buffer_size];

const int max_link_hops = 40; // the kernel follows 40 links in one name, not 41
const int temp_name_tries = 100;
const char acl_attribute[] = "system.posix_acl_access";

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

// The folder a path names its file in: its directory part, or "." when it has none.
void folder_of(const char* path, char* folder) {
    const std::size_t length = directory_length(path);
    std::memcpy(folder, length > 0 ? path : ".", length > 0 ? length : 1);
    folder[length > 0 ? length : 1] = '\0';
}

bool same_inode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Follows, as text, the chain of symbolic links that starts at name, so that the new file
// goes beside the file the chain ends at and the links stay links. Returns what opening
// the name would fail with (a chain too long, a name too long), or 0.
int follow_links(const char* name, char* path) {
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

struct output_place {
    output_kind kind;
    int error;        // what making the new file would fail with, or 0
    struct stat file; // the file replaced, or the folder a new file goes into
};

// Where an output name leads. A regular file that a name reaches is replaced and a name that
// reaches nothing gets a new file, both beside the file that the links end at, in `path`.
// Anything else is written where it is: a pipe, a device, a directory (which fails), and a
// regular file no name reaches, such as a deleted one behind /proc/self/fd, whose link text
// ("pipe:[7]", "victim (deleted)") names no file.
output_place place_output(const char* name, char* path) {
    output_place place = {};
    struct stat named;
    const bool exists = stat(name, &named) == 0;
    const int missing = exists ? 0 : errno;
    place.error = follow_links(name, path);
    if (exists && S_ISREG(named.st_mode)) {
        const bool reached = place.error == 0 && stat(path, &place.file) == 0 &&
                             same_inode(named, place.file);
        place.kind = reached || place.error != 0 ? output_kind::replacement : output_kind::in_place;
    } else if (missing == ENOENT) {
        char folder[name_buffer_size];
        folder_of(path, folder);
        place.kind = output_kind::new_file;
        if (place.error == 0 && stat(folder, &place.file) != 0)
            place.error = errno;
    } else {
        place.kind = output_kind::in_place;
    }
    return place;
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

// A fresh ".hpmimg-XXXXXX" beside the target in ctx.temp_name; tries tell its names apart.
void next_temp_name(unsigned attempt) {
    const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    timespec now = {};
    clock_gettime(CLOCK_REALTIME, &now);
    const unsigned long long start = static_cast<unsigned long long>(now.tv_nsec) ^
                                     static_cast<unsigned long long>(getpid()) << 32;
    unsigned long long seed = ((start + attempt) * 6364136223846793005ull) >> 16;
    const std::size_t kept = directory_length(ctx.target_name);
    std::memcpy(ctx.temp_name, ctx.target_name, kept);
    std::memcpy(ctx.temp_name + kept, temp_file_pattern, sizeof temp_file_pattern);
    for (char* x = strchr(ctx.temp_name + kept, 'X'); x != nullptr && *x == 'X'; ++x) {
        *x = letters[seed % (sizeof letters - 1)];
        seed /= sizeof letters - 1;
    }
}

// The new file under a temporary name, for file systems that cannot hold one without.
int make_named_temp() {
    for (unsigned attempt = 0; attempt < temp_name_tries; ++attempt) {
        next_temp_name(attempt);
        const sigset_t old = hold_signals();
        const int fd = open(ctx.temp_name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        ctx.temp_made = fd >= 0 ? 1 : 0;
        release_signals(old);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

void descriptor_path(int fd, char (&path)[32]) {
    snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
}

// The new file in the target's folder, made with mode 0666 so that the umask or the folder's
// default ACL applies as to any new file. Where the file system allows, it has no name until
// it is complete, so that not even SIGKILL can leave it behind; naming it then goes through
// /proc, without which it gets a temporary name at once.
int make_temp_file(const char* name) {
    char folder[name_buffer_size];
    folder_of(ctx.target_name, folder);
    int fd = open(folder, O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    char path[32];
    descriptor_path(fd, path);
    ctx.output_unnamed = fd >= 0 && access(path, F_OK) == 0;
    if (!ctx.output_unnamed) {
        if (fd >= 0)
            close(fd);
        fd = make_named_temp();
    }
    if (fd < 0)
        open_failed(name, "write", errno);
    return fd;
}

// Gives the finished unnamed file a name: its target's own where there was no file to replace,
// else a temporary one beside it. Returns whether it is still to be renamed onto the target.
bool name_new_file(const char* name, int fd) {
    char path[32];
    descriptor_path(fd, path);
    if (ctx.placement == output_kind::new_file &&
        linkat(AT_FDCWD, path, AT_FDCWD, ctx.target_name, AT_SYMLINK_FOLLOW) == 0)
        return false;
    for (unsigned attempt = 0; attempt < temp_name_tries; ++attempt) {
        next_temp_name(attempt);
        if (linkat(AT_FDCWD, path, AT_FDCWD, ctx.temp_name, AT_SYMLINK_FOLLOW) == 0) {
            ctx.temp_made = 1;
            return true;
        }
        if (errno != EEXIST)
            break;
    }
    report(1, " Error: link('%s') failed, %s", name, strerror(errno));
    return false; // not reached: report ends the process for a non-zero status
}

// The owner and group of the file replaced, where this run may set them: root both, any user
// a group it belongs to. Where one of them is not kept, neither is its set-id bit, so that no
// run makes a set-id program of someone else's.
mode_t keep_owner(int fd) {
    const struct stat& old = ctx.replaced;
    if (fchown(fd, old.st_uid, old.st_gid) != 0 && fchown(fd, uid_t(-1), old.st_gid) != 0) {
        // neither may be set: the new file stays this user's, in the group it was given
    }
    struct stat now = {};
    mode_t mode = old.st_mode & 07777;
    if (fstat(fd, &now) != 0 || now.st_uid != old.st_uid)
        mode &= ~mode_t{S_ISUID};
    if (now.st_gid != old.st_gid)
        mode &= ~mode_t{S_ISGID};
    return mode;
}

// The access ACL of the file replaced, or none where it had none (a folder's default ACL must
// not give the new file one). Other extended attributes are not carried over.
void keep_acl(const char* name, int fd) {
    static char acl[65536]; // the largest value an extended attribute may have
    const ssize_t size = getxattr(ctx.target_name, acl_attribute, acl, sizeof acl);
    bool kept = false;
    if (size >= 0)
        kept = fsetxattr(fd, acl_attribute, acl, std::size_t(size), 0) == 0;
    else if (errno == ENODATA)
        kept = fremovexattr(fd, acl_attribute) == 0 || errno == ENODATA || errno == ENOTSUP;
    else
        kept = errno == ENOTSUP;
    if (!kept)
        report(1, " Error: failed to keep the ACL of '%s', %s", name, strerror(errno));
}

// Owner and group first, then the mode (a change of owner clears set-id bits, and a write by
// an unprivileged owner would too), then the ACL, whose mask the mode's group bits show.
void keep_attributes(const char* name, int fd) {
    const mode_t mode = keep_owner(fd);
    if (fchmod(fd, mode) != 0)
        report(1, " Error: chmod('%s') failed, %s", name, strerror(errno));
    keep_acl(name, fd);
}

} // namespace

void fill_standard_descriptors() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd)
        if (fcntl(fd, F_GETFD) == -1 && open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY) != fd)
            _exit(1); // nowhere safe to say so
}

// Opened without waiting: a FIFO that takes the place of a file after it was checked must not
// hold the run until a writer comes.
void open_input(const char* name) {
    const int fd = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0)
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    attach_stream(ctx.input, fd >= 0 ? fdopen(fd, "rb") : nullptr, name, "read", input_buffer);
}

void open_output(const char* name) {
    const output_place place = place_output(name, ctx.target_name);
    ctx.placement = place.kind;
    if (place.kind == output_kind::in_place) {
        attach_stream(ctx.output, fopen(name, "wb"), name, "write", output_buffer);
        return;
    }
    if (place.error != 0)
        open_failed(name, "write", place.error);
    ctx.replaced = place.file;
    attach_stream(ctx.output, fdopen(make_temp_file(name), "wb"), name, "write", output_buffer);
}

void close_input() {
    close_stream(ctx.input);
}

void close_output(const char* name, bool last) {
    if (fflush(ctx.output) != 0)
        report(1, " Error: close('%s') failed, %s", name, strerror(errno));
    sigset_t old;
    sigemptyset(&old);
    const bool made_new = ctx.placement != output_kind::in_place;
    bool to_rename = made_new;
    if (made_new) {
        const int fd = fileno(ctx.output);
        if (ctx.placement == output_kind::replacement)
            keep_attributes(name, fd);
        old = hold_signals();
        stop_if_signalled();
        if (ctx.output_unnamed)
            to_rename = name_new_file(name, fd);
    }
    if (close_stream(ctx.output) != 0)
        report(1, " Error: close('%s') failed, %s", name, strerror(errno));
    if (to_rename && rename(ctx.temp_name, ctx.target_name) != 0)
        report(1, " Error: rename('%s') failed, %s", name, strerror(errno));
    ctx.temp_made = 0;
    if (last)
        outputs_in_place();
    if (made_new)
        release_signals(old);
}

void discard_unfinished_output() {
    if (ctx.temp_made != 0)
        unlink(ctx.temp_name);
}

void close_streams() {
    close_stream(ctx.input);
    close_stream(ctx.output);
    discard_unfinished_output();
    ctx.temp_made = 0;
}

bool same_output(const char* first, const char* second) {
    char first_path[name_buffer_size];
    char second_path[name_buffer_size];
    const output_place a = place_output(first, first_path);
    const output_place b = place_output(second, second_path);
    if (a.kind != b.kind || a.kind == output_kind::in_place || a.error != 0 || b.error != 0 ||
        !same_inode(a.file, b.file))
        return false;
    return a.kind == output_kind::replacement ||
           std::strcmp(first_path + directory_length(first_path),
                       second_path + directory_length(second_path)) == 0;
}

bool is_standard_output(const char* name) {
    struct stat out, file;
    return fstat(STDOUT_FILENO, &out) == 0 && (S_ISREG(out.st_mode) || S_ISFIFO(out.st_mode)) &&
           stat(name, &file) == 0 && same_inode(file, out);
}
