// The command line: options into an option record, then the mode.
#pragma once

#include "format/revision.h"
#include "run/context.h"

#include <cstdint>

struct options {
    bool create;
    bool test;
    bool extract;
    packed_revision image_revision;
    packed_revision earliest_revision;
    packed_revision component_revisions[component_count]; // U-Boot, Kernel, RFS, APP
    uint8_t components_mask;                              // bit n: component n given
};

// Reads every option into opts and the run context's name buffers; a bad
// option prints the usage text, a bad revision or name reports and exits.
void parse_options(int argc, char** argv, options& opts);
// Settles the mode: test is the default; more than one mode, or no image name,
// prints the usage text.
void select_mode(options& opts);
