// Geometry of the fitting modes, and the area-averaging scaler.
#include "fit.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// a * b / c rounded to nearest, for the small sizes of a layout.
static long scaled(long a, long b, long c) {
    return (2 * a * b + c) / (2 * c);
}

prep_layout prep_plan(prep_rect crop, prep_fit_mode mode) {
    prep_layout layout = {crop, {0, 0, PICTURE_WIDTH, PICTURE_HEIGHT}};
    // The crop is wider than 4:3 when width / height > 80 / 60.
    bool wider = crop.width * PICTURE_HEIGHT > crop.height * PICTURE_WIDTH;
    if (mode == FIT_PAD) {
        prep_rect &target = layout.target;
        if (wider) {
            target.height = scaled(crop.height, PICTURE_WIDTH, crop.width);
            if (target.height < 1) target.height = 1;
        } else {
            target.width = scaled(crop.width, PICTURE_HEIGHT, crop.height);
            if (target.width < 1) target.width = 1;
        }
        target.x = (PICTURE_WIDTH - target.width) / 2;
        target.y = (PICTURE_HEIGHT - target.height) / 2;
    } else if (mode == FIT_FILL) {
        prep_rect &source = layout.source;
        if (wider) {
            source.width = scaled(crop.height, PICTURE_WIDTH, PICTURE_HEIGHT);
            if (source.width < 1) source.width = 1;
        } else {
            source.height = scaled(crop.width, PICTURE_HEIGHT, PICTURE_WIDTH);
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

prep_shrinker::prep_shrinker(bool has_crop, prep_rect crop, prep_fit_mode mode, prep_rgb background)
    : has_crop_(has_crop), crop_(crop), mode_(mode), background_(background) {}

prep_shrinker::prep_shrinker(const prep_layout &layout, prep_rgb background, long width,
                             long height)
    : background_(background), layout_(layout) {
    shown_width = width;
    shown_height = height;
    place(width, height, 0, 1);
}

int prep_shrinker::start(long width, long height, int orientation, int max_reduction, char *error) {
    shown_width = prep_turned(orientation) ? height : width;
    shown_height = prep_turned(orientation) ? width : height;
    prep_rect crop = {0, 0, shown_width, shown_height};
    if (has_crop_) {
        crop = crop_;
        if (crop.x + crop.width > shown_width || crop.y + crop.height > shown_height) {
            snprintf(error, PREP_ERROR_SIZE,
                     "--crop %ld,%ld,%ld,%ld: not inside the picture of %ld x %ld pixels", crop.x,
                     crop.y, crop.width, crop.height, shown_width, shown_height);
            refused = true;
            return 0;
        }
    }
    layout_ = prep_plan(crop, mode_);
    // The largest reduction at which the source still has at least two
    // pixels for each pixel of the target in both directions, so that the
    // averaging here still has pixels to average.
    const prep_rect &source = layout_.source;
    const prep_rect &target = layout_.target;
    int reduction = 1;
    while (reduction * 2 <= max_reduction && source.width >= 2 * target.width * reduction * 2 &&
           source.height >= 2 * target.height * reduction * 2)
        reduction *= 2;
    place(width, height, orientation, reduction);
    return reduction;
}

void prep_shrinker::place(long width, long height, int orientation, int reduction) {
    width_ = width;
    height_ = height;
    orientation_ = orientation;
    reduction_ = reduction;
    const prep_rect &source = layout_.source;
    long x1, y1, x2, y2;
    prep_stored_pixel(orientation, width, height, source.x, source.y, &x1, &y1);
    prep_stored_pixel(orientation, width, height, source.x + source.width - 1,
                      source.y + source.height - 1, &x2, &y2);
    stored_source_ = {std::min(x1, x2), std::min(y1, y2), std::labs(x2 - x1) + 1,
                      std::labs(y2 - y1) + 1};
    bool turned = prep_turned(orientation);
    stored_width_ = turned ? layout_.target.height : layout_.target.width;
    stored_height_ = turned ? layout_.target.width : layout_.target.height;
}

// Along each axis, with t the target's size and s the source's in stored
// pixels: decoded pixel p spans [p * r * t, min((p + 1) * r, size) * t) and
// target pixel d spans [start * t + d * s, start * t + (d + 1) * s), so the
// weights of one target pixel sum to s. The pixels of a run are summed across
// into the target columns, then added into the target rows the row overlaps;
// sums stay below 2^63 for every picture within the decoder's pixel limit.
void prep_shrinker::take(long y, long x, long step, long count, const uint16_t *rgb) {
    long tw = stored_width_, th = stored_height_;
    long sw = stored_source_.width, sh = stored_source_.height;
    long row_low = y * reduction_ * th;
    long row_high = std::min((y + 1) * reduction_, height_) * th;
    long rows_start = stored_source_.y * th;
    if (row_high <= rows_start || row_low >= rows_start + sh * th) return;

    long columns_start = stored_source_.x * tw;
    long columns_end = columns_start + sw * tw;
    long first = -1, last = -1; // the target columns this run reaches, cleared as reached
    long d = 0;
    for (long i = 0; i < count; i++, rgb += 3) {
        long column = x + i * step;
        long low = column * reduction_ * tw;
        long high = std::min((column + 1) * reduction_, width_) * tw;
        if (high <= columns_start) continue;
        if (low >= columns_end) break;
        while (columns_start + (d + 1) * sw <= low)
            d++;
        if (first < 0) {
            first = d;
            last = d - 1;
        }
        for (long k = d; k < tw && columns_start + k * sw < high; k++) {
            while (last < k) {
                last++;
                across_[3 * last] = across_[3 * last + 1] = across_[3 * last + 2] = 0;
            }
            unsigned long long weight = (unsigned long long)overlap(
                low, high, columns_start + k * sw, columns_start + (k + 1) * sw);
            across_[3 * k] += weight * rgb[0];
            across_[3 * k + 1] += weight * rgb[1];
            across_[3 * k + 2] += weight * rgb[2];
        }
    }
    if (first < 0 || last < first) return;
    long e = std::max(0L, (row_low - rows_start) / sh);
    for (; e < th && rows_start + e * sh < row_high; e++) {
        unsigned long long weight = (unsigned long long)overlap(
            row_low, row_high, rows_start + e * sh, rows_start + (e + 1) * sh);
        if (weight == 0) continue;
        unsigned long long *sums = &sums_[3 * e * tw];
        for (long k = 3 * first; k < 3 * (last + 1); k++)
            sums[k] += weight * across_[k];
    }
}

void prep_shrinker::finish(unsigned char *raster) const {
    const prep_rect &target = layout_.target;
    for (int pixel = 0; pixel < PICTURE_WIDTH * PICTURE_HEIGHT; pixel++) {
        raster[3 * pixel] = background_.red;
        raster[3 * pixel + 1] = background_.green;
        raster[3 * pixel + 2] = background_.blue;
    }
    // A sum of s_width * s_height * 65535 is white: scale to 255 and round to nearest.
    unsigned long long whole =
        (unsigned long long)stored_source_.width * stored_source_.height * 65535;
    for (long ty = 0; ty < target.height; ty++) {
        for (long tx = 0; tx < target.width; tx++) {
            long u, v;
            prep_stored_pixel(orientation_, stored_width_, stored_height_, tx, ty, &u, &v);
            const unsigned long long *sum = &sums_[3 * (v * stored_width_ + u)];
            unsigned char *out = raster + 3 * ((target.y + ty) * PICTURE_WIDTH + target.x + tx);
            for (int c = 0; c < 3; c++)
                out[c] = (unsigned char)((sum[c] * 255 + whole / 2) / whole);
        }
    }
    // Thin bands of padding take the nearest pixel of the picture beside them.
    auto copy = [&](long to_x, long to_y, long from_x, long from_y) {
        memcpy(raster + 3 * (to_y * PICTURE_WIDTH + to_x),
               raster + 3 * (from_y * PICTURE_WIDTH + from_x), 3);
    };
    long left = target.x, right = PICTURE_WIDTH - target.x - target.width;
    long top = target.y, bottom = PICTURE_HEIGHT - target.y - target.height;
    for (long ty = target.y; ty < target.y + target.height; ty++) {
        for (long x = 0; left <= 2 && x < left; x++)
            copy(x, ty, target.x, ty);
        for (long x = target.x + target.width; right <= 2 && x < PICTURE_WIDTH; x++)
            copy(x, ty, target.x + target.width - 1, ty);
    }
    for (long x = 0; x < PICTURE_WIDTH; x++) {
        for (long y = 0; top <= 2 && y < top; y++)
            copy(x, y, x, target.y);
        for (long y = target.y + target.height; bottom <= 2 && y < PICTURE_HEIGHT; y++)
            copy(x, y, x, target.y + target.height - 1);
    }
}

void prep_scale(const prep_picture &picture, const prep_layout &layout, prep_rgb background,
                unsigned char *raster) {
    prep_shrinker shrinker(layout, background, picture.width, picture.height);
    for (long y = 0; y < picture.height; y++)
        shrinker.take(y, 0, 1, picture.width, &picture.samples[3 * (size_t)y * picture.width]);
    shrinker.finish(raster);
}
