// Chunked copy of data from the run's input stream through its digest.
#pragma once

#include <cstdint>
#include <cstdio>

// fopen with a stdio buffer far larger than the file system's block size, which
// saves most of the read and write system calls on large components. Mode "rb"
// is meant for the input stream, "wb" for the output stream; each has its own buffer.
FILE* open_stream(const char* name, const char* mode);

// Moves length bytes in chunks of at most 1024 through the transfer buffer,
// digesting each and writing it to the output stream when write is set.
// A length below 1 moves nothing. Reports and exits on a short read or write.
void copy_data(int32_t length, bool write);
// Whether two names lead to the same existing file.
bool same_file(const char* first, const char* second);
// Closes the output stream of a finished file. Buffered data reaches the file only
// now, so a failed close is reported (naming the file) and exits.
void close_output(const char* name);
