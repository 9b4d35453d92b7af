// The one global record of a run: open streams, name buffers, scratch and digest, and the
// whole life of its two streams.
#pragma once

#include "digest/md5.h"

#include <cstddef>
#include <cstdio>

constexpr std::size_t name_buffer_size = 4096;
constexpr std::size_t transfer_buffer_size = 1024;

// The four components, in the order every loop over them follows; component n is bit n of
// every components mask.
constexpr int uboot_component = 0;
constexpr int kernel_component = 1;
constexpr int rfs_component = 2;
constexpr int app_component = 3;
constexpr int component_count = 4;

struct run_context {
    FILE* input;  // image being inspected, or component being packed
    FILE* output; // image being created, or component being extracted
    char* image_name;
    char* component_names[component_count]; // U-Boot, Kernel, RFS, APP
    const char* program_name;
    unsigned char transfer_buffer[transfer_buffer_size];
    md5_ctx digest;
};

extern run_context ctx;

// Open the named file as the input ("rb") or output ("wb") stream, or report and exit.
void open_input(const char* name);
void open_output(const char* name);
void close_input();
// Closes the output stream of a finished file. Buffered data reaches the file only now, so
// a failed close is reported (naming the file) and exits.
void close_output(const char* name);
// Closes whatever is open, unchecked: the way out after an error or a signal.
void close_streams();
