// Decoding glimprep's input pictures: PNG through libpng, JPEG through
// libjpeg, and the PNM family (P1 to P6) through the suite's header reader.
//
// Every decoder yields the same thing: an RGB picture with 16-bit samples
// (0 to 65535; an 8-bit sample v becomes v * 257), grey and palette pictures
// expanded, and any alpha channel already laid over the background colour.
// Decoders read from memory, so the fuzz target reaches them without files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int PREP_ERROR_SIZE = 200;
// The largest picture taken, in pixels: a 33-megapixel photograph decodes in
// well under a gigabyte.
constexpr long PREP_MAX_PIXELS = 1L << 25;

struct prep_rgb {
    unsigned char red;
    unsigned char green;
    unsigned char blue;
};

struct prep_picture {
    int width = 0;
    int height = 0;
    std::vector<uint16_t> samples; // row by row from the top, red, green, blue per pixel
};

enum prep_format { FORMAT_UNKNOWN, FORMAT_PNG, FORMAT_JPEG, FORMAT_PNM };

struct prep_decode_options {
    prep_rgb background = {0, 0, 0}; // what shows through transparent pixels
    long max_pixels = PREP_MAX_PIXELS;
};

// What the first bytes of data say it is; FORMAT_UNKNOWN for anything else.
prep_format prep_sniff(const unsigned char *data, size_t size);

// The name of a format for messages: "PNG", "JPEG", "PNM".
const char *prep_format_name(prep_format format);

// Describes data that is none of the formats read ("a GIF picture", "an
// empty file", "not a picture") into text (PREP_ERROR_SIZE bytes).
void prep_describe_unknown(const unsigned char *data, size_t size, char *text);

// Decodes data of any known format into picture. true on success; false with
// the reason in error (PREP_ERROR_SIZE bytes), beginning with the format's
// name ("broken PNG picture: ..."), and picture left empty.
bool prep_decode(const unsigned char *data, size_t size, const prep_decode_options &options,
                 prep_picture *picture, char *error);

// The decoders behind prep_decode, one per format, with the same contract.
bool prep_decode_png(const unsigned char *data, size_t size, const prep_decode_options &options,
                     prep_picture *picture, char *error);
bool prep_decode_jpeg(const unsigned char *data, size_t size, const prep_decode_options &options,
                      prep_picture *picture, char *error);
bool prep_decode_pnm(const unsigned char *data, size_t size, const prep_decode_options &options,
                     prep_picture *picture, char *error);

// Checks a picture's size against the limit; false with the reason in error.
bool prep_check_size(long width, long height, const prep_decode_options &options,
                     const char *format, char *error);

// Lays a 16-bit sample with 16-bit alpha over a background sample of 8 bits,
// rounding to nearest.
inline uint16_t prep_over(unsigned sample, unsigned alpha, unsigned char background) {
    unsigned long long mixed =
        (unsigned long long)sample * alpha + (unsigned long long)background * 257 * (65535 - alpha);
    return (uint16_t)((mixed + 32767) / 65535);
}

// Turns a picture as stored into the picture as shown, for the EXIF
// orientations 2 to 8 (mirrors and quarter turns); 1 and others leave it.
void prep_orient(prep_picture *picture, int orientation);

// The EXIF orientation (1 to 8) in the body of a JPEG APP1 marker, or 0 when
// the marker holds none.
int prep_exif_orientation(const unsigned char *marker, size_t length);
