// The new file an output is written to, from its making to its final name. Where the file
// system allows it has no name until it is complete, so that not even SIGKILL leaves it
// behind; else it has a temporary name in the target's folder from the start.
#pragma once

#include "output/target.h"

#include <csignal>
#include <sys/types.h>

constexpr char temp_pattern[] = ".hpmimg-XXXXXX";

// How far a commit has brought the file, so that a failed commit can take it back: linked or
// renamed to its name, or exchanged with the file it replaces, which then waits under the
// temporary's name until the commit ends; or put there for good (or copied into a mount point).
enum class placed { not_yet, linked, renamed, exchanged, for_good, copied };

struct temporary {
    int folder;   // where it is made, a descriptor its owner holds
    int fd;       // open for reading and writing, or -1
    bool unnamed; // made with O_TMPFILE: no name until linked
    char name[sizeof temp_pattern];
    volatile sig_atomic_t named; // `name` is in the folder and must go with the output
    placed step;
};

// An unnamed file with mode 0666, so that the umask or the folder's default ACL applies as
// to any new file; false where the file system or a missing /proc does not allow one.
bool make_unnamed(temporary& temp);
// A file under a fresh temporary name, with the mode given; false, errno set, where none
// can be made.
bool make_named(temporary& temp, mode_t mode);
// Links the complete unnamed file under `leaf`; false, errno set, where it cannot.
bool link_unnamed(temporary& temp, const char* leaf);
// Gives the unnamed file a fresh temporary name, unless it has one; false, errno set.
bool give_temp_name(temporary& temp);
// Renames the temporary to `leaf` with renameat2's flags: 0 replaces what is there,
// RENAME_NOREPLACE never does, RENAME_EXCHANGE leaves that under the temporary's name.
// false, errno set, where it cannot.
bool rename_temp(temporary& temp, const char* leaf, unsigned how);
// Takes back what the commit did under `leaf`, as far as the file there is still this one.
void take_back(temporary& temp, const char* leaf);
// Copies the complete file over the one open as `fd`, whose old bytes stay where no room
// can be reserved for the new ones; then cuts it to the new size. Returns 0 or the error.
int copy_temp(const temporary& temp, int fd);
// How a step towards the final name ended: failed in `call` with `error`, or not (`call`
// null), whether the file took its name or was left for a step that cannot be undone.
struct step_result {
    const char* call;
    int error;
};

// Puts the complete file in the target's place so that take_back can undo it: a new name
// linked or renamed to, never replacing; a replaced file exchanged with it, which then waits
// under the temporary's name. Not done where only a step that cannot be undone can (a mount
// point, an append-only folder, a file system without exchange). What an exchange brings out
// must be what a rename would have replaced: a folder fails as a rename would.
step_result place_undoably(temporary& temp, const output_target& target);
// Puts the complete file in the target's place for good: a new name linked to; any other,
// or one that another file took meanwhile, renamed onto from a temporary name, except in an
// append-only folder, where no temporary name could be removed again; a mount point, which
// cannot be renamed onto, copied into (`name` opens it where /proc is missing).
step_result place_for_good(temporary& temp, const output_target& target, const char* name);
// Flushes the file that took its name, and its folder: a new entry is on the disk only
// once both are (FAT writes a renamed file's entry at the file's flush). Returns 0 or the error.
int flush_placed(const temporary& temp);
// Removes the temporary's name, if it has one, with async-signal-safe calls alone.
void remove_name(temporary& temp);
void close_temporary(temporary& temp);
