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

// One output of each component, and one more opened while another waits.
const int max_outputs = component_count + 1;

struct output_file {
    const char* name;
    const char* what;
    output_target target;
    temporary temp;       // the new file, where the output is not written in place
    kept_attributes kept; // of the file it replaces, or what a new file gets
};

// The outputs opened and not yet in place; a signal handler removes their temporaries.
output_file outputs[max_outputs];
volatile sig_atomic_t output_count = 0;
char output_buffer[stream_buffer_size];

output_file& current() {
    return outputs[output_count - 1];
}

void discard_outputs() {
    for (int n = 0; n < output_count; ++n)
        remove_name(outputs[n].temp);
}

void release_output(output_file& out) {
    release_target(out.target);
    close_temporary(out.temp);
}

void release_outputs() {
    for (int n = 0; n < output_count; ++n)
        release_output(outputs[n]);
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
        release_output(outputs[n]);
        for (int later = n + 1; later < output_count; ++later)
            outputs[later - 1] = outputs[later];
        output_count = output_count - 1;
        restore_signals(old);
        return;
    }
}

// The files themselves are compared, so that no spelling of a name (a link, a hard link,
// /proc/self/fd/N of the tool's own descriptors) writes an output over what the run reads.
void refuse_shared(const output_file& out) {
    const char* const what = out.what;
    const bool exists = out.target.reached >= 0;
    if (exists && ctx.input != nullptr && is_file(fileno(ctx.input), out.target.file))
        fail(1, " Error: %s file '%s' is the image file itself", what, shown(out.name));
    for (int n = 0; n + 1 < output_count; ++n)
        if (shares_target(outputs[n].target, outputs[n].temp.fd, out.target))
            fail(1, " Error: %s file '%s' is also the %s file", what, shown(out.name),
                 outputs[n].what);
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
    out.temp.folder = target.folder;
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

// Puts the output in place so that a failed commit can take it back; false where only a
// step that cannot be undone can (a mount point, an append-only folder, a file system without
// exchange). What an exchange brings out must be what a rename would have replaced.
bool place_undoably(output_file& out) {
    temporary& temp = out.temp;
    const char* const leaf = out.target.leaf;
    const bool new_file = out.target.kind == output_kind::new_file;
    if (out.target.kind == output_kind::in_place)
        return true;
    if (rename_refused(temp.folder))
        return false;
    if (temp.unnamed && new_file && link_unnamed(temp, leaf))
        return true;
    if (!give_temp_name(temp))
        commit_failed("link", out, errno);
    if (new_file && rename_temp(temp, leaf, RENAME_NOREPLACE))
        return true;
    if (rename_temp(temp, leaf, RENAME_EXCHANGE)) {
        struct stat came_out = {};
        if (fstatat(temp.folder, temp.name, &came_out, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISDIR(came_out.st_mode))
            commit_failed("rename", out, EISDIR);
        return true;
    }
    if (errno == ENOENT && rename_temp(temp, leaf, RENAME_NOREPLACE))
        return true;
    if (errno == EBUSY || errno == EINVAL)
        return false;
    commit_failed("rename", out, errno);
}

// A target that is a mount point (one file bound into a container) cannot be renamed onto:
// the complete new file is copied into it, which is then not replaced in one step.
void copy_into_target(output_file& out) {
    const int fd = open_reached(out.target, out.name, false);
    int error = copy_temp(out.temp, fd);
    if (error != 0)
        commit_failed("write", out, error);
    if ((error = flush_file(fd, false)) != 0)
        commit_failed("fsync", out, error);
    if (close(fd) != 0)
        commit_failed("close", out, errno);
    remove_name(out.temp);
    out.temp.step = placed::copied;
}

// A new file without a file to replace takes its name by a link; any other, or one whose
// name another file took meanwhile, is renamed onto it from a temporary name, except in an
// append-only folder, where no temporary name could be removed again.
void place_for_good(output_file& out) {
    temporary& temp = out.temp;
    if (temp.step != placed::not_yet || out.target.kind == output_kind::in_place)
        return;
    if (temp.unnamed && out.target.kind == output_kind::new_file) {
        if (link_unnamed(temp, out.target.leaf))
            return;
        const int error = errno;
        if (rename_refused(temp.folder))
            commit_failed("link", out, error);
    }
    if (!give_temp_name(temp))
        commit_failed("link", out, errno);
    if (rename_temp(temp, out.target.leaf, 0))
        return;
    if (errno == EBUSY && out.target.kind == output_kind::replacement)
        copy_into_target(out);
    else
        commit_failed("rename", out, errno);
}

void check_flush(int error, const output_file& out) {
    if (error != 0)
        fail(1, " Error: fsync('%s') failed, %s", shown(out.name), strerror(error));
}

} // namespace

void open_output(const char* name, const char* what) {
    stop_run_on_stopping_signals();
    static bool registered = false;
    if (!registered) {
        at_cleanup(abandon_outputs);
        set_signal_cleanup(discard_outputs);
        registered = true;
    }
    drop_superseded(name);
    if (output_count == max_outputs)
        fail(1, " Error: open('%s', write) failed, %s", shown(name), strerror(EMFILE));
    output_file& out = outputs[output_count];
    out.name = name;
    out.what = what;
    out.temp = {-1, -1, false, {}, 0, placed::not_yet};
    output_count = output_count + 1;
    find_target(name, out.target);
    refuse_shared(out);
    int fd = -1;
    if (out.target.kind == output_kind::in_place)
        fd = open_reached(out.target, name, true);
    else
        fd = dup(make_new_file(out));
    attach_stream(ctx.output, fd >= 0 ? fdopen(fd, "wb") : nullptr, name, "write", output_buffer);
}

void start_writeback() {
    sync_file_range(fileno(ctx.output), 0, 0, SYNC_FILE_RANGE_WRITE);
}

void finish_output() {
    const output_file& out = current();
    if (fflush(ctx.output) != 0)
        fail(1, " Error: close('%s') failed, %s", shown(out.name), strerror(errno));
    const output_kind kind = out.target.kind;
    if (kind == output_kind::replacement || (kind == output_kind::new_file && !out.temp.unnamed))
        give_attributes(out.temp.fd, out.kept, kind == output_kind::replacement, out.name);
    // Before a new file takes its name, its data is on the disk; in place, all of it.
    check_flush(flush_file(fileno(ctx.output), kind != output_kind::in_place), out);
    if (close_slot(ctx.output) != 0)
        fail(1, " Error: close('%s') failed, %s", shown(out.name), strerror(errno));
}

// Several outputs are put in place so that a failure can take back every one before it: the
// steps that can be undone first, then those that cannot, and at most one of those keeps
// all or nothing. The old files go once every new one is in place.
void commit_outputs(bool last) {
    const sigset_t old = block_signals();
    stop_if_signalled();
    for (int n = 0; output_count > 1 && n < output_count; ++n)
        place_undoably(outputs[n]);
    for (int n = 0; n < output_count; ++n)
        place_for_good(outputs[n]);
    for (int n = 0; n < output_count; ++n)
        if (outputs[n].target.kind != output_kind::in_place)
            check_flush(flush_placed(outputs[n].temp), outputs[n]);
    for (int n = 0; n < output_count; ++n) {
        const bool old_file_kept = outputs[n].temp.step == placed::exchanged;
        remove_name(outputs[n].temp);
        if (old_file_kept)
            check_flush(flush_folder(outputs[n].temp.folder), outputs[n]);
    }
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
        if (is_file(outputs[n].target.reached, file) || is_file(outputs[n].temp.fd, file))
            return true;
    return false;
}

bool outputs_released() {
    return output_count == 0 && ctx.output == nullptr;
}
