// Line charts for glimview: a frame with ticks and labelled axes, series
// drawn as lines with markers, and a legend.
#pragma once

#include "canvas.h"

constexpr int PLOT_TEXT_SCALE = 2;
constexpr int PLOT_LINE_HEIGHT = GLYPH_HEIGHT * PLOT_TEXT_SCALE + 6;

// The chart views' frame: the space around the picture's content and the
// plotting area's size in canvas pixels.
constexpr int PLOT_MARGIN = 12;
constexpr int PLOT_WIDTH = 640;
constexpr int PLOT_HEIGHT = 400;

// Distinct line colours, used in turn.
constexpr int PLOT_PALETTE_SIZE = 10;
extern const colour PLOT_PALETTE[PLOT_PALETTE_SIZE];

// The plotting area in canvas pixels and the values at its edges.
struct plot_area {
    int left;
    int top;
    int width;
    int height;
    double x_least;
    double x_greatest;
    double y_least;
    double y_greatest;
};

// The plotting area of a chart with a caption, a subtitle and a note line
// above it and room for the y labels on its left; values from 0 to the
// greatest ones given.
plot_area plot_chart_area(double x_greatest, double y_greatest);

int plot_x(const plot_area *area, double x);
int plot_y(const plot_area *area, double y);

// A tick distance of 1, 2 or 5 times a power of ten (at least 1) that divides
// range into at most most_ticks parts.
double plot_step(double range, int most_ticks);

// A line from (x0, y0) to (x1, y1) in canvas pixels, thickness pixels wide.
void plot_segment(canvas *picture, int x0, int y0, int x1, int y1, int thickness, colour ink);

// The frame of the area with ticks every x_step and y_step from the least
// value, their values as labels (printf format with one double), the axis
// titles under the x axis and above the y axis, and faint grid lines.
void plot_axes(canvas *picture, const plot_area *area, double x_step, double y_step,
               const char *x_format, const char *y_format, const char *x_title,
               const char *y_title);

// Joins the points (x[k], y[k]) with lines and marks each with a square.
void plot_series(canvas *picture, const plot_area *area, const double *x, const double *y,
                 int count, int thickness, colour ink);

// A vertical dashed line at x with a label beside its top.
void plot_marker(canvas *picture, const plot_area *area, double x, const char *label, colour ink);

// One legend entry at (left, top): a short line in the colour, then the text.
// Returns the top of the next entry.
int plot_legend_entry(canvas *picture, int left, int top, colour ink, int thickness,
                      const char *text);
