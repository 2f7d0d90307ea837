// Geometry of the fitting modes, and the area-averaging scaler.
#include "fit.h"

#include <algorithm>
#include <vector>

// a * b / c rounded to nearest, for the small sizes of a layout.
static long scaled(long a, long b, long c) {
    return (2 * a * b + c) / (2 * c);
}

prep_layout prep_plan(prep_rect crop, prep_fit_mode mode) {
    prep_layout layout = {crop, {0, 0, PREP_WIDTH, PREP_HEIGHT}};
    // The crop is wider than 4:3 when width / height > 80 / 60.
    bool wider = crop.width * PREP_HEIGHT > crop.height * PREP_WIDTH;
    if (mode == FIT_PAD) {
        prep_rect &target = layout.target;
        if (wider) {
            target.height = scaled(crop.height, PREP_WIDTH, crop.width);
            if (target.height < 1) target.height = 1;
        } else {
            target.width = scaled(crop.width, PREP_HEIGHT, crop.height);
            if (target.width < 1) target.width = 1;
        }
        target.x = (PREP_WIDTH - target.width) / 2;
        target.y = (PREP_HEIGHT - target.height) / 2;
    } else if (mode == FIT_FILL) {
        prep_rect &source = layout.source;
        if (wider) {
            source.width = scaled(crop.height, PREP_WIDTH, PREP_HEIGHT);
            if (source.width < 1) source.width = 1;
        } else {
            source.height = scaled(crop.width, PREP_HEIGHT, PREP_WIDTH);
            if (source.height < 1) source.height = 1;
        }
        source.x = crop.x + (crop.width - source.width) / 2;
        source.y = crop.y + (crop.height - source.height) / 2;
    }
    return layout;
}

// The overlap of [a0, a1) and [b0, b1).
static long overlap(long a0, long a1, long b0, long b1) {
    long low = a0 > b0 ? a0 : b0;
    long high = a1 < b1 ? a1 : b1;
    return high > low ? high - low : 0;
}

// Works in units of 1 / (source size x target size) of a pixel on each axis:
// source pixel s spans [s * t, (s + 1) * t) and target pixel d spans
// [d * s_size, (d + 1) * s_size), where t is the target size, so every weight
// is a whole number and the weights of one target pixel sum to the source
// size. Each source row is summed across into the target columns, then added
// into the target rows it overlaps; sums stay below 2^63 for every picture
// within the decoder's pixel limit.
void prep_scale(const prep_picture &picture, const prep_layout &layout, prep_rgb background,
                unsigned char *raster) {
    const prep_rect &source = layout.source;
    const prep_rect &target = layout.target;
    for (int pixel = 0; pixel < PREP_WIDTH * PREP_HEIGHT; pixel++) {
        raster[3 * pixel] = background.red;
        raster[3 * pixel + 1] = background.green;
        raster[3 * pixel + 2] = background.blue;
    }
    std::vector<unsigned long long> across(PREP_WIDTH * 3);
    std::vector<unsigned long long> sums(PREP_HEIGHT * PREP_WIDTH * 3);
    long sw = source.width, sh = source.height, tw = target.width, th = target.height;
    for (long sy = 0; sy < sh; sy++) {
        std::fill(across.begin(), across.end(), 0);
        const uint16_t *row =
            &picture.samples[3 * ((size_t)(source.y + sy) * picture.width + source.x)];
        for (long dx = 0; dx < tw; dx++) {
            long first = dx * sw / tw;
            long last = ((dx + 1) * sw - 1) / tw;
            for (long sx = first; sx <= last; sx++) {
                long weight = overlap(sx * tw, (sx + 1) * tw, dx * sw, (dx + 1) * sw);
                for (int c = 0; c < 3; c++)
                    across[3 * dx + c] += (unsigned long long)weight * row[3 * sx + c];
            }
        }
        long first = sy * th / sh;
        long last = ((sy + 1) * th - 1) / sh;
        for (long dy = first; dy <= last; dy++) {
            long weight = overlap(sy * th, (sy + 1) * th, dy * sh, (dy + 1) * sh);
            for (long i = 0; i < 3 * tw; i++)
                sums[dy * PREP_WIDTH * 3 + i] += (unsigned long long)weight * across[i];
        }
    }
    // A sum of sw * sh * 65535 is white: scale to 255 and round to nearest.
    unsigned long long whole = (unsigned long long)sw * sh * 65535;
    for (long dy = 0; dy < th; dy++) {
        unsigned char *out = raster + 3 * ((target.y + dy) * PREP_WIDTH + target.x);
        for (long i = 0; i < 3 * tw; i++)
            out[i] = (unsigned char)((sums[dy * PREP_WIDTH * 3 + i] * 255 + whole / 2) / whole);
    }
}
