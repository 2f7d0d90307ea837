// Arbitrary bytes as a JPEG for glimprep, up to 2^22 pixels, so that cut and
// hostile files of a real size reach the decoder. Two properties:
// - a picture whose decoding meets a warning that fills rows with made-up
//   data (checked by a plain libjpeg decoding of the same bytes, which stops
//   at the first such warning) is refused;
// - the processor time of a decoding is bounded per input byte: every scan
//   costs at most a pass over the picture and takes at least 10 bytes, and
//   glimprep reads at most 100 of them.
#include <csetjmp>
#include <cstdio>
#include <ctime>
#include <jerror.h>
#include <jpeglib.h>

#include "fuzz_input.h"
#include "shrink.h"

namespace {

constexpr long MAX_PIXELS = 1L << 22;

struct plain_decoder {
    jpeg_error_mgr manager; // first, so libjpeg's pointer to it is a pointer to this
    jmp_buf jump;
    bool made_up; // a warning said that rows were made up
};

void plain_error(j_common_ptr info) {
    longjmp(reinterpret_cast<plain_decoder *>(info->err)->jump, 1);
}

void plain_message(j_common_ptr info, int level) {
    if (level >= 0) return;
    plain_decoder *decoder = reinterpret_cast<plain_decoder *>(info->err);
    switch (info->err->msg_code) {
    case JWRN_HIT_MARKER:
    case JWRN_JPEG_EOF:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_MUST_RESYNC:
        decoder->made_up = true;
        longjmp(decoder->jump, 1);
    default:
        break;
    }
}

void plain_progress(j_common_ptr info) {
    // Beyond glimprep's limit the plain decoding has nothing to show.
    if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > PREP_JPEG_MAX_SCANS)
        longjmp(reinterpret_cast<plain_decoder *>(info->err)->jump, 1);
}

// Decodes data at 1/8 (the entropy decoding, where the warnings arise, is the
// same at every scale); true when a warning said rows were made up.
bool plain_decoding_makes_up_rows(const uint8_t *data, size_t size) {
    jpeg_decompress_struct info;
    plain_decoder decoder;
    jpeg_progress_mgr progress;
    info.err = jpeg_std_error(&decoder.manager);
    decoder.manager.error_exit = plain_error;
    decoder.manager.emit_message = plain_message;
    decoder.made_up = false;
    progress.progress_monitor = plain_progress;
    static JSAMPLE row[(MAX_PIXELS / 8 + 8) * 4];
    if (setjmp(decoder.jump) == 0) {
        jpeg_create_decompress(&info);
        info.progress = &progress;
        jpeg_mem_src(&info, data, (unsigned long)size);
        jpeg_read_header(&info, TRUE);
        if ((long)info.image_width * info.image_height <= MAX_PIXELS &&
            (long)info.image_width * info.image_height > 0) {
            info.scale_num = 1;
            info.scale_denom = 8;
            jpeg_start_decompress(&info);
            while (info.output_scanline < info.output_height) {
                JSAMPROW rows[1] = {row};
                jpeg_read_scanlines(&info, rows, 1);
            }
        }
    }
    jpeg_destroy_decompress(&info);
    return decoder.made_up;
}

double processor_seconds() {
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // Only JPEGs: the other formats have their own target.
    if (size < 3 || data[0] != 0xFF || data[1] != 0xD8 || data[2] != 0xFF) return 0;
    prep_request request;
    request.max_pixels = MAX_PIXELS;
    request.mode = size % 3 == 0 ? FIT_PAD : size % 3 == 1 ? FIT_FILL : FIT_STRETCH;
    unsigned char raster[PICTURE_WIDTH * PICTURE_HEIGHT * 3];
    prep_made made;
    char error[PREP_LINE_SIZE];
    double start = processor_seconds();
    bool done = prep_shrink_memory(data, size, "fuzz.jpg", request, raster, &made, error);
    double used = processor_seconds() - start;
    // A pass over 2^22 pixels takes well under 50 ms even with the fuzzer's
    // instrumentation; a scan takes at least 10 bytes.
    if (used > 1.0 + (double)size * 0.005) fuzz_fail("decoding took too long for its bytes");
    if (done && plain_decoding_makes_up_rows(data, size))
        fuzz_fail("a picture with made-up rows was taken");
    return 0;
}
