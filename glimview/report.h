// glimview report: which learned object each object of a picture is. The
// learned patterns are made from the training pictures as glimcut makes them,
// the picture's objects are settled in the network as glimsee settles them,
// and each is judged by its nearest learned patterns.
#pragma once

#include <string>
#include <vector>

#include "encoding.h"
#include "net.h"

// The picture draws at most this many learned objects (ten columns of the
// strip), the first ones; the lines on stdout cover them all. Thousands of
// training pictures would otherwise make a picture wider than a PNG may be.
constexpr int REPORT_STRIP_MOST = 60;

// An 80 x 60 picture as read: its file name and RGB raster, row by row (a
// training picture none of whose objects is drawn keeps no raster).
struct report_picture {
    std::string name;
    std::vector<unsigned char> rgb;
};

// An object's box as glimcut prints it: x, y, width, height.
struct report_box {
    int x;
    int y;
    int width;
    int height;
};

// One learned object: where it was cut from.
struct report_learned {
    int picture; // index into report::training
    report_box box;
};

// One learned pattern: a learned object encoded at one of the sizes.
struct report_pattern {
    int object; // index into report::learned
    std::vector<int> act;
};

// One object of the picture and the verdict on it.
struct report_object {
    report_box box;
    int nearest_before; // learned object nearest to the unsettled encoding
    int distance_before;
    int nearest_after; // learned object nearest to the settled pattern
    int distance_after;
    int moved;      // units that settling changed: from the encoding to the settled pattern
    int recognised; // the learned object it is taken for, or -1 for unknown
    // For an unknown object: the learned object judged, and the units the
    // verdict weighed (moved_bits when it settled into that object's
    // pattern, else the distance of its encoding), or -1 and 0.
    int nearest = -1;
    int nearest_bits = 0;
};

struct report {
    std::vector<report_picture> training;
    std::vector<report_learned> learned;
    std::vector<report_pattern> patterns; // each learned object at each size, in order
    report_picture subject;
    std::vector<report_object> objects;
    std::vector<std::string> labels; // by learned number; may be fewer than learned
    int limit;
    // With --encoding or --sizes: unknown objects name the nearest learned
    // object in the picture's tags.
    bool names_nearest = false;
};

// The label of learned object n, or its number when the labels file names none.
std::string report_label(const report &result, int n);

// Draws the picture enlarged with each object's box and verdict beside the
// strip of learned objects, and saves it as a PNG. 0, or -1 after a message.
int report_draw(const report &result, const char *out_name);
