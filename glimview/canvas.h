// Pictures in memory for glimview: an RGB raster with filled rectangles,
// outlines and text in a small built-in font, written out as a PNG file.
//
// Drawing is clipped to the canvas, so a caller may place text or shapes
// partly outside it.
#pragma once

#include <vector>

struct colour {
    unsigned char red;
    unsigned char green;
    unsigned char blue;
};

constexpr colour WHITE = {255, 255, 255};
constexpr colour BLACK = {0, 0, 0};

struct canvas {
    int width;
    int height;
    std::vector<unsigned char> rgb; // row by row from the top, three bytes per pixel
};

// The font: 5 x 7 pixel glyphs on an advance of 6 pixels, times a scale.
constexpr int GLYPH_WIDTH = 5;
constexpr int GLYPH_HEIGHT = 7;
constexpr int GLYPH_ADVANCE = 6;

// Whether the glyph of ch inks the pixel at column 0..4, row 0..6.
bool font_pixel(unsigned char ch, int column, int row);

// A canvas of width x height pixels, all of the background colour.
void canvas_init(canvas *picture, int width, int height, colour background);

// Fills the rectangle with its top left corner at (x, y).
void canvas_fill(canvas *picture, int x, int y, int width, int height, colour fill);

// Draws the border of a rectangle, thickness pixels wide inside its edges.
void canvas_outline(canvas *picture, int x, int y, int width, int height, int thickness,
                    colour line);

// An object's box on a panel that shows its picture enlarged PANEL_ZOOM
// times, with its top left corner at (left, top): the frame line runs through
// the middle of the box's frame cells, which lie one pixel outside the
// object, so it leaves the object's pixels uncovered.
constexpr int PANEL_ZOOM = 8; // canvas pixels per picture pixel
constexpr int BOX_FRAME_THICKNESS = 2;
struct box_frame {
    int x;
    int y;
    int width;
    int height;
};
box_frame canvas_box_frame(int left, int top, int box_x, int box_y, int box_width,
                           int box_height);

// The width in pixels of text written at scale, without the trailing gap.
int text_width(const char *text, int scale);

// Writes text with its top left corner at (x, y), each font pixel as a square
// of scale x scale pixels.
void canvas_text(canvas *picture, int x, int y, const char *text, int scale, colour ink);

// Writes the picture as an 8-bit RGB PNG to name, replacing it atomically.
// The same picture always gives the same bytes. 0 on success; -1 after a
// message on stderr, and an earlier file of that name stays as it was.
int canvas_save_png(const canvas *picture, const char *name);
