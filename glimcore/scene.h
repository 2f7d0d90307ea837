// The scene segmentation: reads a picture's blue samples, finds its edges,
// thins them, traces chains of edge pixels into object boxes and merges boxes
// that contain or touch each other.
//
// Coordinates: x is the column from the left, y the row from the top. The two
// planes are stored column by column: plane[x][y] is byte x * SCENE_STRIDE + y.
// Column 80 and row 60 are spare cells that no step writes; the chain tracer
// may look at them.
#pragma once

#include "settings.h"

constexpr int SCENE_STRIDE = PICTURE_HEIGHT + 1; // bytes per column, the spare row included
constexpr int SCENE_COLUMNS = PICTURE_WIDTH + 1; // columns per plane, the spare column included
constexpr int MAX_OBJECTS = 20;

extern unsigned char scene_input[SCENE_COLUMNS][SCENE_STRIDE]; // blue sample of each pixel
// The working plane: edge strength, then the 0/255 edge map, the map being
// erased chain by chain, and at last the frames of the boxes (100 + box number).
extern unsigned char scene_edges[SCENE_COLUMNS][SCENE_STRIDE];

// A box one pixel outside the pixels it holds: its frame is the columns x0 and
// x1 and the rows y0 and y1.
struct object_box {
    int x0;
    int y0;
    int x1;
    int y1;
};

extern object_box object_boxes[MAX_OBJECTS]; // the object boxes, in the order found
extern int object_box_count;                 // valid entries of object_boxes

// Clears the planes and the box table, reads the picture at path and segments
// it. Returns 0, or -1 after a message when the file cannot be opened or is
// refused; the planes are then clear and the table is empty.
int scene_load(const char *path);

// Segments an RGB raster already in memory (three bytes per pixel, row by
// row, width 1..80 and height 1..60) as scene_load segments a picture file:
// for callers that read a picture once for its boxes and its objects.
void scene_segment_raster(const unsigned char *rgb, int width, int height);

// Refuses a picture that exists but is not a regular file: a FIFO or a
// device would block or could not be read again for each object. 0 when path
// is a regular file or cannot be looked at (opening it then tells why); -1
// after an error line on stderr.
int scene_check_picture(const char *path);

// The reading part of scene_load: clears the planes and the box table and
// reads the picture's blue samples into scene_input without segmenting them;
// width and height receive the picture's size. Returns 0, or -1 after the
// messages of scene_load. For callers that look at the planes between steps.
int scene_read_picture(const char *path, int *width, int *height);

// Sobel edge strength of every inner pixel, |gx| + |gy| clipped at 255.
int scene_edge_filter(int width, int height);

// Cuts the edge strength at 240 into 0 and 255, then thins the edge map in
// place until no pixel can be removed.
int scene_thin(int width, int height);

// Traces every chain of edge pixels, scanning row by row, then merges the boxes.
int scene_find_objects(int width, int height);

// Follows one chain from (x, y) within the inclusive bounds, erasing it, and
// appends its box when the path is long enough and the table has room.
int scene_trace(int left, int top, int right, int bottom, int x, int y);

// Merges boxes that contain one another or whose frames share a cell, until
// none do; leaves the final frames in scene_edges.
int scene_merge_boxes();

// The boxes after scene_load; n must be 0..object_count() - 1.
int object_count();
int object_x(int n);
int object_y(int n);
int object_width(int n);
int object_height(int n);
