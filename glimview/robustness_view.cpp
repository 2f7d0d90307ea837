// glimview robustness: how much noise each learned pattern survives. For each
// pattern and each noise level from 0 to MOST_FLIPPED flipped units, COPIES
// noisy copies settle in the network (the core's recall, at most 500 sweeps,
// as glimsee settles) and the view counts those that come back to the
// pattern exactly. The flipped units come from a seeded generator of our own,
// so the table and the picture are the same on every run and every build.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "actfile.h"
#include "canvas.h"
#include "messages.h"
#include "netfile.h"
#include "noise.h"
#include "plot.h"
#include "settings.h"
#include "views.h"

constexpr int MOST_FLIPPED = 64;
constexpr int LEVEL_STEP = 4;
constexpr int LEVELS = MOST_FLIPPED / LEVEL_STEP + 1;
constexpr int COPIES = 32;
constexpr uint64_t NOISE_SALT = 0x726f627573746e65u; // keeps this view's noise its own
// More patterns than the palette has colours are drawn in grey with their mean.
constexpr int MOST_COLOURED = PLOT_PALETTE_SIZE;

constexpr colour SINGLE_GREY = {190, 190, 190};

static void draw_robustness(canvas *picture, const std::vector<std::vector<int>> &recovered,
                            char *const names[], int count, const char *network_name) {
    int legend_width = 0;
    for (int p = 0; p < count && p < MOST_COLOURED; p++) {
        int width = text_width(names[p], PLOT_TEXT_SCALE);
        if (width > legend_width) legend_width = width;
    }
    if (legend_width < text_width("each pattern", PLOT_TEXT_SCALE))
        legend_width = text_width("each pattern", PLOT_TEXT_SCALE);
    legend_width += 38;
    char caption[400];
    snprintf(caption, sizeof caption, "Recall from noise in %s", network_name);
    char subtitle[200];
    snprintf(subtitle, sizeof subtitle, "%d noisy copies per pattern and level, at most %d sweeps",
             COPIES, RECALL_LIMIT);

    plot_area area = plot_chart_area(MOST_FLIPPED, 100);
    int width = area.left + area.width + 24 + legend_width + PLOT_MARGIN;
    int caption_width = PLOT_MARGIN * 2 + text_width(caption, PLOT_TEXT_SCALE);
    if (width < caption_width) width = caption_width;
    canvas_init(picture, width, area.top + area.height + 2 * PLOT_LINE_HEIGHT + 12 + PLOT_MARGIN, WHITE);
    canvas_text(picture, PLOT_MARGIN, PLOT_MARGIN, caption, PLOT_TEXT_SCALE, BLACK);
    canvas_text(picture, PLOT_MARGIN, PLOT_MARGIN + PLOT_LINE_HEIGHT, subtitle, PLOT_TEXT_SCALE, BLACK);
    plot_axes(picture, &area, 8, 20, "%.0f", "%.0f", "units flipped (of 256)",
              "% of copies that settle back exactly");

    double x[LEVELS];
    for (int level = 0; level < LEVELS; level++)
        x[level] = level * LEVEL_STEP;
    int legend_left = area.left + area.width + 24;
    int legend_top = area.top;
    std::vector<double> y(LEVELS);
    if (count <= MOST_COLOURED) {
        // Later lines are drawn thinner, so that lines that coincide still show.
        for (int p = 0; p < count; p++) {
            for (int level = 0; level < LEVELS; level++)
                y[level] = 100.0 * recovered[p][level] / COPIES;
            int thickness = count - p > 2 ? 2 + (count - p) / 3 : 2;
            plot_series(picture, &area, x, y.data(), LEVELS, thickness, PLOT_PALETTE[p]);
            legend_top =
                plot_legend_entry(picture, legend_left, legend_top, PLOT_PALETTE[p], 3, names[p]);
        }
        return;
    }
    std::vector<double> mean(LEVELS, 0.0);
    for (int p = 0; p < count; p++) {
        for (int level = 0; level < LEVELS; level++) {
            y[level] = 100.0 * recovered[p][level] / COPIES;
            mean[level] += y[level] / count;
        }
        plot_series(picture, &area, x, y.data(), LEVELS, 1, SINGLE_GREY);
    }
    plot_series(picture, &area, x, mean.data(), LEVELS, 3, BLACK);
    legend_top =
        plot_legend_entry(picture, legend_left, legend_top, SINGLE_GREY, 1, "each pattern");
    plot_legend_entry(picture, legend_left, legend_top, BLACK, 3, "mean");
}

// For each pattern and noise level, how many of the COPIES noisy copies
// settle back into the pattern exactly.
static std::vector<std::vector<int>>
robustness_count(const std::vector<std::vector<int>> &patterns) {
    std::vector<std::vector<int>> recovered(patterns.size(), std::vector<int>(LEVELS, 0));
    for (size_t p = 0; p < patterns.size(); p++)
        for (int level = 0; level < LEVELS; level++)
            for (int copy = 0; copy < COPIES; copy++) {
                noise_source source;
                noise_seed(&source, patterns[p].data(), level * LEVEL_STEP, copy, NOISE_SALT);
                recovered[p][level] +=
                    noise_comes_back(&source, patterns[p].data(), level * LEVEL_STEP, RECALL_LIMIT);
            }
    return recovered;
}

static void robustness_print(const std::vector<std::vector<int>> &recovered,
                             char *const pattern_names[], int count, const char *network_name) {
    int name_width = (int)strlen("pattern");
    for (int p = 0; p < count; p++) {
        int length = (int)strlen(pattern_names[p]);
        if (length > name_width) name_width = length;
    }
    printf("Recall from noise in %s: of %d noisy copies of each pattern, how many settle back\n"
           "into it exactly (at most %d sweeps), by the number of units flipped.\n",
           message_printable(network_name).c_str(), COPIES, RECALL_LIMIT);
    printf("%-*s", name_width, "pattern");
    for (int level = 0; level < LEVELS; level++)
        printf(" %3d", level * LEVEL_STEP);
    printf("\n");
    for (int p = 0; p < count; p++) {
        printf("%-*s", name_width, message_printable(pattern_names[p]).c_str());
        for (int level = 0; level < LEVELS; level++)
            printf(" %3d", recovered[p][level]);
        printf("\n");
    }
}

int view_robustness(char *const pattern_names[], int count, const char *network_name,
                    const char *out_name) {
    if (view_load_network(network_name) != 0) return -1;
    std::vector<std::vector<int>> patterns;
    if (view_load_patterns(pattern_names, count, &patterns) != 0) return -1;
    std::vector<std::vector<int>> recovered = robustness_count(patterns);
    robustness_print(recovered, pattern_names, count, network_name);
    canvas picture;
    draw_robustness(&picture, recovered, pattern_names, count, network_name);
    return view_save_picture(&picture, out_name);
}
