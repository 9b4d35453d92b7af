#include "create/create.h"

#include "digest/md5.h"
#include "format/records.h"
#include "format/vocabulary.h"
#include "output/output.h"
#include "run/context.h"
#include "run/report.h"
#include "run/streams.h"
#include "transfer/transfer.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const uint32_t manufacturer_written = 0x0A7E51; // "KTL"
const uint8_t capabilities_written = 0x07;      // SelfTest, AutoRollback, ManualRollback
const uint8_t timeout_units = 60;               // 300 seconds in units of 5

bool given(int component) {
    return ctx.component_names[component][0] != '\0';
}

// The data length field is a signed 32-bit count, so a component must stay below 2 GiB;
// only a regular file has a size that stat can tell in advance.
int32_t component_size(int component) {
    const char* name = ctx.component_names[component];
    struct stat info;
    if (stat(name, &info) != 0)
        fail(1, " Error: stat('%s') failed, %s", shown(name), strerror(errno));
    if (!S_ISREG(info.st_mode))
        fail(1, " Error: %s file '%s' is not a regular file", components[component].name,
             shown(name));
    if (info.st_size > INT32_MAX)
        fail(1, " Error: %s file '%s' is 2 GiB or more, too large for an image",
             components[component].name, shown(name));
    if (is_output_file(info))
        refuse_as_image(components[component].name, name);
    return static_cast<int32_t>(info.st_size);
}

// Everything that can be known before the image is opened, so that a bad command
// line never creates or truncates it.
void check_before_opening(const image_plan& plan) {
    if (plan.image_revision == 0)
        fail(1, " %s: FW revision is necessary in create mode.", ctx.program_name);
    if (!given(uboot_component) && !given(kernel_component) && !given(rfs_component) &&
        !given(app_component))
        fail(1,
             " %s: either U-Boot or Kernel or RFS or APP file shall be specified in create "
             "mode.",
             ctx.program_name);
    look_up_output(ctx.image_name, "HPM image");
    // Readers walk an image with 32-bit positions, so the whole image must stay below 4 GiB.
    uint64_t image_size = image_header_size + action_header_size + trailer_size;
    for (int component = 0; component < component_count; ++component) {
        if (!given(component))
            continue;
        const char* name = ctx.component_names[component];
        if (access(name, R_OK) != 0)
            fail(1, " Error: can't access %s file '%s', %s", components[component].name,
                 shown(name), strerror(errno));
        image_size += action_header_size + upload_body_size +
                      static_cast<uint64_t>(component_size(component));
    }
    if (image_size > UINT32_MAX)
        fail(1, " Error: the components add up to 4 GiB or more, too large for an image");
}

// Reproducible builds (reproducible-builds.org) set SOURCE_DATE_EPOCH so that the same
// inputs give the same image; unset or empty, the image gets the current time (-1 here).
int64_t fixed_build_time() {
    const char* value = std::getenv("SOURCE_DATE_EPOCH");
    if (value == nullptr || *value == '\0')
        return -1;
    // strtoull also takes blanks and a sign first, and gives its largest value on overflow.
    char* end = nullptr;
    const uint64_t seconds = std::strtoull(value, &end, 10);
    if (!std::isdigit(static_cast<unsigned char>(*value)) || *end != '\0' || seconds > UINT32_MAX)
        fail(1, " Error: SOURCE_DATE_EPOCH='%s' is not a number of seconds from 0 to 4294967295",
             shown(value));
    return static_cast<int64_t>(seconds);
}

void write_bytes(const uint8_t* bytes, std::size_t size, const char* what) {
    if (fwrite(bytes, size, 1, ctx.output) != 1)
        fail(1, " Error: fwrite(%s) failed, %s", what, strerror(errno));
}

// Every byte before the trailer passes through the digest on its way into the image.
void write_digested(const uint8_t* bytes, std::size_t size, const char* what) {
    md5_update(ctx.digest, bytes, size);
    write_bytes(bytes, size, what);
}

// The device ID of the first key found in the names, tried in this order; 7 when none has one.
uint8_t guess_device_id(const char* rfs_name, const char* kernel_name, const char* uboot_name,
                        const char* app_name, const char* image_name) {
    for (const char* name : {rfs_name, kernel_name, uboot_name, app_name, image_name})
        for (const device_info& device : devices)
            if (std::strstr(name, device.key) != nullptr)
                return device.id;
    return 7;
}

header_bytes build_header(const image_plan& plan, int64_t fixed_time) {
    image_header header = {};
    std::memcpy(header.signature, image_signature, sizeof header.signature);
    const char* const* names = ctx.component_names;
    header.device_id =
        guess_device_id(names[rfs_component], names[kernel_component], names[uboot_component],
                        names[app_component], ctx.image_name);
    header.manufacturer_id = manufacturer_written;
    header.time = static_cast<uint32_t>(fixed_time >= 0 ? fixed_time : time(nullptr));
    header.capabilities = capabilities_written;
    header.components = plan.components_mask;
    header.self_test_timeout = timeout_units;
    header.rollback_timeout = timeout_units;
    header.inaccessibility_timeout = timeout_units;
    if (plan.earliest_revision == 0)
        report(" Warning: earliest compatibility version is set to 0(unknown).");
    const revision_bytes earliest = place_revision(plan.earliest_revision);
    header.earliest_major = earliest.major;
    header.earliest_minor = earliest.minor;
    const revision_bytes firmware = place_revision(plan.image_revision);
    header.firmware_major = firmware.major;
    header.firmware_minor = firmware.minor;
    std::memcpy(header.aux, firmware.aux, sizeof header.aux);
    header_bytes bytes = serialise_header(header);
    bytes[image_header_size - 1] = header_checksum(bytes);
    return bytes;
}

action_header make_action(uint8_t type, uint8_t mask) {
    return {type, mask, action_checksum(type, mask)};
}

void write_upload_record(int component, packed_revision revision, int32_t size) {
    const action_bytes action =
        serialise_action(make_action(action_upload, static_cast<uint8_t>(1u << component)));
    upload_body body = {};
    const revision_bytes firmware = place_revision(revision);
    body.firmware_major = firmware.major;
    body.firmware_minor = firmware.minor;
    std::memcpy(body.aux, firmware.aux, sizeof body.aux);
    const char* name = ctx.component_names[component];
    std::memcpy(body.description, name, strnlen(name, description_size));
    body.data_length = static_cast<uint32_t>(size);
    const upload_bytes upload = serialise_upload(body);

    uint8_t record[action_header_size + upload_body_size];
    std::memcpy(record, action.data(), action_header_size);
    std::memcpy(record + action_header_size, upload.data(), upload_body_size);
    write_digested(record, sizeof record, components[component].record_tag);
}

// Any write, and any change of the modification time that would hide one, changes the
// status change time, which no user can set.
struct file_state {
    off_t size;
    timespec changed;
};

file_state input_state() {
    struct stat info = {};
    fstat(fileno(ctx.input), &info);
    return {info.st_size, info.st_ctim};
}

bool same_state(const file_state& a, const file_state& b) {
    return a.size == b.size && a.changed.tv_sec == b.changed.tv_sec &&
           a.changed.tv_nsec == b.changed.tv_nsec;
}

// A file rewritten, grown or cut while it is copied would make an image of mixed data
// whose digest is still right; so would a file whose size stat cannot tell (procfs).
void pack_component(int component, packed_revision revision) {
    const char* name = ctx.component_names[component];
    const int32_t size = component_size(component);
    open_input(name);
    struct stat opened = {};
    if (fstat(fileno(ctx.input), &opened) == 0 && is_output_file(opened))
        refuse_as_image(components[component].name, name);
    const file_state before = input_state();
    write_upload_record(component, revision, size);
    copy_data(size, true);
    if (before.size != size || fgetc(ctx.input) != EOF || !same_state(before, input_state()))
        fail(1, " Error: %s file '%s' changed while it was read", components[component].name,
             shown(name));
    close_slot(ctx.input);
}

} // namespace

void create_image(const image_plan& plan) {
    check_before_opening(plan);
    const int64_t fixed_time = fixed_build_time();
    open_output(ctx.image_name);
    start_digest(UINT64_MAX);

    const header_bytes header = build_header(plan, fixed_time);
    write_digested(header.data(), header.size(), "header");
    const action_bytes prepare =
        serialise_action(make_action(action_prepare, plan.components_mask));
    write_digested(prepare.data(), prepare.size(), "comp.prepare");
    for (int component = 0; component < component_count; ++component)
        if (given(component))
            pack_component(component, plan.component_revisions[component]);

    uint8_t digest[md5_digest_size];
    md5_final(ctx.digest, digest);
    write_bytes(digest, sizeof digest, "checksum");
    close_output(true);
}
