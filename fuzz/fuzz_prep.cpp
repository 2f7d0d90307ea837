// Arbitrary bytes as glimprep's input: the PNG, JPEG and PNM decoders, the
// EXIF orientation reader, and the scaler over whatever picture decodes.
#include <cstdio>

#include "decode.h"
#include "fit.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // A smaller pixel limit than the program's keeps each run quick; the
    // limit's check is the same.
    prep_decode_options options;
    options.max_pixels = 1L << 18;
    options.background = {size > 0 ? data[0] : (unsigned char)0, 128, 255};
    prep_picture picture;
    char error[PREP_ERROR_SIZE];
    error[0] = '\0';
    if (!prep_decode(data, size, options, &picture, error)) {
        if (error[0] == '\0') fuzz_fail("a refusal without a reason");
        if (!picture.samples.empty()) fuzz_fail("a refusal left samples behind");
    } else {
        if (picture.width <= 0 || picture.height <= 0 ||
            (long)picture.width * picture.height > options.max_pixels ||
            picture.samples.size() != (size_t)picture.width * picture.height * 3)
            fuzz_fail("decoded picture of an impossible size");
        unsigned char raster[PICTURE_WIDTH * PICTURE_HEIGHT * 3];
        prep_rect whole = {0, 0, picture.width, picture.height};
        prep_scale(picture, prep_plan(whole, FIT_PAD), options.background, raster);
        prep_scale(picture, prep_plan(whole, FIT_FILL), options.background, raster);
    }
    int orientation = prep_exif_orientation(data, size);
    if (orientation < 0 || orientation > 8) fuzz_fail("orientation out of range");
    return 0;
}
