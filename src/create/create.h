// Create mode: packs component files into an upgrade image.
#pragma once

#include "main/options.h"

#include <cstdint>

// Writes the image named on the command line; exits on failure.
void create_image(const options& opts);
// The device ID of the first key found in the names, tried in this order; 7 when none has one.
uint8_t guess_device_id(const char* rfs_name, const char* kernel_name, const char* uboot_name,
                        const char* app_name, const char* image_name);
