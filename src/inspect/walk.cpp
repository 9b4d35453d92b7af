#include "inspect/walk.h"

#include "format/records.h"
#include "format/revision.h"
#include "format/vocabulary.h"
#include "output/output.h"
#include "run/context.h"
#include "run/report.h"
#include "transfer/transfer.h"

#include <cstddef>

namespace {

const char separator[] = " --------------------";

// Where the walk stands: pos is where the input stream stands, end the trailer's offset.
struct walk_state {
    uint32_t pos;
    uint32_t end;
    bool extract;    // Upload data goes to the named component files
    bool hold;       // and waits there until the image is known to be sound
    uint8_t written; // the mask of the components written so far
    int failed;      // the checks failed so far
};

void print_action(walk_state& walk, const action_header& action) {
    const bool sound = action.checksum == action_checksum(action.type, action.components);
    walk.failed += sound ? 0 : 1;
    report(" Upgrade Action     = %d (%s)", action.type, action_type_name(action.type));
    report(" Action Components  = 0x%02X %s", action.components, mask_text(action.components));
    report(" Action Checksum    = 0x%02X (%s)", action.checksum, verdict(sound));
}

// The description is escaped as file names are: an image must not add lines to the dump or
// drive a terminal, and the dump stays valid UTF-8 whatever the 21-byte field holds or cuts.
void print_upload(const upload_body& body) {
    report(" Action FW Revision = %d.%s", body.firmware_major,
           revision_text(body.firmware_minor, body.aux[3]));
    report(" Action AUX Revision= 0x%02X 0x%02X 0x%02X 0x%02X", body.aux[0], body.aux[1],
           body.aux[2], body.aux[3]);
    report(" Action Description = %s", shown(body.description, description_size));
    report(" Action Data Length = %d", static_cast<int32_t>(body.data_length));
}

// Whether a record of size bytes fits before the trailer; warns when not, and the walk stops.
bool fits(walk_state& walk, std::size_t size, const char* record) {
    if (walk.end - walk.pos >= size)
        return true;
    ++walk.failed;
    report(" Warning: dropping invalid %s.", record);
    return false;
}

void read_record(walk_state& walk, uint8_t* into, std::size_t size) {
    if (!read_digested(into, size))
        fail(1, " Error: failed to read %zu bytes of action header.", size);
    walk.pos += static_cast<uint32_t>(size);
}

// The first component of the action's mask whose file was named on the command line.
int chosen_component(uint8_t mask) {
    for (int component = 0; component < component_count; ++component)
        if ((mask >> component & 1) != 0 && ctx.component_names[component][0] != '\0')
            return component;
    return -1;
}

// Writes the data to the file named for the action's component, if one was named.
void extract_data(walk_state& walk, uint8_t mask, int32_t length) {
    const int component = chosen_component(mask);
    if (component < 0) {
        copy_data(length, false);
        return;
    }
    const char* name = ctx.component_names[component];
    open_output(name);
    if (!walk.hold)
        report_saved(static_cast<uint8_t>(1u << component));
    copy_data(length, true);
    walk.written = static_cast<uint8_t>(walk.written | 1u << component);
    if (walk.hold)
        finish_output();
    else
        close_output(named_unwritten(walk.written) == 0);
}

// The body and data of an Upload action; false when the body does not fit before the trailer.
// Data that runs past the end of the image is only read through, so that the read error ends
// the run without leaving a cut-off component file behind.
bool walk_upload(walk_state& walk, uint8_t components) {
    if (!fits(walk, upload_body_size, "upload action header"))
        return false;
    upload_bytes raw;
    read_record(walk, raw.data(), raw.size());
    const upload_body body = parse_upload(raw);
    print_upload(body);
    // No writer can produce such a length: the signed count would be negative.
    if (body.data_length > INT32_MAX)
        fail(1, " Error: upload data length %u is 2 GiB or more, the image is damaged.",
             body.data_length);
    const int32_t length = static_cast<int32_t>(body.data_length);
    const bool inside = body.data_length <= walk.end + trailer_size - walk.pos;
    if (walk.extract && inside)
        extract_data(walk, components, length);
    else
        copy_data(length, false);
    walk.pos += body.data_length;
    return true;
}

} // namespace

void report_saved(uint8_t mask) {
    for (int component = 0; component < component_count; ++component)
        if ((mask >> component & 1) != 0)
            report(" Save Component to  = %s", shown(ctx.component_names[component]));
}

uint8_t named_unwritten(uint8_t written) {
    unsigned missing = 0;
    for (int component = 0; component < component_count; ++component)
        if (ctx.component_names[component][0] != '\0' && (written >> component & 1) == 0)
            missing |= 1u << component;
    return static_cast<uint8_t>(missing);
}

walk_result walk_actions(uint32_t pos, uint32_t end, bool extract, bool hold) {
    walk_state walk = {pos, end, extract, hold, 0, 0};
    while (walk.pos < walk.end && fits(walk, action_header_size, "action header")) {
        report(separator);
        action_bytes raw;
        read_record(walk, raw.data(), raw.size());
        const action_header action = parse_action(raw);
        print_action(walk, action);
        if (action.type == action_upload && !walk_upload(walk, action.components))
            break;
    }
    report(separator);
    return {walk.written, walk.failed};
}
