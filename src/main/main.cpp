// hpmimg: builds and inspects PICMG HPM.1 firmware upgrade images.
#include "create/create.h"
#include "inspect/inspect.h"
#include "main/options.h"
#include "run/context.h"
#include "run/report.h"
#include "run/signals.h"
#include "run/streams.h"

#include <cstring>

int main(int argc, char** argv) {
    fill_standard_descriptors();
    // Escaped once, so that the usage, the messages, getopt's complaint and the signal
    // notice never print a raw control byte of the name the tool was started by.
    static char program_name[1024];
    const char* escaped = shown(argc > 0 && argv[0] != nullptr ? argv[0] : "hpmimg");
    std::memcpy(program_name, escaped, strlen(escaped) + 1);
    ctx.program_name = program_name;
    if (argc > 0)
        argv[0] = program_name;
    ctx.image_name = alloc_zeroed(name_buffer_size);
    options opts = {};
    for (char*& name : ctx.component_names)
        name = alloc_zeroed(name_buffer_size);
    install_signal_handlers();

    answer_help_or_version(argc, argv);
    opts.strict = strict_from_environment();
    parse_options(argc, argv, opts);
    select_mode(opts);
    if (opts.create)
        create_image(opts.plan);
    else
        inspect_image(opts.test, opts.extract, opts.strict);
    leave(0);
}
