// Create mode: packs component files into an upgrade image.
#pragma once

#include "format/revision.h"
#include "run/context.h"

#include <cstdint>

// What an image is built from, besides the files named in the run context.
struct image_plan {
    packed_revision image_revision;
    packed_revision earliest_revision;
    packed_revision component_revisions[component_count]; // U-Boot, Kernel, RFS, APP
    uint8_t components_mask;                              // bit n: component n given
};

// Writes the image named on the command line; exits on failure.
void create_image(const image_plan& plan);
// The device ID of the first key found in the names, tried in this order; 7 when none has one.
uint8_t guess_device_id(const char* rfs_name, const char* kernel_name, const char* uboot_name,
                        const char* app_name, const char* image_name);
