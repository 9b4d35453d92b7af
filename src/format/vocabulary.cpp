#include "format/vocabulary.h"

const component_info components[4] = {
    {"U-Boot", "comp.uboot"},
    {"Kernel", "comp.kernel"},
    {"RFS", "comp.rfs"},
    {"APP", "comp.app"},
};

const char* device_name(uint8_t device_id) {
    switch (device_id) {
    case 21:
        return "Varn-1900";
    case 7:
        return "Varn-800";
    case 8:
        return "Tesk-800";
    case 6:
        return "Varn-600XE";
    case 5:
        return "Varn-600";
    case 3:
        return "Varn-400";
    default:
        return "Unknown";
    }
}

const char* manufacturer_name(uint32_t manufacturer_id) {
    switch (manufacturer_id) {
    case 0x00315A:
        return "PICMG";
    case 0x0A7E51:
        return "KTL";
    case 0x006F2A:
        return "NSN";
    case 0x00002A:
        return "SUN";
    default:
        return "Unknown";
    }
}

const char* action_type_name(uint8_t type) {
    switch (type) {
    case 0:
        return "Backup";
    case 1:
        return "Prepare";
    case 2:
        return "Upload";
    default:
        return "Reserved";
    }
}

const char* capability_text(uint8_t capabilities, int bit) {
    static const char* const texts[4] = {" SelfTest", " AutoRollback", " ManualRollback",
                                         " PayloadAffected"};
    return (capabilities >> bit & 1) ? texts[bit] : "";
}

const char* mask_text(uint8_t mask) {
    static char text[20];
    char* at = text;
    *at++ = '(';
    for (int bit = 0; bit < 8; ++bit)
        if ((mask >> bit & 1) != 0) {
            *at++ = ' ';
            *at++ = static_cast<char>('0' + bit);
        }
    *at++ = ' ';
    *at++ = ')';
    *at = '\0';
    return text;
}

const char* verdict(bool matches) {
    return matches ? "OK" : "Error";
}
