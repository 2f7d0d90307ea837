// glimview settle: one pattern settling in the network, sweep by sweep. Each
// sweep is the core's own recall with a limit of one sweep, so the states are
// those that glimsee and glimlearn reach. For each state the view gives the
// units that changed and the energy
//
//   E = -sum over pairs i < j of w(i, j) s_i s_j + sum over i of t_i s_i.
//
// With finite symmetric weights an update in unit order can only lower E or
// keep it: a unit turns on when its sum reaches its threshold and off when
// the sum falls short. A sweep whose energy rises beyond rounding therefore
// shows a network that has left that regime (weights infinite or NaN); the
// table and the picture mark it.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "actfile.h"
#include "canvas.h"
#include "messages.h"
#include "netfile.h"
#include "netmeasure.h"
#include "settings.h"
#include "views.h"

// The picture shows the first FRAMES_SHOWN - 1 states and the last one; the
// table always lists every sweep.
constexpr int FRAMES_SHOWN = 24;
constexpr int PER_ROW = 8;
constexpr int CELL = 12; // canvas pixels per unit, its grid line included
constexpr int GRID = PATTERN_SIDE * CELL + 1;
constexpr int MARGIN = 10;
constexpr int TEXT_SCALE = 2;
constexpr int LINE_HEIGHT = GLYPH_HEIGHT * TEXT_SCALE + 6;
constexpr int TEXT_WIDTH = 20 * GLYPH_ADVANCE * TEXT_SCALE; // "energy " and %.6G
constexpr int COLUMN_WIDTH = (GRID > TEXT_WIDTH ? GRID : TEXT_WIDTH) + 24;
constexpr int ROW_HEIGHT = LINE_HEIGHT + GRID + 8 + 2 * LINE_HEIGHT + 12;

// Energies that differ by less than this share of the sum of their terms'
// magnitudes differ by rounding alone.
constexpr double ROUNDING_SHARE = 1e-9;

constexpr colour BACKGROUND = WHITE;
constexpr colour GRID_LINE = {190, 190, 190};
constexpr colour TURNED_ON = {230, 85, 13};    // on now, off before this sweep
constexpr colour TURNED_OFF = {158, 202, 225}; // off now, on before this sweep
constexpr colour UNIT_OTHER = {120, 120, 120}; // a value other than 0 and 1 from the file
constexpr colour ROSE = {200, 0, 0};

struct sweep_record {
    std::vector<int> state; // the units after the sweep (sweep 0: the pattern as read)
    int changed;            // units changed by the sweep; -1 for sweep 0
    double energy;
    double scale; // sum of the magnitudes of the energy's terms
};

// Whether the energy rose from before to after beyond rounding. A NaN energy
// cannot be compared and does not count as a rise.
static bool energy_rose(const sweep_record &before, const sweep_record &after) {
    if (std::isnan(before.energy) || std::isnan(after.energy)) return false;
    if (!std::isfinite(before.energy) || !std::isfinite(after.energy))
        return after.energy > before.energy;
    double scale = std::fmax(before.scale, after.scale);
    return after.energy - before.energy > ROUNDING_SHARE * scale;
}

static void draw_frame(canvas *picture, int left, int top, const sweep_record &record,
                       const sweep_record *previous, int sweep, bool rose) {
    char text[64];
    if (sweep == 0)
        snprintf(text, sizeof text, "pattern");
    else
        snprintf(text, sizeof text, "sweep %d", sweep);
    canvas_text(picture, left, top, text, TEXT_SCALE, rose ? ROSE : BLACK);
    int grid_top = top + LINE_HEIGHT;
    canvas_fill(picture, left, grid_top, GRID, GRID, GRID_LINE);
    for (int u = 0; u < NETSIZE; u++) {
        int value = record.state[u];
        colour fill = value == 1 ? BLACK : value == 0 ? WHITE : UNIT_OTHER;
        if (previous && value != previous->state[u]) fill = value != 0 ? TURNED_ON : TURNED_OFF;
        canvas_fill(picture, left + u % PATTERN_SIDE * CELL + 1,
                    grid_top + u / PATTERN_SIDE * CELL + 1, CELL - 1, CELL - 1, fill);
    }
    if (rose) canvas_outline(picture, left - 4, grid_top - 4, GRID + 8, GRID + 8, 3, ROSE);
    int y = grid_top + GRID + 8;
    if (sweep == 0)
        snprintf(text, sizeof text, "as read");
    else
        snprintf(text, sizeof text, "%d changed", record.changed);
    canvas_text(picture, left, y, text, TEXT_SCALE, BLACK);
    snprintf(text, sizeof text, "energy %.6G", record.energy);
    canvas_text(picture, left, y + LINE_HEIGHT, text, TEXT_SCALE, rose ? ROSE : BLACK);
}

static int legend_entry(canvas *picture, int left, int top, colour fill, const char *text) {
    canvas_fill(picture, left, top, CELL + 3, CELL + 3, GRID_LINE);
    canvas_fill(picture, left + 1, top + 1, CELL + 1, CELL + 1, fill);
    canvas_text(picture, left + CELL + 10, top, text, TEXT_SCALE, BLACK);
    return left + CELL + 10 + text_width(text, TEXT_SCALE) + 24;
}

static void draw_settling(canvas *picture, const std::vector<sweep_record> &records,
                          const std::vector<bool> &rose, const char *caption) {
    int count = (int)records.size();
    std::vector<int> shown;
    for (int k = 0; k < count; k++)
        if (count <= FRAMES_SHOWN || k < FRAMES_SHOWN - 1 || k == count - 1) shown.push_back(k);
    int frames = (int)shown.size();
    int columns = frames < PER_ROW ? frames : PER_ROW;
    int rows = (frames + PER_ROW - 1) / PER_ROW;
    int legend_width =
        2 * MARGIN + text_width("on  off  turned on  turned off  energy rose", 2) + 5 * (CELL + 34);
    int width = 2 * MARGIN + columns * COLUMN_WIDTH;
    if (width < legend_width) width = legend_width;
    if (width < 2 * MARGIN + text_width(caption, TEXT_SCALE))
        width = 2 * MARGIN + text_width(caption, TEXT_SCALE);
    int strip_top = MARGIN + 2 * LINE_HEIGHT + 8;
    int note_height = frames < count ? LINE_HEIGHT : 0;
    canvas_init(picture, width, strip_top + rows * ROW_HEIGHT + note_height + MARGIN, BACKGROUND);

    canvas_text(picture, MARGIN, MARGIN, caption, TEXT_SCALE, BLACK);
    int x = MARGIN;
    int legend_top = MARGIN + LINE_HEIGHT + 4;
    x = legend_entry(picture, x, legend_top, BLACK, "on");
    x = legend_entry(picture, x, legend_top, WHITE, "off");
    x = legend_entry(picture, x, legend_top, TURNED_ON, "turned on");
    x = legend_entry(picture, x, legend_top, TURNED_OFF, "turned off");
    canvas_outline(picture, x, legend_top - 2, CELL + 7, CELL + 7, 3, ROSE);
    canvas_text(picture, x + CELL + 14, legend_top, "energy rose", TEXT_SCALE, ROSE);

    for (int f = 0; f < frames; f++) {
        int k = shown[f];
        draw_frame(picture, MARGIN + f % PER_ROW * COLUMN_WIDTH,
                   strip_top + f / PER_ROW * ROW_HEIGHT, records[k],
                   k > 0 ? &records[k - 1] : nullptr, k, rose[k]);
    }
    if (frames < count) {
        char note[96];
        snprintf(note, sizeof note, "sweeps %d to %d are in the table only", FRAMES_SHOWN - 1,
                 count - 2);
        canvas_text(picture, MARGIN, strip_top + rows * ROW_HEIGHT, note, TEXT_SCALE, BLACK);
    }
}

// The pattern as read, then each sweep until one changes nothing (as
// net_iterate stops) or RECALL_LIMIT sweeps have run.
static std::vector<sweep_record> settle_sweeps(std::vector<int> state) {
    sweep_record record = {std::move(state), -1, 0.0, 0.0};
    std::vector<sweep_record> records;
    record.energy = net_energy(record.state.data());
    record.scale = net_energy_scale(record.state.data());
    records.push_back(record);
    while ((int)records.size() <= RECALL_LIMIT && (records.size() == 1 || record.changed > 0)) {
        record.changed = net_sweep(record.state.data());
        record.energy = net_energy(record.state.data());
        record.scale = net_energy_scale(record.state.data());
        records.push_back(record);
    }
    return records;
}

// For each sweep, whether the energy rose in it.
static std::vector<bool> settle_rises(const std::vector<sweep_record> &records) {
    std::vector<bool> rose(records.size(), false);
    for (size_t k = 1; k < records.size(); k++)
        rose[k] = energy_rose(records[k - 1], records[k]);
    return rose;
}

// The caption of the picture, which the table's last lines repeat.
static std::string settle_caption(const std::vector<sweep_record> &records,
                                  const char *pattern_name, const char *network_name) {
    int sweeps = (int)records.size() - 1;
    char caption[512];
    if (records.back().changed == 0)
        snprintf(caption, sizeof caption, "%s in %s: settled after %d sweep%s", pattern_name,
                 network_name, sweeps, sweeps == 1 ? "" : "s");
    else
        snprintf(caption, sizeof caption, "%s in %s: not settled after %d sweeps", pattern_name,
                 network_name, sweeps);
    return caption;
}

static void settle_print(const std::vector<sweep_record> &records, const std::vector<bool> &rose,
                         const char *pattern_name, const char *network_name,
                         const std::string &caption) {
    printf("Settling %s in %s, one sweep at a time (at most %d):\n",
           message_printable(pattern_name).c_str(), message_printable(network_name).c_str(),
           RECALL_LIMIT);
    printf("sweep  changed  energy\n");
    int rises = 0;
    for (size_t k = 0; k < records.size(); k++) {
        rises += rose[k];
        if (k == 0)
            printf("%5d        -  %.10G\n", 0, records[k].energy);
        else
            printf("%5d  %7d  %.10G%s\n", (int)k, records[k].changed, records[k].energy,
                   rose[k] ? "  rose" : "");
    }
    printf("%s.\n", message_printable(caption.c_str()).c_str());
    if (rises > 0)
        printf("The energy rose in %d sweep%s, which recall in a network of finite weights never "
               "does; %d of its weights and thresholds are infinite, NaN or beyond %G.\n",
               rises, rises == 1 ? "" : "s", net_count_diverged(), NET_DIVERGED_MAGNITUDE);
    else
        printf("The energy never rose.\n");
}

int view_settle(const char *pattern_name, const char *network_name, const char *out_name) {
    if (view_load_network(network_name) != 0) return -1;
    std::vector<int> pattern(NETSIZE, 0);
    if (act_load(pattern.data(), pattern_name) != LOAD_OK) return -1;

    std::vector<sweep_record> records = settle_sweeps(pattern);
    std::vector<bool> rose = settle_rises(records);
    std::string caption = settle_caption(records, pattern_name, network_name);
    settle_print(records, rose, pattern_name, network_name, caption);
    canvas picture;
    draw_settling(&picture, records, rose, caption.c_str());
    return view_save_picture(&picture, out_name);
}
