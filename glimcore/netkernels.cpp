// The fast path of recall and learning for unit values 0 and 1: sums from the
// dense copy of the weights (netcopy.cpp), several side by side, and learning's
// row updates a whole vector at a time. Each function says which rule it keeps
// to; together they give the very bits that the rules give when they form
// every product w(j, i) * act[j] for every unit in order.
//
// Why the fast recall is exact, in short (the details at recall_sums): a sum
// starts at +0.0 and never becomes -0.0, so the products of units that are
// off (w * 0.0, a zero) change nothing unless w is not finite, which
// sum_spoilt detects; a unit that is on adds w * 1.0 = w; the weights of the
// units that are on are still added one at a time in ascending order, so
// rounding happens at the same places. The side-by-side lanes only run
// independent chains at once, never reorder one. tests/net_fast_test.cpp
// compares every result with the literal rules of tests/net_literal.cpp.
#include "netcore.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

constexpr int LEARN_LANES = 8; // units whose learning sums run side by side

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
//
// That chain is the rules' sum. A sum starts at +0.0 and, rounding to
// nearest, never becomes -0.0, so adding +0.0 or -0.0 leaves it as it is. A
// unit that is on with the value 1 adds w * 1.0 = w. A unit that is off adds
// w * 0.0: a zero if w is finite, and a NaN if it is not, which makes the sum
// NaN for good. So a sum is the chain of the weights from the units that are
// on, added in ascending order with nothing multiplied, unless a unit that is
// off has a weight that is not finite to it (sum_spoilt). The copy's diagonal
// and the columns past unit 255 hold +0.0, which changes nothing either.
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
// consecutive units run side by side, each one chain in its own order, and the
// processor overlaps the chains. They are formed from the states before any of
// them is updated; when one of them changes its state, the sums after it
// counted its old state, and the next group starts right after it.
//
// A sum that is NaN because a unit that is off has a weight that is not finite
// to it gives the unit the state 0, as NaN >= threshold is false.
bool recall_sweep_fast(int *act) {
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

// Sums of up to LEARN_LANES units side by side, from the copy: for each, the
// chain of its weights to the units in on, in order. Learning skips the units
// that are off, so no product with 0.0 can spoil these sums; a unit's own
// entry on the diagonal adds +0.0, which changes nothing.
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
    bool misclassified = learn_correct_threshold(act, j, sum, n, &correction);
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
// of the units on after it stale, and they are formed again.
//
// Until then the sums of all units are those of the weights as the cycle
// found them, so they are formed at the start, with the recall sums: the sum
// of unit i is the chain of w(k, i) over the units k that are on, in order,
// which the symmetric copy holds in column i.
bool learn_cycle_fast(const int *act, const int *on, int on_count, const int *off, int off_count,
                      const on_masks &masks) {
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
