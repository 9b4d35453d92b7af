// Reading the run's input stream through its digest, and the chunked copy built on it.
#pragma once

#include <cstddef>
#include <cstdint>

// Starts the run's digest afresh; of the bytes read from here on, the first `length` are
// digested and the rest only read (an image's trailer is not part of its digest).
void start_digest(uint64_t length);
// Reads size bytes from the input stream into `into` and feeds them to the digest; false
// when the stream ends or fails first. A caught signal ends the run here.
bool read_digested(unsigned char* into, std::size_t size);
// Reads the next chunk, the smaller of left and the transfer buffer's size, into the
// transfer buffer through the digest; returns its size, or 0 when the read fails.
std::size_t read_chunk(uint32_t left);
// Why the last read of the input stream failed: its end, or the system's error text.
const char* read_failure();
// Moves length bytes in chunks of at most 1024 through the transfer buffer,
// digesting each and writing it to the output stream when write is set.
// A length below 1 moves nothing. Reports and exits on a short read or write.
void copy_data(int32_t length, bool write);
