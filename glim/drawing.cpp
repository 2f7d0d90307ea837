// The pictures glim writes: reports through glimview's report drawing, with
// the model's examples as its learned objects, and the confusion matrix on
// glimview's canvas.
#include "drawing.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "canvas.h"
#include "messages.h"
#include "photo.h"
#include "report.h"
#include "views.h"

// The learned side of every report: the examples, taken once for the run.
static report examples_report;

void drawing_take_examples(const model &m) {
    examples_report = report();
    examples_report.limit = m.limit;
    // An unknown object's tag names its nearest example, as ask's line does.
    examples_report.names_nearest = true;
    for (const model_example &e : m.examples) {
        report_learned learned;
        learned.picture = (int)examples_report.training.size();
        learned.box = {e.x, e.y, e.width, e.height};
        examples_report.learned.push_back(learned);
        examples_report.patterns.push_back(
            {learned.picture, std::vector<int>(e.act, e.act + NETSIZE)});
        examples_report.training.push_back({e.source, e.rgb});
        examples_report.labels.push_back(e.label);
    }
}

int drawing_save_report(const char *picture, const unsigned char *raster,
                        const std::vector<found_object> &found,
                        const std::vector<object_answer> &verdicts, const char *out) {
    report &result = examples_report;
    result.subject.name = picture;
    result.subject.rgb.assign(raster, raster + PICTURE_RASTER_BYTES);
    result.objects.clear();
    for (size_t j = 0; j < found.size(); j++) {
        const object_answer &v = verdicts[j];
        report_object object;
        object.box = {found[j].x, found[j].y, found[j].width, found[j].height};
        object.nearest_before = object.nearest_after = v.nearest;
        object.distance_before = object.distance_after = v.bits;
        // The tags show the bits that ask prints for the object.
        object.moved = v.bits;
        object.recognised = v.recognised;
        object.nearest = v.recognised >= 0 ? -1 : v.nearest;
        object.nearest_bits = v.recognised >= 0 ? 0 : v.bits;
        result.objects.push_back(object);
    }
    return report_draw(result, out);
}

// ---- The confusion matrix

constexpr int MARGIN = 8;
constexpr int TEXT_SCALE = 2;
constexpr int CHARACTER = GLYPH_ADVANCE * TEXT_SCALE;
constexpr int PADDING = 6;
constexpr int CELL_HEIGHT = GLYPH_HEIGHT * TEXT_SCALE + 2 * PADDING;
constexpr int LABEL_CHARACTERS = 12; // longer labels are cut, a '~' marking the cut
// The most pixels a side of the picture may have: beyond it (hundreds of
// labels) the matrix is refused rather than drawn into gigabytes.
constexpr int MOST_SIDE = 16384;

constexpr colour BACKGROUND = {255, 255, 255};
constexpr colour GRID = {200, 200, 200};
constexpr colour RIGHT = {40, 160, 60}; // the diagonal: the answer was the truth
constexpr colour WRONG = {210, 50, 50}; // a wrong name, or unknown for a taught object

static std::string shortened(const std::string &label) {
    return (int)label.size() <= LABEL_CHARACTERS ? label
                                                 : label.substr(0, LABEL_CHARACTERS - 1) + "~";
}

// white blended towards full by share (0 to 1).
static colour shade(colour full, double share) {
    auto mix = [share](unsigned char c) {
        return (unsigned char)(255 - (int)((255 - c) * share + 0.5));
    };
    return {mix(full.red), mix(full.green), mix(full.blue)};
}

int drawing_save_matrix(const confusion &matrix, const char *out) {
    const std::vector<std::string> &order = matrix.order;
    int count = (int)order.size();
    int cell_width = 4 * CHARACTER; // room for a count of four digits
    int row_width = 0;
    int total = 0, right = 0;
    std::vector<int> row_totals(count, 0);
    for (int r = 0; r < count; r++) {
        int width = text_width(shortened(order[r]).c_str(), TEXT_SCALE);
        cell_width = std::max(cell_width, width);
        row_width = std::max(row_width, width);
        for (int c = 0; c < count; c++) {
            auto found = matrix.counts.find({order[r], order[c]});
            int n = found == matrix.counts.end() ? 0 : found->second;
            row_totals[r] += n;
            total += n;
            if (r == c) right += n;
            cell_width = std::max(cell_width, text_width(std::to_string(n).c_str(), TEXT_SCALE));
        }
    }
    cell_width += 2 * PADDING;
    row_width += 2 * PADDING;
    char caption[160];
    snprintf(caption, sizeof caption, "truth (rows), answer (columns): %d of %d right", right,
             total);
    int left = MARGIN + row_width;
    int top = MARGIN + 2 * CELL_HEIGHT;
    long width = std::max((long)left + (long)count * cell_width,
                          (long)MARGIN + text_width(caption, TEXT_SCALE)) +
                 MARGIN;
    long height = (long)top + (long)count * CELL_HEIGHT + MARGIN;
    if (width > MOST_SIDE || height > MOST_SIDE) {
        message_error("cannot draw %s: the matrix of %d labels would be %ld x %ld pixels, more "
                      "than %d a side",
                      out, count, width, height, MOST_SIDE);
        return -1;
    }
    canvas picture;
    canvas_init(&picture, (int)width, (int)height, BACKGROUND);
    canvas_text(&picture, MARGIN, MARGIN + PADDING, caption, TEXT_SCALE, BLACK);
    for (int r = 0; r < count; r++) {
        std::string label = shortened(order[r]);
        int y = top + r * CELL_HEIGHT;
        canvas_text(&picture, MARGIN + PADDING, y + PADDING, label.c_str(), TEXT_SCALE, BLACK);
        // The column's label stands right-aligned over its counts.
        canvas_text(&picture,
                    left + (r + 1) * cell_width - PADDING - text_width(label.c_str(), TEXT_SCALE),
                    top - CELL_HEIGHT + PADDING, label.c_str(), TEXT_SCALE, BLACK);
        for (int c = 0; c < count; c++) {
            auto found = matrix.counts.find({order[r], order[c]});
            int n = found == matrix.counts.end() ? 0 : found->second;
            int x = left + c * cell_width;
            // A cell's shade is its share of the row: how the pictures of
            // that truth were answered.
            double share = row_totals[r] ? (double)n / row_totals[r] : 0.0;
            canvas_fill(&picture, x, y, cell_width, CELL_HEIGHT,
                        shade(r == c ? RIGHT : WRONG, share));
            canvas_outline(&picture, x, y, cell_width + 1, CELL_HEIGHT + 1, 1, GRID);
            std::string text = std::to_string(n);
            canvas_text(&picture, x + cell_width - PADDING - text_width(text.c_str(), TEXT_SCALE),
                        y + PADDING, text.c_str(), TEXT_SCALE, share > 0.5 ? WHITE : BLACK);
        }
    }
    return view_save_picture(&picture, out);
}
