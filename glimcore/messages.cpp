// Where the library's messages go.
#include "messages.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>

static FILE *reader_stream;      // the stream of reader messages; stdout while null
static const char *program_name; // starts every error line; none while null

// The one place that writes a message: stdout's pending output first, then
// the optional "program: " prefix, the formatted text and an optional line
// feed. Every name or label a message echoes passes through here.
static void message_write(FILE *stream, bool prefixed, const char *format, va_list args,
                          bool line_feed) {
    if (stream != stdout) fflush(stdout);
    if (prefixed && program_name) fprintf(stream, "%s: ", program_name);
    vfprintf(stream, format, args);
    if (line_feed) fputc('\n', stream);
}

void message_set_stream(FILE *stream) {
    reader_stream = stream;
}

FILE *message_stream() {
    return reader_stream ? reader_stream : stdout;
}

void message_print(const char *format, ...) {
    va_list args;
    va_start(args, format);
    message_write(message_stream(), false, format, args, false);
    va_end(args);
}

void message_print_stderr(const char *format, ...) {
    va_list args;
    va_start(args, format);
    message_write(stderr, false, format, args, false);
    va_end(args);
}

void message_set_program(const char *program) {
    program_name = program;
}

void message_error(const char *format, ...) {
    va_list args;
    va_start(args, format);
    message_write(stderr, true, format, args, true);
    va_end(args);
}

void message_note(const char *format, ...) {
    va_list args;
    va_start(args, format);
    message_write(stderr, true, format, args, true);
    va_end(args);
}

load_result message_open_failed(const char *name, int error) {
    if (error == ENOENT) return LOAD_MISSING;
    message_error("cannot open %s: %s", name, strerror(error));
    return LOAD_FAILED;
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
