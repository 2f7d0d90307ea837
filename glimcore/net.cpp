// Network state, recall and learning.
#include "net.h"
#include "messages.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

double *weight_blocks[WEIGHT_BLOCK_COUNT]; // allocated once, never freed
double thresholds[NETSIZE];                // one per unit
int net_broken;                            // set by a failed allocation or self-test
int net_verbose;                           // chosen by each program before its first call
bool net_store_behind;                     // set by learning, cleared by net_store_sync

// Recall and learning work from a dense copy of the weights; the essay before
// invalid_result() explains how the copy keeps their results exact.
constexpr int RECALL_LANES = 16; // consecutive units whose recall sums run side by side
constexpr int LEARN_LANES = 8;   // units whose learning sums run side by side
// A group of recall lanes may reach past unit 255; the columns there hold +0.0.
constexpr int MIRROR_WIDTH = NETSIZE + RECALL_LANES;
constexpr int SET_WORDS = NETSIZE / 64; // a set of units as a bit mask

static double mirror[NETSIZE][MIRROR_WIDTH]; // mirror[a][b] = w(a, b); +0.0 elsewhere
// The store was written since the copy was made: the next call copies it again.
static bool mirror_stale = true;
// Bit b of nonfinite_from[a]: w(a, b) is an infinity or a NaN.
static uint64_t nonfinite_from[NETSIZE][SET_WORDS];
static bool mirror_nonfinite;   // some weight in the copy is an infinity or a NaN
static bool mirror_foreign_nan; // some weight in the copy is a NaN other than INVALID_NAN
static double invalid_result();
static const double INVALID_NAN = invalid_result(); // the bits of an invalid operation's NaN

// Slot s of the store, for the core's own writers, which mark the copy stale.
static double &slot_at(int s) {
    return weight_blocks[s / WEIGHT_BLOCK_SLOTS][s % WEIGHT_BLOCK_SLOTS];
}

void weight_slot_set(int s, double value) {
    net_store_sync();
    slot_at(s) = value;
    mirror_stale = true;
}

void net_warn_broken() {
    message_print("  Netz nicht richtig initialisiert\n");
}

static bool allocate_blocks() {
    for (int k = 0; k < WEIGHT_BLOCK_COUNT; k++) {
        // A second net_init in the same process reuses the blocks it has.
        if (weight_blocks[k]) continue;
        weight_blocks[k] = (double *)calloc(WEIGHT_BLOCK_SLOTS, sizeof(double));
        if (!weight_blocks[k]) {
            message_print("  ERROR: not enough memory, at part %d\n", k);
            return false;
        }
    }
    return true;
}

// Stores 2*s in every weight slot and reads it back, in ascending slot order
// first and descending order second. Only the first misfit of the run prints
// a heading; the second pass also names the block of each misfit.
static void self_test() {
    for (int s = 0; s < weightsize; s++)
        slot_at(s) = 2.0 * s;
    if (net_verbose) printf("Number of network weights: %d\n", weightsize);
    for (int s = 0; s < weightsize; s++) {
        if (weight_slot(s) == 2.0 * s) continue;
        if (!net_broken) message_print("  ERROR: weight matrix misfit at ");
        message_print("%d(%G:%d) ", s, weight_slot(s), 2 * s);
        net_broken = 1;
    }
    if (net_broken) message_print("\n");

    for (int s = weightsize - 1; s >= 0; s--)
        slot_at(s) = 2.0 * s;
    for (int s = weightsize - 1; s >= 0; s--) {
        if (weight_slot(s) == 2.0 * s) continue;
        if (!net_broken) message_print("  ERROR: weight matrix misfit 2 at ");
        message_print("[%p]", (void *)weight_blocks[s / WEIGHT_BLOCK_SLOTS]);
        message_print("%d(%G:%d) ", s, weight_slot(s), 2 * s);
        net_broken = 1;
    }
    if (net_broken) message_print("\n");
}

void net_init() {
    net_broken = 0;
    // Every slot is written below: what learning left in the copy is dropped.
    net_store_behind = false;
    mirror_stale = true;
    if (!allocate_blocks()) {
        net_broken = 1;
        return;
    }
    for (int u = 0; u < NETSIZE; u++)
        thresholds[u] = 0.0;
    self_test();
    for (int s = 0; s < weightsize; s++)
        slot_at(s) = 0.5;
    // The spare slots hold no weight; 0.0 makes every saved file the same.
    for (int s = weightsize; s < WEIGHT_SLOT_COUNT; s++)
        slot_at(s) = 0.0;
}

// Recall and learning reach the very bits that the rules give when they form
// every product w(j, i) * act[j] for every unit in order, by three exact means:
//
// - A sum starts at +0.0 and, rounding to nearest, never becomes -0.0, so
//   adding +0.0 or -0.0 leaves it as it is. A unit that is on with the value 1
//   adds w * 1.0 = w. A unit that is off adds w * 0.0: a zero if w is finite,
//   and a NaN if it is not, which makes the sum NaN for good. So a sum is the
//   chain of the weights from the units that are on, added in ascending order
//   with nothing multiplied, unless a unit that is off has a weight that is not
//   finite to it: then recall, which only compares the sum, gives the unit the
//   state 0, as NaN >= threshold is false. Learning skips units that are off
//   anyway.
// - The weights come from a dense symmetric copy of the store, mirror[a][b] =
//   w(a, b), so that the weights of a sum lie in sequence. Its diagonal holds
//   +0.0, which a sum may add for the reason above. The blocks remain the
//   network. Every writer of the blocks (net_init, the file reader and other
//   callers through weight_slot_set, the step-by-step learning, net_normalize)
//   marks the copy stale, and the next call copies it again whole. Learning
//   from the copy leaves the blocks behind it (net_store_behind) and the copy
//   is written back whole when the blocks are next read or written: by
//   weight_slot, by those writers, or by a direct call of net_store_sync.
// - The sums of several units run side by side, each one chain in its own
//   order, and the processor overlaps the chains. A sum that an earlier unit
//   of the same pass makes stale is formed again.
//
// NaNs in learning: the invalid operations of learning (infinity minus
// infinity) give the processor's own NaN, and an addition of two such NaNs
// gives the same bits whichever operand it passes on. A NaN with other bits in
// a weight or threshold (from a file or a caller) could make the order of
// operands matter, and so could unit values other than 0 and 1, which are
// multiplied: then learning follows the rules step by step on the blocks, as
// recall does for a sweep over such values.

// Infinity minus infinity, worked out at run time: the bits of this
// processor's NaN for an invalid operation.
static double invalid_result() {
    volatile double infinity = HUGE_VAL;
    return infinity - infinity;
}

static bool same_bits(double x, double y) {
    return memcmp(&x, &y, sizeof x) == 0;
}

// A NaN whose bits differ from those that invalid operations give.
static bool foreign_nan(double x) {
    return std::isnan(x) && !same_bits(x, INVALID_NAN);
}

static void note_nonfinite(int a, int b) {
    nonfinite_from[a][b / 64] |= (uint64_t)1 << (b % 64);
    nonfinite_from[b][a / 64] |= (uint64_t)1 << (a % 64);
    mirror_nonfinite = true;
}

// Row a of the store, the weights w(a, a + 1) to w(a, 255), fills consecutive
// slots that span at most two blocks. Calls piece(slot of the first weight,
// count, row offset) for each run of them within one block.
template <typename Piece> static void row_pieces(int a, Piece piece) {
    int count = NETSIZE - 1 - a;
    int first = weight_index(a, a + 1);
    for (int done = 0; done < count;) {
        int slot = first + done;
        int length = std::min(count - done, WEIGHT_BLOCK_SLOTS - slot % WEIGHT_BLOCK_SLOTS);
        piece(&slot_at(slot), length, done);
        done += length;
    }
}

// Copies row a of the store into the copy, and its mirror image into column a.
static void mirror_copy_row(int a) {
    double *copy = &mirror[a][a + 1];
    row_pieces(a, [&](const double *stored, int length, int done) {
        memcpy(copy + done, stored, (size_t)length * sizeof(double));
    });
    for (int b = a + 1; b < NETSIZE; b++)
        mirror[b][a] = mirror[a][b];
}

// Writes row a of the copy back into the store.
static void mirror_store_row(int a) {
    const double *copy = &mirror[a][a + 1];
    row_pieces(a, [&](double *stored, int length, int done) {
        memcpy(stored, copy + done, (size_t)length * sizeof(double));
    });
}

// The sets of weights that are not finite, as the copy holds them.
static void mirror_take_stock() {
    memset(nonfinite_from, 0, sizeof nonfinite_from);
    mirror_nonfinite = false;
    mirror_foreign_nan = false;
    for (int a = 0; a < NETSIZE - 1; a++)
        for (int b = a + 1; b < NETSIZE; b++) {
            double weight = mirror[a][b];
            if (std::isfinite(weight)) continue;
            note_nonfinite(a, b);
            if (foreign_nan(weight)) mirror_foreign_nan = true;
        }
}

// Copies the store again when a writer marked the copy stale (bit patterns,
// so -0.0 and NaN payloads are kept), and takes stock of the weights that are
// not finite.
static void mirror_refresh() {
    if (!mirror_stale) return;
    for (int a = 0; a < NETSIZE - 1; a++)
        mirror_copy_row(a);
    mirror_take_stock();
    mirror_stale = false;
}

void net_store_sync() {
    if (!net_store_behind) return;
    for (int a = 0; a < NETSIZE - 1; a++)
        mirror_store_row(a);
    net_store_behind = false;
}

bool net_copy_in_step() {
    if (mirror_stale) return !net_store_behind;
    for (int a = 0; a < NETSIZE; a++) {
        bool same = true;
        if (a < NETSIZE - 1 && !net_store_behind)
            row_pieces(a, [&](const double *stored, int length, int done) {
                if (memcmp(&mirror[a][a + 1 + done], stored, (size_t)length * sizeof(double)))
                    same = false;
            });
        for (int b = 0; b < MIRROR_WIDTH; b++) {
            double expected = b < a ? mirror[b][a] : b < NETSIZE && b > a ? mirror[a][b] : 0.0;
            if (!same_bits(mirror[a][b], expected)) same = false;
        }
        if (!same) return false;
    }
    uint64_t noted[NETSIZE][SET_WORDS];
    memcpy(noted, nonfinite_from, sizeof noted);
    bool any_nonfinite = mirror_nonfinite, any_foreign = mirror_foreign_nan;
    mirror_take_stock();
    bool stock_same = memcmp(noted, nonfinite_from, sizeof noted) == 0 &&
                      any_nonfinite == mirror_nonfinite && any_foreign == mirror_foreign_nan;
    return stock_same;
}

static bool values_binary(const int *act) {
    for (int u = 0; u < NETSIZE; u++)
        if (act[u] != 0 && act[u] != 1) return false;
    return true;
}

// Fills on with the units whose value is not 0, ascending, and on_set with the
// same units as bits; returns their number.
static int units_on(const int *act, int *on, uint64_t *on_set) {
    int count = 0;
    for (int w = 0; w < SET_WORDS; w++)
        on_set[w] = 0;
    for (int u = 0; u < NETSIZE; u++)
        if (act[u] != 0) {
            on[count++] = u;
            on_set[u / 64] |= (uint64_t)1 << (u % 64);
        }
    return count;
}

// Whether a unit that is off has a weight to unit i that is not finite, whose
// product with 0.0 makes the sum of unit i NaN.
static bool sum_spoilt(int i, const uint64_t *on_set) {
    for (int w = 0; w < SET_WORDS; w++)
        if (nonfinite_from[i][w] & ~on_set[w]) return true;
    return false;
}

// One sweep of recall as the rules state it, for any network and unit values.
static bool sweep_in_order(int *act) {
    bool changed = false;
    for (int i = 0; i < NETSIZE; i++) {
        double sum = 0.0;
        for (int j = 0; j < NETSIZE; j++) {
            if (j == i) continue;
            sum = sum + weight_slot(weight_index(j, i)) * (double)act[j];
        }
        int state = sum >= thresholds[i] ? 1 : 0;
        if (state != act[i]) changed = true;
        act[i] = state;
    }
    return changed;
}

// Eight sums in one value. Each element is added on its own, by the same
// double addition as a single sum, so the processor may add them at once.
typedef double sum_vector __attribute__((vector_size(8 * sizeof(double))));
constexpr int VECTOR_LANES = 8;
static_assert(RECALL_LANES % VECTOR_LANES == 0, "whole vectors of lanes");

// On x86-64 the recall sums are also built for the wider vector units of newer
// processors, chosen when the program starts; every build adds the same lanes
// in the same order, so the results are the same bits.
#if defined(__x86_64__)
#define RECALL_BUILDS __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define RECALL_BUILDS
#endif

// The recall sums of units first to first + RECALL_LANES - 1 over the units in
// on: for each, the chain of its weights from those units in order.
RECALL_BUILDS static void recall_sums(const int *on, int on_count, int first, double *sum) {
    constexpr int VECTORS = RECALL_LANES / VECTOR_LANES;
    sum_vector chain[VECTORS];
    for (int v = 0; v < VECTORS; v++)
        chain[v] = sum_vector{}; // +0.0 in every element
    for (int x = 0; x < on_count; x++) {
        const double *row = &mirror[on[x]][first];
        for (int v = 0; v < VECTORS; v++) {
            sum_vector weights;
            memcpy(&weights, row + v * VECTOR_LANES, sizeof weights);
            chain[v] = chain[v] + weights;
        }
    }
    memcpy(sum, chain, sizeof chain);
}

// One sweep of recall from the copy, for 0/1 values. The sums of RECALL_LANES
// consecutive units are formed from the states before any of them is updated;
// when one of them changes its state, the sums after it counted its old state,
// and the next group starts right after it.
static bool sweep_fast(int *act) {
    int on[NETSIZE];
    uint64_t on_set[SET_WORDS];
    int on_count = units_on(act, on, on_set);
    bool changed = false;
    int first = 0;
    while (first < NETSIZE) {
        double sum[RECALL_LANES];
        recall_sums(on, on_count, first, sum);
        int end = std::min(first + RECALL_LANES, NETSIZE);
        int i = first;
        while (i < end) {
            int state = sum[i - first] >= thresholds[i] ? 1 : 0;
            if (mirror_nonfinite && sum_spoilt(i, on_set)) state = 0;
            bool flipped = state != act[i];
            act[i] = state;
            i++;
            if (flipped) {
                changed = true;
                on_count = units_on(act, on, on_set);
                break;
            }
        }
        first = i;
    }
    return changed;
}

// One sweep updates the units in ascending order and stores each new state at
// once, so the units after i in the same sweep already see it.
int *net_iterate(int *act, int max_steps) {
    if (net_broken) {
        net_warn_broken();
        return nullptr;
    }
    long steps = 0;
    bool changed = true;
    // Only a sweep in order takes other values than 0 and 1; it leaves 0 and 1.
    bool binary = values_binary(act);
    if (max_steps > 0 && binary) mirror_refresh();
    while (steps < max_steps && changed) {
        if (binary) {
            changed = sweep_fast(act);
        } else {
            changed = sweep_in_order(act);
            binary = true;
            mirror_refresh();
        }
        steps++;
    }
    if (net_verbose) printf("  Iterated Network %ld steps.\n", steps);
    return act;
}

// Prints the cycle number over the end of the "0000" counter.
static void print_learning_counter(int cycle) {
    if (cycle < 10)
        printf("\b%d", cycle);
    else if (cycle < 100)
        printf("\b\b%d", cycle);
    else if (cycle < 1000)
        printf("\b\b\b%d", cycle);
    else
        printf("\b\b\b\b%d", cycle);
}

// The rule for unit j, whose weighted sum over the n other units that are on
// is sum: a misclassified unit gets the correction t - sum / (n + 1), toward
// t = -1.0 when it is on and +1.0 when it is off; any other the correction 0.0.
// Adds the correction to the threshold, stores it in *correction and returns
// whether the unit was misclassified.
static bool correct_threshold(const int *act, int j, double sum, int n, double *correction) {
    bool misclassified =
        (sum >= thresholds[j] && act[j] == 0) || (sum < thresholds[j] && act[j] != 0);
    *correction = 0.0;
    if (misclassified) {
        double target = act[j] != 0 ? -1.0 : 1.0;
        *correction = target - sum / (double)(n + 1);
    }
    thresholds[j] = thresholds[j] + *correction;
    return misclassified;
}

// One learning cycle as the rules state it, on the blocks, for any values.
static void learn_cycle_in_order(const int *act) {
    for (int j = 0; j < NETSIZE; j++) {
        double sum = 0.0;
        int n = 0;
        for (int k = 0; k < NETSIZE; k++) {
            if (k == j || act[k] == 0) continue;
            sum = sum + slot_at(weight_index(k, j)) * (double)act[k];
            n = n + 1;
        }
        double correction = 0.0;
        correct_threshold(act, j, sum, n, &correction);
        for (int k = 0; k < NETSIZE; k++) {
            if (k == j || act[k] == 0) continue;
            int s = weight_index(k, j);
            slot_at(s) = slot_at(s) - correction;
        }
    }
    mirror_stale = true;
}

// Sums of up to LEARN_LANES units side by side, from the copy: for each, the
// chain of its weights to the units in on, in order. A unit's own entry on
// the diagonal adds +0.0, which changes nothing.
static void learning_sums(const int *units, int count, const int *on, int on_count, double *sum) {
    const double *row[LEARN_LANES];
    double chain[LEARN_LANES];
    for (int l = 0; l < LEARN_LANES; l++) {
        row[l] = mirror[units[l < count ? l : 0]];
        chain[l] = 0.0;
    }
    for (int x = 0; x < on_count; x++) {
        int k = on[x];
#pragma GCC unroll 16
        for (int l = 0; l < LEARN_LANES; l++)
            chain[l] = chain[l] + row[l][k];
    }
    for (int l = 0; l < LEARN_LANES; l++)
        sum[l] = chain[l];
}

// The bits of the units that are on, for learn_unit: the set as words, and
// as one mask per unit (all ones when it is on, zero when not).
struct on_masks {
    uint64_t set[SET_WORDS];
    uint64_t lane[NETSIZE];
};

typedef uint64_t bits_vector __attribute__((vector_size(VECTOR_LANES * sizeof(uint64_t))));

// Subtracts correction from row[k] for each unit k whose lane mask is all
// ones; the other units subtract +0.0, which leaves every value of the copy as
// it is (-0.0 included; its NaNs are quiet). Returns whether one of the
// results of the units that are on is not finite.
RECALL_BUILDS static bool row_subtract(double *row, const uint64_t *lane, double correction) {
    constexpr uint64_t EXPONENT = 0x7ff0000000000000u; // all ones in an infinity or a NaN
    uint64_t correction_bits;
    memcpy(&correction_bits, &correction, sizeof correction_bits);
    bits_vector correction_vector = bits_vector{} + correction_bits;
    bits_vector seen = {};
    for (int k = 0; k < NETSIZE; k += VECTOR_LANES) {
        sum_vector weights, subtrahend;
        bits_vector mask;
        memcpy(&weights, row + k, sizeof weights);
        memcpy(&mask, lane + k, sizeof mask);
        bits_vector subtrahend_bits = correction_vector & mask;
        memcpy(&subtrahend, &subtrahend_bits, sizeof subtrahend);
        weights = weights - subtrahend;
        memcpy(row + k, &weights, sizeof weights);
        bits_vector weight_bits;
        memcpy(&weight_bits, &weights, sizeof weight_bits);
        seen |= (bits_vector)((weight_bits & EXPONENT) == EXPONENT) & mask;
    }
    uint64_t any = 0;
    for (int l = 0; l < VECTOR_LANES; l++)
        any |= seen[l];
    return any != 0;
}

// Applies the rule to unit j with its sum over the n other units that are on.
// Returns whether j was misclassified and its weights were corrected. Writes
// only row j of the copy; the caller puts the mirror image into column j.
static bool learn_unit(const int *act, int j, double sum, int n, const on_masks &on) {
    double correction = 0.0;
    bool misclassified = correct_threshold(act, j, sum, n, &correction);
    // A correctly classified unit has the correction 0.0, and w - 0.0 is w for
    // every w this path meets (its NaNs are quiet): its weights stay as they are.
    if (!misclassified) return false;
    double *row = mirror[j];
    bool nonfinite = row_subtract(row, on.lane, correction);
    row[j] = 0.0; // the diagonal of a unit that is on
    if (!nonfinite) return true;
    // A weight that is not finite stays so under learning's corrections, so
    // only the weights that were finite need a look.
    for (int w = 0; w < SET_WORDS; w++) {
        uint64_t candidates = on.set[w] & ~nonfinite_from[j][w];
        if (j / 64 == w) candidates &= ~((uint64_t)1 << (j % 64));
        while (candidates) {
            int k = w * 64 + __builtin_ctzll(candidates);
            candidates &= candidates - 1;
            if (!std::isfinite(row[k])) note_nonfinite(j, k);
        }
    }
    return true;
}

// Copies w(j, k) from row j into row k for each unit j of units and k of on.
// Row by row, so that the writes to one row stay close together.
static void mirror_columns(const int *units, int count, const int *on, int on_count) {
    for (int x = 0; x < on_count; x++) {
        int k = on[x];
        double *row = mirror[k];
        for (int c = 0; c < count; c++)
            row[units[c]] = mirror[units[c]][k];
    }
}

// One learning cycle from the copy, for 0/1 values. Unit j reads and changes
// only w(k, j) for the units k that are on. For a unit that is off these are
// weights between it and units that are on, which no other unit of the cycle
// reads or changes, so the units that are off can take their turns first, and
// their mirror images can wait until all of them had theirs. The units that
// are on share the weights among themselves: a corrected unit makes the sums
// of the units on after it stale.
//
// Until then the sums of all units are those of the weights as the cycle
// found them, so they are formed at the start, with the recall sums: the sum
// of unit i is the chain of w(k, i) over the units k that are on, in order,
// which the symmetric copy holds in column i.
// Returns whether any unit was corrected.
static bool learn_cycle_fast(const int *act, const int *on, int on_count, const int *off,
                             int off_count, const on_masks &masks) {
    double start_sum[NETSIZE];
    for (int first = 0; first < NETSIZE; first += RECALL_LANES)
        recall_sums(on, on_count, first, start_sum + first);
    int corrected[NETSIZE];
    int corrected_count = 0;
    for (int x = 0; x < off_count; x++) {
        int j = off[x];
        if (learn_unit(act, j, start_sum[j], on_count, masks)) corrected[corrected_count++] = j;
    }
    mirror_columns(corrected, corrected_count, on, on_count);
    bool any_corrected = corrected_count > 0;
    int next = 0;
    while (next < on_count) {
        int j = on[next++];
        if (learn_unit(act, j, start_sum[j], on_count - 1, masks)) {
            mirror_columns(&j, 1, on, on_count);
            any_corrected = true;
            break;
        }
    }
    double sum[LEARN_LANES];
    for (int first = next; first < on_count;) {
        int count = std::min(LEARN_LANES, on_count - first);
        learning_sums(on + first, count, on, on_count, sum);
        int l = 0;
        while (l < count) {
            int j = on[first + l];
            bool corrected_now = learn_unit(act, j, sum[l], on_count - 1, masks);
            l++;
            if (corrected_now) {
                mirror_columns(&j, 1, on, on_count);
                break;
            }
        }
        first += l;
    }
    return any_corrected;
}

static bool thresholds_foreign_nan() {
    for (double t : thresholds)
        if (foreign_nan(t)) return true;
    return false;
}

// Each unit j that the network misclassifies moves its threshold and its
// weights to the units that are on by the same correction. Unit j sees the
// weights as the units before it in the cycle left them, so the unit order
// is part of the rule. A correctly classified unit still gets the correction
// 0.0 added, which turns a threshold of -0.0 into 0.0.
void net_learn(const int *act, int count) {
    if (net_broken) {
        net_warn_broken();
        return;
    }
    if (net_verbose) printf("  Learning cycle...0000");
    bool fast = count > 0 && values_binary(act) && !thresholds_foreign_nan();
    if (fast) {
        mirror_refresh();
        fast = !mirror_foreign_nan;
    }
    int on[NETSIZE], off[NETSIZE];
    int on_count = 0, off_count = 0;
    on_masks masks;
    memset(masks.set, 0, sizeof masks.set);
    for (int u = 0; u < NETSIZE; u++) {
        masks.lane[u] = act[u] ? ~(uint64_t)0 : 0;
        if (act[u]) {
            on[on_count++] = u;
            masks.set[u / 64] |= (uint64_t)1 << (u % 64);
        } else {
            off[off_count++] = u;
        }
    }
    if (!fast) net_store_sync();
    for (int cycle = 0; cycle < count; cycle++) {
        if (net_verbose) print_learning_counter(cycle);
        if (fast) {
            if (learn_cycle_fast(act, on, on_count, off, off_count, masks)) net_store_behind = true;
        } else {
            learn_cycle_in_order(act);
        }
    }
    if (net_verbose) printf("\n");
}

void net_normalize() {
    net_store_sync();
    double sum = 0.0;
    for (int s = 0; s < weightsize; s++)
        sum = sum + weight_slot(s);
    if (sum == 0.0) return;
    for (int s = 0; s < weightsize; s++)
        slot_at(s) = slot_at(s) / sum;
    mirror_stale = true;
}
