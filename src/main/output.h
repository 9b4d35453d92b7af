// The life of the run's output file, from its opening to its final name. The folder a new
// file goes into is held from the moment the output is opened, so that no rename on its
// path, nor a link put in a folder's place, can send the output anywhere else.
#pragma once

// Opens the named file as the run's output stream (ctx.output), or reports and exits. A
// regular file, or a name that reaches none yet, gets a new file in the folder its links
// end in, which takes the name only when complete; anything else (a pipe, a device, a
// regular file no name reaches) is written in place. Stopping signals stop the run while
// an output is open.
void open_output(const char* name);
// Closes a finished output, reporting a failed close (buffered data reaches the file only
// now), and puts a new file in its target's place with what the owner set on the file it
// replaces; a stopping signal caught before then ends the run without it. `last`: every
// output the run writes is in place once this one is.
void close_output(const char* name, bool last);
// Removes the output being written, if it has a name yet, with async-signal-safe calls
// alone: all that a signal handler does about files before the process ends.
void discard_output();
// Closes the output unchecked and removes it if unfinished: the way out after an error.
void abandon_output();
// Whether two names lead to one regular file (links followed, hard links and descriptors
// of a deleted file alike), or to one name not yet taken in one folder; names that lead to
// a device, a pipe or the like never count as one.
bool same_file(const char* first, const char* second);
// Whether the name leads to the regular file or pipe that standard output writes to.
bool is_standard_output(const char* name);
