// Reading the header of a binary PPM picture.
#include "ppmheader.h"

#include <cctype>
#include <climits>
#include <cstring>

static bool is_space(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Passes over white space and comments; a comment ends at a line feed or a
// carriage return, so CR LF line ends work like LF.
static void skip_space(FILE *in) {
    int c;
    while ((c = getc(in)) != EOF) {
        if (c == '#') {
            while ((c = getc(in)) != EOF && c != '\n' && c != '\r') {
            }
        } else if (!is_space(c)) {
            ungetc(c, in);
            return;
        }
    }
}

// Reads one token: the characters up to white space, '#' or the end of the
// file. Stores at most size - 1 of them; returns the full length.
static size_t read_token(FILE *in, char *token, size_t size) {
    size_t length = 0;
    int c;
    while ((c = getc(in)) != EOF && !is_space(c) && c != '#') {
        if (length + 1 < size) token[length] = (char)c;
        length++;
    }
    if (c != EOF) ungetc(c, in);
    token[length + 1 < size ? length : size - 1] = '\0';
    return length;
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
    skip_space(in);
    int c;
    while ((c = getc(in)) != EOF && !is_space(c) && c != '#') {
        if (length + 1 < sizeof shown) shown[length] = isprint(c) ? (char)c : '?';
        if (length == 0 && c == '-')
            negative = true;
        else if (c < '0' || c > '9')
            digits = false;
        else if (number <= INT_MAX)
            number = number * 10 + (c - '0');
        length++;
    }
    if (c != EOF) ungetc(c, in);
    shown[length + 1 < sizeof shown ? length : sizeof shown - 1] = '\0';
    if (length == 0) {
        snprintf(header->error, sizeof header->error, "the %s is missing", what);
        return false;
    }
    const char *problem = nullptr;
    if (!digits || (negative && length == 1))
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
    skip_space(in);
    read_token(in, header->magic, sizeof header->magic);
    if (header->magic[1] != '6') // also when the magic is empty or one character
        return PPM_BAD_MAGIC;
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
