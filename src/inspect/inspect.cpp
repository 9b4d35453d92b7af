#include "inspect/inspect.h"

#include "digest/md5.h"
#include "format/records.h"
#include "format/revision.h"
#include "format/vocabulary.h"
#include "inspect/walk.h"
#include "output/output.h"
#include "run/context.h"
#include "run/report.h"
#include "run/streams.h"
#include "transfer/transfer.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sys/stat.h>

namespace {

// The size comes from the opened file, so that it and the bytes read belong to one file even
// when the name is given to another meanwhile. Only a regular file has a size to walk to.
// The walk counts positions in 32 bits, so the image must stay below 4 GiB.
uint32_t open_image() {
    struct stat info;
    if (stat(ctx.image_name, &info) != 0)
        fail(1, " Error: stat('%s') failed, %s", shown(ctx.image_name), strerror(errno));
    if (S_ISREG(info.st_mode))
        open_input(ctx.image_name);
    if (!S_ISREG(info.st_mode) || fstat(fileno(ctx.input), &info) != 0 || !S_ISREG(info.st_mode))
        fail(1, " Error: HPM image file '%s' is not a regular file", shown(ctx.image_name));
    if (info.st_size < static_cast<off_t>(image_header_size))
        fail(1, " Error: HPM image is too short.");
    if (info.st_size > static_cast<off_t>(UINT32_MAX))
        fail(1, " Error: HPM image is too large (4 GiB or more).");
    return static_cast<uint32_t>(info.st_size);
}

// Every byte read from the image before its trailer goes through the digest, so that the
// trailer check needs to digest only what the walk left unread.
header_bytes read_header(uint32_t size) {
    header_bytes bytes;
    start_digest(size - trailer_size);
    if (!read_digested(bytes.data(), bytes.size()))
        fail(1, " Error: fread(header) failed, %s", read_failure());
    return bytes;
}

void check_signature(const image_header& header) {
    if (std::memcmp(header.signature, image_signature, sizeof image_signature) != 0 ||
        header.format_version != 0)
        fail(1, " Error: invalid HPM image header.");
}

void dump_fields(const image_header& header) {
    // The 32-bit time is unsigned: dates run to 2106, not to 2038.
    const time_t built = static_cast<time_t>(header.time);
    const char* date = ctime(&built);
    report(" HPM.1 Image Format = %d", header.format_version);
    report(" Target Device ID   = 0x%02X (%s)", header.device_id, device_name(header.device_id));
    report(" Manufacturer ID    = 0x%06X (%s)", header.manufacturer_id,
           manufacturer_name(header.manufacturer_id));
    report(" Product ID         = 0x%04X", static_cast<unsigned>(header.product_id));
    report(" Build Date         = %s Image Capabilities = 0x%02X (%s%s%s%s )",
           date != nullptr ? date : "?\n", header.capabilities,
           capability_text(header.capabilities, 3), capability_text(header.capabilities, 2),
           capability_text(header.capabilities, 1), capability_text(header.capabilities, 0));
    report(" Components Mask    = 0x%02X %s", header.components, mask_text(header.components));
    report(" Self Test Timeout  = %d seconds", header.self_test_timeout * 5);
    report(" Rollback Timeout   = %d seconds", header.rollback_timeout * 5);
    report(" No Access Timeout  = %d seconds", header.inaccessibility_timeout * 5);
    report(" Earliest CompatRev = %d.%s", header.earliest_major,
           revision_text(header.earliest_minor, 0));
    report(" Image FW Revision  = %d.%s", header.firmware_major,
           revision_text(header.firmware_minor, header.aux[3]));
    report(" Image AUX Revision = 0x%02X 0x%02X 0x%02X 0x%02X", header.aux[0], header.aux[1],
           header.aux[2], header.aux[3]);
    report(" OEM Data Length    = %d", header.oem_length);
}

// With OEM data the header checksum follows the OEM bytes and covers them too. The
// first OEM byte is the last of the 35 bytes read; the rest are read through. The
// checksum of a whole is the 8-bit sum of its parts' checksums. Only a mismatch is
// printed, as a warning. Returns whether the checksum matched.
bool pass_oem_data(const header_bytes& bytes, uint16_t oem_length, uint32_t size) {
    if (size < oem_length + image_header_size)
        fail(1, " Error: invalid HPM image header with OEM data.");
    uint8_t expected = zero_sum(bytes.data(), bytes.size());
    for (uint32_t left = oem_length - 1u; left > 0;) {
        const std::size_t chunk = read_chunk(left);
        if (chunk == 0)
            fail(1, " Error: failed to read checksum after OEM area.");
        expected = static_cast<uint8_t>(expected + zero_sum(ctx.transfer_buffer, chunk));
        left -= static_cast<uint32_t>(chunk);
    }
    uint8_t stored = 0;
    if (!read_digested(&stored, 1))
        fail(1, " Error: failed to read checksum after OEM area.");
    if (stored != expected)
        report(" Warning: header checksum after OEM data is 0x%02X, expected 0x%02X.", stored,
               expected);
    return stored == expected;
}

// Outputs that would mix the tool's lines into a file, overwrite the image, or write two
// components into one, are refused before anything is written.
void look_up_outputs() {
    for (int component = 0; component < component_count; ++component) {
        if (ctx.component_names[component][0] == '\0')
            continue;
        look_up_output(ctx.component_names[component], components[component].name);
        refuse_image_output();
    }
}

// A named component that no action wrote is an error, as a named member missing from an
// archive is: its file is absent or stale.
void check_delivered(uint8_t written) {
    const uint8_t missing = named_unwritten(written);
    for (int component = 0; component < component_count; ++component)
        if ((missing >> component & 1) != 0)
            report(" Error: the image holds no %s to write to '%s'", components[component].name,
                   shown(ctx.component_names[component]));
    if (missing != 0)
        leave(1);
}

// The walk digested every byte it read before the trailer, and stopped fewer than 31 bytes
// short of it, or past its start (images of 35 to 50 bytes, data that ends inside it).
// Returns whether the trailer matched.
bool check_trailer(uint32_t end) {
    const off_t at = ftello(ctx.input);
    if (at < 0 || (at > off_t{end} && fseeko(ctx.input, off_t{end}, SEEK_SET) != 0))
        fail(1, " Error: fseek('%s') failed, %s", shown(ctx.image_name), strerror(errno));
    if (at < off_t{end})
        copy_data(static_cast<int32_t>(end - at), false);
    if (fread(ctx.transfer_buffer, md5_digest_size, 1, ctx.input) != 1)
        fail(1, " Error: failed to read MD5 checksum from '%s', %s.", shown(ctx.image_name),
             read_failure());
    unsigned char digest[md5_digest_size];
    md5_final(ctx.digest, digest);
    const bool sound = std::memcmp(digest, ctx.transfer_buffer, md5_digest_size) == 0;
    report(" MD5 Checksum       = %s", verdict(sound));
    return sound;
}

} // namespace

void inspect_image(bool dump_header, bool extract, bool strict) {
    const uint32_t size = open_image();
    if (extract)
        look_up_outputs();
    const header_bytes bytes = read_header(size);
    const image_header header = parse_header(bytes);
    check_signature(header);
    if (dump_header)
        dump_fields(header);

    uint32_t walk_start = image_header_size;
    bool header_sound = header.checksum == header_checksum(bytes);
    if (header.oem_length != 0) {
        header_sound = pass_oem_data(bytes, header.oem_length, size);
        walk_start += header.oem_length;
    } else {
        report(" Header Checksum    = 0x%02X (%s)", header.checksum, verdict(header_sound));
    }
    const uint32_t end = size - static_cast<uint32_t>(trailer_size);
    const walk_result walk = walk_actions(walk_start, end, extract, strict);
    const int failed = (header_sound ? 0 : 1) + walk.failed + (check_trailer(end) ? 0 : 1);
    if (strict && failed > 0)
        fail(1, " Error: the image is damaged: %d %s failed", failed,
             failed == 1 ? "check" : "checks");
    if (extract)
        check_delivered(walk.written);
    if (strict && extract) {
        commit_outputs(true);
        report_saved(walk.written); // the files are named only once all are in place
    }
}
