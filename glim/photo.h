// Bringing a photo in: any PNG, JPEG or PNM picture, of any size, becomes the
// suite's 80 x 60 RGB picture as glimprep makes it (the aspect ratio kept,
// padded with black), held in memory.
#pragma once

#include <cstddef>

#include "settings.h"

#include "fit.h"

constexpr int PHOTO_ERROR_SIZE = 1024;

// Reads the picture at path into raster (PICTURE_RASTER_BYTES, RGB row by row). true
// on success; false with a "what: why" line in error. inside, when given,
// receives the part of the raster that the picture fills (the rest is
// padding).
bool photo_read(const char *path, unsigned char *raster, char *error, prep_rect *inside = nullptr);
