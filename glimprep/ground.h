// Clearing a photo's ground (--ground clear): the pixels of the ground that
// surrounds the objects become black, so that an object looks about the same
// on a light or a textured ground as on the plain dark one it was taught on,
// and a stony ground's texture gives the segmentation no edges.
#pragma once

#include "fit.h"

// Every pixel within this many levels (in each channel) of the ground's
// colour counts as ground on a plain ground; a textured one widens it.
constexpr int GROUND_LEAST_TOLERANCE = 10;
// The share of the frame's pixels that the tolerance takes in: the spread of
// the ground's texture, the frame's few object pixels left out.
constexpr int GROUND_FRAME_PERCENT = 90;
// What is left of the picture in pieces smaller than this many pixels is the
// ground's texture (a stone brighter than the rest), not an object: glim
// teach --all takes boxes of 64 pixels and more.
constexpr int GROUND_SPECK_PIXELS = 30;

// Clears the ground of the raster (3 bytes per pixel, PICTURE_WIDTH x
// PICTURE_HEIGHT) within inside (the part the input went to; the rest is
// padding and stays). The ground's colour is the median, channel by channel,
// of inside's frame (its outermost rows and columns), and the tolerance the
// larger of GROUND_LEAST_TOLERANCE and the distance within which
// GROUND_FRAME_PERCENT of the frame's pixels lie (a pixel's distance: its
// largest difference in one channel). Black become: the pixels within the
// tolerance that the frame reaches through such pixels (side by side, not
// corner to corner), then the pieces of what is left (corners joining) of
// fewer than GROUND_SPECK_PIXELS pixels. A hole of ground colour inside an
// object stays. Pixels that are not cleared keep their colour. An inside of
// less than 3 x 3 pixels is left as it is.
void prep_clear_ground(unsigned char *raster, prep_rect inside);
