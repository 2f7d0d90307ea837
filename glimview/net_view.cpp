// glimview net: the 256 x 256 weight matrix, w(a, b) at row a and column b,
// as a diverging colour map (blue below zero, white at zero, red above), the
// thresholds as a strip under it, and a legend that gives the scale.
//
// Learning can drive weights to huge values, to infinity or to NaN. The
// colours are scaled by the largest finite magnitude, which the legend names;
// infinities get the ends of the map in a darker shade and NaN a colour of its
// own, so that no value falls outside the legend.
#include <cmath>
#include <cstdio>

#include "canvas.h"
#include "messages.h"
#include "net.h"
#include "netfile.h"
#include "views.h"

constexpr int UNIT_PIXELS = 2; // canvas pixels per unit, across and down
constexpr int MATRIX = NETSIZE * UNIT_PIXELS;
constexpr int STRIP_HEIGHT = 24;
constexpr int MARGIN = 8;
constexpr int TEXT_SCALE = 2;
constexpr int LINE_HEIGHT = GLYPH_HEIGHT * TEXT_SCALE + 6;
constexpr int BAR_WIDTH = 24;
constexpr int BAR_HEIGHT = 256;
constexpr int SWATCH_HEIGHT = GLYPH_HEIGHT * TEXT_SCALE;

constexpr colour BACKGROUND = {240, 240, 240};
constexpr colour POSITIVE_END = {178, 24, 43};
constexpr colour NEGATIVE_END = {33, 102, 172};
constexpr colour POSITIVE_INFINITY = {103, 0, 13};
constexpr colour NEGATIVE_INFINITY = {5, 48, 97};
constexpr colour NOT_A_NUMBER = {40, 200, 40};
constexpr colour DIAGONAL = {128, 128, 128}; // a unit has no weight to itself

// Finite values of a series: how many, their least and greatest value, and
// the largest magnitude, which scales the colours.
struct value_range {
    int finite;
    int not_finite;
    double least;
    double greatest;
    double scale;
};

static void range_add(value_range *range, double value) {
    if (!std::isfinite(value)) {
        range->not_finite++;
        return;
    }
    if (range->finite == 0 || value < range->least) range->least = value;
    if (range->finite == 0 || value > range->greatest) range->greatest = value;
    if (std::fabs(value) > range->scale) range->scale = std::fabs(value);
    range->finite++;
}

static unsigned char mix(int from, int to, double amount) {
    return (unsigned char)(from + (to - from) * amount + 0.5);
}

static colour diverging(double value, double scale) {
    if (std::isnan(value)) return NOT_A_NUMBER;
    if (std::isinf(value)) return value > 0 ? POSITIVE_INFINITY : NEGATIVE_INFINITY;
    // A scale of 0 means every finite value is 0.
    if (scale == 0 || value == 0) return WHITE;
    colour end = value < 0 ? NEGATIVE_END : POSITIVE_END;
    double amount = std::fabs(value) / scale;
    return {mix(255, end.red, amount), mix(255, end.green, amount), mix(255, end.blue, amount)};
}

static double weight(int a, int b) {
    return weight_slot(weight_index(a, b));
}

static void describe(char *text, size_t size, const char *what, const value_range &range) {
    if (range.finite == 0)
        snprintf(text, size, "%s: none finite, %d not finite", what, range.not_finite);
    else
        snprintf(text, size, "%s: finite from %.6G to %.6G, %d not finite", what, range.least,
                 range.greatest, range.not_finite);
}

// Text beside a swatch or the colour bar.
static void label(canvas *picture, int x, int y, const char *format, double value) {
    char text[64];
    snprintf(text, sizeof text, format, value);
    canvas_text(picture, x, y, text, TEXT_SCALE, BLACK);
}

// The legend, from its top left corner: the colour bar of the weights from
// +scale down to -scale, their finite extremes, the colours outside the map,
// and the scale of the thresholds.
static void draw_legend(canvas *picture, int left, int top, const value_range &weights,
                        const value_range &threshold_range) {
    int text_left = left + BAR_WIDTH + 8;
    canvas_text(picture, left, top, "weights", TEXT_SCALE, BLACK);
    int bar_top = top + LINE_HEIGHT;
    for (int i = 0; i < BAR_HEIGHT; i++)
        canvas_fill(picture, left, bar_top + i, BAR_WIDTH, 1,
                    diverging(1.0 - 2.0 * i / (BAR_HEIGHT - 1), 1.0));
    label(picture, text_left, bar_top, "+%.4G", weights.scale);
    canvas_text(picture, text_left, bar_top + (BAR_HEIGHT - SWATCH_HEIGHT) / 2, "0", TEXT_SCALE,
                BLACK);
    label(picture, text_left, bar_top + BAR_HEIGHT - SWATCH_HEIGHT, "-%.4G", weights.scale);

    int y = bar_top + BAR_HEIGHT + 8;
    if (weights.finite > 0) {
        label(picture, left, y, "min %.4G", weights.least);
        label(picture, left, y + LINE_HEIGHT, "max %.4G", weights.greatest);
    } else {
        canvas_text(picture, left, y, "none finite", TEXT_SCALE, BLACK);
    }
    y += 2 * LINE_HEIGHT + 8;
    struct swatch {
        colour fill;
        const char *name;
    };
    const swatch swatches[] = {{NOT_A_NUMBER, "NaN"},
                               {POSITIVE_INFINITY, "+inf"},
                               {NEGATIVE_INFINITY, "-inf"},
                               {DIAGONAL, "a = b"}};
    for (const swatch &s : swatches) {
        canvas_fill(picture, left, y, BAR_WIDTH, SWATCH_HEIGHT, s.fill);
        canvas_text(picture, text_left, y, s.name, TEXT_SCALE, BLACK);
        y += LINE_HEIGHT;
    }
    y += 8;
    canvas_text(picture, left, y, "thresholds", TEXT_SCALE, BLACK);
    label(picture, left, y + LINE_HEIGHT, "+-%.4G", threshold_range.scale);
}

static void draw_network(canvas *picture, const char *network_name, const value_range &weights,
                         const value_range &threshold_range) {
    int legend_left = MARGIN + MATRIX + 16;
    int legend_width = BAR_WIDTH + 8 + text_width("-0.0000E-000", TEXT_SCALE);
    canvas_init(picture, legend_left + legend_width + MARGIN,
                MARGIN + 2 * LINE_HEIGHT + MATRIX + 8 + STRIP_HEIGHT + MARGIN, BACKGROUND);
    char caption[400];
    snprintf(caption, sizeof caption, "%s: w(a,b) at row a, column b", network_name);
    canvas_text(picture, MARGIN, MARGIN, caption, TEXT_SCALE, BLACK);

    int top = MARGIN + LINE_HEIGHT;
    for (int a = 0; a < NETSIZE; a++) {
        for (int b = 0; b < NETSIZE; b++) {
            colour fill = a == b ? DIAGONAL : diverging(weight(a, b), weights.scale);
            canvas_fill(picture, MARGIN + b * UNIT_PIXELS, top + a * UNIT_PIXELS, UNIT_PIXELS,
                        UNIT_PIXELS, fill);
        }
    }
    int strip_caption = top + MATRIX + 8;
    canvas_text(picture, MARGIN, strip_caption, "thresholds of units 0 to 255", TEXT_SCALE, BLACK);
    int strip_top = strip_caption + LINE_HEIGHT;
    for (int u = 0; u < NETSIZE; u++)
        canvas_fill(picture, MARGIN + u * UNIT_PIXELS, strip_top, UNIT_PIXELS, STRIP_HEIGHT,
                    diverging(thresholds[u], threshold_range.scale));
    draw_legend(picture, legend_left, top, weights, threshold_range);
}

int view_net(const char *network_name, const char *out_name) {
    if (view_load_network(network_name) != 0) return -1;

    value_range weights = {};
    for (int a = 0; a < NETSIZE; a++)
        for (int b = a + 1; b < NETSIZE; b++)
            range_add(&weights, weight(a, b));
    value_range threshold_range = {};
    for (double t : thresholds)
        range_add(&threshold_range, t);
    char text[200];
    describe(text, sizeof text, "Weights", weights);
    printf("%s\n", text);
    describe(text, sizeof text, "Thresholds", threshold_range);
    printf("%s\n", text);

    canvas picture;
    draw_network(&picture, network_name, weights, threshold_range);
    return view_save_picture(&picture, out_name);
}
