// Arbitrary bytes as a picture file: the scene loader with the whole
// segmentation behind it, then the object encoder for every object found.
//
// The encoder ends the process for pictures other than 80 x 60 with maximum
// 255 and for short rasters, which is the programs' behaviour; it is called
// only for pictures it accepts, so that each run goes on to the next input.
#include <cstdio>

#include "fuzz_input.h"
#include "net.h"
#include "pict2.h"
#include "ppmheader.h"
#include "scene.h"

// Whether the encoder takes the picture: the header it reads is exactly
// 80 x 60 with maximum 255 and a whole raster follows it.
static bool encoder_accepts(const uint8_t *data, size_t size) {
    if (size == 0) return false;
    FILE *in = fmemopen(const_cast<uint8_t *>(data), size, "rb");
    if (!in) return false;
    ppm_header header;
    bool fits = ppm_read_header(in, &header) == PPM_OK && header.width == PICTURE_WIDTH &&
                header.height == PICTURE_HEIGHT && header.maxval == 255;
    long raster_start = ftell(in);
    fclose(in);
    return fits && raster_start >= 0 &&
           size - (size_t)raster_start >= (size_t)PICTURE_WIDTH * PICTURE_HEIGHT * 3;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const char *path = fuzz_input_path(data, size);
    scene_load(path);
    int count = object_count();
    if (count < 0 || count > MAX_OBJECTS) fuzz_fail("object count out of range");
    // Every chain lies on edge pixels inside the picture's border, and its box
    // one pixel around it; merged boxes are unions of such boxes.
    for (int j = 0; j < count; j++) {
        int x = object_x(j), y = object_y(j), w = object_width(j), h = object_height(j);
        if (x < 0 || y < 0 || w < 2 || h < 2 || x + w >= PICTURE_WIDTH || y + h >= PICTURE_HEIGHT)
            fuzz_fail("object box outside the picture");
    }
    if (!encoder_accepts(data, size)) return 0;
    for (int j = 0; j < count; j++) {
        int act[NETSIZE];
        encode_object(path, object_x(j), object_y(j), object_width(j), object_height(j), act);
        for (int u = 0; u < NETSIZE; u++)
            if (act[u] != 0 && act[u] != 1) fuzz_fail("encoding holds a value other than 0 and 1");
    }
    return 0;
}
