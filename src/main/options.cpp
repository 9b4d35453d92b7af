#include "main/options.h"

#include "run/report.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

const char usage_text[] = " Usage: %s <-c|-t|-x> [-v <rev>] [-e <rev>] -h <hpm_file> \\\n"
                          "\t[-u <uboot_file:rev>] [-k <kernel_file:rev>] \\\n"
                          "\t[-r <rfs_file:rev>] [-a <app_file:rev>]";

// What --help prints after the usage text.
const char* const help_lines[] = {
    " Builds (-c), tests (-t, the default) or extracts (-x) PICMG HPM.1 upgrade images.",
    "   -c             create the image named by -h from the component files",
    "   -t             test the image: print its header and actions, check every checksum",
    "   -x             extract: write each component's data to the file named for it",
    "   -h file        the image file",
    "   -v rev         the image's firmware revision (needed to create)",
    "   -e rev         the earliest revision the image is compatible with",
    "   -u file[:rev]  U-Boot: in create mode the file packed and its revision, in extract",
    "                  mode the file written",
    "   -k file[:rev]  Kernel, as -u",
    "   -r file[:rev]  RFS (root file system), as -u",
    "   -a file[:rev]  APP (application), as -u",
    "   --help         print this help; --version: print the version",
    " A revision is major.minor[.patch]: major 0 to 128, minor 0 to 10, patch 0 to 255.",
    " Environment:",
    "   HPMIMG_STRICT=1    status 1 on a damaged image, extracted files only from a sound",
    "                      one, and the command line read strictly: no stray argument, no",
    "                      revision with other text, in create mode every file with :rev",
    "   SOURCE_DATE_EPOCH  the build time create mode writes, in seconds since 1970 (UTC)",
    " Exit status: 0 done, 1 error, 2 usage, 3 stopped by a signal. More: man hpmimg",
};

// The component options' letters, in the components' order: U-Boot, Kernel, RFS, APP.
const char component_letters[] = "ukra";

int component_of(int option) {
    return static_cast<int>(std::strchr(component_letters, option) - component_letters);
}

void copy_name(char* buffer, const char* name, int option) {
    std::size_t length = strnlen(name, name_buffer_size);
    if (length == name_buffer_size)
        fail(1, " Error: -%c file name is too long (4096 bytes or more): '%s'", option,
             shown(name));
    std::memcpy(buffer, name, length + 1);
}

// The option and its argument as given, which strict mode's complaints name; null when the
// command line is not read strictly. One buffer, overwritten per call.
const char* strict_origin(const options& opts, int option, const char* argument) {
    static char text[300]; // messages are cut at 255 characters anyway
    if (!opts.strict)
        return nullptr;
    std::snprintf(text, sizeof text, "-%c '%s'", option, shown(argument));
    return text;
}

// file[:revision]: the first ':' ends the name; a revision after it replaces
// the component's earlier one, and the mask bit is set in any case.
void take_component(options& opts, int component, char* argument, int option) {
    const char* origin = strict_origin(opts, option, argument);
    char* colon = std::strchr(argument, ':');
    if (colon != nullptr) {
        *colon = '\0';
        opts.plan.component_revisions[component] = parse_revision(colon + 1, origin);
    } else if (opts.unrevised_argument == nullptr) {
        opts.unrevised_option = option;
        opts.unrevised_argument = argument;
    }
    copy_name(ctx.component_names[component], argument, option);
    opts.plan.components_mask = static_cast<uint8_t>(opts.plan.components_mask | 1u << component);
}

[[noreturn]] void usage() {
    fail(2, usage_text, ctx.program_name);
}

// getopt's own complaints, with the option byte escaped as every name is.
[[noreturn]] void complain(const char* complaint, int option) {
    const char byte[2] = {static_cast<char>(option), '\0'};
    std::fprintf(stderr, "%s: %s -- '%s'\n", ctx.program_name, complaint, shown(byte));
    usage();
}

} // namespace

void answer_help_or_version(int argc, char** argv) {
    for (int n = 1; n < argc; ++n) {
        if (std::strcmp(argv[n], "--help") == 0) {
            report(usage_text, ctx.program_name);
            for (const char* line : help_lines)
                report("%s", line);
            leave(0);
        }
        if (std::strcmp(argv[n], "--version") == 0) {
            report("hpmimg %s", HPMIMG_VERSION);
            report("MIT licence: free to use, change and pass on, with no warranty.");
            leave(0);
        }
    }
}

void parse_options(int argc, char** argv, options& opts) {
    int option;
    // The leading ':' keeps getopt from printing its own complaints, and tells a missing
    // argument (':') from an unknown option ('?', also -:).
    while ((option = getopt(argc, argv, ":ctxe:v:h:u:k:r:a:")) != -1) {
        switch (option) {
        case 'c':
            opts.create = true;
            break;
        case 't':
            opts.test = true;
            break;
        case 'x':
            opts.extract = true;
            break;
        case 'e':
            opts.plan.earliest_revision =
                parse_revision(optarg, strict_origin(opts, option, optarg));
            break;
        case 'v':
            opts.plan.image_revision = parse_revision(optarg, strict_origin(opts, option, optarg));
            break;
        case 'h':
            copy_name(ctx.image_name, optarg, option);
            break;
        case 'u':
        case 'k':
        case 'r':
        case 'a':
            take_component(opts, component_of(option), optarg, option);
            break;
        case '?':
            complain("invalid option", optopt);
        case ':':
            complain("option requires an argument", optopt);
        default:
            fail(1, " %s: illegal option '%c'.", ctx.program_name, option);
        }
    }
    if (opts.strict && optind < argc)
        fail(1, " %s: '%s': neither an option nor the argument of one", ctx.program_name,
             shown(argv[optind]));
}

void select_mode(options& opts) {
    if (!opts.create && !opts.test && !opts.extract)
        opts.test = true;
    if (opts.create + opts.test + opts.extract >= 2 || ctx.image_name[0] == '\0')
        usage();
    if (opts.strict && opts.create && opts.unrevised_argument != nullptr)
        fail(1, " %s: -%c '%s': no revision after the file name, expected file:revision",
             ctx.program_name, opts.unrevised_option, shown(opts.unrevised_argument));
}

bool strict_from_environment() {
    const char* value = std::getenv("HPMIMG_STRICT");
    if (value == nullptr || std::strcmp(value, "") == 0 || std::strcmp(value, "0") == 0)
        return false;
    if (std::strcmp(value, "1") != 0)
        fail(1, " Error: HPMIMG_STRICT='%s' is neither 0 nor 1", shown(value));
    return true;
}
