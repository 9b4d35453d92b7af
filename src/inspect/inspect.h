// Test and extract modes: checks and dumps an upgrade image's header, then walks it.
#pragma once

// Prints the header fields when dump_header is set and writes Upload data to the named
// component files when extract is set. Exits on failure. With `strict`, a damaged image (a
// check that reads Error, a part dropped) ends the run with status 1, and extracted files are
// put in place only once the image is known to be sound: all of them, or none.
void inspect_image(bool dump_header, bool extract, bool strict);
