// The life of the run's outputs, from their opening to their final names. The folder a new
// file goes into is held from the moment the output is opened, so that no rename on its
// path, nor a link put in a folder's place, can send the output anywhere else; and what the
// name reaches is looked at once, through a descriptor.
#pragma once

// Opens the named output as the run's output stream (ctx.output), or reports and exits;
// `what` names it in messages ("Kernel" file, "HPM image" file). An output that is the input
// being read, or another output of the run, is refused before anything is made (standard
// output is refused by name earlier, before anything is printed). Stopping signals stop the
// run from here until every output is in place.
void open_output(const char* name, const char* what);
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
bool is_output_file(int fd);
// Whether no output is open or waiting, and nothing of one is left to remove.
bool outputs_released();
