// libFuzzer harness: every input is an image file that test mode or extract mode inspects.
//
// The tool ends the process through exit() on every error, after report() has run
// cleanup(0), which closes the streams and frees the name buffers. The harness is linked
// with -Wl,--wrap=exit, so while an input runs, exit() jumps back here instead and the next
// input starts from a clean run context; outside a run it is the real exit(). The frames
// jumped over (inspector, walk, transfer, report) hold no objects with destructors.
//
// The input's last byte (a digest byte in a real image) picks the run:
//   bit 0      extract mode (header checksum line only), else test mode (full dump)
//   bits 1-4   extract mode names a U-Boot, Kernel, RFS, APP file in the work directory
//   bit 5      the U-Boot file is the image itself, which extract mode must refuse
//   bit 6      the APP file lies in a missing directory, so opening it fails
#include "inspect/inspect.h"
#include "output/output.h"
#include "run/context.h"
#include "run/report.h"

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

extern "C" [[noreturn]] void __real_exit(int status);

namespace {

sigjmp_buf run_end;
volatile bool running = false;

std::string work_dir;
std::string image_path;
std::string output_paths[component_count];

void remove_work_dir() {
    for (const std::string& path : output_paths)
        unlink(path.c_str());
    unlink(image_path.c_str());
    rmdir(work_dir.c_str());
}

void write_image(const uint8_t* data, std::size_t size) {
    FILE* file = fopen(image_path.c_str(), "wb");
    if (file == nullptr || (size > 0 && fwrite(data, size, 1, file) != 1) || fclose(file) != 0) {
        perror(image_path.c_str());
        abort();
    }
}

void set_name(char* buffer, const std::string& name) {
    std::memcpy(buffer, name.c_str(), name.size() + 1);
}

// The name buffers, allocated per input as start-up does and freed by the tool's cleanup.
void fill_names(uint8_t choice) {
    const bool extract = (choice & 1) != 0;
    ctx.image_name = alloc_zeroed(name_buffer_size);
    set_name(ctx.image_name, image_path);
    for (int component = 0; component < component_count; ++component) {
        ctx.component_names[component] = alloc_zeroed(name_buffer_size);
        if (extract && (choice >> (component + 1) & 1) != 0)
            set_name(ctx.component_names[component], output_paths[component]);
    }
    if (extract && (choice & 0x20) != 0)
        set_name(ctx.component_names[0], image_path);
    if (extract && (choice & 0x40) != 0)
        set_name(ctx.component_names[3], work_dir + "/missing/app.bin");
}

// Every way out of the tool runs cleanup first, so after a run nothing may be left open,
// allocated or half-written; a leftover would otherwise surface later, in a later input.
void check_released() {
    bool released = ctx.input == nullptr && ctx.output == nullptr && ctx.image_name == nullptr &&
                    outputs_released();
    for (const char* name : ctx.component_names)
        released = released && name == nullptr;
    if (!released) {
        fprintf(stderr, "hpmimg left a stream open, a name buffer allocated or a temporary file\n");
        abort();
    }
}

} // namespace

// A private directory in memory when /dev/shm exists; the tool's stdout goes to /dev/null.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char pattern[] = "/dev/shm/hpmimg-fuzz-XXXXXX";
    char fallback[] = "/tmp/hpmimg-fuzz-XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (dir == nullptr)
        dir = mkdtemp(fallback);
    if (dir == nullptr) {
        perror("mkdtemp");
        abort();
    }
    work_dir = dir;
    image_path = work_dir + "/img.hpm";
    const char* names[component_count] = {"/uboot.bin", "/kernel.bin", "/rfs.bin", "/app.bin"};
    for (int component = 0; component < component_count; ++component)
        output_paths[component] = work_dir + names[component];
    atexit(remove_work_dir);

    const int null_fd = open("/dev/null", O_WRONLY);
    if (null_fd < 0 || dup2(null_fd, STDOUT_FILENO) < 0) {
        perror("/dev/null");
        abort();
    }
    close(null_fd);
    ctx.program_name = "hpmimg";
    return 0;
}

extern "C" [[noreturn]] void __wrap_exit(int status) {
    if (running)
        siglongjmp(run_end, 1);
    __real_exit(status);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    write_image(data, size);
    const uint8_t choice = size > 0 ? data[size - 1] : 0;
    const bool extract = (choice & 1) != 0;
    fill_names(choice);

    if (sigsetjmp(run_end, 0) == 0) {
        running = true;
        inspect_image(!extract, extract, (choice & 0x80) != 0); // the last bit: strict
        cleanup(0); // as the tool's way out does after a driver returns
    }
    running = false;
    check_released();
    for (const std::string& path : output_paths)
        unlink(path.c_str());
    return 0;
}
