// The new file an output is written to before it takes its target's name. Where the file
// system allows it has no name until it is complete, so that not even SIGKILL leaves it
// behind; else it has a temporary name in the target's folder from the start.
#pragma once

#include <csignal>
#include <sys/types.h>

constexpr char temp_pattern[] = ".hpmimg-XXXXXX";

struct temporary {
    int folder;   // where it is made, a descriptor its owner holds
    int fd;       // open for reading and writing, or -1
    bool unnamed; // made with O_TMPFILE: no name until linked
    char name[sizeof temp_pattern];
    volatile sig_atomic_t named; // `name` is in the folder and must go with the output
};

// An unnamed file with mode 0666, so that the umask or the folder's default ACL applies as
// to any new file; false where the file system or a missing /proc does not allow one.
bool make_unnamed(temporary& temp);
// A file under a fresh temporary name, with the mode given; false, errno set, where none
// can be made.
bool make_named(temporary& temp, mode_t mode);
// Links the complete unnamed file under `leaf`; false, errno set, where it cannot.
bool link_unnamed(const temporary& temp, const char* leaf);
// Links the complete unnamed file under a fresh temporary name; false, errno set, where none.
bool link_unnamed_named(temporary& temp);
// Removes the temporary's name, if it has one, with async-signal-safe calls alone.
void remove_name(temporary& temp);
void close_temporary(temporary& temp);
