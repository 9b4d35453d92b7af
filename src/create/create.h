// Create mode: packs component files into an upgrade image.
#pragma once

#include "main/options.h"

// Writes the image named on the command line; exits on failure.
void create_image(const options& opts);
