// Where every message of the suite goes: this unit is the only one that
// writes to stderr. Failures and warnings are message_error lines
// ("program: cannot VERB OBJECT: why"), what a program did beside its output
// is a message_note ("program: wrote X"), both on stderr; the readers' own
// lines (message_print) go to stdout among the output, or to stderr where a
// program whose stdout is data chose so (glimview). Every route ends in
// message_write below, which flushes stdout first and shows the names and
// labels it echoes printable. A program's console output itself (tables,
// "picture=..." lines) is plain printf on stdout.
#include "messages.h"

#include <cerrno>
#include <cstdarg>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

static FILE *reader_stream;      // the stream of reader messages; stdout while null
static const char *program_name; // starts every error line; none while null

// Whether the bytes at text[0..length) start with one printable character;
// its length in bytes, or 0 when the first byte does not print. Printable are
// the ASCII characters from space to '~' and the well-formed UTF-8 sequences
// of characters past the C1 controls, so that names in any alphabet show as
// they are while no byte can reach a terminal as part of a control sequence.
static size_t printable_length(const unsigned char *text, size_t length) {
    unsigned char c = text[0];
    if (c >= 0x20 && c < 0x7f) return 1;
    size_t size;
    unsigned char low = 0x80, high = 0xbf; // the allowed range of the second byte
    if (c >= 0xc2 && c <= 0xdf) {
        size = 2;
        if (c == 0xc2) low = 0xa0; // U+0080 to U+009F are the C1 controls
    } else if (c >= 0xe0 && c <= 0xef) {
        size = 3;
        if (c == 0xe0) low = 0xa0;  // shorter forms of smaller characters
        if (c == 0xed) high = 0x9f; // the UTF-16 surrogates
    } else if (c >= 0xf0 && c <= 0xf4) {
        size = 4;
        if (c == 0xf0) low = 0x90;
        if (c == 0xf4) high = 0x8f; // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (length < size || text[1] < low || text[1] > high) return 0;
    for (size_t k = 2; k < size; k++)
        if (text[k] < 0x80 || text[k] > 0xbf) return 0;
    return size;
}

std::string message_printable(const char *text, size_t length) {
    std::string shown(text, length);
    const unsigned char *bytes = (const unsigned char *)text;
    for (size_t at = 0; at < length;) {
        size_t size = printable_length(bytes + at, length - at);
        if (size == 0) {
            shown[at] = '?';
            size = 1;
        }
        at += size;
    }
    return shown;
}

std::string message_printable(const char *text) {
    return message_printable(text, strlen(text));
}

// Appends one conversion, its directive ("%-5d"), taking the values of its stars and
// then value; the text of "%s" and "%c" is shown printable.
template <typename T>
static void append_converted(std::string *out, const std::string &directive, const int *star,
                             int stars, T value, bool shown) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
    auto print = [&](char *to, size_t size) {
        if (stars == 0) return snprintf(to, size, directive.c_str(), value);
        if (stars == 1) return snprintf(to, size, directive.c_str(), star[0], value);
        return snprintf(to, size, directive.c_str(), star[0], star[1], value);
    };
#pragma GCC diagnostic pop
    int size = print(nullptr, 0);
    if (size <= 0) return;
    std::vector<char> text((size_t)size + 1);
    print(text.data(), text.size());
    if (shown)
        out->append(message_printable(text.data(), (size_t)size));
    else
        out->append(text.data(), (size_t)size);
}

// Appends an integer conversion: the argument taken as its length modifier
// says, Int, Long, LongLong or Size being the signed or the unsigned types.
template <typename Int, typename Long, typename LongLong, typename Size>
static void append_integer(std::string *out, const std::string &directive, const int *star,
                           int stars, const std::string &modifier, va_list *list) {
    if (modifier == "l")
        append_converted(out, directive, star, stars, va_arg(*list, Long), false);
    else if (modifier == "ll" || modifier == "q" || modifier == "j")
        append_converted(out, directive, star, stars, va_arg(*list, LongLong), false);
    else if (modifier == "z" || modifier == "t")
        append_converted(out, directive, star, stars, va_arg(*list, Size), false);
    else
        append_converted(out, directive, star, stars, va_arg(*list, Int), false);
}

// Passes over a width or a precision at p: digits, or '*', whose value is
// the next argument, kept in star[*stars]. Returns what follows it.
static const char *pass_count(const char *p, va_list *list, int *star, int *stars) {
    if (*p == '*') {
        star[(*stars)++] = va_arg(*list, int);
        return p + 1;
    }
    while (*p >= '0' && *p <= '9')
        p++;
    return p;
}

// Formats as vprintf does, but every string and character argument, which
// may come from a user (a file name, a label, an option), is shown printable.
// The format itself is the program's own text and keeps its line feeds.
static std::string format_message(const char *format, va_list args) {
    std::string out;
    va_list list; // a copy, so that the helpers can take it by address
    va_copy(list, args);
    const char *p = format;
    while (*p) {
        if (*p != '%') {
            out += *p++;
            continue;
        }
        const char *start = p++;
        if (*p == '%') {
            out += '%';
            p++;
            continue;
        }
        int star[2];
        int stars = 0;
        while (*p && strchr("-+ #0'", *p))
            p++;
        p = pass_count(p, &list, star, &stars);                    // the width
        if (*p == '.') p = pass_count(p + 1, &list, star, &stars); // the precision
        const char *length = p;
        while (*p && strchr("hlLqjzt", *p))
            p++;
        std::string modifier(length, p);
        char conversion = *p;
        if (!conversion) break;
        p++;
        std::string directive(start, p);
        switch (conversion) {
        case 'd':
        case 'i':
            append_integer<int, long, long long, ptrdiff_t>(&out, directive, star, stars, modifier,
                                                            &list);
            break;
        case 'o':
        case 'u':
        case 'x':
        case 'X':
            append_integer<unsigned, unsigned long, unsigned long long, size_t>(
                &out, directive, star, stars, modifier, &list);
            break;
        case 'e':
        case 'E':
        case 'f':
        case 'F':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            if (modifier == "L")
                append_converted(&out, directive, star, stars, va_arg(list, long double), false);
            else
                append_converted(&out, directive, star, stars, va_arg(list, double), false);
            break;
        case 'c':
            append_converted(&out, directive, star, stars, va_arg(list, int), true);
            break;
        case 's':
            append_converted(&out, directive, star, stars, va_arg(list, const char *), true);
            break;
        case 'p':
            append_converted(&out, directive, star, stars, va_arg(list, void *), false);
            break;
        default: // no other conversion is used in a message; shown as written
            out.append(directive);
        }
    }
    va_end(list);
    return out;
}

// The one place that writes a message: stdout's pending output first, then
// the optional "program: " prefix, the formatted text and an optional line
// feed. Every name or label a message echoes passes through here and is
// shown printable.
static void message_write(FILE *stream, bool prefixed, const char *format, va_list args,
                          bool line_feed) {
    if (stream != stdout) fflush(stdout);
    std::string text = prefixed && program_name ? std::string(program_name) + ": " : "";
    text += format_message(format, args);
    if (line_feed) text += '\n';
    fwrite(text.data(), 1, text.size(), stream);
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
