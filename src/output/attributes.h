// What a new file keeps of the file it replaces, or gets as any new file in its folder
// would: owner, group, mode and access ACL.
#pragma once

#include "output/target.h"
#include "output/temporary.h"

#include <sys/stat.h>
#include <sys/types.h>

constexpr std::size_t max_acl_size = 65536; // the largest value an extended attribute may have

struct kept_attributes {
    struct stat status; // owner, group and mode
    ssize_t acl_size;   // the size of the access ACL, -1 where there is none
    char acl[max_acl_size];
};

// Reads the attributes of the file the target reaches, or reports and exits.
void keep_from_target(const output_target& target, const char* name, kept_attributes& kept);
// Reads what the shell's `>` would give a new file in the folder (0666 less the umask, or
// what the folder's default ACL says) off an empty file made and removed at once.
void keep_as_new(temporary& probe, const char* name, kept_attributes& kept);
// Gives the complete new file what was kept: `owner` adds owner, group and set-id bits.
void give_attributes(int fd, const kept_attributes& kept, bool owner, const char* name);
