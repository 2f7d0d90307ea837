// The PNM family: P1 to P3 (numbers as text) and P4 to P6 (binary), through
// the suite's header reader. The suite's own programs take only P6 of 80 x 60
// with maximum 255; this reader takes every size and maximum sample value
// (1 to 65535; above 255 a binary sample has two bytes, high byte first).
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "decode.h"
#include "ppmheader.h"

namespace {

bool refuse(char *error, const char *reason) {
    snprintf(error, PREP_ERROR_SIZE, "broken PNM picture: %.150s", reason);
    return false;
}

// Passes over white space and comments in the raster of P1, where one digit
// is one sample and digits may follow each other without a gap.
int next_bit(FILE *in) {
    int c;
    while ((c = getc(in)) != EOF) {
        if (c == '#') {
            while ((c = getc(in)) != EOF && c != '\n' && c != '\r') {
            }
        } else if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\v' && c != '\f') {
            return c;
        }
    }
    return EOF;
}

// Samples converted and handed on at a time.
constexpr long CHUNK_PIXELS = 4096;

// A text raster may spend this many bytes per sample (digits, white space,
// comments) before it is taken for endless input.
constexpr long TEXT_BYTES_PER_SAMPLE = 64;

uint16_t widen(unsigned value, int maxval) {
    return (uint16_t)(((unsigned long)value * 65535 + maxval / 2) / maxval);
}

// Reads the raster of a text picture into sink, row by row: one number (P2,
// P3) or one digit (P1) per sample.
bool read_text_raster(FILE *in, int kind, long width, long height, int maxval, prep_sink *sink,
                      std::vector<uint16_t> *chunk, char *error) {
    int per_pixel = kind == 3 ? 3 : 1;
    long start = ftell(in);
    long limit = start + 1024 + TEXT_BYTES_PER_SAMPLE * per_pixel * width * height;
    for (long y = 0; y < height; y++) {
        for (long first = 0; first < width; first += CHUNK_PIXELS) {
            long count = width - first < CHUNK_PIXELS ? width - first : CHUNK_PIXELS;
            uint16_t *out = chunk->data();
            for (long i = 0; i < count * per_pixel; i++) {
                int value = 0;
                if (kind == 1) {
                    int c = next_bit(in);
                    if (c != '0' && c != '1')
                        return refuse(error,
                                      c == EOF ? "the raster ends early" : "a bit is not 0 or 1");
                    value = c == '0' ? 1 : 0; // 1 is black
                } else {
                    ppm_header scratch;
                    if (!ppm_read_number(in, "sample", &value, &scratch))
                        return refuse(error, feof(in) ? "the raster ends early" : scratch.error);
                    if (value > maxval)
                        return refuse(error, "a sample is above the maximum sample value");
                }
                uint16_t wide = widen((unsigned)value, maxval);
                if (per_pixel == 3) {
                    out[i] = wide;
                } else {
                    out[3 * i] = out[3 * i + 1] = out[3 * i + 2] = wide;
                }
            }
            if (ftell(in) > limit)
                return refuse(error, "the raster holds more text than its samples need");
            sink->take(y, first, 1, count, chunk->data());
        }
    }
    return true;
}

// Reads the raster of a binary picture into sink, row by row.
bool read_binary_raster(FILE *in, int kind, long width, long height, int maxval, prep_sink *sink,
                        std::vector<unsigned char> *bytes, std::vector<uint16_t> *chunk,
                        char *error) {
    int sample_bytes = maxval > 255 ? 2 : 1;
    size_t pixel_bytes = kind == 6 ? 3 * sample_bytes : sample_bytes;
    size_t row_bytes = kind == 4 ? ((size_t)width + 7) / 8 : (size_t)width * pixel_bytes;
    // A row of bits is read whole (an eighth of its pixels in bytes); other
    // rows a chunk of pixels at a time.
    bytes->resize(kind == 4 ? row_bytes : CHUNK_PIXELS * pixel_bytes);
    size_t done = 0; // raster bytes read so far
    auto read = [&](size_t want) {
        size_t got = fread(bytes->data(), 1, want, in);
        done += got;
        if (got == want) return true;
        snprintf(error, PREP_ERROR_SIZE,
                 "broken PNM picture: the raster ends after %zu of %zu bytes", done,
                 row_bytes * height);
        return false;
    };
    for (long y = 0; y < height; y++) {
        if (kind == 4 && !read(row_bytes)) return false;
        for (long first = 0; first < width; first += CHUNK_PIXELS) {
            long count = width - first < CHUNK_PIXELS ? width - first : CHUNK_PIXELS;
            uint16_t *out = chunk->data();
            if (kind == 4) {
                for (long x = first; x < first + count; x++, out += 3) {
                    uint16_t value = (*bytes)[x / 8] >> (7 - x % 8) & 1 ? 0 : 65535;
                    out[0] = out[1] = out[2] = value;
                }
                sink->take(y, first, 1, count, chunk->data());
                continue;
            }
            if (!read(count * pixel_bytes)) return false;
            const unsigned char *at = bytes->data();
            for (long x = 0; x < count; x++, out += 3) {
                for (int c = 0; c < (kind == 6 ? 3 : 1); c++, at += sample_bytes) {
                    unsigned value = sample_bytes == 2 ? at[0] << 8 | at[1] : at[0];
                    if (value > (unsigned)maxval)
                        return refuse(error, "a sample is above the maximum sample value");
                    out[c] = widen(value, maxval);
                }
                if (kind == 5) out[1] = out[2] = out[0];
            }
            sink->take(y, first, 1, count, chunk->data());
        }
    }
    return true;
}

bool decode_stream(FILE *in, const prep_decode_options &options, prep_sink *sink,
                   std::vector<unsigned char> *bytes, std::vector<uint16_t> *chunk, char *error) {
    ppm_header header;
    ppm_status status = ppm_read_header(in, &header);
    int kind = header.magic[0] == 'P' && header.magic[2] == '\0' ? header.magic[1] - '0' : 0;
    if (kind < 1 || kind > 6) {
        snprintf(error, PREP_ERROR_SIZE, "broken PNM picture: the magic %s is none of P1 to P6",
                 header.magic);
        return false;
    }
    if (status == PPM_BAD_HEADER) return refuse(error, header.error);
    if (kind != 6) {
        // The header reader stops after a magic other than P6; the numbers follow.
        header.maxval = 1;
        if (!ppm_read_number(in, "width", &header.width, &header) ||
            !ppm_read_number(in, "height", &header.height, &header) ||
            (kind != 1 && kind != 4 &&
             !ppm_read_number(in, "maximum sample value", &header.maxval, &header)))
            return refuse(error, header.error);
        int c = getc(in);
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\v' && c != '\f')
            return refuse(error, "no white space between the header and the raster");
    }
    if (header.maxval < 1 || header.maxval > 65535) {
        snprintf(error, PREP_ERROR_SIZE,
                 "broken PNM picture: the maximum sample value %d is not 1 to 65535",
                 header.maxval);
        return false;
    }
    if (!prep_check_size(header.width, header.height, options, "PNM", error)) return false;
    if (sink->start(header.width, header.height, 0, 1, error) == 0) return false;
    chunk->resize(3 * CHUNK_PIXELS);
    if (kind <= 3)
        return read_text_raster(in, kind, header.width, header.height, header.maxval, sink, chunk,
                                error);
    return read_binary_raster(in, kind, header.width, header.height, header.maxval, sink, bytes,
                              chunk, error);
}

} // namespace

bool prep_decode_pnm(FILE *in, const prep_decode_options &options, prep_sink *sink, char *error) {
    std::vector<unsigned char> bytes;
    std::vector<uint16_t> chunk;
    try {
        return decode_stream(in, options, sink, &bytes, &chunk, error);
    } catch (const std::bad_alloc &) {
        snprintf(error, PREP_ERROR_SIZE, PREP_OUT_OF_MEMORY);
        return false;
    }
}
