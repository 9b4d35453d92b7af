// The upgrade actions of an image, walked from after its header to its MD5 trailer.
#pragma once

#include <cstdint>

// What a walk found: the components it wrote, and how many of its checks failed (an action
// checksum that reads Error, an action or Upload header dropped).
struct walk_result {
    uint8_t written;
    int failed;
};

// Prints every action from position pos (where the input stream stands) up to end, the
// trailer's offset, and reads through each Upload action's data, or, when extract is set,
// writes it to the file named for its component; with `hold` the files wait, complete, to be
// put in place (commit_outputs) until the image is known to be sound, and their "Save
// Component to" lines wait for the caller to print them once they are.
walk_result walk_actions(uint32_t pos, uint32_t end, bool extract, bool hold);
// Prints the "Save Component to" line of each component of the mask, in the components' order.
void report_saved(uint8_t mask);
// The mask of the components named on the command line that are not among those written.
uint8_t named_unwritten(uint8_t written);
