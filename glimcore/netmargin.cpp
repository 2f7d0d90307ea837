// The margin rule, on a dense copy of the network taken at the start of a
// call and written back at its end.
#include "netmargin.h"

#include <cstring>

// margin_weights[a][b] = w(a, b) = margin_weights[b][a]; the diagonal holds +0.0.
static double margin_weights[NETSIZE][NETSIZE];
static double margin_thresholds[NETSIZE]; // the thresholds while a call runs

// What one pattern needs for its turn.
struct margin_pattern {
    int on[NETSIZE];            // the units that are on, ascending
    int on_count;               // how many
    double toward_on[NETSIZE];  // per unit: +MARGIN_WEIGHT_STEP when on, -0.0 when off
    double toward_off[NETSIZE]; // per unit: -MARGIN_WEIGHT_STEP when on, -0.0 when off
};

static void margin_take_network() {
    for (int a = 0; a < NETSIZE; a++) {
        margin_weights[a][a] = 0.0;
        for (int b = a + 1; b < NETSIZE; b++) {
            double weight = weight_slot(weight_index(a, b));
            margin_weights[a][b] = weight;
            margin_weights[b][a] = weight;
        }
    }
    memcpy(margin_thresholds, thresholds, sizeof margin_thresholds);
}

static void margin_give_network() {
    for (int a = 0; a < NETSIZE - 1; a++)
        for (int b = a + 1; b < NETSIZE; b++)
            weight_slot_set(weight_index(a, b), margin_weights[a][b]);
    memcpy(thresholds, margin_thresholds, sizeof margin_thresholds);
}

// Adding -0.0 leaves every value as it is, -0.0 and NaNs included, so the
// units that are off can share the vector loop of the units that are on.
static void margin_prepare(const int *act, margin_pattern *pattern) {
    pattern->on_count = 0;
    for (int u = 0; u < NETSIZE; u++) {
        bool on = act[u] != 0;
        if (on) pattern->on[pattern->on_count++] = u;
        pattern->toward_on[u] = on ? MARGIN_WEIGHT_STEP : -0.0;
        pattern->toward_off[u] = on ? -MARGIN_WEIGHT_STEP : -0.0;
    }
}

// Eight doubles in one value, each added on its own by the same double
// addition as a single sum, so the processor may add them at once.
typedef double margin_vector __attribute__((vector_size(8 * sizeof(double))));
constexpr int VECTOR_LANES = 8;
constexpr int BLOCK_VECTORS = 8; // the sums of 64 units held at once while the rows pass

// On x86-64 the loops are also built for the wider vector units of newer
// processors, chosen when the program starts; every build adds the same
// values in the same order, so the results are the same bits.
#if defined(__x86_64__)
#define MARGIN_BUILDS __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define MARGIN_BUILDS
#endif

// The field sums of every unit: the chain of w(k, j) over the units k that are
// on, ascending, from +0.0. A unit's own diagonal entry adds +0.0, which
// leaves a chain that starts at +0.0 as it is, so the rows of the units that
// are on can be added whole. The sums of 64 units at a time stay in registers
// while the rows pass.
MARGIN_BUILDS static void margin_sums(const margin_pattern &pattern, double *sum) {
    constexpr int BLOCK = BLOCK_VECTORS * VECTOR_LANES;
    for (int first = 0; first < NETSIZE; first += BLOCK) {
        margin_vector chain[BLOCK_VECTORS];
        for (int v = 0; v < BLOCK_VECTORS; v++)
            chain[v] = margin_vector{}; // +0.0 in every element
        for (int x = 0; x < pattern.on_count; x++) {
            const double *row = &margin_weights[pattern.on[x]][first];
#pragma GCC unroll 8
            for (int v = 0; v < BLOCK_VECTORS; v++) {
                margin_vector weights;
                memcpy(&weights, row + v * VECTOR_LANES, sizeof weights);
                chain[v] = chain[v] + weights;
            }
        }
        memcpy(sum + first, chain, sizeof chain);
    }
}

// row[k] + step[k] for every unit k.
MARGIN_BUILDS static void margin_add_row(double *row, const double *step) {
    for (int k = 0; k < NETSIZE; k += VECTOR_LANES) {
        margin_vector weights, steps;
        memcpy(&weights, row + k, sizeof weights);
        memcpy(&steps, step + k, sizeof steps);
        weights = weights + steps;
        memcpy(row + k, &weights, sizeof weights);
    }
}

// Whether unit j, on or off, misses the margin with the sum of its field. A
// field that is not a number misses it too, so that a network that holds one
// is never reported as learned.
static bool margin_misses(bool on, double sum, double threshold) {
    double target = on ? 1.0 : -1.0;
    double field = sum - threshold;
    return !(target * field >= MARGIN_KAPPA);
}

// Moves unit j toward its side: its threshold, and its weights to the units
// that are on, in row j. The mirror images in column j follow at once for a
// unit that is on, so that a later unit of the same pattern that is on adds
// its step to the weight this one left. A unit that is off changes only
// weights between itself and units that are on, which no other unit of the
// pattern reads or changes: its mirror images wait for margin_mirror.
static void margin_move(int j, bool on, const margin_pattern &pattern) {
    double target = on ? 1.0 : -1.0;
    margin_thresholds[j] = margin_thresholds[j] - target * MARGIN_THRESHOLD_STEP;
    double *row = margin_weights[j];
    margin_add_row(row, on ? pattern.toward_on : pattern.toward_off);
    row[j] = 0.0;
    if (!on) return;
    for (int x = 0; x < pattern.on_count; x++) {
        int k = pattern.on[x];
        margin_weights[k][j] = row[k];
    }
}

// Copies w(j, k) from row j into row k for each unit j of moved and k that is
// on. Row by row, so that the writes to one row stay close together and the
// reads of neighbouring units k share their cache lines.
static void margin_mirror(const int *moved, int moved_count, const margin_pattern &pattern) {
    for (int x = 0; x < pattern.on_count; x++) {
        int k = pattern.on[x];
        double *row = margin_weights[k];
        for (int m = 0; m < moved_count; m++)
            row[moved[m]] = margin_weights[moved[m]][k];
    }
}

// One pattern's turn; returns the units it moved.
static int margin_teach(const int *act, margin_pattern *pattern) {
    margin_prepare(act, pattern);
    double sum[NETSIZE];
    margin_sums(*pattern, sum);
    bool miss[NETSIZE];
    for (int j = 0; j < NETSIZE; j++)
        miss[j] = margin_misses(act[j] != 0, sum[j], margin_thresholds[j]);
    int moved = 0;
    int moved_off[NETSIZE];
    int moved_off_count = 0;
    for (int j = 0; j < NETSIZE; j++) {
        if (!miss[j]) continue;
        bool on = act[j] != 0;
        margin_move(j, on, *pattern);
        if (!on) moved_off[moved_off_count++] = j;
        moved++;
    }
    margin_mirror(moved_off, moved_off_count, *pattern);
    return moved;
}

static long margin_count(const int *const patterns[], int count, margin_pattern *pattern) {
    long missing = 0;
    for (int p = 0; p < count; p++) {
        margin_prepare(patterns[p], pattern);
        double sum[NETSIZE];
        margin_sums(*pattern, sum);
        for (int j = 0; j < NETSIZE; j++)
            missing += margin_misses(patterns[p][j] != 0, sum[j], margin_thresholds[j]);
    }
    return missing;
}

bool rule_from_name(const char *name, learning_rule *rule) {
    if (strcmp(name, "classic") == 0)
        *rule = RULE_CLASSIC;
    else if (strcmp(name, "margin") == 0)
        *rule = RULE_MARGIN;
    else
        return false;
    return true;
}

margin_report margin_learn(const int *const patterns[], int count, int max_cycles,
                           margin_progress progress, void *context) {
    margin_report report = {0, false, 0, 0, false};
    if (net_broken) {
        net_warn_broken();
        report.broken = true;
        return report;
    }
    margin_take_network();
    static margin_pattern pattern;
    bool settled = false;
    while (report.cycles < max_cycles && !settled) {
        long moved = 0;
        for (int p = 0; p < count; p++)
            moved += margin_teach(patterns[p], &pattern);
        report.moved += moved;
        if (progress) progress(report.cycles, moved, context);
        report.cycles++;
        // A cycle that moved nothing judged every pattern on the final weights.
        settled = moved == 0;
    }
    report.missing = settled ? 0 : margin_count(patterns, count, &pattern);
    report.learned = report.missing == 0;
    if (report.moved > 0) margin_give_network();
    return report;
}

long margin_missing(const int *const patterns[], int count) {
    if (net_broken) {
        net_warn_broken();
        return -1;
    }
    margin_take_network();
    static margin_pattern pattern;
    return margin_count(patterns, count, &pattern);
}
