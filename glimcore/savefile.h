// Atomic replacement of a file that holds the user's work.
//
// save_begin opens a temporary file beside the target; save_commit flushes it
// and renames it over the target. On any failure one message names the target
// and the reason, the temporary file is removed and an earlier file stays whole.
#pragma once

#include <cstdio>

struct save_file {
    FILE *stream;         // the temporary file, open for writing
    const char *target;   // the name the file gets on success
    char temp_name[4096]; // the temporary file beside the target
};

// Opens the temporary file; returns its stream, or nullptr after a message.
FILE *save_begin(save_file *file, const char *target);

// Finishes the file and renames it over the target; 0 on success, -1 after a message.
int save_commit(save_file *file);

// Gives up a file begun with save_begin after a failed write: closes and
// removes the temporary file, and the target stays as it was. Prints nothing;
// the caller says what went wrong.
void save_abandon(save_file *file);
