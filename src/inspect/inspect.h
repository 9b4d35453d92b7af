// Test and extract modes: checks and dumps an upgrade image's header, then walks it.
#pragma once

// Prints the header fields when dump_header is set and writes Upload data to the named
// component files when extract is set. Exits on failure.
void inspect_image(bool dump_header, bool extract);
