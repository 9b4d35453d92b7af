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
