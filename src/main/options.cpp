#include "main/options.h"

#include "run/report.h"

#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

// The component options' letters, in the components' order: U-Boot, Kernel, RFS, APP.
const char component_letters[] = "ukra";

int component_of(int option) {
    return static_cast<int>(std::strchr(component_letters, option) - component_letters);
}

void copy_name(char* buffer, const char* name, int option) {
    std::size_t length = strnlen(name, name_buffer_size);
    if (length == name_buffer_size)
        report(1, " Error: -%c file name is too long (4096 bytes or more): '%s'", option,
               shown(name));
    std::memcpy(buffer, name, length + 1);
}

// file[:revision]: the first ':' ends the name; a revision after it replaces
// the component's earlier one, and the mask bit is set in any case.
void take_component(options& opts, int component, char* argument, int option) {
    char* colon = std::strchr(argument, ':');
    if (colon != nullptr) {
        *colon = '\0';
        opts.plan.component_revisions[component] = parse_revision(colon + 1);
    }
    copy_name(ctx.component_names[component], argument, option);
    opts.plan.components_mask = static_cast<uint8_t>(opts.plan.components_mask | 1u << component);
}

} // namespace

void parse_options(int argc, char** argv, options& opts) {
    int option;
    while ((option = getopt(argc, argv, "ctxe:v:h:u:k:r:a:")) != -1) {
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
            opts.plan.earliest_revision = parse_revision(optarg);
            break;
        case 'v':
            opts.plan.image_revision = parse_revision(optarg);
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
            usage();
        default:
            report(1, " %s: illegal option '%c'.", ctx.program_name, option);
        }
    }
}

void select_mode(options& opts) {
    if (!opts.create && !opts.test && !opts.extract)
        opts.test = true;
    if (opts.create + opts.test + opts.extract >= 2 || ctx.image_name[0] == '\0')
        usage();
}

bool strict_from_environment() {
    const char* value = std::getenv("HPMIMG_STRICT");
    if (value == nullptr || std::strcmp(value, "") == 0 || std::strcmp(value, "0") == 0)
        return false;
    if (std::strcmp(value, "1") != 0)
        report(1, " Error: HPMIMG_STRICT='%s' is neither 0 nor 1", shown(value));
    return true;
}
