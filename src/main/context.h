// The one global record of a run: open streams, name buffers, scratch and digest.
#pragma once

#include "digest/md5.h"

#include <cstddef>
#include <cstdio>

constexpr std::size_t name_buffer_size = 4096;
constexpr std::size_t transfer_buffer_size = 1024;
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
