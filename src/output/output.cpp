#include "output/output.h"

#include "output/attributes.h"
#include "output/files.h"
#include "output/target.h"
#include "output/temporary.h"
#include "run/context.h"
#include "run/report.h"
#include "run/signals.h"
#include "run/streams.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The image, or one output of each component.
const int max_outputs = component_count;

struct output_file {
    const char* name;
    const char* what;
    output_target target; // looked up once, held until the run ends
    temporary temp;       // the new file, where the output is not written in place
    kept_attributes kept; // of the file it replaces, or what a new file gets
    int error;            // why the name leads nowhere it can be written, reported at its opening
    bool waiting;         // complete, to be put in place by the next commit
};

// The outputs looked up; a signal handler removes their temporaries.
output_file outputs[max_outputs];
volatile sig_atomic_t output_count = 0;
output_file* writing = nullptr; // the output ctx.output writes to
char output_buffer[stream_buffer_size];

void discard_outputs() {
    for (int n = 0; n < output_count; ++n)
        remove_name(outputs[n].temp);
}

void abandon_outputs() {
    close_slot(ctx.output);
    discard_outputs();
    for (int n = 0; n < output_count; ++n) {
        release_target(outputs[n].target);
        close_temporary(outputs[n].temp);
    }
    output_count = 0;
}

// The output's temporary, not made yet: it will be made in the target's folder.
void unmake_temporary(output_file& out) {
    out.temp = {out.target.folder, -1, false, {}, 0, placed::not_yet};
}

// The temporary goes once its output is in place, or once another takes its place.
void drop_temporary(output_file& out) {
    const sigset_t old = block_signals();
    remove_name(out.temp);
    close_temporary(out.temp);
    unmake_temporary(out);
    out.waiting = false;
    restore_signals(old);
}

output_file* output_reaching(const struct stat& file) {
    for (int n = 0; n < output_count; ++n)
        if (is_file(outputs[n].target.reached, file) || is_file(outputs[n].temp.fd, file))
            return &outputs[n];
    return nullptr;
}

// The new file: unnamed where the file system allows, linked to its name when complete (no
// rename, so also in an append-only folder); else under a temporary name, mode 0600, that a
// rename gives it. Where that rename could not succeed, nothing is made.
int make_new_file(output_file& out) {
    const output_target& target = out.target;
    const bool replacing = target.kind == output_kind::replacement;
    if (replacing && (rename_refused(target.folder) || rename_refused(target.reached)))
        open_failed(out.name, "write", EPERM);
    if (replacing)
        keep_from_target(target, out.name, out.kept);
    if (make_unnamed(out.temp))
        return out.temp.fd;
    if (rename_refused(target.folder))
        open_failed(out.name, "write", EPERM);
    if (!replacing)
        keep_as_new(out.temp, out.name, out.kept);
    if (!make_named(out.temp, 0600))
        open_failed(out.name, "write", errno);
    return out.temp.fd;
}

// A commit that fails puts back every output it had put in place, as far as it can, and
// ends the run; the new files then go with their temporaries.
[[noreturn]] void commit_failed(const char* call, const output_file& failed, int error) {
    for (int n = output_count - 1; n >= 0; --n)
        take_back(outputs[n].temp, outputs[n].target.leaf);
    fail(1, " Error: %s('%s') failed, %s", call, shown(failed.name), strerror(error));
}

// Puts the output in place, undoably or for good (as the steps that cannot be undone, last),
// or takes back every one placed before and ends the run.
void place(output_file& out, bool undoably) {
    const step_result result = undoably ? place_undoably(out.temp, out.target)
                                        : place_for_good(out.temp, out.target, out.name);
    if (result.call != nullptr)
        commit_failed(result.call, out, result.error);
}

void check_flush(int error, const output_file& out) {
    if (error != 0)
        fail(1, " Error: fsync('%s') failed, %s", shown(out.name), strerror(error));
}

} // namespace

void refuse_as_image(const char* what, const char* name) {
    fail(1, " Error: %s file '%s' is the image file itself", what, shown(name));
}

void look_up_output(const char* name, const char* what) {
    if (output_count == 0) { // the first output of the run: its cleanup, once
        at_cleanup(abandon_outputs);
        set_signal_cleanup(discard_outputs);
    }
    output_file& out = outputs[output_count];
    out.name = name;
    out.what = what;
    out.waiting = false;
    out.error = find_target(name, out.target);
    unmake_temporary(out);
    output_count = output_count + 1;
    struct stat standard;
    if (out.target.reached >= 0 && fstat(STDOUT_FILENO, &standard) == 0 &&
        (S_ISREG(standard.st_mode) || S_ISFIFO(standard.st_mode)) &&
        is_file(out.target.reached, standard))
        fail(1, " Error: %s file '%s' is standard output", what, shown(name));
    for (int n = 0; n + 1 < output_count; ++n)
        if (shares_target(outputs[n].target, outputs[n].temp.fd, out.target))
            fail(1, " Error: %s file '%s' is also the %s file", what, shown(name), outputs[n].what);
}

// The files themselves are compared, so that no spelling of a name (a link, a hard link,
// /proc/self/fd/N of the tool's own descriptors) writes an output over what the run reads.
void refuse_image_output() {
    struct stat image;
    const output_file* out =
        fstat(fileno(ctx.input), &image) == 0 ? output_reaching(image) : nullptr;
    if (out != nullptr)
        refuse_as_image(out->what, out->name);
}

void open_output(const char* name) {
    stop_run_on_stopping_signals();
    output_file* out = outputs;
    while (out < outputs + output_count && out->name != name)
        ++out;
    if (out->error != 0)
        open_failed(name, "write", out->error);
    if (out->waiting)
        drop_temporary(*out);
    int fd = -1;
    if (out->target.kind == output_kind::in_place) {
        fd = open_reached(out->target, name);
        if (fd < 0 || (S_ISREG(out->target.file.st_mode) && ftruncate(fd, 0) != 0))
            open_failed(name, "write", errno);
    } else
        fd = dup(make_new_file(*out));
    writing = out;
    attach_stream(ctx.output, fd >= 0 ? fdopen(fd, "wb") : nullptr, name, "write", output_buffer);
}

void start_writeback() {
    sync_file_range(fileno(ctx.output), 0, 0, SYNC_FILE_RANGE_WRITE);
}

void finish_output() {
    output_file& out = *writing;
    if (fflush(ctx.output) != 0)
        fail(1, " Error: close('%s') failed, %s", shown(out.name), strerror(errno));
    const output_kind kind = out.target.kind;
    if (kind == output_kind::replacement || (kind == output_kind::new_file && !out.temp.unnamed))
        give_attributes(out.temp.fd, out.kept, kind == output_kind::replacement, out.name);
    // Before a new file takes its name, its data is on the disk; in place, all of it.
    check_flush(flush_file(fileno(ctx.output), kind != output_kind::in_place), out);
    if (close_slot(ctx.output) != 0)
        fail(1, " Error: close('%s') failed, %s", shown(out.name), strerror(errno));
    out.waiting = true;
}

// Several outputs are put in place so that a failure can take back every one before it: the
// steps that can be undone first, then those that cannot, and at most one of those keeps
// all or nothing. The old files go once every new one is in place.
void commit_outputs(bool last) {
    const sigset_t old = block_signals();
    stop_if_signalled();
    int waiting = 0;
    for (int n = 0; n < output_count; ++n)
        waiting += outputs[n].waiting ? 1 : 0;
    for (int n = 0; waiting > 1 && n < output_count; ++n)
        if (outputs[n].waiting)
            place(outputs[n], true);
    for (int n = 0; n < output_count; ++n)
        if (outputs[n].waiting && outputs[n].temp.step == placed::not_yet)
            place(outputs[n], false);
    for (int n = 0; n < output_count; ++n)
        if (outputs[n].waiting && outputs[n].target.kind != output_kind::in_place)
            check_flush(flush_placed(outputs[n].temp), outputs[n]);
    for (int n = 0; n < output_count; ++n) {
        const bool old_file_kept = outputs[n].temp.step == placed::exchanged;
        if (outputs[n].waiting)
            drop_temporary(outputs[n]);
        if (old_file_kept)
            check_flush(flush_folder(outputs[n].target.folder), outputs[n]);
    }
    if (last)
        end_process_on_stopping_signals();
    restore_signals(old);
}

void close_output(bool last) {
    finish_output();
    commit_outputs(last);
}

bool is_output_file(const struct stat& file) {
    return output_reaching(file) != nullptr;
}

bool outputs_released() {
    return output_count == 0 && ctx.output == nullptr;
}
