#include "output/output.h"

#include "output/attributes.h"
#include "output/target.h"
#include "output/temporary.h"
#include "run/context.h"
#include "run/report.h"
#include "run/signals.h"
#include "run/streams.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// One output of each component, and one more opened while another waits.
const int max_outputs = component_count + 1;

struct output_file {
    const char* name;
    const char* what;
    output_target target;
    temporary temp; // the new file, where the output is not written in place
};

// The outputs opened and not yet in place; a signal handler removes their temporaries.
output_file outputs[max_outputs];
volatile sig_atomic_t output_count = 0;
kept_attributes kept; // of the output being written: read at its opening, given at its finish
char output_buffer[stream_buffer_size];

output_file& current() {
    return outputs[output_count - 1];
}

void discard_outputs() {
    for (int n = 0; n < output_count; ++n)
        remove_name(outputs[n].temp);
}

void release_outputs() {
    for (int n = 0; n < output_count; ++n) {
        release_target(outputs[n].target);
        close_temporary(outputs[n].temp);
    }
    output_count = 0;
}

void abandon_outputs() {
    close_slot(ctx.output);
    discard_outputs();
    release_outputs();
}

// An output opened again under the name of one that waits (a second Upload action for its
// component) takes its place: the later data is what the run delivers, as when none waits.
void drop_superseded(const char* name) {
    for (int n = 0; n < output_count; ++n) {
        if (outputs[n].name != name)
            continue;
        const sigset_t old = block_signals();
        remove_name(outputs[n].temp);
        release_target(outputs[n].target);
        close_temporary(outputs[n].temp);
        for (int later = n + 1; later < output_count; ++later)
            outputs[later - 1] = outputs[later];
        output_count = output_count - 1;
        restore_signals(old);
        return;
    }
}

bool same_file_as(int fd, const struct stat& file) {
    struct stat status;
    return fd >= 0 && fstat(fd, &status) == 0 && same_inode(status, file);
}

// Whether the earlier output writes to, or replaces, what the later one's name reaches, or
// would make a new file under the same name in the same folder.
bool shares_target(const output_file& earlier, const output_file& later) {
    const output_target& target = later.target;
    if (target.reached >= 0)
        return same_file_as(earlier.target.reached, target.file) ||
               same_file_as(earlier.temp.fd, target.file);
    struct stat folder;
    return earlier.target.kind == output_kind::new_file && fstat(target.folder, &folder) == 0 &&
           same_file_as(earlier.target.folder, folder) &&
           std::strcmp(earlier.target.leaf, target.leaf) == 0;
}

// The files themselves are compared, so that no spelling of a name (a link, a hard link,
// /proc/self/fd/N of the tool's own descriptors) writes an output over what the run reads.
void refuse_shared(const output_file& out) {
    const char* const what = out.what;
    const bool exists = out.target.reached >= 0;
    if (exists && ctx.input != nullptr && same_file_as(fileno(ctx.input), out.target.file))
        report(1, " Error: %s file '%s' is the image file itself", what, shown(out.name));
    for (int n = 0; n + 1 < output_count; ++n)
        if (shares_target(outputs[n], out))
            report(1, " Error: %s file '%s' is also the %s file", what, shown(out.name),
                   outputs[n].what);
}

// Whether the file's attributes refuse a rename onto or within it: an append-only or
// immutable folder, an append-only or immutable target.
bool rename_refused(int fd) {
    struct statx attributes = {};
    return fd >= 0 && statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS, &attributes) == 0 &&
           (attributes.stx_attributes & (STATX_ATTR_APPEND | STATX_ATTR_IMMUTABLE)) != 0;
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
        keep_from_target(target, out.name, kept);
    out.temp.folder = target.folder;
    if (make_unnamed(out.temp))
        return out.temp.fd;
    if (rename_refused(target.folder))
        open_failed(out.name, "write", EPERM);
    if (!replacing)
        keep_as_new(out.temp, out.name, kept);
    if (!make_named(out.temp, 0600))
        open_failed(out.name, "write", errno);
    return out.temp.fd;
}

// A target that is a mount point (one file bound into a container) cannot be renamed onto:
// the complete new file is copied into it, which is then not replaced in one step.
void copy_into_target(output_file& out) {
    const int fd = open_reached(out.target, out.name);
    ssize_t got = 0;
    for (off_t at = 0; (got = pread(out.temp.fd, output_buffer, sizeof output_buffer, at)) > 0;
         at += got)
        for (ssize_t put = 0, n = 0; put < got; put += n)
            if ((n = write(fd, output_buffer + put, std::size_t(got - put))) < 0)
                report(1, " Error: write('%s') failed, %s", shown(out.name), strerror(errno));
    if (got < 0 || close(fd) != 0)
        report(1, " Error: close('%s') failed, %s", shown(out.name), strerror(errno));
    remove_name(out.temp);
}

// A new file without a file to replace takes its name by a link; any other, or one whose
// name another file took meanwhile, is renamed onto it from a temporary name.
void put_in_place(output_file& out) {
    temporary& temp = out.temp;
    if (out.target.kind == output_kind::in_place)
        return;
    if (temp.unnamed && out.target.kind == output_kind::new_file &&
        link_unnamed(temp, out.target.leaf))
        return;
    if (temp.unnamed && !link_unnamed_named(temp))
        report(1, " Error: link('%s') failed, %s", shown(out.name), strerror(errno));
    if (renameat(temp.folder, temp.name, temp.folder, out.target.leaf) == 0)
        temp.named = 0;
    else if (errno == EBUSY && out.target.kind == output_kind::replacement)
        copy_into_target(out);
    else
        report(1, " Error: rename('%s') failed, %s", shown(out.name), strerror(errno));
}

} // namespace

void open_output(const char* name, const char* what) {
    stop_run_on_stopping_signals();
    at_cleanup(abandon_outputs);
    set_signal_cleanup(discard_outputs);
    drop_superseded(name);
    if (output_count == max_outputs)
        report(1, " Error: open('%s', write) failed, %s", shown(name), strerror(EMFILE));
    outputs[output_count] = {name, what, {}, {-1, -1, false, {}, 0}};
    output_count = output_count + 1;
    output_file& out = current();
    find_target(name, out.target);
    refuse_shared(out);
    int fd = -1;
    if (out.target.kind == output_kind::in_place)
        fd = open_reached(out.target, name);
    else
        fd = dup(make_new_file(out));
    attach_stream(ctx.output, fd >= 0 ? fdopen(fd, "wb") : nullptr, name, "write", output_buffer);
}

void finish_output() {
    const output_file& out = current();
    if (fflush(ctx.output) != 0)
        report(1, " Error: close('%s') failed, %s", shown(out.name), strerror(errno));
    const output_kind kind = out.target.kind;
    if (kind == output_kind::replacement || (kind == output_kind::new_file && !out.temp.unnamed))
        give_attributes(out.temp.fd, kept, kind == output_kind::replacement, out.name);
    if (close_slot(ctx.output) != 0)
        report(1, " Error: close('%s') failed, %s", shown(out.name), strerror(errno));
}

void commit_outputs(bool last) {
    const sigset_t old = block_signals();
    stop_if_signalled();
    for (int n = 0; n < output_count; ++n)
        put_in_place(outputs[n]);
    release_outputs();
    if (last)
        end_process_on_stopping_signals();
    restore_signals(old);
}

void close_output(bool last) {
    finish_output();
    commit_outputs(last);
}

bool is_output_file(int fd) {
    struct stat file;
    if (fstat(fd, &file) != 0)
        return false;
    for (int n = 0; n < output_count; ++n)
        if (same_file_as(outputs[n].target.reached, file) || same_file_as(outputs[n].temp.fd, file))
            return true;
    return false;
}

bool outputs_released() {
    return output_count == 0 && ctx.output == nullptr;
}
