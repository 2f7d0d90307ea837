// From a picture file to the suite's 80 x 60 raster: the whole of what
// glimprep does short of saving, for every program that brings photos in.
#pragma once

#include <cstddef>

#include "decode.h"
#include "fit.h"

// The size of a complete message line from these functions.
constexpr int PREP_LINE_SIZE = 1024;

// What glimprep's options choose.
struct prep_request {
    prep_fit_mode mode = FIT_PAD;
    bool has_crop = false;
    prep_rect crop = {0, 0, 0, 0}; // of the picture as shown, after EXIF orientation
    prep_rgb background = {0, 0, 0};
    long max_pixels = PREP_MAX_PIXELS; // larger pictures are refused
};

// What was read.
struct prep_made {
    prep_format format = FORMAT_UNKNOWN;
    long width = 0; // the picture as shown
    long height = 0;
};

// Reads the picture file at path and writes raster: 80 x 60 RGB pixels, 3
// bytes each, row by row. The file must be a regular file; it is read as a
// stream, never whole. true on success; false with a complete "what: why"
// line in error (PREP_LINE_SIZE bytes), such as "photo.jpg: broken JPEG
// picture: ..." or "out of memory while decoding photo.jpg".
bool prep_shrink_file(const char *path, const prep_request &request, unsigned char *raster,
                      prep_made *made, char *error);

// The same for a picture already in memory; name is for messages.
bool prep_shrink_memory(const unsigned char *data, size_t size, const char *name,
                        const prep_request &request, unsigned char *raster, prep_made *made,
                        char *error);
