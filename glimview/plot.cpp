// Line charts on a canvas.
#include "plot.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

const colour PLOT_PALETTE[PLOT_PALETTE_SIZE] = {
    {31, 119, 180}, {255, 127, 14},  {44, 160, 44},   {214, 39, 40},  {148, 103, 189},
    {140, 86, 75},  {227, 119, 194}, {127, 127, 127}, {188, 189, 34}, {23, 190, 207},
};

constexpr colour GRID_LINE = {225, 225, 225};

plot_area plot_chart_area(double x_greatest, double y_greatest) {
    plot_area area = {};
    area.left = PLOT_MARGIN + 5 * GLYPH_ADVANCE * PLOT_TEXT_SCALE;
    area.top = PLOT_MARGIN + 3 * PLOT_LINE_HEIGHT + 8;
    area.width = PLOT_WIDTH;
    area.height = PLOT_HEIGHT;
    area.x_greatest = x_greatest;
    area.y_greatest = y_greatest;
    return area;
}

int plot_x(const plot_area *area, double x) {
    double share = (x - area->x_least) / (area->x_greatest - area->x_least);
    return area->left + (int)std::lround(share * (area->width - 1));
}

int plot_y(const plot_area *area, double y) {
    double share = (y - area->y_least) / (area->y_greatest - area->y_least);
    return area->top + area->height - 1 - (int)std::lround(share * (area->height - 1));
}

double plot_step(double range, int most_ticks) {
    for (double power = 1;; power *= 10)
        for (double factor : {1.0, 2.0, 5.0})
            if (range / (factor * power) <= most_ticks) return factor * power;
}

// Bresenham's walk over the pixels of the line, each inked as a square.
void plot_segment(canvas *picture, int x0, int y0, int x1, int y1, int thickness, colour ink) {
    int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int error = dx + dy;
    int half = thickness / 2;
    for (;;) {
        canvas_fill(picture, x0 - half, y0 - half, thickness, thickness, ink);
        if (x0 == x1 && y0 == y1) break;
        int doubled = 2 * error;
        if (doubled >= dy) {
            error += dy;
            x0 += sx;
        }
        if (doubled <= dx) {
            error += dx;
            y0 += sy;
        }
    }
}

static void tick_label(canvas *picture, int x, int y, const char *format, double value,
                       bool right_aligned) {
    char text[64];
    snprintf(text, sizeof text, format, value);
    int width = text_width(text, PLOT_TEXT_SCALE);
    canvas_text(picture, right_aligned ? x - width : x - width / 2, y, text, PLOT_TEXT_SCALE,
                BLACK);
}

void plot_axes(canvas *picture, const plot_area *area, double x_step, double y_step,
               const char *x_format, const char *y_format, const char *x_title,
               const char *y_title) {
    int bottom = area->top + area->height;
    int right = area->left + area->width;
    // Ticks are counted, not accumulated, so that no rounding drift adds or drops one.
    int x_ticks = (int)std::floor((area->x_greatest - area->x_least) / x_step + 1e-9);
    for (int k = 0; k <= x_ticks; k++) {
        double value = area->x_least + k * x_step;
        int x = plot_x(area, value);
        canvas_fill(picture, x, area->top, 1, area->height, GRID_LINE);
        canvas_fill(picture, x, bottom, 1, 6, BLACK);
        tick_label(picture, x, bottom + 9, x_format, value, false);
    }
    int y_ticks = (int)std::floor((area->y_greatest - area->y_least) / y_step + 1e-9);
    for (int k = 0; k <= y_ticks; k++) {
        double value = area->y_least + k * y_step;
        int y = plot_y(area, value);
        canvas_fill(picture, area->left, y, area->width, 1, GRID_LINE);
        canvas_fill(picture, area->left - 6, y, 6, 1, BLACK);
        tick_label(picture, area->left - 10, y - GLYPH_HEIGHT * PLOT_TEXT_SCALE / 2, y_format,
                   value, true);
    }
    canvas_outline(picture, area->left - 1, area->top - 1, right - area->left + 2,
                   bottom - area->top + 2, 1, BLACK);
    canvas_text(picture, area->left + (area->width - text_width(x_title, PLOT_TEXT_SCALE)) / 2,
                bottom + 9 + PLOT_LINE_HEIGHT, x_title, PLOT_TEXT_SCALE, BLACK);
    canvas_text(picture, area->left, area->top - PLOT_LINE_HEIGHT - 4, y_title, PLOT_TEXT_SCALE,
                BLACK);
}

void plot_series(canvas *picture, const plot_area *area, const double *x, const double *y,
                 int count, int thickness, colour ink) {
    for (int k = 0; k + 1 < count; k++)
        plot_segment(picture, plot_x(area, x[k]), plot_y(area, y[k]), plot_x(area, x[k + 1]),
                     plot_y(area, y[k + 1]), thickness, ink);
    // Points closer than a marker's width would merge into a band; the line shows them.
    int mark = thickness + 4;
    if (count > 1 && area->width / (count - 1) < 16) return;
    for (int k = 0; k < count; k++)
        canvas_fill(picture, plot_x(area, x[k]) - mark / 2, plot_y(area, y[k]) - mark / 2, mark,
                    mark, ink);
}

void plot_marker(canvas *picture, const plot_area *area, double x, const char *label, colour ink) {
    int column = plot_x(area, x);
    for (int y = area->top; y < area->top + area->height; y += 10)
        canvas_fill(picture, column - 1, y, 3, 6, ink);
    int width = text_width(label, PLOT_TEXT_SCALE);
    // The label stands right of the line, or left of it where it would leave the area.
    int left = column + 6 + width <= area->left + area->width ? column + 6 : column - 6 - width;
    canvas_fill(picture, left - 2, area->top + 4, width + 4, PLOT_LINE_HEIGHT - 2, WHITE);
    canvas_text(picture, left, area->top + 6, label, PLOT_TEXT_SCALE, ink);
}

int plot_legend_entry(canvas *picture, int left, int top, colour ink, int thickness,
                      const char *text) {
    int middle = top + GLYPH_HEIGHT * PLOT_TEXT_SCALE / 2;
    plot_segment(picture, left, middle, left + 28, middle, thickness, ink);
    canvas_text(picture, left + 38, top, text, PLOT_TEXT_SCALE, BLACK);
    return top + PLOT_LINE_HEIGHT;
}
