// The one global record of a run: open streams, name buffers, scratch and digest.
#pragma once

#include "digest/md5.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

constexpr std::size_t name_buffer_size = 4096;
constexpr std::size_t transfer_buffer_size = 1024;
// A stdio buffer far larger than the file system's block size saves most of the read and
// write system calls on large components; each stream has its own.
constexpr std::size_t stream_buffer_size = std::size_t{256} * 1024;

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
    uint64_t digest_left; // bytes still to be digested as they are read
};

extern run_context ctx;

// Empties the slot, then closes its stream, if any, so that a report on the way out cannot
// close it again; returns what fclose returned, or 0.
int close_slot(FILE*& slot);
// Descriptors 0, 1 and 2 closed at start-up are opened on /dev/null, so that no file the
// run opens takes their place and receives its messages.
void fill_standard_descriptors();
