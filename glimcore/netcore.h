// What the three units of the network core share: the weight blocks, the
// dense copy of the weights and the fast path's calls. Only net.cpp,
// netcopy.cpp and netkernels.cpp include it; every other unit reaches the
// store through net.h, so no writer can leave the copy out of step.
#pragma once

#include <cstdint>

#include "net.h"

// ---- The store (net.cpp)

extern double *weight_blocks[WEIGHT_BLOCK_COUNT]; // allocated by net_init, never freed
extern bool net_store_behind; // learning changed the copy since it was last written to the blocks

// Slot s of the blocks as they are, for the core's own readers and writers;
// a writer marks the copy stale. Always inlined: the instrumented builds
// otherwise make it a call for every weight the reference rules read.
__attribute__((always_inline)) inline double &slot_at(int s) {
    return weight_blocks[s / WEIGHT_BLOCK_SLOTS][s % WEIGHT_BLOCK_SLOTS];
}

// The threshold step of the learning rule for unit j, whose weighted sum over
// the n other units that are on is sum. Adds the correction to the threshold,
// stores it in *correction and returns whether the unit was misclassified.
bool learn_correct_threshold(const int *act, int j, double sum, int n, double *correction);

// ---- The dense copy (netcopy.cpp)

constexpr int RECALL_LANES = 16; // consecutive units whose recall sums run side by side
// A group of recall lanes may reach past unit 255; the columns there hold +0.0.
constexpr int MIRROR_WIDTH = NETSIZE + RECALL_LANES;
constexpr int SET_WORDS = NETSIZE / 64; // a set of units as a bit mask

extern double mirror[NETSIZE][MIRROR_WIDTH]; // mirror[a][b] = w(a, b); +0.0 elsewhere
extern bool mirror_stale;                    // the store was written since the copy was made
// Bit b of nonfinite_from[a]: w(a, b) is an infinity or a NaN.
extern uint64_t nonfinite_from[NETSIZE][SET_WORDS];
extern bool mirror_nonfinite;   // some weight in the copy is an infinity or a NaN
extern bool mirror_foreign_nan; // some weight in the copy is a NaN other than an invalid result's

// A NaN whose bits differ from those that invalid operations give.
bool foreign_nan(double x);

// Records that w(a, b) is not finite.
inline void note_nonfinite(int a, int b) {
    nonfinite_from[a][b / 64] |= (uint64_t)1 << (b % 64);
    nonfinite_from[b][a / 64] |= (uint64_t)1 << (a % 64);
    mirror_nonfinite = true;
}

// Copies the store again if a writer marked the copy stale.
void mirror_refresh();

// Writes the weights that learning left in the copy back into the blocks.
void net_store_sync();

// ---- The fast path (netkernels.cpp), for unit values 0 and 1 only

// The units that are on, for the fast learning cycle: the set as words, and
// as one mask per unit (all ones when it is on, zero when not).
struct on_masks {
    uint64_t set[SET_WORDS];
    uint64_t lane[NETSIZE];
};

// One recall sweep from the copy; returns whether a unit changed its state.
bool recall_sweep_fast(int *act);

// One learning cycle from the copy over the units on and off (ascending);
// returns whether any unit was corrected.
bool learn_cycle_fast(const int *act, const int *on, int on_count, const int *off, int off_count,
                      const on_masks &masks);
