// Firmware revisions: text such as 1.2.3 <-> packed value <-> the bytes stored in records.
#pragma once

#include <cstdint>

// Bits 31-24 major, 23-16 minor byte, 15-8 patch byte (patch of 10 or more), 7-0 zero.
// 0 stands for a revision that was not given.
using packed_revision = uint32_t;

// The revision bytes of a record: major, minor byte and the four auxiliary bytes.
struct revision_bytes {
    uint8_t major;
    uint8_t minor;
    uint8_t aux[4];
};

// Reports and exits on text that is not a revision in range. With a strict origin (the option
// and its argument as given, such as -k 'zImage:1.2.3'), only two or three plain numbers pass
// and the complaint names the origin.
packed_revision parse_revision(const char* text, const char* strict_origin = nullptr);
revision_bytes place_revision(packed_revision revision);
// The text after "major." for a stored minor byte; one static buffer, overwritten per call.
const char* revision_text(uint8_t minor_byte, uint8_t aux);
