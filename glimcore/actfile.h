// The activation file: one activation vector of NETSIZE units as text, in the
// form of an initialised int array definition.
#pragma once

#include "loadresult.h"
#include "netsize.h"

// How act_save breaks the lines of the values.
enum act_layout {
    ACT_LAYOUT_ROWS,       // after every 16 values: one line per pattern row
    ACT_LAYOUT_CHARACTERS, // once more than 70 characters stand on the line
};

// The layout act_save writes; each program that saves activation files sets it
// once at start (rows unless set).
extern act_layout act_file_layout;

// Writes act to name in act_file_layout, replacing it atomically.
// 0 on success; -1 after a message on stderr naming the file and the reason.
int act_save(const int *act, const char *name);

// Reads name into act unit by unit. A failure is reported as a reader
// message (messages.h: on stdout, or where the program sends them) and
// leaves the units read so far in place and the rest as they were.
load_result act_load(int *act, const char *name);

// Prints act as an activation grid: the title, then 16 lines of 16 values.
void act_print(const int *act, const char *title);
