// The report's picture: on the left the picture enlarged, each object framed
// in the colour of the learned object it was taken for (grey when unknown)
// with a tag that gives the verdict and how many units settling changed; on
// the right the learned objects, each cut from its training picture in its
// colour, with its number and label.
#include <algorithm>
#include <cstdio>

#include "canvas.h"
#include "report.h"
#include "scene.h"
#include "views.h"

constexpr int ZOOM = PANEL_ZOOM;
constexpr int MARGIN = 8;
constexpr int TEXT_SCALE = 2;
constexpr int LINE_HEIGHT = GLYPH_HEIGHT * TEXT_SCALE + 6;
constexpr int FRAME_THICKNESS = BOX_FRAME_THICKNESS;
constexpr int TAG_PADDING = 2;
constexpr int PANEL_WIDTH = PICTURE_WIDTH * ZOOM;
constexpr int PANEL_HEIGHT = PICTURE_HEIGHT * ZOOM;
// A learned object is drawn in a cell of this size, enlarged as far as it fits.
constexpr int CELL_WIDTH = 96;
constexpr int CELL_HEIGHT = 72;
constexpr int CELL_GAP = 8;
constexpr int LABEL_CHARACTERS = 12; // longer labels are cut in the strip
constexpr int TAG_CHARACTERS = 16;   // and number and label in a verdict's tag
constexpr int STRIP_COLUMN = CELL_WIDTH + CELL_GAP + LABEL_CHARACTERS * GLYPH_ADVANCE * TEXT_SCALE;
constexpr int CELLS_PER_COLUMN = PANEL_HEIGHT / (CELL_HEIGHT + CELL_GAP);

constexpr colour BACKGROUND = {240, 240, 240};
// Unknown objects: a black frame with a white line in it and a black tag,
// which show on dark ground and on light alike.
constexpr colour UNKNOWN = BLACK;
// Colours by learned number, repeating; each stands out on the pictures' dark
// ground and on the light background.
static const colour LEARNED_COLOURS[] = {
    {230, 25, 75}, {0, 110, 200},  {245, 130, 48}, {40, 160, 60}, {145, 30, 180},
    {0, 128, 128}, {200, 60, 160}, {120, 90, 20},  {70, 70, 200}, {180, 150, 0},
};
constexpr int COLOUR_COUNT = sizeof LEARNED_COLOURS / sizeof LEARNED_COLOURS[0];

static colour learned_colour(int n) {
    return n < 0 ? UNKNOWN : LEARNED_COLOURS[n % COLOUR_COUNT];
}

std::string report_label(const report &result, int n) {
    if (n < (int)result.labels.size() && !result.labels[n].empty()) return result.labels[n];
    return std::to_string(n);
}

// The label cut to at most characters, a '~' marking the cut.
static std::string shortened(const std::string &label, int characters) {
    return (int)label.size() <= characters ? label : label.substr(0, characters - 1) + "~";
}

// The text of learned object n: its number, and its label when it has one.
static std::string learned_text(const report &result, int n) {
    std::string label = report_label(result, n);
    std::string number = std::to_string(n);
    return label == number ? number : number + " " + label;
}

// Copies the picture's pixels from (x, y), width x height of them, onto the
// canvas at (left, top), each as a square of zoom pixels.
static void draw_pixels(canvas *picture, int left, int top, const report_picture &source, int x,
                        int y, int width, int height, int zoom) {
    for (int py = y; py < y + height; py++) {
        for (int px = x; px < x + width; px++) {
            const unsigned char *rgb = &source.rgb[3 * (py * PICTURE_WIDTH + px)];
            canvas_fill(picture, left + (px - x) * zoom, top + (py - y) * zoom, zoom, zoom,
                        {rgb[0], rgb[1], rgb[2]});
        }
    }
}

// A tag of text on a filled rectangle, above the point (x, y) when it fits
// there, else just below it.
static void draw_tag(canvas *picture, int x, int y, int top, const std::string &text, colour fill) {
    int height = GLYPH_HEIGHT * TEXT_SCALE + 2 * TAG_PADDING;
    int tag_y = y - height >= top ? y - height : y;
    canvas_fill(picture, x, tag_y, text_width(text.c_str(), TEXT_SCALE) + 2 * TAG_PADDING, height,
                fill);
    canvas_text(picture, x + TAG_PADDING, tag_y + TAG_PADDING, text.c_str(), TEXT_SCALE, WHITE);
}

static void draw_object(canvas *picture, int left, int top, const report &result, int j) {
    const report_object &object = result.objects[j];
    colour line = learned_colour(object.recognised);
    box_frame frame = canvas_box_frame(left, top, object.box.x, object.box.y, object.box.width,
                                       object.box.height);
    int x = frame.x, y = frame.y, width = frame.width, height = frame.height;
    if (object.recognised >= 0) {
        canvas_outline(picture, x, y, width, height, FRAME_THICKNESS, line);
    } else {
        canvas_outline(picture, x - 1, y - 1, width + 2, height + 2, FRAME_THICKNESS + 2, BLACK);
        canvas_outline(picture, x, y, width, height, FRAME_THICKNESS, WHITE);
    }
    std::string tag;
    if (object.recognised >= 0) {
        tag = shortened(learned_text(result, object.recognised), TAG_CHARACTERS) + " d" +
              std::to_string(object.moved);
    } else if (result.names_nearest && object.nearest >= 0) {
        // "? ball d10 > 8": the nearest object, and the units that kept it
        // from the verdict, beyond the limit; "off" when they are within it
        // but the object settled into no learned pattern.
        tag = "? " + shortened(learned_text(result, object.nearest), TAG_CHARACTERS) + " d" +
              std::to_string(object.nearest_bits) +
              (object.nearest_bits > result.limit ? " > " + std::to_string(result.limit)
                                                  : std::string(" off"));
    } else {
        tag = "? d" + std::to_string(object.moved);
    }
    draw_tag(picture, x, y, top, tag, line);
}

static void draw_learned(canvas *picture, int left, int top, const report &result, int n) {
    const report_learned &learned = result.learned[n];
    const report_picture &source = result.training[learned.picture];
    // The box with its frame cells, which lie inside the picture.
    int x = learned.box.x, y = learned.box.y;
    int width = std::min(learned.box.width + 1, PICTURE_WIDTH - x);
    int height = std::min(learned.box.height + 1, PICTURE_HEIGHT - y);
    int zoom = std::max(1, std::min(CELL_WIDTH / width, CELL_HEIGHT / height));
    colour line = learned_colour(n);
    canvas_fill(picture, left, top, CELL_WIDTH, CELL_HEIGHT, BLACK);
    int cell_x = left + (CELL_WIDTH - width * zoom) / 2;
    int cell_y = top + (CELL_HEIGHT - height * zoom) / 2;
    draw_pixels(picture, cell_x, cell_y, source, x, y, width, height, zoom);
    canvas_outline(picture, left - FRAME_THICKNESS, top - FRAME_THICKNESS,
                   CELL_WIDTH + 2 * FRAME_THICKNESS, CELL_HEIGHT + 2 * FRAME_THICKNESS,
                   FRAME_THICKNESS, line);
    int text_x = left + CELL_WIDTH + CELL_GAP;
    std::string number = std::to_string(n);
    draw_tag(picture, text_x, top, top, number, line);
    std::string label = report_label(result, n);
    if (label != number)
        canvas_text(picture, text_x, top + LINE_HEIGHT + TAG_PADDING,
                    shortened(label, LABEL_CHARACTERS).c_str(), TEXT_SCALE, BLACK);
}

// The widest picture, with the strip full, stays far inside what libpng
// writes (a million pixels across), so drawing never fails on its size.
static_assert(2 * MARGIN + PANEL_WIDTH + CELL_GAP +
                      (REPORT_STRIP_MOST + CELLS_PER_COLUMN - 1) / CELLS_PER_COLUMN * STRIP_COLUMN +
                      MARGIN <
                  100000,
              "the report's picture must stay a size that PNG writers take");

int report_draw(const report &result, const char *out_name) {
    int learned_count = std::min((int)result.learned.size(), REPORT_STRIP_MOST);
    int columns = (learned_count + CELLS_PER_COLUMN - 1) / CELLS_PER_COLUMN;
    int strip_left = 2 * MARGIN + PANEL_WIDTH + CELL_GAP;
    int top = MARGIN + LINE_HEIGHT;
    canvas picture;
    canvas_init(&picture, strip_left + columns * STRIP_COLUMN + MARGIN, top + PANEL_HEIGHT + MARGIN,
                BACKGROUND);

    int recognised = 0;
    for (const report_object &object : result.objects)
        recognised += object.recognised >= 0;
    char caption[400];
    snprintf(caption, sizeof caption, "%.200s: %d of %d recognised (limit %d)",
             result.subject.name.c_str(), recognised, (int)result.objects.size(), result.limit);
    canvas_text(&picture, MARGIN, MARGIN, caption, TEXT_SCALE, BLACK);
    if (learned_count < (int)result.learned.size()) {
        char heading[64];
        snprintf(heading, sizeof heading, "learned: first %d of %d", learned_count,
                 (int)result.learned.size());
        canvas_text(&picture, strip_left, MARGIN, heading, TEXT_SCALE, BLACK);
    } else {
        canvas_text(&picture, strip_left, MARGIN, "learned", TEXT_SCALE, BLACK);
    }

    draw_pixels(&picture, MARGIN, top, result.subject, 0, 0, PICTURE_WIDTH, PICTURE_HEIGHT, ZOOM);
    for (int j = 0; j < (int)result.objects.size(); j++)
        draw_object(&picture, MARGIN, top, result, j);
    for (int n = 0; n < learned_count; n++) {
        int column = n / CELLS_PER_COLUMN;
        int row = n % CELLS_PER_COLUMN;
        draw_learned(&picture, strip_left + column * STRIP_COLUMN,
                     top + FRAME_THICKNESS + row * (CELL_HEIGHT + CELL_GAP), result, n);
    }
    return view_save_picture(&picture, out_name);
}
