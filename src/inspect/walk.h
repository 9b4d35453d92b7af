// The upgrade actions of an image, walked from after its header to its MD5 trailer.
#pragma once

#include <cstdint>

// Prints every action from position pos (where the input stream stands) up to end, the
// trailer's offset, and reads through each Upload action's data, or, when extract is
// set, writes it to the file named for its component and returns the mask of the
// components written.
uint8_t walk_actions(uint32_t pos, uint32_t end, bool extract);
// The mask of the components named on the command line that are not among those written.
uint8_t named_unwritten(uint8_t written);
