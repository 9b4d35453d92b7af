// Create mode: packs component files into an upgrade image.
#pragma once

#include "main/options.h"

#include <cstdint>

// Writes the image named on the command line; returns after cleanup, exits on failure.
void create_image(const options& opts);
