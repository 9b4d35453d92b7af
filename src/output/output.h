// The life of the run's outputs, from their names to their final places. Each name is looked
// at once, before anything is printed or written: the folder a new file goes into is held
// from then on, so that no rename on its path, nor a link put in a folder's place, can send
// the output anywhere else, and what the name reaches is held as a descriptor, to which
// every later check and step refers.
#pragma once

#include <sys/stat.h>

// Looks up where the named output goes, once, before anything is printed or written: the
// folder a new file goes into and what the name reaches are held from here until the run
// ends. Standard output, and what an output looked up before writes to or replaces, are
// refused; `what` names the output in messages ("Kernel" file, "HPM image" file).
void look_up_output(const char* name, const char* what);
// Refuses an output looked up that is the image open as the input, the files compared.
void refuse_image_output();
// " Error: <what> file '<name>' is the image file itself", and the run ends.
[[noreturn]] void refuse_as_image(const char* what, const char* name);
// Opens the output looked up under this name (the same pointer) as the run's output stream
// (ctx.output), or reports and exits. Stopping signals stop the run from here until every
// output is in place. An output that waits is replaced: the later data is what the run
// delivers.
void open_output(const char* name);
// Starts writing the output's data to the disk while more comes, so that the flush before
// its name waits for little.
void start_writeback();
// Closes the output's stream, reporting a failed close (buffered data reaches the file only
// now), and gives a new file what it keeps of the file it replaces; the output then waits,
// complete, to be put in place.
void finish_output();
// Puts every finished output in its target's place, in the order they were opened; a
// stopping signal caught before then ends the run without any. `last`: every output of the
// run is in place once these are.
void commit_outputs(bool last);
// Finishes the output and puts it in place at once.
void close_output(bool last);
// Whether the open file is one that an output of the run writes to or will replace.
bool is_output_file(const struct stat& file);
// Whether no output is open or waiting, and nothing of one is left to remove.
bool outputs_released();
