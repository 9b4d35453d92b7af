#include "format/vocabulary.h"

const component_info components[4] = {
    {"U-Boot", "comp.uboot"},
    {"Kernel", "comp.kernel"},
    {"RFS", "comp.rfs"},
    {"APP", "comp.app"},
};

const device_info devices[6] = {
    {"varn1900", 21, "Varn-1900"}, {"varn800", 7, "Varn-800"}, {"tesk800", 8, "Tesk-800"},
    {"varn600e", 6, "Varn-600XE"}, {"varn600", 5, "Varn-600"}, {"varn400", 3, "Varn-400"},
};

const char* device_name(uint8_t device_id) {
    for (const device_info& device : devices)
        if (device.id == device_id)
            return device.name;
    return "Unknown";
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
