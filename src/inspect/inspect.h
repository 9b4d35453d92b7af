// Test and extract modes: checks and dumps an upgrade image, writes its components.
#pragma once

// Returns after cleanup; exits on failure.
void inspect_image(bool dump_header, bool extract);
