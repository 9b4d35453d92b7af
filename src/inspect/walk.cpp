#include "inspect/walk.h"

#include "digest/md5.h"
#include "format/records.h"
#include "format/revision.h"
#include "format/vocabulary.h"
#include "output/output.h"
#include "run/context.h"
#include "run/report.h"
#include "transfer/transfer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

const char separator[] = " --------------------";

void print_action(const action_header& action) {
    const uint8_t mask = action.components;
    report(0, " Upgrade Action     = %d (%s)", action.type, action_type_name(action.type));
    report(0, " Action Components  = 0x%02X (%s%s%s%s%s%s%s%s )", mask, mask_bit_text(mask, 0),
           mask_bit_text(mask, 1), mask_bit_text(mask, 2), mask_bit_text(mask, 3),
           mask_bit_text(mask, 4), mask_bit_text(mask, 5), mask_bit_text(mask, 6),
           mask_bit_text(mask, 7));
    report(0, " Action Checksum    = 0x%02X (%s)", action.checksum,
           verdict(action.checksum == action_checksum(action.type, action.components)));
}

// The description is escaped as file names are: an image must not add lines to the dump or
// drive a terminal, and the dump stays valid UTF-8 whatever the 21-byte field holds or cuts.
void print_upload(const upload_body& body) {
    report(0, " Action FW Revision = %d.%s", body.firmware_major,
           revision_text(body.firmware_minor, body.aux[3]));
    report(0, " Action AUX Revision= 0x%02X 0x%02X 0x%02X 0x%02X", body.aux[0], body.aux[1],
           body.aux[2], body.aux[3]);
    report(0, " Action Description = %s", shown(body.description, description_size));
    report(0, " Action Data Length = %d", static_cast<int32_t>(body.data_length));
}

// The first component of the action's mask whose file was named on the command line.
int chosen_component(uint8_t mask) {
    for (int component = 0; component < component_count; ++component)
        if ((mask >> component & 1) != 0 && ctx.component_names[component][0] != '\0')
            return component;
    return -1;
}

// Data that runs past the end of the image is only read through, so that the read
// error ends the run without leaving a cut-off component file behind. Returns the mask of
// the components written, this one's bit added if it was chosen.
uint8_t extract_data(uint8_t mask, uint32_t data_start, int32_t length, uint32_t image_size,
                     uint8_t written) {
    const int component = chosen_component(mask);
    if (component < 0 || uint64_t{data_start} + static_cast<uint64_t>(length) > image_size) {
        copy_data(length, false);
        return written;
    }
    const char* name = ctx.component_names[component];
    open_output(name, components[component].name);
    report(0, " Save Component to  = %s", shown(name));
    copy_data(length, true);
    written = static_cast<uint8_t>(written | 1u << component);
    close_output(named_unwritten(written) == 0);
    return written;
}

// The body and data of an Upload action; false when the body does not fit before the trailer.
bool walk_upload(uint8_t components, uint32_t& pos, uint32_t end, bool extract, uint8_t& written) {
    if (end - pos < upload_body_size) {
        report(0, " Warning: dropping invalid upload action header.");
        return false;
    }
    upload_bytes raw;
    if (!read_digested(raw.data(), raw.size()))
        report(1, " Error: failed to read 31 bytes of action header.");
    pos += upload_body_size;
    const upload_body body = parse_upload(raw);
    print_upload(body);
    // No writer can produce such a length: the signed count would be negative.
    if (body.data_length > INT32_MAX)
        report(1, " Error: upload data length %u is 2 GiB or more, the image is damaged.",
               body.data_length);
    const int32_t length = static_cast<int32_t>(body.data_length);
    const uint32_t image_size = end + static_cast<uint32_t>(trailer_size);
    if (extract)
        written = extract_data(components, pos, length, image_size, written);
    else
        copy_data(length, false);
    pos += body.data_length;
    return true;
}

} // namespace

uint8_t named_unwritten(uint8_t written) {
    unsigned missing = 0;
    for (int component = 0; component < component_count; ++component)
        if (ctx.component_names[component][0] != '\0' && (written >> component & 1) == 0)
            missing |= 1u << component;
    return static_cast<uint8_t>(missing);
}

uint8_t walk_actions(uint32_t pos, uint32_t end, bool extract) {
    uint8_t written = 0;
    while (pos < end) {
        if (end - pos < action_header_size) {
            report(0, " Warning: dropping invalid action header.");
            break;
        }
        report(0, separator);
        action_bytes raw;
        if (!read_digested(raw.data(), raw.size()))
            report(1, " Error: failed to read 3 bytes of action header.");
        pos += action_header_size;
        const action_header action = parse_action(raw);
        print_action(action);
        if (action.type == action_upload &&
            !walk_upload(action.components, pos, end, extract, written))
            break;
    }
    report(0, separator);
    return written;
}

// The walk digested every byte it read before the trailer, and stopped fewer than 31 bytes
// short of it, or past its start (images of 35 to 50 bytes, data that ends inside it).
void check_trailer(uint32_t end) {
    const off_t at = ftello(ctx.input);
    if (at < 0 || (at > off_t{end} && fseeko(ctx.input, off_t{end}, SEEK_SET) != 0))
        report(1, " Error: fseek('%s') failed, %s", shown(ctx.image_name), strerror(errno));
    if (at < off_t{end})
        copy_data(static_cast<int32_t>(end - at), false);
    if (fread(ctx.transfer_buffer, md5_digest_size, 1, ctx.input) != 1)
        report(1, " Error: failed to read MD5 checksum from '%s', %s.", shown(ctx.image_name),
               read_failure());
    unsigned char digest[md5_digest_size];
    md5_final(ctx.digest, digest);
    report(0, " MD5 Checksum       = %s",
           verdict(std::memcmp(digest, ctx.transfer_buffer, md5_digest_size) == 0));
}
