// The names the dump prints for field values, and the tool's four components.
#pragma once

#include <cstdint>

struct component_info {
    const char* name;       // as in messages: "U-Boot", "Kernel", "RFS", "APP"
    const char* record_tag; // as in write-failure messages: "comp.uboot", ...
};

// Indexed by component number; component n is bit n of every components mask.
extern const component_info components[4];

const char* device_name(uint8_t device_id);
const char* manufacturer_name(uint32_t manufacturer_id);
const char* action_type_name(uint8_t type);
// " SelfTest" and friends for capability bit 0 to 3; "" when the bit is clear.
const char* capability_text(uint8_t capabilities, int bit);
// The bits set in a components mask, as "( 0 4 7 )", or "( )"; one static buffer,
// overwritten per call.
const char* mask_text(uint8_t mask);
// "OK" when a stored checksum or digest matches the computed one, "Error" when not.
const char* verdict(bool matches);
