// PNG through libpng, one row at a time. libpng reports a fatal error by a
// long jump back to the setjmp in decode_rows, so that function keeps no
// object with a destructor of its own: whatever it allocates belongs to its
// caller.
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <png.h>

#include "decode.h"

namespace {

// Pixels converted and handed on at a time, so that the 16-bit copy of a row
// stays small however wide the picture is.
constexpr long CHUNK_PIXELS = 4096;

// Bytes that the chunks before the image data may take (text, colour
// profiles, metadata), and beyond the image data's own allowance.
constexpr size_t PNG_MARKUP_BYTES = 16 << 20;

struct png_source {
    FILE *in;
    size_t read;  // bytes read so far
    size_t limit; // the most bytes the picture may take
    char *error;  // the reason of a fatal error, filled by on_error
};

void read_bytes(png_structp png, png_bytep out, png_size_t length) {
    png_source *source = static_cast<png_source *>(png_get_io_ptr(png));
    if (length > source->limit - source->read)
        png_error(png, "the file holds more data than a picture of its size can");
    size_t got = fread(out, 1, length, source->in);
    source->read += got;
    if (got != length) png_error(png, ferror(source->in) ? strerror(errno) : "the file ends early");
}

void on_error(png_structp png, png_const_charp message) {
    png_source *source = static_cast<png_source *>(png_get_error_ptr(png));
    // libpng's allocator says "Out of memory" when malloc fails.
    if (strstr(message, "ut of memory"))
        snprintf(source->error, PREP_ERROR_SIZE, PREP_OUT_OF_MEMORY);
    else
        snprintf(source->error, PREP_ERROR_SIZE, "broken PNG picture: %.150s", message);
    png_longjmp(png, 1);
}

// Warnings are about ancillary details; the picture still decodes. Damage to
// the image data itself is an error in libpng.
void on_warning(png_structp, png_const_charp) {}

// Turns count pixels of a row as libpng gives them (after its expansions:
// RGB or RGBA, 8 or 16 bits) into 16-bit RGB with alpha laid over the
// background.
void convert(const unsigned char *in, long count, int channels, int depth,
             const unsigned char background[3], uint16_t *out) {
    for (long pixel = 0; pixel < count; pixel++, out += 3) {
        unsigned value[4];
        for (int c = 0; c < channels; c++) {
            value[c] = depth == 16 ? (unsigned)(in[0] << 8 | in[1]) : in[0] * 257u;
            in += depth / 8;
        }
        for (int c = 0; c < 3; c++)
            out[c] =
                channels == 4 ? prep_over(value[c], value[3], background[c]) : (uint16_t)value[c];
    }
}

// Reads the picture row by row into sink. The caller owns png, info and the
// buffers and frees them.
bool decode_rows(png_structp png, png_infop info, png_source *source,
                 const prep_decode_options &options, prep_sink *sink,
                 std::vector<unsigned char> *row, std::vector<uint16_t> *chunk) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_read_fn(png, source, read_bytes);
    png_read_info(png, info);
    png_uint_32 width = png_get_image_width(png, info);
    png_uint_32 height = png_get_image_height(png, info);
    if (!prep_check_size(width, height, options, "PNG", source->error)) return false;
    bool interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;

    // Palette to RGB, grey below 8 bits to 8, transparency chunks to alpha,
    // grey to RGB: what remains is RGB or RGBA of 8 or 16 bits. Interlaced
    // rows come as libpng reads them, pass by pass, each holding every
    // second to eighth pixel of its row.
    png_set_expand(png);
    png_set_gray_to_rgb(png);
    png_read_update_info(png, info);
    int channels = png_get_channels(png, info);
    int depth = png_get_bit_depth(png, info);
    size_t row_bytes = png_get_rowbytes(png, info);
    if ((channels != 3 && channels != 4) || (depth != 8 && depth != 16) ||
        row_bytes != (size_t)width * channels * (depth / 8))
        png_error(png, "unexpected layout after expansion");
    // Deflate stores at worst 5 bytes per 65535 and a chunk 12 bytes per
    // chunk; 16 times the raw rows allows even one chunk per tiny row.
    size_t raw = (row_bytes + 1) * height;
    source->limit = source->read + PNG_MARKUP_BYTES + 16 * raw;

    if (sink->start(width, height, 0, 1, source->error) == 0) return false;
    row->resize(row_bytes);
    chunk->resize(3 * CHUNK_PIXELS);
    const unsigned char background[3] = {options.background.red, options.background.green,
                                         options.background.blue};
    size_t pixel_bytes = (size_t)channels * (depth / 8);
    for (int pass = 0; pass < (interlaced ? 7 : 1); pass++) {
        long columns = interlaced ? PNG_PASS_COLS(width, pass) : width;
        long rows = interlaced ? PNG_PASS_ROWS(height, pass) : height;
        // libpng passes over a pass that has no pixels.
        if (columns == 0 || rows == 0) continue;
        long x0 = interlaced ? PNG_PASS_START_COL(pass) : 0;
        long step = interlaced ? 1L << PNG_PASS_COL_SHIFT(pass) : 1;
        long y0 = interlaced ? PNG_PASS_START_ROW(pass) : 0;
        long row_step = interlaced ? 1L << PNG_PASS_ROW_SHIFT(pass) : 1;
        for (long j = 0; j < rows; j++) {
            png_read_row(png, row->data(), nullptr);
            for (long first = 0; first < columns; first += CHUNK_PIXELS) {
                long count = columns - first < CHUNK_PIXELS ? columns - first : CHUNK_PIXELS;
                convert(row->data() + first * pixel_bytes, count, channels, depth, background,
                        chunk->data());
                sink->take(y0 + j * row_step, x0 + first * step, step, count, chunk->data());
            }
        }
    }
    png_read_end(png, nullptr);
    return true;
}

} // namespace

bool prep_decode_png(FILE *in, const prep_decode_options &options, prep_sink *sink, char *error) {
    png_source source = {in, 0, PNG_MARKUP_BYTES, error};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, on_error, on_warning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        snprintf(error, PREP_ERROR_SIZE, PREP_OUT_OF_MEMORY);
        return false;
    }
    std::vector<unsigned char> row;
    std::vector<uint16_t> chunk;
    bool done = false;
    try {
        done = decode_rows(png, info, &source, options, sink, &row, &chunk);
    } catch (const std::bad_alloc &) {
        snprintf(error, PREP_ERROR_SIZE, PREP_OUT_OF_MEMORY);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return done;
}
