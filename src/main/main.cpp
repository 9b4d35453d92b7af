// hpmimg: builds and inspects PICMG HPM.1 firmware upgrade images.
#include "create/create.h"
#include "inspect/inspect.h"
#include "main/context.h"
#include "main/options.h"
#include "main/report.h"

int main(int argc, char** argv) {
    fill_standard_descriptors();
    ctx.program_name = argc > 0 && argv[0] != nullptr ? argv[0] : "hpmimg";
    ctx.image_name = alloc_zeroed(name_buffer_size);
    options opts = {};
    for (char*& name : ctx.component_names)
        name = alloc_zeroed(name_buffer_size);
    install_signal_handlers();

    parse_options(argc, argv, opts);
    select_mode(opts);
    if (opts.create)
        create_image(opts);
    else
        inspect_image(opts.test, opts.extract);
    leave(0);
}
