// glimview capacity: how many patterns a fresh network holds. For n = 1 to
// the number of patterns given, the first n are taught to a fresh network in
// memory as glimlearn teaches them (each once per cycle, in order, for the
// given number of cycles); then the view counts how many of the n are stable
// (settle into themselves) and how many come back from 10 % noise, and notes
// whether learning drove weights or thresholds out of range. No network file
// is read or written.
#include <cstdio>
#include <cstring>
#include <vector>

#include "actfile.h"
#include "canvas.h"
#include "messages.h"
#include "netmargin.h"
#include "netmeasure.h"
#include "noise.h"
#include "plot.h"
#include "settings.h"
#include "views.h"

constexpr int NOISE_FLIPPED = (NETSIZE + 5) / 10;    // 10 % of the units, rounded: 26
constexpr int COPIES = 8;                            // noisy copies per pattern
constexpr uint64_t NOISE_SALT = 0x6361706163697479u; // keeps this view's noise its own

constexpr colour ALL_TAUGHT = {170, 170, 170};
constexpr colour STABLE = {31, 119, 180};
constexpr colour FROM_NOISE = {255, 127, 14};
constexpr colour DIVERGED = {200, 0, 0};

struct capacity_row {
    int stable;       // of the n patterns, those that settle into themselves
    double recovered; // of the n, how many come back from noise: the mean over the copies
    int diverged;     // weights and thresholds out of range after teaching
};

static void teach(const std::vector<std::vector<int>> &patterns, int n, int cycles,
                  learning_rule rule) {
    net_init();
    if (rule == RULE_MARGIN) {
        std::vector<const int *> first(n);
        for (int p = 0; p < n; p++)
            first[p] = patterns[p].data();
        margin_learn(first.data(), n, cycles, nullptr, nullptr);
        return;
    }
    for (int cycle = 0; cycle < cycles; cycle++)
        for (int p = 0; p < n; p++)
            net_learn(patterns[p].data(), 1);
}

static capacity_row measure(const std::vector<std::vector<int>> &patterns, int n) {
    capacity_row row = {0, 0.0, net_count_diverged()};
    int back = 0;
    for (int p = 0; p < n; p++) {
        std::vector<int> work = patterns[p];
        net_iterate(work.data(), RECALL_LIMIT);
        row.stable += work == patterns[p];
        for (int copy = 0; copy < COPIES; copy++) {
            noise_source source;
            noise_seed(&source, patterns[p].data(), NOISE_FLIPPED, copy, NOISE_SALT);
            back += noise_comes_back(&source, patterns[p].data(), NOISE_FLIPPED, RECALL_LIMIT);
        }
    }
    row.recovered = (double)back / COPIES;
    return row;
}

static void draw_capacity(canvas *picture, const std::vector<capacity_row> &rows, int cycles,
                          learning_rule rule) {
    int count = (int)rows.size();
    char caption[200];
    if (rule == RULE_MARGIN)
        snprintf(caption, sizeof caption,
                 "Capacity: the first n patterns taught by the margin rule, up to %d cycles",
                 cycles);
    else
        snprintf(caption, sizeof caption, "Capacity: the first n patterns taught for %d cycles",
                 cycles);
    char subtitle[200];
    snprintf(subtitle, sizeof subtitle, "to a fresh network; noise: %d units flipped, %d copies",
             NOISE_FLIPPED, COPIES);
    plot_area area = plot_chart_area(count, count);
    int first_diverged = 0;
    for (int k = 0; k < count && !first_diverged; k++)
        if (rows[k].diverged > 0) first_diverged = k + 1;
    char diverged[64];
    if (first_diverged)
        snprintf(diverged, sizeof diverged, "diverged from n = %d", first_diverged);
    else
        snprintf(diverged, sizeof diverged, "no weights diverged");
    const char *entries[] = {"all n taught", "stable", "back from 10% noise", diverged};
    int legend_width = 0;
    for (const char *entry : entries)
        if (text_width(entry, PLOT_TEXT_SCALE) > legend_width)
            legend_width = text_width(entry, PLOT_TEXT_SCALE);
    int legend_left = area.left + area.width + 24;
    canvas_init(picture, legend_left + 38 + legend_width + PLOT_MARGIN,
                area.top + area.height + 2 * PLOT_LINE_HEIGHT + 12 + PLOT_MARGIN, WHITE);
    canvas_text(picture, PLOT_MARGIN, PLOT_MARGIN, caption, PLOT_TEXT_SCALE, BLACK);
    canvas_text(picture, PLOT_MARGIN, PLOT_MARGIN + PLOT_LINE_HEIGHT, subtitle, PLOT_TEXT_SCALE, BLACK);
    double step = plot_step(count, 10);
    plot_axes(picture, &area, step, step, "%.0f", "%.0f", "n, patterns taught",
              "patterns of the n");

    std::vector<double> n(count), all(count), stable(count), recovered(count);
    for (int k = 0; k < count; k++) {
        n[k] = k + 1;
        all[k] = k + 1;
        stable[k] = rows[k].stable;
        recovered[k] = rows[k].recovered;
    }
    if (first_diverged) plot_marker(picture, &area, first_diverged, diverged, DIVERGED);
    plot_series(picture, &area, n.data(), all.data(), count, 1, ALL_TAUGHT);
    plot_series(picture, &area, n.data(), recovered.data(), count, 2, FROM_NOISE);
    plot_series(picture, &area, n.data(), stable.data(), count, 3, STABLE);

    int top = area.top;
    top = plot_legend_entry(picture, legend_left, top, ALL_TAUGHT, 1, entries[0]);
    top = plot_legend_entry(picture, legend_left, top, STABLE, 3, entries[1]);
    top = plot_legend_entry(picture, legend_left, top, FROM_NOISE, 2, entries[2]);
    if (first_diverged)
        plot_legend_entry(picture, legend_left, top, DIVERGED, 3, entries[3]);
    else
        canvas_text(picture, legend_left, top, entries[3], PLOT_TEXT_SCALE, BLACK);
}

int view_capacity(char *const pattern_names[], int count, int cycles, learning_rule rule,
                  const char *out_name) {
    // A store that could not be built is told by net_init itself.
    net_verbose = 0;
    net_init();
    if (net_broken) return -1;
    std::vector<std::vector<int>> patterns;
    if (view_load_patterns(pattern_names, count, &patterns) != 0) return -1;

    if (rule == RULE_MARGIN)
        printf("Learning rule: margin (stops early once every pattern clears the margin)\n");
    printf("Capacity: the first n of %d patterns taught to a fresh network for %d cycles\n"
           "(no network file is read or written). stable: settle into themselves; from noise:\n"
           "come back from %d flipped units (10 %%), mean over %d copies; diverged: weights and\n"
           "thresholds infinite, NaN or beyond %G.\n",
           count, cycles, NOISE_FLIPPED, COPIES, NET_DIVERGED_MAGNITUDE);
    printf("    n  stable  from noise  diverged\n");
    std::vector<capacity_row> rows;
    for (int n = 1; n <= count; n++) {
        teach(patterns, n, cycles, rule);
        capacity_row row = measure(patterns, n);
        printf("%5d  %6d  %10.2f  %8d\n", n, row.stable, row.recovered, row.diverged);
        rows.push_back(row);
    }

    canvas picture;
    draw_capacity(&picture, rows, cycles, rule);
    return view_save_picture(&picture, out_name);
}
