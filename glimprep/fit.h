// Fitting a decoded picture into the suite's 80 x 60 picture: the part of it
// to take, where that part goes, and the area-averaging scaler that moves it.
#pragma once

#include "decode.h"

constexpr int PREP_WIDTH = 80;
constexpr int PREP_HEIGHT = 60;

enum prep_fit_mode {
    FIT_PAD,     // keep the aspect ratio and pad with the background colour
    FIT_FILL,    // keep the aspect ratio and cut off what overhangs, evenly on both sides
    FIT_STRETCH, // fill the whole picture, changing the aspect ratio
};

struct prep_rect {
    long x;
    long y;
    long width;
    long height;
};

// Where the source part goes: source (a part of the picture) is scaled onto
// target (a part of the 80 x 60 picture); the rest of the output is background.
struct prep_layout {
    prep_rect source;
    prep_rect target;
};

// The layout for a picture of width x height of which the part crop is taken
// (crop must lie inside the picture and not be empty).
prep_layout prep_plan(prep_rect crop, prep_fit_mode mode);

// Writes the 80 x 60 RGB raster (3 bytes per pixel, row by row) of picture
// laid out by layout on background. Each output pixel of the target is the
// average of the source area it covers, every source pixel weighted by the
// share of it that lies under the output pixel, computed in integers and
// rounded to nearest once, so a thin line survives as a fainter one.
void prep_scale(const prep_picture &picture, const prep_layout &layout, prep_rgb background,
                unsigned char *raster);
