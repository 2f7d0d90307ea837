// Clearing a photo's ground (--ground clear): the pixels of the ground that
// surrounds the objects become one dark grey, so that an object looks about
// the same on a light or a textured ground as on the plain dark one it was
// taught on, and a stony ground's texture gives the segmentation no edges.
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
// A piece of ground colour that the frame does not reach is the ground seen
// through a hole (a ring's) from this many pixels on, else a dark or light
// spot of the object's own.
constexpr int GROUND_HOLE_PIXELS = 20;
// A pixel left with fewer of its eight neighbours left than this is a strand
// of a textured ground along an object's outline (measured: the stony
// ground's objects named went from 3 to 6 of 7 on the tuning set; 4 lost a
// dimmed object's thin parts), so that the object's box is its own.
constexpr int GROUND_STRAND_NEIGHBOURS = 3;
// The grey the ground becomes: dark, as the plain ground objects are taught
// on, but not black, so that an object darker than the ground (a black cap)
// keeps its outline. Measured on bench/recognition's tuning set: 0 and 24
// named a never-taught coin "coin" in all its photos, 48 named fewer objects
// under dim light, 32 and 40 did neither.
constexpr int GROUND_CLEARED_LEVEL = 32;

// Clears the ground of the raster (3 bytes per pixel, PICTURE_WIDTH x
// PICTURE_HEIGHT) within inside (the part the input went to; the rest is
// padding and stays). The ground's colour is the median, channel by channel,
// of inside's frame (its outermost rows and columns), and the tolerance the
// larger of GROUND_LEAST_TOLERANCE and the distance within which
// GROUND_FRAME_PERCENT of the frame's pixels lie (a pixel's distance: its
// largest difference in one channel). GROUND_CLEARED_LEVEL in all three
// channels become: the pixels within the tolerance that the frame reaches
// through such pixels (side by side, not corner to corner), the pieces of
// such pixels that it does not reach of at least GROUND_HOLE_PIXELS, the
// pixels then left with fewer than GROUND_STRAND_NEIGHBOURS of their eight
// neighbours left, then the pieces of what is left (corners joining) of
// fewer than GROUND_SPECK_PIXELS pixels. Pixels that are not cleared keep their colour. An inside
// of less than 3 x 3 pixels is left as it is.
void prep_clear_ground(unsigned char *raster, prep_rect inside);
