// The network file: the weight store and the thresholds as text, in the form
// of initialised array definitions (32 blocks of 1024 values, then 256 thresholds).
#pragma once

#include "loadresult.h"
#include "net.h"

// Writes the network to name, replacing it atomically. 0 on success, -1 after a message.
int net_save(const char *name);

// Reads name into the weight store and the thresholds. A failure is reported on
// standard output and leaves the values read so far in place.
load_result net_load(const char *name);
