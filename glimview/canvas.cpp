// Drawing on an RGB raster and writing it as a PNG file.
#include "canvas.h"
#include "messages.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <png.h>

#include "savefile.h"

void canvas_init(canvas *picture, int width, int height, colour background) {
    picture->width = width;
    picture->height = height;
    picture->rgb.assign((size_t)width * height * 3, 0);
    canvas_fill(picture, 0, 0, width, height, background);
}

void canvas_fill(canvas *picture, int x, int y, int width, int height, colour fill) {
    int left = x < 0 ? 0 : x;
    int top = y < 0 ? 0 : y;
    int right = x + width > picture->width ? picture->width : x + width;
    int bottom = y + height > picture->height ? picture->height : y + height;
    for (int row = top; row < bottom; row++) {
        unsigned char *p = &picture->rgb[((size_t)row * picture->width + left) * 3];
        for (int column = left; column < right; column++) {
            *p++ = fill.red;
            *p++ = fill.green;
            *p++ = fill.blue;
        }
    }
}

void canvas_outline(canvas *picture, int x, int y, int width, int height, int thickness,
                    colour line) {
    canvas_fill(picture, x, y, width, thickness, line);
    canvas_fill(picture, x, y + height - thickness, width, thickness, line);
    canvas_fill(picture, x, y, thickness, height, line);
    canvas_fill(picture, x + width - thickness, y, thickness, height, line);
}

box_frame canvas_box_frame(int left, int top, int box_x, int box_y, int box_width,
                           int box_height) {
    constexpr int offset = (PANEL_ZOOM - BOX_FRAME_THICKNESS) / 2;
    return {left + box_x * PANEL_ZOOM + offset, top + box_y * PANEL_ZOOM + offset,
            box_width * PANEL_ZOOM + BOX_FRAME_THICKNESS,
            box_height * PANEL_ZOOM + BOX_FRAME_THICKNESS};
}

int text_width(const char *text, int scale) {
    int length = (int)strlen(text);
    return length == 0 ? 0 : (length * GLYPH_ADVANCE - (GLYPH_ADVANCE - GLYPH_WIDTH)) * scale;
}

void canvas_text(canvas *picture, int x, int y, const char *text, int scale, colour ink) {
    for (const char *c = text; *c && x < picture->width; c++, x += GLYPH_ADVANCE * scale)
        for (int row = 0; row < GLYPH_HEIGHT; row++)
            for (int column = 0; column < GLYPH_WIDTH; column++)
                if (font_pixel((unsigned char)*c, column, row))
                    canvas_fill(picture, x + column * scale, y + row * scale, scale, scale, ink);
}

// ---- PNG output

// libpng reports an error by calling this, which must not return.
static void png_failure(png_structp png, png_const_charp message) {
    const char *name = (const char *)png_get_error_ptr(png);
    message_error("cannot write %s: %s", name, message);
    png_longjmp(png, 1);
}

static void png_warning_ignored(png_structp, png_const_charp) {}

// Encodes the picture into out. Fixed settings and no time stamp, so that the
// same picture always gives the same bytes.
static bool png_encode(FILE *out, const canvas *picture, const char *name) {
    std::vector<png_bytep> rows((size_t)picture->height);
    for (int y = 0; y < picture->height; y++)
        rows[y] = (png_bytep)&picture->rgb[(size_t)y * picture->width * 3];

    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, (png_voidp)name, png_failure,
                                              png_warning_ignored);
    if (!png) {
        message_error("cannot write %s: out of memory", name);
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        message_error("cannot write %s: out of memory", name);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, out);
    png_set_compression_level(png, 9);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
    png_set_IHDR(png, info, (png_uint_32)picture->width, (png_uint_32)picture->height, 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE,
                 PNG_FILTER_TYPE_BASE);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

int canvas_save_png(const canvas *picture, const char *name) {
    save_file file;
    FILE *out = save_begin(&file, name);
    if (!out) return -1;
    if (!png_encode(out, picture, name)) {
        save_abandon(&file);
        return -1;
    }
    return save_commit(&file);
}
