// PNG through libpng. libpng reports a fatal error by a long jump back to
// the setjmp in decode_rows, so that function keeps no object with a
// destructor of its own: whatever it allocates belongs to its caller.
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <png.h>

#include "decode.h"

namespace {

struct png_source {
    const unsigned char *data;
    size_t size;
    size_t offset;
    char *error; // the reason of a fatal error, filled by on_error
};

void read_bytes(png_structp png, png_bytep out, png_size_t length) {
    png_source *source = static_cast<png_source *>(png_get_io_ptr(png));
    if (length > source->size - source->offset) png_error(png, "the file ends early");
    memcpy(out, source->data + source->offset, length);
    source->offset += length;
}

void on_error(png_structp png, png_const_charp message) {
    png_source *source = static_cast<png_source *>(png_get_error_ptr(png));
    snprintf(source->error, PREP_ERROR_SIZE, "broken PNG picture: %.150s", message);
    png_longjmp(png, 1);
}

// Warnings are about ancillary details; the picture still decodes.
void on_warning(png_structp, png_const_charp) {}

// Reads the picture into rows (the raw bytes after libpng's expansions) and
// turns them into picture. The caller owns png, info and rows and frees them.
bool decode_rows(png_structp png, png_infop info, png_source *source,
                 const prep_decode_options &options, std::vector<unsigned char> *rows,
                 std::vector<png_bytep> *row_pointers, prep_picture *picture) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_read_fn(png, source, read_bytes);
    png_read_info(png, info);
    png_uint_32 width = png_get_image_width(png, info);
    png_uint_32 height = png_get_image_height(png, info);
    if (!prep_check_size(width, height, options, "PNG", source->error)) return false;

    // Palette to RGB, grey below 8 bits to 8, transparency chunks to alpha,
    // grey to RGB: what remains is RGB or RGBA of 8 or 16 bits.
    png_set_expand(png);
    png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    int channels = png_get_channels(png, info);
    int depth = png_get_bit_depth(png, info);
    size_t row_bytes = png_get_rowbytes(png, info);
    if ((channels != 3 && channels != 4) || (depth != 8 && depth != 16) ||
        row_bytes != (size_t)width * channels * (depth / 8))
        png_error(png, "unexpected layout after expansion");

    rows->resize(row_bytes * height);
    row_pointers->resize(height);
    for (png_uint_32 y = 0; y < height; y++)
        (*row_pointers)[y] = rows->data() + y * row_bytes;
    png_read_image(png, row_pointers->data());
    png_read_end(png, nullptr);

    picture->width = (int)width;
    picture->height = (int)height;
    picture->samples.resize((size_t)width * height * 3);
    const unsigned char *in = rows->data();
    uint16_t *out = picture->samples.data();
    const unsigned char background[3] = {options.background.red, options.background.green,
                                         options.background.blue};
    for (size_t pixel = 0; pixel < (size_t)width * height; pixel++) {
        unsigned value[4];
        for (int c = 0; c < channels; c++) {
            value[c] = depth == 16 ? (unsigned)(in[0] << 8 | in[1]) : in[0] * 257u;
            in += depth / 8;
        }
        for (int c = 0; c < 3; c++)
            out[c] =
                channels == 4 ? prep_over(value[c], value[3], background[c]) : (uint16_t)value[c];
        out += 3;
    }
    return true;
}

} // namespace

bool prep_decode_png(const unsigned char *data, size_t size, const prep_decode_options &options,
                     prep_picture *picture, char *error) {
    png_source source = {data, size, 0, error};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, on_error, on_warning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        snprintf(error, PREP_ERROR_SIZE, "PNG picture not read: out of memory");
        return false;
    }
    std::vector<unsigned char> rows;
    std::vector<png_bytep> row_pointers;
    bool done = decode_rows(png, info, &source, options, &rows, &row_pointers, picture);
    png_destroy_read_struct(&png, &info, nullptr);
    return done;
}
