// The bench's JPEG writer, through libjpeg.
#include "photo_jpeg.h"

#include <cstdio>

#include <jpeglib.h>

bool photo_write_jpeg(const std::string &name, const std::vector<unsigned char> &rgb, int width,
                      int height) {
    FILE *out = fopen(name.c_str(), "wb");
    if (!out) return false;
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = (JDIMENSION)width;
    info.image_height = (JDIMENSION)height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    for (int y = 0; y < height; y++) {
        JSAMPROW row = const_cast<unsigned char *>(&rgb[(size_t)y * width * 3]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return fclose(out) == 0;
}
