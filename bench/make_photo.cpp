// Makes a camera-sized JPEG from a smaller photograph for glimprep's
// benchmark: the photo's middle, cut to the new aspect ratio, enlarged with
// bilinear interpolation to WIDTH x HEIGHT, with a fixed pattern of noise of
// about 3 levels (so that its blocks carry the detail of a sensor's grain,
// not the smoothness of an enlargement), saved at quality 92 with the usual
// 4:2:0 chroma, baseline or progressive, with an EXIF orientation when given.
// Usage: make_photo IN.jpg OUT.jpg WIDTH HEIGHT [ORIENTATION [progressive]]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <jpeglib.h>
#include <vector>

namespace {

bool read_jpeg(const char *path, std::vector<unsigned char> *rgb, int *width, int *height) {
    FILE *in = fopen(path, "rb");
    if (!in) return false;
    jpeg_decompress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, in);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    *width = (int)info.output_width;
    *height = (int)info.output_height;
    rgb->resize((size_t)*width * *height * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = &(*rgb)[(size_t)info.output_scanline * *width * 3];
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    fclose(in);
    return true;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 5) {
        fprintf(stderr, "Usage: make_photo IN.jpg OUT.jpg WIDTH HEIGHT [ORIENTATION [progressive]]\n");
        return 2;
    }
    int out_width = atoi(argv[3]), out_height = atoi(argv[4]);
    int orientation = argc > 5 ? atoi(argv[5]) : 0;
    bool progressive = argc > 6 && strcmp(argv[6], "progressive") == 0;
    std::vector<unsigned char> photo;
    int width, height;
    if (!read_jpeg(argv[1], &photo, &width, &height) || out_width < 1 || out_height < 1) {
        fprintf(stderr, "make_photo: cannot read %s\n", argv[1]);
        return 1;
    }
    // The part of the photo with the output's aspect ratio.
    double part_width = width, part_height = height;
    if ((double)width * out_height > (double)height * out_width)
        part_width = (double)height * out_width / out_height;
    else
        part_height = (double)width * out_height / out_width;
    double left = (width - part_width) / 2, top = (height - part_height) / 2;

    FILE *out = fopen(argv[2], "wb");
    if (!out) {
        fprintf(stderr, "make_photo: cannot write %s\n", argv[2]);
        return 1;
    }
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = (JDIMENSION)out_width;
    info.image_height = (JDIMENSION)out_height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 92, TRUE);
    if (progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    if (orientation) {
        const unsigned char exif[] = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0,
                                      0x12, 1, 3, 0, 1, 0, 0, 0, (unsigned char)orientation,
                                      0, 0, 0, 0, 0, 0, 0};
        jpeg_write_marker(&info, JPEG_APP0 + 1, exif, sizeof exif);
    }
    std::vector<unsigned char> row((size_t)out_width * 3);
    uint32_t noise = 12345;
    for (int y = 0; y < out_height; y++) {
        double fy = top + (y + 0.5) * part_height / out_height - 0.5;
        int y0 = fy < 0 ? 0 : (int)fy;
        int y1 = y0 + 1 < height ? y0 + 1 : height - 1;
        double wy = fy - y0 < 0 ? 0 : fy - y0;
        for (int x = 0; x < out_width; x++) {
            double fx = left + (x + 0.5) * part_width / out_width - 0.5;
            int x0 = fx < 0 ? 0 : (int)fx;
            int x1 = x0 + 1 < width ? x0 + 1 : width - 1;
            double wx = fx - x0 < 0 ? 0 : fx - x0;
            noise = noise * 1664525u + 1013904223u;
            int grain = (int)(noise >> 29) - 3;
            for (int c = 0; c < 3; c++) {
                auto at = [&](int px, int py) { return photo[3 * ((size_t)py * width + px) + c]; };
                double value = (1 - wy) * ((1 - wx) * at(x0, y0) + wx * at(x1, y0)) +
                               wy * ((1 - wx) * at(x0, y1) + wx * at(x1, y1)) + grain;
                row[3 * x + c] = (unsigned char)(value < 0 ? 0 : value > 255 ? 255 : value + 0.5);
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return fclose(out) == 0 ? 0 : 1;
}
