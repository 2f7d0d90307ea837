// The activation file: one activation vector of NETSIZE units as text, in the
// form of an initialised int array definition.
#pragma once

#include "net.h"

// Writes act to name, replacing it atomically. The verbose core (net_verbose
// 1) breaks lines by characters written, the quiet core after every 16 values.
// 0 on success; -1 after a message on stderr naming the file and the reason.
int act_save(const int *act, const char *name);

// Reads name into act unit by unit. A failure is reported on stdout and
// leaves the units read so far in place and the rest as they were.
load_result act_load(int *act, const char *name);

// Prints act as an activation grid: the title, then 16 lines of 16 values.
void act_print(const int *act, const char *title);
