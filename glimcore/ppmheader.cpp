// Reading the header of a binary PPM picture.
#include "ppmheader.h"

#include <climits>
#include <cstring>
#include <string>

#include "messages.h"

static bool is_space(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Every run the reader passes over is bounded, so that a file without end
// (a device, a huge file of zeros) cannot keep it reading: a token may have
// PPM_TOKEN_LIMIT characters, white space and comments between two tokens
// PPM_SPACE_LIMIT.
constexpr size_t PPM_TOKEN_LIMIT = 4096;
constexpr size_t PPM_SPACE_LIMIT = 65536;

// Passes over white space and comments; a comment ends at a line feed or a
// carriage return, so CR LF line ends work like LF. false when the run is
// longer than PPM_SPACE_LIMIT.
static bool skip_space(FILE *in) {
    size_t passed = 0;
    int c;
    while ((c = getc(in)) != EOF) {
        if (++passed > PPM_SPACE_LIMIT) return false;
        if (c == '#') {
            while ((c = getc(in)) != EOF && c != '\n' && c != '\r') {
                if (++passed > PPM_SPACE_LIMIT) return false;
            }
        } else if (!is_space(c)) {
            ungetc(c, in);
            return true;
        }
    }
    return true;
}

// A token kept for a message, shown as the messages show names: the bytes
// that are not part of a printable character become '?'.
static void token_make_printable(char *token, size_t length) {
    std::string shown = message_printable(token, length);
    memcpy(token, shown.data(), length);
    token[length] = '\0';
}

// Reads one token: the characters up to white space, '#' or the end of the
// file, at most PPM_TOKEN_LIMIT + 1 of them. Stores at most size - 1 of them
// in printable form; returns the number read.
static size_t read_token(FILE *in, char *token, size_t size) {
    size_t length = 0;
    int c = EOF;
    while (length <= PPM_TOKEN_LIMIT && (c = getc(in)) != EOF && !is_space(c) && c != '#') {
        if (length + 1 < size) token[length] = (char)c;
        length++;
    }
    if (length <= PPM_TOKEN_LIMIT && c != EOF) ungetc(c, in);
    token_make_printable(token, length + 1 < size ? length : size - 1);
    return length;
}

static void space_too_long(ppm_header *header, const char *what) {
    snprintf(header->error, sizeof header->error,
             "more than %zu bytes of white space and comments before the %s", PPM_SPACE_LIMIT,
             what);
}

// Reads a whole decimal number that fits an int; otherwise says why not. The
// number is worked out as its characters are read, so that a token of any
// length (leading zeros, or bytes such as NUL that a string would end at) is
// judged by all of its characters; the message shows the first of them.
static bool read_number(FILE *in, const char *what, int *value, ppm_header *header) {
    char shown[24];
    size_t length = 0;
    bool digits = true; // every character after an optional leading '-' is a digit
    bool negative = false;
    long long number = 0; // stops growing once past INT_MAX
    if (!skip_space(in)) {
        space_too_long(header, what);
        return false;
    }
    int c = EOF;
    while (length <= PPM_TOKEN_LIMIT && (c = getc(in)) != EOF && !is_space(c) && c != '#') {
        if (length + 1 < sizeof shown) shown[length] = (char)c;
        if (length == 0 && c == '-')
            negative = true;
        else if (c < '0' || c > '9')
            digits = false;
        else if (number <= INT_MAX)
            number = number * 10 + (c - '0');
        length++;
    }
    if (length <= PPM_TOKEN_LIMIT && c != EOF) ungetc(c, in);
    token_make_printable(shown, length + 1 < sizeof shown ? length : sizeof shown - 1);
    if (length == 0) {
        snprintf(header->error, sizeof header->error, "the %s is missing", what);
        return false;
    }
    const char *problem = nullptr;
    if (length > PPM_TOKEN_LIMIT)
        problem = "too long";
    else if (!digits || (negative && length == 1))
        problem = "not a number";
    else if (negative)
        problem = "negative";
    else if (number > INT_MAX)
        problem = "too large";
    if (problem) {
        snprintf(header->error, sizeof header->error, "the %s %s%s is %s", what, shown,
                 length >= sizeof shown ? "..." : "", problem);
        return false;
    }
    *value = (int)number;
    return true;
}

bool ppm_read_number(FILE *in, const char *what, int *value, ppm_header *header) {
    return read_number(in, what, value, header);
}

ppm_status ppm_read_header(FILE *in, ppm_header *header) {
    memset(header, 0, sizeof *header);
    if (!skip_space(in)) {
        space_too_long(header, "magic number");
        return PPM_BAD_HEADER;
    }
    size_t length = read_token(in, header->magic, sizeof header->magic);
    if (header->magic[1] != '6') // also when the magic is empty or one character
        return PPM_BAD_MAGIC;
    if (length > PPM_TOKEN_LIMIT) {
        snprintf(header->error, sizeof header->error, "the magic number %s... is too long",
                 header->magic);
        return PPM_BAD_HEADER;
    }
    if (!read_number(in, "width", &header->width, header) ||
        !read_number(in, "height", &header->height, header) ||
        !read_number(in, "maximum sample value", &header->maxval, header))
        return PPM_BAD_HEADER;
    if (!is_space(getc(in))) {
        snprintf(header->error, sizeof header->error,
                 "no white space between the maximum sample value and the raster");
        return PPM_BAD_HEADER;
    }
    return PPM_OK;
}
