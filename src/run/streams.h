// Opening the run's streams: a failure to open is reported with the name and ends the run.
#pragma once

#include <cstdio>

// Opens the named file as the input stream, or reports and exits.
void open_input(const char* name);
// Puts a stream opened for the named file in its slot with its buffer, or reports the
// failure to open it (errno) and exits.
void attach_stream(FILE*& slot, FILE* stream, const char* name, const char* use, char* buffer);
[[noreturn]] void open_failed(const char* name, const char* use, int error);
