// Chunked copy of data from the run's input stream through its digest.
#pragma once

#include <cstdint>

// Moves length bytes in chunks of at most 1024 through the transfer buffer,
// digesting each and writing it to the output stream when write is set.
// A length below 1 moves nothing. Reports and exits on a short read or write.
void copy_data(int32_t length, bool write);
