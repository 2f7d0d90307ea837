// The --grey and --levels adjustments, in integers so that every machine
// writes the same picture.
#include "levels.h"

#include <algorithm>

void prep_grey(unsigned char *raster) {
    for (int i = 0; i < PICTURE_WIDTH * PICTURE_HEIGHT; i++) {
        unsigned char *pixel = raster + 3 * i;
        int luminance = (299 * pixel[0] + 587 * pixel[1] + 114 * pixel[2] + 500) / 1000;
        pixel[0] = pixel[1] = pixel[2] = (unsigned char)luminance;
    }
}

// The first level, counted from the dark end (or from the bright end when
// from_top), beyond which more than LEVELS_OUTLIER_PERCENT of the histogram's
// count samples lie.
static int percentile(const long *histogram, long count, bool from_top) {
    long wanted = count * LEVELS_OUTLIER_PERCENT / 100;
    long seen = 0;
    for (int step = 0; step < 256; step++) {
        int level = from_top ? 255 - step : step;
        seen += histogram[level];
        if (seen > wanted) return level;
    }
    return from_top ? 0 : 255;
}

void prep_levels_auto(unsigned char *raster, prep_rect inside) {
    for (int channel = 0; channel < 3; channel++) {
        long histogram[256] = {};
        long count = 0;
        for (long y = inside.y; y < inside.y + inside.height; y++)
            for (long x = inside.x; x < inside.x + inside.width; x++) {
                histogram[raster[3 * (y * PICTURE_WIDTH + x) + channel]]++;
                count++;
            }
        if (count == 0) continue;
        int low = percentile(histogram, count, false);
        int high = percentile(histogram, count, true);
        if (high <= low) continue;
        for (int i = 0; i < PICTURE_WIDTH * PICTURE_HEIGHT; i++) {
            int value = raster[3 * i + channel];
            int stretched = ((value - low) * 255 * 2 + (high - low)) / (2 * (high - low));
            if (value <= low) stretched = 0;
            raster[3 * i + channel] = (unsigned char)std::min(stretched, 255);
        }
    }
}
