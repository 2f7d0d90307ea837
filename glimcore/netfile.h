// The network file: the weight store and the thresholds as text, in the form
// of initialised array definitions (32 blocks of 1024 values, then 256 thresholds).
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "loadresult.h"
#include "net.h"

// Writes the network to name, replacing it atomically. 0 on success, -1 after a message.
int net_save(const char *name);

// Reads name into the weight store and the thresholds. A failure is told by
// the reader's line (message_print) and leaves the values read so far in place.
load_result net_load(const char *name);

// Same as net_load for a file whose size bytes are already in memory; name is
// the file's name for the messages.
load_result net_load_text(const char *name, const char *text, size_t size);

// The parts of the writer and of the two readers behind net_load, for the
// tests and benchmarks that compare them with the C library's conversions.

// Room for any value that netfile_format_value writes, with its terminating NUL.
constexpr int NETFILE_VALUE_SIZE = 32;

// Writes value into out as printf's "%.16G" does and returns the number of characters.
int netfile_format_value(double value, char *out);

// Reads one value and the comma after it, as the fast reader reads each
// value of a file, into *value; returns the characters taken, or 0 for a form
// that the fast reader leaves to the general one.
size_t netfile_read_value(const char *text, size_t size, double *value);

// The whole file's text for the current network, as net_save writes it.
void netfile_write_text(std::string *text);

// The fast reader: reads text written the way the writer writes it (either
// line end) into the store and returns true. On any other form it stops and
// returns false, having stored only values that the general reader stores
// alike when it reads the same text from the start.
bool netfile_read_text(const char *text, size_t size);

// The general reader: one fscanf call per read, with every leniency and every
// message of the file format. Reads in from its current position.
load_result netfile_read_stream(FILE *in, const char *name);
