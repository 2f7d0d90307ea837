// Where every message of the suite goes. No other unit writes to stderr.
//
// Reader messages: the lines that the readers and the network core print
// when a file is missing or malformed or the network is broken, word for word
// as the suite has always printed them. The programs show them on stdout
// among their output; a program whose stdout is data, such as glimview, sends
// them to stderr instead.
//
// Error lines: every other message. One line on stderr, "program: what: why",
// for a failure in the form "program: cannot VERB OBJECT: why".
//
// Names, labels and options a message echoes are shown printable (see
// message_printable); the files keep their exact names.
//
// Whatever a message writes, stdout is flushed first, so that a log of both
// streams shows the message after the output it concerns.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "loadresult.h"

// Sends reader messages to stream from now on (stdout until a program chooses).
void message_set_stream(FILE *stream);

// The stream that reader messages go to.
FILE *message_stream();

// Prints a reader message, as printf does, to message_stream().
void message_print(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Prints text, as printf does, on stderr with no prefix: for the lines that
// the suite defines on stderr ("Cannot open input file %s.\n") and the
// second line of the shared unknown-option message.
void message_print_stderr(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Names the program that starts every error line; each main sets it once.
void message_set_program(const char *program);

// Prints "program: " and the formatted text, which should read
// "cannot VERB OBJECT: why", and a line feed on stderr.
void message_error(const char *format, ...) __attribute__((format(printf, 1, 2)));

// The same route for what a program tells beside its output ("wrote X").
void message_note(const char *format, ...) __attribute__((format(printf, 1, 2)));

// For a reader whose fopen of name failed with error, after the reader's own
// line: a missing file is LOAD_MISSING, which callers explain in their own
// terms; any other reason is given in an error line, and LOAD_FAILED.
load_result message_open_failed(const char *name, int error);

// Flushes stdout; when that or an earlier write to it failed, says so in an
// error line. 0, or -1 then. Every program calls it as it ends and fails when
// its console output was lost.
int message_flush_stdout();

// text as the console shows a name or a label: the same bytes, except that
// each byte that is not part of a printable character (ASCII from space to
// '~', or well-formed UTF-8 past the C1 controls) is shown as '?'. Every
// message applies it to its string arguments; the programs' own console lines
// apply it to the names they echo.
std::string message_printable(const char *text);
std::string message_printable(const char *text, size_t length);
