#include "format/revision.h"

#include "run/context.h"
#include "run/report.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

// The minor byte holds two 4-bit "BCD plus" digits.
const char bcd_plus[] = "0123456789 -.:,_";

enum class scan { number, mismatch, end_of_input };

// One "%u" conversion as the C library's scanf does it: blanks skipped, an
// optional sign, decimal digits. Values past 32 bits saturate and negative
// values wrap, so both fall outside every range we accept on any platform.
scan scan_unsigned(const char*& text, uint32_t& value) {
    while (std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    if (*text == '\0')
        return scan::end_of_input;
    bool negative = *text == '-';
    const char* digits = (*text == '-' || *text == '+') ? text + 1 : text;
    if (!std::isdigit(static_cast<unsigned char>(*digits)))
        return scan::mismatch;
    uint64_t number = 0;
    for (; std::isdigit(static_cast<unsigned char>(*digits)); ++digits) {
        number = number * 10 + static_cast<uint64_t>(*digits - '0');
        if (number > UINT32_MAX)
            number = static_cast<uint64_t>(UINT32_MAX) + 1;
    }
    text = digits;
    if (number > UINT32_MAX)
        value = UINT32_MAX;
    else
        value = negative ? 0u - static_cast<uint32_t>(number) : static_cast<uint32_t>(number);
    return scan::number;
}

// Scans "%u.%u.%u"; returns the fields converted, or -1 when the text ends
// before the first one.
int scan_revision(const char* text, uint32_t (&fields)[3]) {
    int converted = 0;
    for (uint32_t& field : fields) {
        if (converted > 0 && *text++ != '.')
            break;
        const scan result = scan_unsigned(text, field);
        if (result == scan::end_of_input && converted == 0)
            return -1;
        if (result != scan::number)
            break;
        ++converted;
    }
    return converted;
}

// Strict mode's reading of the fields the scan converted: each is plain decimal digits (no
// blank, no sign) after the period the scan found before it, and nothing follows the last.
bool plain_revision(const char* text, int fields) {
    for (int field = 0; field < fields; ++field) {
        text += field > 0 ? 1 : 0; // the period
        if (!std::isdigit(static_cast<unsigned char>(*text)))
            return false;
        while (std::isdigit(static_cast<unsigned char>(*text)))
            ++text;
    }
    return *text == '\0';
}

// Strict mode names the option and its argument before the complaint.
void refuse(const char* origin, const char* complaint, const char* detail = "") {
    if (origin == nullptr)
        fail(1, " %s: %s", ctx.program_name, complaint);
    fail(1, " %s: %s: %s%s", ctx.program_name, origin, complaint, detail);
}

} // namespace

packed_revision parse_revision(const char* text, const char* strict_origin) {
    uint32_t fields[3] = {0, 0, 0};
    int converted = scan_revision(text, fields);
    if (converted < 0)
        refuse(strict_origin, "invalid FW revision, expected something like 1.2.3");
    if (converted < 2)
        refuse(strict_origin, "FW revision is too short, expected something like 1.2.3");
    if (strict_origin != nullptr && !plain_revision(text, converted))
        refuse(strict_origin, "FW revision has text before or after its numbers, expected "
                              "something like 1.2.3");
    uint32_t major = fields[0], minor = fields[1], patch = fields[2];
    if (major > 128 || minor > 10 || patch > 255)
        refuse(strict_origin, "FW revision is out of supported BCD+ range",
               " (major 0 to 128, minor 0 to 10, patch 0 to 255)");
    if (patch <= 9) // also where two fields leave the patch 0
        return major << 24 | minor << 20 | patch << 16;
    return major << 24 | minor << 16 | patch << 8;
}

revision_bytes place_revision(packed_revision revision) {
    revision_bytes bytes = {};
    bytes.major = static_cast<uint8_t>(revision >> 24);
    bytes.minor = static_cast<uint8_t>(revision >> 16);
    bytes.aux[2] = static_cast<uint8_t>(revision);
    bytes.aux[3] = static_cast<uint8_t>(revision >> 8);
    return bytes;
}

const char* revision_text(uint8_t minor_byte, uint8_t aux) {
    static char text[6];
    std::memset(text, 0, sizeof text);
    char high = bcd_plus[minor_byte >> 4];
    char low = bcd_plus[minor_byte & 15];
    if (aux != 0 && high == '0')
        std::snprintf(text, sizeof text, "%c.%d", low, aux);
    else
        std::snprintf(text, sizeof text, "%c.%c", high, low);
    return text;
}
