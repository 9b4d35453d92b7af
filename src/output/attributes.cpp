#include "output/attributes.h"

#include "output/files.h"
#include "run/report.h"
#include "run/streams.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

const char acl_attribute[] = "system.posix_acl_access";

// The access ACL of a file, or -1 with errno set. An O_PATH descriptor, of a file this user
// may not read, reaches its attributes only through its /proc name; without /proc the
// file is opened to read them.
ssize_t read_acl(int fd, int folder, const char* leaf, kept_attributes& kept) {
    ssize_t size = fgetxattr(fd, acl_attribute, kept.acl, sizeof kept.acl);
    if (size >= 0 || errno != EBADF)
        return size;
    char path[32];
    descriptor_path(fd, path);
    size = getxattr(path, acl_attribute, kept.acl, sizeof kept.acl);
    if (size >= 0 || errno != ENOENT)
        return size;
    const int readable =
        openat(folder, leaf, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    size = readable >= 0 ? fgetxattr(readable, acl_attribute, kept.acl, sizeof kept.acl) : -1;
    const int error = errno;
    if (readable >= 0)
        close(readable);
    errno = error;
    return size;
}

// A file without an ACL, or on a file system without them, gives none.
void keep_from(int fd, int folder, const char* leaf, const char* name, kept_attributes& kept) {
    if (fstat(fd, &kept.status) != 0)
        fail(1, " Error: stat('%s') failed, %s", shown(name), strerror(errno));
    kept.acl_size = read_acl(fd, folder, leaf, kept);
    if (kept.acl_size < 0 && errno != ENODATA && errno != ENOTSUP)
        fail(1, " Error: failed to read the ACL of '%s', %s", shown(name), strerror(errno));
}

// The ACL before the mode: a mode set first would, until the ACL came, give the owning
// group what the ACL's mask allows; set after, it changes nothing the ACL gave.
void give_mode_and_acl(int fd, mode_t mode, const kept_attributes& kept, const char* name) {
    const bool given =
        kept.acl_size >= 0
            ? fsetxattr(fd, acl_attribute, kept.acl, std::size_t(kept.acl_size), 0) == 0
            : fremovexattr(fd, acl_attribute) == 0 || errno == ENODATA || errno == ENOTSUP;
    if (!given)
        fail(1, " Error: failed to keep the ACL of '%s', %s", shown(name), strerror(errno));
    if (fchmod(fd, mode) != 0)
        fail(1, " Error: chmod('%s') failed, %s", shown(name), strerror(errno));
}

} // namespace

void keep_from_target(const output_target& target, const char* name, kept_attributes& kept) {
    keep_from(target.reached, target.folder, target.leaf, name, kept);
}

void keep_as_new(temporary& probe, const char* name, kept_attributes& kept) {
    if (!make_named(probe, 0666))
        open_failed(name, "write", errno);
    keep_from(probe.fd, probe.folder, probe.name, name, kept);
    remove_name(probe);
    close_temporary(probe);
}

// No instant lets anyone read the file whom the final file would not let: the group first,
// while the file is still this user's and 0600, then the ACL and mode (still this user's,
// who alone may set them without CAP_FOWNER), then the owner, and a set-id bit last, only
// with the owner and group it goes with, so that no run makes a set-id program of someone
// else's. A group this user may not give takes the group's access with it, rather than
// handing it to another group; an owner it may not give leaves the file this user's.
void give_attributes(int fd, const kept_attributes& kept, bool owner, const char* name) {
    const struct stat& old = kept.status;
    mode_t mode = old.st_mode & 07777;
    const mode_t set_id = mode & (S_ISUID | S_ISGID);
    const bool group_kept = owner && fchown(fd, uid_t(-1), old.st_gid) == 0;
    if (owner && !group_kept)
        mode &= ~mode_t{S_IRWXG};
    give_mode_and_acl(fd, mode & ~set_id, kept, name);
    if (!owner)
        return;
    const bool owner_kept = fchown(fd, old.st_uid, uid_t(-1)) == 0;
    const mode_t kept_set_id = set_id & ((owner_kept ? S_ISUID : 0u) | (group_kept ? S_ISGID : 0u));
    if (kept_set_id != 0)
        fchmod(fd,
               (mode & ~set_id) | kept_set_id); // refused on a file given away without CAP_FOWNER
}
