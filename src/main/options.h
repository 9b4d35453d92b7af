// The command line: options into an option record, then the mode.
#pragma once

#include "create/create.h"

struct options {
    bool create;
    bool test;
    bool extract;
    image_plan plan; // the revisions and components given
};

// Reads every option into opts and the run context's name buffers; a bad
// option prints the usage text, a bad revision or name reports and exits.
void parse_options(int argc, char** argv, options& opts);
// Settles the mode: test is the default; more than one mode, or no image name,
// prints the usage text.
void select_mode(options& opts);
