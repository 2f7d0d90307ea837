// The library's two routes for messages.
//
// Reader messages: what the readers and the network core print when a file is
// missing or malformed or the network is broken. The suite's programs show
// them on stdout among their output; a program whose stdout is data, such as
// glimview, sends them to stderr instead.
//
// Error lines: messages that the console output of the programs does not
// define go to stderr as one line, "program: what: why".
#pragma once

#include <cstdio>

// Sends reader messages to stream from now on (stdout until a program chooses).
void message_set_stream(FILE *stream);

// The stream that reader messages go to.
FILE *message_stream();

// Prints a reader message, as printf does, to message_stream().
void message_print(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Names the program that starts every error line; each main sets it once.
void message_set_program(const char *program);

// Prints "program: " and the formatted text, which should read "what: why",
// and a line feed on stderr.
void message_error(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Flushes stdout; when that or an earlier write to it failed, says so in an
// error line. 0, or -1 then. Every program calls it as it ends and fails when
// its console output was lost.
int message_flush_stdout();
