// The PNM family: P1 to P3 (numbers as text) and P4 to P6 (binary), through
// the suite's header reader. The suite's own programs take only P6 of 80 x 60
// with maximum 255; this reader takes every size and maximum sample value
// (1 to 65535; above 255 a binary sample has two bytes, high byte first).
#include <cstdio>
#include <cstring>

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

// Reads the raster of a text picture: samples_per_pixel numbers per pixel.
bool read_text_raster(FILE *in, int kind, int maxval, prep_picture *picture, char *error) {
    size_t count = (size_t)picture->width * picture->height * (kind == 3 ? 3 : 1);
    std::vector<uint16_t> values(count);
    for (size_t i = 0; i < count; i++) {
        int value = 0;
        if (kind == 1) {
            int c = next_bit(in);
            if (c != '0' && c != '1')
                return refuse(error, c == EOF ? "the raster ends early" : "a bit is not 0 or 1");
            value = c == '0' ? 1 : 0; // 1 is black
        } else {
            ppm_header scratch;
            if (!ppm_read_number(in, "sample", &value, &scratch))
                return refuse(error, feof(in) ? "the raster ends early" : scratch.error);
            if (value > maxval) return refuse(error, "a sample is above the maximum sample value");
        }
        values[i] = (uint16_t)value;
    }
    for (size_t pixel = 0; pixel < (size_t)picture->width * picture->height; pixel++) {
        for (int c = 0; c < 3; c++) {
            unsigned value = values[kind == 3 ? 3 * pixel + c : pixel];
            picture->samples[3 * pixel + c] =
                (uint16_t)(((unsigned long)value * 65535 + maxval / 2) / maxval);
        }
    }
    return true;
}

// Reads the raster of a binary picture from data, which it must fill.
bool read_binary_raster(const unsigned char *data, size_t size, int kind, int maxval,
                        prep_picture *picture, char *error) {
    size_t width = picture->width;
    size_t height = picture->height;
    int bytes = maxval > 255 ? 2 : 1;
    size_t row_bytes = kind == 4 ? (width + 7) / 8 : width * (kind == 6 ? 3 : 1) * bytes;
    if (size / row_bytes < height) {
        snprintf(error, PREP_ERROR_SIZE,
                 "broken PNM picture: the raster ends after %zu of %zu bytes", size,
                 row_bytes * height);
        return false;
    }
    uint16_t *out = picture->samples.data();
    for (size_t y = 0; y < height; y++) {
        const unsigned char *row = data + y * row_bytes;
        for (size_t x = 0; x < width; x++, out += 3) {
            if (kind == 4) {
                uint16_t value = row[x / 8] >> (7 - x % 8) & 1 ? 0 : 65535;
                out[0] = out[1] = out[2] = value;
                continue;
            }
            for (int c = 0; c < 3; c++) {
                size_t at = (kind == 6 ? 3 * x + c : x) * bytes;
                unsigned value = bytes == 2 ? row[at] << 8 | row[at + 1] : row[at];
                if (value > (unsigned)maxval)
                    return refuse(error, "a sample is above the maximum sample value");
                out[c] = (uint16_t)(((unsigned long)value * 65535 + maxval / 2) / maxval);
            }
        }
    }
    return true;
}

bool decode_stream(FILE *in, const unsigned char *data, size_t size,
                   const prep_decode_options &options, prep_picture *picture, char *error) {
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
    picture->width = header.width;
    picture->height = header.height;
    picture->samples.resize((size_t)header.width * header.height * 3);
    if (kind <= 3) return read_text_raster(in, kind, header.maxval, picture, error);
    long offset = ftell(in);
    if (offset < 0 || (size_t)offset > size) return refuse(error, "the raster cannot be found");
    return read_binary_raster(data + offset, size - offset, kind, header.maxval, picture, error);
}

} // namespace

bool prep_decode_pnm(const unsigned char *data, size_t size, const prep_decode_options &options,
                     prep_picture *picture, char *error) {
    FILE *in = fmemopen(const_cast<unsigned char *>(data), size, "rb");
    if (!in) {
        snprintf(error, PREP_ERROR_SIZE, "PNM picture not read: out of memory");
        return false;
    }
    bool done = decode_stream(in, data, size, options, picture, error);
    fclose(in);
    return done;
}
