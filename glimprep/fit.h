// Fitting a decoded picture into the suite's 80 x 60 picture: the part of it
// to take, where that part goes, and the area-averaging scaler that moves it.
#pragma once

#include "decode.h"
#include "settings.h"

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

// Shrinks a picture that comes from a decoder row by row into the 80 x 60
// raster, without holding the picture. Each output pixel of the target is
// the average of the source area it covers, every source pixel weighted by
// the share of it that lies under the output pixel, computed in integers and
// rounded to nearest once, so a thin line survives as a fainter one.
//
// The averaging runs in the picture's stored orientation, on the source and
// target turned back to it: each weight is a product of overlaps along the
// two axes, which mirrors and quarter turns leave as they are, so the result
// is the one of turning the picture first. A JPEG comes at a reduction: each
// of its pixels then stands for the stored pixels under it.
class prep_shrinker : public prep_sink {
  public:
    // For a decoder: crop is the part of the picture as shown to take, or
    // whole when has_crop is false; the layout follows once the size is known.
    prep_shrinker(bool has_crop, prep_rect crop, prep_fit_mode mode, prep_rgb background);
    // For a picture at hand: layout as prep_plan gives it, no reduction.
    prep_shrinker(const prep_layout &layout, prep_rgb background, long width, long height);

    int start(long width, long height, int orientation, int max_reduction, char *error) override;
    void take(long y, long x, long step, long count, const uint16_t *rgb) override;

    // Writes the 80 x 60 RGB raster (3 bytes per pixel, row by row) once every
    // row has come: the target's averages on the background colour. With
    // --fit, a band of padding one or two pixels wide is not left as a thin
    // strip of background, which the scene reader would take for an object:
    // it repeats the picture's outermost row or column beside it.
    void finish(unsigned char *raster) const;

    long shown_width = 0; // the picture as shown, after its orientation
    long shown_height = 0;
    bool refused = false; // start refused the crop; its error names the option

  private:
    void place(long width, long height, int orientation, int reduction);

    bool has_crop_ = false;
    prep_rect crop_ = {0, 0, 0, 0};
    prep_fit_mode mode_ = FIT_PAD;
    prep_rgb background_ = {0, 0, 0};
    prep_layout layout_ = {};
    int orientation_ = 0;
    long width_ = 0, height_ = 0; // as stored, at full size
    long reduction_ = 1;
    // The source rectangle as stored and the target's size turned back to
    // the stored orientation; positions along each axis are counted in
    // 1 / (target size) of a stored pixel, so every weight is a whole number.
    prep_rect stored_source_ = {0, 0, 0, 0};
    long stored_width_ = 0, stored_height_ = 0;
    unsigned long long sums_[PICTURE_WIDTH * PICTURE_HEIGHT * 3] = {};
    unsigned long long across_[PICTURE_WIDTH * 3] = {};
};

// Writes the 80 x 60 raster of a picture at hand laid out by layout on
// background, as prep_shrinker does for decoded rows.
void prep_scale(const prep_picture &picture, const prep_layout &layout, prep_rgb background,
                unsigned char *raster);
