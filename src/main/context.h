// The one global record of a run: open streams, name buffers, scratch and digest, and the
// whole life of its two streams.
#pragma once

#include "digest/md5.h"

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <sys/stat.h>

constexpr std::size_t name_buffer_size = 4096;
constexpr std::size_t transfer_buffer_size = 1024;
constexpr char temp_file_pattern[] = ".hpmimg-XXXXXX";

// The four components, in the order every loop over them follows; component n is bit n of
// every components mask.
constexpr int uboot_component = 0;
constexpr int kernel_component = 1;
constexpr int rfs_component = 2;
constexpr int app_component = 3;
constexpr int component_count = 4;

// An output is written in place (a pipe, a device, a file no name reaches), or as a new file
// renamed onto its name when complete: there is no file under that name yet, or one to replace.
enum class output_kind { in_place, new_file, replacement };

struct run_context {
    FILE* input;  // image being inspected, or component being packed
    FILE* output; // image being created, or component being extracted
    char* image_name;
    char* component_names[component_count]; // U-Boot, Kernel, RFS, APP
    const char* program_name;
    unsigned char transfer_buffer[transfer_buffer_size];
    md5_ctx digest;
    uint64_t digest_left; // bytes still to be digested as they are read
    // A regular output is written to a new file beside its target and renamed onto it when
    // complete. The new file has no name while it is written where the file system allows;
    // while it has a temporary name, temp_made is set, and every way out removes it.
    char target_name[name_buffer_size];
    char temp_name[name_buffer_size + sizeof temp_file_pattern];
    volatile sig_atomic_t temp_made;
    output_kind placement; // how the output being written reaches its name
    bool output_unnamed;   // it has no name yet (O_TMPFILE)
    struct stat replaced;  // a replacement's old file, as it was when the output was opened
};

extern run_context ctx;

// Descriptors 0, 1 and 2 closed at start-up are opened on /dev/null, so that no file the
// run opens takes their place and receives its messages.
void fill_standard_descriptors();
// Open the named file as the input ("rb") or output ("wb") stream, or report and exit.
void open_input(const char* name);
void open_output(const char* name);
void close_input();
// Closes the output stream of a finished file, reporting a failed close (buffered data
// reaches the file only now), then puts the new file in its target's place; a stopping
// signal caught before then ends the run without it. `last`: the run writes no other output.
void close_output(const char* name, bool last);
// Removes the output being written, if it has a name yet, with async-signal-safe calls alone:
// all that a signal handler does about files before the process ends.
void discard_unfinished_output();
// Closes whatever is open, unchecked, and removes an output not yet complete: the way out
// after an error or a signal.
void close_streams();
// Whether two output names lead to one file, existing or to be made (links followed, hard
// links alike); names that lead to a device, a pipe or the like never count as one.
bool same_output(const char* first, const char* second);
// Whether the name leads to the regular file or pipe that standard output writes to.
bool is_standard_output(const char* name);
