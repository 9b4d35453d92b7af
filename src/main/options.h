// The command line: options into an option record, then the mode.
#pragma once

#include "create/create.h"

struct options {
    bool create;
    bool test;
    bool extract;
    image_plan plan; // the revisions and components given
    // HPMIMG_STRICT=1: a damaged image ends test and extract with status 1, and the command
    // line is read strictly
    bool strict;
    // The first component option given without :revision, which strict create mode refuses.
    int unrevised_option;
    const char* unrevised_argument;
};

// --help or --version anywhere among the arguments: prints the help or the version and ends
// the run before anything else is looked at.
void answer_help_or_version(int argc, char** argv);

// Reads every option into opts and the run context's name buffers; a bad
// option prints the usage text, a bad revision or name reports and exits, and so, in strict
// mode, does an argument that is not an option or its argument.
void parse_options(int argc, char** argv, options& opts);
// Settles the mode: test is the default; more than one mode, or no image name,
// prints the usage text. Strict create mode refuses a component option without :revision.
void select_mode(options& opts);
// Reads HPMIMG_STRICT: unset, empty or 0 is off, 1 is on; any other value is reported, and
// the run ends before it reads or writes anything.
bool strict_from_environment();
