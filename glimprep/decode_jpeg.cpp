// JPEG through libjpeg. libjpeg reports a fatal error by calling error_exit,
// which here jumps back to the setjmp in decode_scanlines; that function keeps
// no object with a destructor of its own.
#include <csetjmp>
#include <cstdio>
#include <cstring>
// jpeglib.h needs size_t and FILE declared before it.
#include <jerror.h>
#include <jpeglib.h>

#include "decode.h"

namespace {

struct jpeg_failure {
    jpeg_error_mgr manager; // first, so libjpeg's pointer to it is a pointer to this
    jmp_buf jump;
    bool cut_short; // the data ended before the picture did
    char *error;
};

void on_error(j_common_ptr info) {
    jpeg_failure *failure = reinterpret_cast<jpeg_failure *>(info->err);
    char message[JMSG_LENGTH_MAX];
    (*info->err->format_message)(info, message);
    snprintf(failure->error, PREP_ERROR_SIZE, "broken JPEG picture: %.150s", message);
    longjmp(failure->jump, 1);
}

// libjpeg goes on over most damage with a warning. A picture whose data ends
// early would come out grey below the cut, so that one is taken as an error.
void on_message(j_common_ptr info, int level) {
    jpeg_failure *failure = reinterpret_cast<jpeg_failure *>(info->err);
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) failure->cut_short = true;
}

void no_output(j_common_ptr) {}

// CMYK as Adobe software writes it stores inverted inks (255 = no ink).
unsigned char cmyk_channel(unsigned ink, unsigned black, bool inverted) {
    if (!inverted) {
        ink = 255 - ink;
        black = 255 - black;
    }
    return (unsigned char)((ink * black + 127) / 255);
}

bool decode_scanlines(jpeg_decompress_struct *info, jpeg_failure *failure,
                      const unsigned char *data, size_t size, const prep_decode_options &options,
                      std::vector<unsigned char> *row, prep_picture *picture, int *orientation) {
    if (setjmp(failure->jump)) return false;
    jpeg_create_decompress(info);
    jpeg_mem_src(info, data, (unsigned long)size);
    jpeg_save_markers(info, JPEG_APP0 + 1, 0xffff);
    jpeg_read_header(info, TRUE);
    for (jpeg_saved_marker_ptr marker = info->marker_list; marker; marker = marker->next) {
        if (marker->marker == JPEG_APP0 + 1 && *orientation == 0)
            *orientation = prep_exif_orientation(marker->data, marker->data_length);
    }
    if (!prep_check_size(info->image_width, info->image_height, options, "JPEG", failure->error))
        return false;
    bool cmyk = info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK;
    info->out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(info);
    int width = (int)info->output_width;
    int height = (int)info->output_height;
    int components = info->output_components;
    if (components != (cmyk ? 4 : 3)) {
        snprintf(failure->error, PREP_ERROR_SIZE, "broken JPEG picture: %d colour components",
                 components);
        return false;
    }
    row->resize((size_t)width * components);
    picture->width = width;
    picture->height = height;
    picture->samples.resize((size_t)width * height * 3);
    uint16_t *out = picture->samples.data();
    bool inverted = info->saw_Adobe_marker;
    while (info->output_scanline < info->output_height) {
        JSAMPROW rows[1] = {row->data()};
        jpeg_read_scanlines(info, rows, 1);
        if (failure->cut_short) break;
        const unsigned char *in = row->data();
        for (int x = 0; x < width; x++, in += components, out += 3) {
            for (int c = 0; c < 3; c++)
                out[c] = 257 * (cmyk ? cmyk_channel(in[c], in[3], inverted) : in[c]);
        }
    }
    if (failure->cut_short) {
        snprintf(failure->error, PREP_ERROR_SIZE,
                 "broken JPEG picture: the data ends before the last row");
        return false;
    }
    jpeg_finish_decompress(info);
    return true;
}

} // namespace

bool prep_decode_jpeg(const unsigned char *data, size_t size, const prep_decode_options &options,
                      prep_picture *picture, char *error) {
    jpeg_decompress_struct info;
    jpeg_failure failure;
    info.err = jpeg_std_error(&failure.manager);
    failure.manager.error_exit = on_error;
    failure.manager.emit_message = on_message;
    failure.manager.output_message = no_output;
    failure.cut_short = false;
    failure.error = error;
    std::vector<unsigned char> row;
    int orientation = 0;
    bool done = decode_scanlines(&info, &failure, data, size, options, &row, picture, &orientation);
    jpeg_destroy_decompress(&info);
    if (done) prep_orient(picture, orientation);
    return done;
}
