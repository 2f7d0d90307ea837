// Writes seed pictures for fuzz_prep into a directory: PNGs of every colour
// type, bit depth and interlacing, and JPEGs in colour, grey, progressive
// and with an EXIF orientation. Usage: prep_seeds DIRECTORY
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <jpeglib.h>
#include <png.h>
#include <string>
#include <vector>

namespace {

std::string dir;

bool write_png(const char *name, int colour_type, int depth, bool interlaced) {
    std::string path = dir + "/" + name;
    FILE *out = fopen(path.c_str(), "wb");
    if (!out) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        fclose(out);
        return false;
    }
    png_init_io(png, out);
    const int width = 9, height = 7;
    png_set_IHDR(png, info, width, height, depth, colour_type,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (colour_type == PNG_COLOR_TYPE_PALETTE) {
        png_color palette[4] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
        png_set_PLTE(png, info, palette, 4);
        png_byte alpha[2] = {0, 128};
        png_set_tRNS(png, info, alpha, 2, nullptr);
    }
    png_write_info(png, info);
    int channels = colour_type == PNG_COLOR_TYPE_RGB          ? 3
                   : colour_type == PNG_COLOR_TYPE_RGB_ALPHA  ? 4
                   : colour_type == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                                                              : 1;
    size_t row_bytes = ((size_t)width * channels * depth + 7) / 8;
    std::vector<png_byte> rows(row_bytes * height);
    for (size_t i = 0; i < rows.size(); i++)
        rows[i] = (png_byte)(i * 37 % 251);
    if (colour_type == PNG_COLOR_TYPE_PALETTE)
        for (png_byte &b : rows)
            b &= depth == 1 ? 0xff : 0x33;
    std::vector<png_bytep> pointers(height);
    for (int y = 0; y < height; y++)
        pointers[y] = &rows[y * row_bytes];
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return fclose(out) == 0;
}

bool write_jpeg(const char *name, bool grey, bool progressive, int orientation) {
    std::string path = dir + "/" + name;
    FILE *out = fopen(path.c_str(), "wb");
    if (!out) return false;
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = 17;
    info.image_height = 11;
    info.input_components = grey ? 1 : 3;
    info.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 60, TRUE);
    if (progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    if (orientation) {
        const unsigned char exif[] = {
            'E', 'x', 'i', 'f', 0,    0, 'M', 'M', 0, 42, 0, 0, 0,
            8,   0,   1,   1,   0x12, 0, 3,   0,   0, 0,  1, 0, (unsigned char)orientation,
            0,   0,   0,   0,   0,    0};
        jpeg_write_marker(&info, JPEG_APP0 + 1, exif, sizeof exif);
    }
    std::vector<JSAMPLE> row(17 * 3);
    while (info.next_scanline < info.image_height) {
        for (size_t i = 0; i < row.size(); i++)
            row[i] = (JSAMPLE)((i + info.next_scanline) * 29 % 256);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return fclose(out) == 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "Usage: prep_seeds DIRECTORY\n");
        return 2;
    }
    dir = argv[1];
    bool ok = write_png("grey1.png", PNG_COLOR_TYPE_GRAY, 1, false) &&
              write_png("grey16.png", PNG_COLOR_TYPE_GRAY, 16, true) &&
              write_png("palette.png", PNG_COLOR_TYPE_PALETTE, 2, false) &&
              write_png("rgb8.png", PNG_COLOR_TYPE_RGB, 8, true) &&
              write_png("rgba16.png", PNG_COLOR_TYPE_RGB_ALPHA, 16, false) &&
              write_png("greyalpha.png", PNG_COLOR_TYPE_GRAY_ALPHA, 8, false) &&
              write_jpeg("colour.jpg", false, false, 0) && write_jpeg("grey.jpg", true, false, 0) &&
              write_jpeg("progressive.jpg", false, true, 0) &&
              write_jpeg("turned.jpg", false, false, 6);
    return ok ? 0 : 1;
}
