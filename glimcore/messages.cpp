// Where the library's messages go.
#include "messages.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>

static FILE *reader_stream;      // the stream of reader messages; stdout while null
static const char *program_name; // starts every error line; none while null

void message_set_stream(FILE *stream) {
    reader_stream = stream;
}

FILE *message_stream() {
    return reader_stream ? reader_stream : stdout;
}

void message_print(const char *format, ...) {
    // Sent to stderr, a reader message follows all that stdout holds so far.
    if (message_stream() != stdout) fflush(stdout);
    va_list args;
    va_start(args, format);
    vfprintf(message_stream(), format, args);
    va_end(args);
}

void message_set_program(const char *program) {
    program_name = program;
}

void message_error(const char *format, ...) {
    // What stands on stdout so far comes first, so that a log of both streams
    // shows the message beside the output it concerns.
    fflush(stdout);
    if (program_name) fprintf(stderr, "%s: ", program_name);
    va_list args;
    va_start(args, format);
    vfprintf(stderr, format, args);
    va_end(args);
    fputc('\n', stderr);
}

int message_flush_stdout() {
    if (fflush(stdout) != 0) {
        message_error("cannot write the standard output: %s", strerror(errno));
        return -1;
    }
    // A write that failed before leaves only the stream's error flag.
    if (ferror(stdout)) {
        message_error("cannot write the standard output: an earlier write failed");
        return -1;
    }
    return 0;
}
