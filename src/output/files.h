// Small helpers on open files, shared by the output's modules: each does one thing through
// a descriptor.
#pragma once

#include <sys/stat.h>

bool same_inode(const struct stat& a, const struct stat& b);
// Whether the descriptor is open on the file with that status.
bool is_file(int fd, const struct stat& file);
// "/proc/self/fd/N": the name that reaches an open file through its descriptor.
void descriptor_path(int fd, char (&path)[32]);
// Whether the file's attributes refuse a rename onto or within it: an append-only or
// immutable folder, an append-only or immutable file.
bool rename_refused(int fd);
// Waits until the file's data (`data_only`) or data and metadata are on the disk; returns 0,
// or the error. A pipe, a terminal or a file system that cannot flush is not an error.
int flush_file(int fd, bool data_only);
// Flushes the folder's entries, opening it for reading through its O_PATH descriptor;
// returns 0 where the folder may not be read, or the flush's error.
int flush_folder(int folder);
