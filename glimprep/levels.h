// Light and colour adjustments of the fitted 80 x 60 picture, for photos whose
// objects the suite's blue-sample segmentation would otherwise miss: --grey
// puts the luminance into all three channels, --levels auto stretches each
// channel to the full range.
#pragma once

#include "fit.h"

// Below this share of a channel's samples (and above 1 minus it) --levels
// auto takes the samples as outliers: a few highlights or dead pixels do not
// decide the stretch.
constexpr int LEVELS_OUTLIER_PERCENT = 1;

// Replaces every pixel of the raster (3 bytes per pixel, PICTURE_WIDTH x
// PICTURE_HEIGHT) by its luminance, 0.299 R + 0.587 G + 0.114 B rounded.
void prep_grey(unsigned char *raster);

// Stretches each channel of the raster so that the samples of the area inside
// (the part the input went to; padding would pin the darkest level) run from
// 0 to 255: the LEVELS_OUTLIER_PERCENT-th percentile becomes 0, the one as far
// from the top 255, and the samples beyond are clipped. A channel whose
// percentiles agree is left as it is.
void prep_levels_auto(unsigned char *raster, prep_rect inside);
