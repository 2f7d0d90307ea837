// Decoding glimprep's input pictures: PNG through libpng, JPEG through
// libjpeg, and the PNM family (P1 to P6) through the suite's header reader.
//
// Every decoder reads a stream and hands the picture, row by row as it is
// stored, to a receiver (prep_sink) in one form: RGB with 16-bit samples (0 to
// 65535; an 8-bit sample v becomes v * 257), grey and palette pictures
// expanded, and any alpha channel already laid over the background colour. No
// decoder holds the whole picture: the receiver decides what to keep, and a
// JPEG is decoded at the reduction the receiver asks for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
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

// The error text of a decoder that ran out of memory, exactly; callers turn
// it into their own "out of memory while ..." message.
#define PREP_OUT_OF_MEMORY "out of memory"

// The most scans a JPEG may hold. A progressive picture from the usual
// scripts has 6 (grey) to 10 (colour) scans, and scripts that split the
// coefficients finer stay within a few dozen; every scan costs a pass over the
// whole picture however few bytes it holds, so a limit of 100 keeps a hostile
// file of tiny scans to about 100 passes.
constexpr int PREP_JPEG_MAX_SCANS = 100;

// Receives a picture from a decoder.
class prep_sink {
  public:
    // The header is read: the picture is width x height pixels as stored,
    // shown as EXIF orientation says (1 to 8; 0 when the file has none).
    // Returns the reduction (1, 2, 4 or 8, at most max_reduction) at which
    // the rows are to come: at reduction r, pixel (x, y) stands for the
    // stored pixels [x * r, x * r + r) x [y * r, y * r + r), cut at the
    // picture's edge. 0 stops the decoder, with the reason in error.
    virtual int start(long width, long height, int orientation, int max_reduction,
                      char *error) = 0;
    // count pixels of row y, at columns x, x + step, x + 2 * step, ... of the
    // picture at the chosen reduction, three samples each. Rows come from the
    // top, except that an interlaced PNG sends its seven passes in turn.
    virtual void take(long y, long x, long step, long count, const uint16_t *rgb) = 0;

  protected:
    ~prep_sink() = default;
};

// What the first bytes of data say it is; FORMAT_UNKNOWN for anything else.
prep_format prep_sniff(const unsigned char *data, size_t size);

// What the stream in holds, from its first bytes; it is left at its start.
// FORMAT_UNKNOWN with the reason in error (PREP_ERROR_SIZE bytes) when it is
// none of the formats read, or cannot be read.
prep_format prep_sniff_stream(FILE *in, char *error);

// The name of a format for messages: "PNG", "JPEG", "PNM".
const char *prep_format_name(prep_format format);

// Describes data that is none of the formats read ("a GIF picture", "an
// empty file", "not a picture") into text (PREP_ERROR_SIZE bytes).
void prep_describe_unknown(const unsigned char *data, size_t size, char *text);

// Decodes the picture that in holds from its current position, of the given
// format, into sink. true on success; false with the reason in error
// (PREP_ERROR_SIZE bytes), beginning with the format's name ("broken PNG
// picture: ..."), or PREP_OUT_OF_MEMORY. Reads no more of in than the picture
// needs, and at most what a picture of the size its header gives can hold.
bool prep_decode_stream(FILE *in, prep_format format, const prep_decode_options &options,
                        prep_sink *sink, char *error);

// The decoders behind prep_decode_stream, one per format, with its contract.
bool prep_decode_png(FILE *in, const prep_decode_options &options, prep_sink *sink, char *error);
bool prep_decode_jpeg(FILE *in, const prep_decode_options &options, prep_sink *sink, char *error);
bool prep_decode_pnm(FILE *in, const prep_decode_options &options, prep_sink *sink, char *error);

// Decodes data of any known format into picture, whole and as shown (EXIF
// orientation followed). true on success; false with the reason in error and
// picture left empty.
bool prep_decode(const unsigned char *data, size_t size, const prep_decode_options &options,
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

// Whether an EXIF orientation swaps width and height (5 to 8).
inline bool prep_turned(int orientation) {
    return orientation >= 5 && orientation <= 8;
}

// For the pixel (x, y) of a picture as shown, the pixel (*stored_x,
// *stored_y) of the picture as stored, width x height, that it comes from.
void prep_stored_pixel(int orientation, long width, long height, long x, long y, long *stored_x,
                       long *stored_y);

// Turns a picture as stored into the picture as shown, for the EXIF
// orientations 2 to 8 (mirrors and quarter turns); 1 and others leave it.
void prep_orient(prep_picture *picture, int orientation);

// The EXIF orientation (1 to 8) in the body of a JPEG APP1 marker, or 0 when
// the marker holds none.
int prep_exif_orientation(const unsigned char *marker, size_t length);
