// The header of a binary PPM picture: magic, width, height and maximum sample
// value, separated by white space, with comments from '#' to the end of a line
// allowed between them, then exactly one white-space byte before the raster.
#pragma once

#include <cstdio>

constexpr int PPM_MAGIC_MAX = 15; // longer magic tokens are cut to this many characters

enum ppm_status {
    PPM_OK,        // header read; the stream stands at the first raster byte
    PPM_BAD_MAGIC, // the second character of the magic is not '6'; magic holds it
    PPM_BAD_HEADER // the header is malformed; error says why
};

struct ppm_header {
    char magic[PPM_MAGIC_MAX + 1]; // the magic token, e.g. "P6"
    int width;
    int height;
    int maxval;     // the maximum sample value as written, not checked for range
    char error[96]; // why the header was refused, for the caller's message
};

// Reads the header from the start of in. Any magic whose second character is
// '6' is accepted; the numbers must be whole decimal numbers that fit an int.
ppm_status ppm_read_header(FILE *in, ppm_header *header);

// Reads the next number of a header as ppm_read_header does: white space and
// comments before it, then a whole decimal number that fits an int. false
// with the reason in header->error. For readers of the other PNM magics.
bool ppm_read_number(FILE *in, const char *what, int *value, ppm_header *header);
