// Where an output's name leads: the folder a new file goes into, held open, and what the
// name reaches there, looked at once through a descriptor and never by its name again.
#pragma once

#include "run/context.h"

#include <sys/stat.h>

// Written in place (a pipe, a device, a regular file no name reaches), as a new file where
// the name reaches nothing yet, or as a new file that replaces the one it reaches.
enum class output_kind { in_place, new_file, replacement };

struct output_target {
    output_kind kind;
    int folder;                  // O_PATH descriptor of the folder a new file goes into, else -1
    int reached;                 // O_PATH descriptor of the file the name reaches, else -1
    struct stat file;            // that file's status, where there is one
    char leaf[name_buffer_size]; // the new file's name in the folder
};

// Finds where the named output goes: a regular file that a name reaches is replaced, a name
// that reaches nothing gets a new file in the folder its links end in, and anything else is
// written where it is. Returns 0, or the error that opening the name for writing would give.
int find_target(const char* name, output_target& target);
void release_target(output_target& target);
// Opens for writing the file that was reached: through its descriptor's /proc name, or where
// /proc is missing by its name, checked after it is open to be the file reached. Returns the
// descriptor, or -1 with errno set where neither gives that file.
int open_reached(const output_target& target, const char* name);
// Whether the earlier output (its target, and `earlier_new`, its new file) writes to, or
// replaces, what the later one's name reaches, or would make a new file under the same name
// in the same folder.
bool shares_target(const output_target& earlier, int earlier_new, const output_target& later);
