// The network core: one recurrent associative network per process.
//
// NETSIZE binary threshold units, one symmetric weight per unordered pair of
// distinct units and one threshold per unit. The weights live in 32 separately
// allocated blocks of 1024 doubles; slot s is block s / 1024, position s % 1024.
#pragma once

#include "messages.h"
#include "netsize.h"

constexpr int weightsize = NETSIZE * (NETSIZE - 1) / 2; // 32640 weights
constexpr int WEIGHT_BLOCK_COUNT = 32;
constexpr int WEIGHT_BLOCK_SLOTS = 1024;
constexpr int WEIGHT_SLOT_COUNT = WEIGHT_BLOCK_COUNT * WEIGHT_BLOCK_SLOTS; // 32768, 128 spare

// The weight store, built by net_init. Learning may leave its latest weights
// in the core's copy of the store; read the blocks through weight_slot, or
// call net_store_sync before reading them directly.
extern double *weight_blocks[WEIGHT_BLOCK_COUNT];
extern double thresholds[NETSIZE]; // one threshold per unit
extern int net_broken;             // 1 when the store could not be built or failed its self-test
extern int net_verbose;            // 1 prints the progress of initialisation, recall and learning
extern bool net_store_behind; // learning changed the copy since it was last written to the blocks

// Slot of the weight between units a and b (either order). Weights are
// numbered pair by pair in row order: (0,1) is slot 0, (0,255) slot 254,
// (1,2) slot 255, ..., (254,255) slot 32639. Inline, as recall and learning
// of the literal algorithm reach every weight through it.
inline int weight_index(int a, int b) {
    long m = a < b ? a : b;
    long big = a < b ? b : a;
    long index = 255 * m - m * (m + 1) / 2 + big - 1;
    if (index > weightsize)
        message_print("  ERROR: index %ld>weightsize at %ld.%ld", index, (long)a, (long)b);
    return (int)index;
}

// Builds and self-tests the weight store; every weight 0.5, every threshold 0.0.
void net_init();

// Lets act settle: asynchronous sweeps in unit order until a sweep changes
// nothing or max_steps sweeps ran. Returns act, or nullptr on a broken network.
int *net_iterate(int *act, int max_steps);

// Teaches act count times with the error-correcting rule; act is only read.
void net_learn(const int *act, int count);

// Prints the guard message of operations that meet a broken network.
void net_warn_broken();

// Divides every weight by the sum of all weights (unless that sum is 0).
void net_normalize();

// Writes the weights that learning left in the copy back into the blocks.
void net_store_sync();

// Value of weight slot s (0..32767); the store must exist.
inline double weight_slot(int s) {
    if (net_store_behind) net_store_sync();
    return weight_blocks[s / WEIGHT_BLOCK_SLOTS][s % WEIGHT_BLOCK_SLOTS];
}

// Writes weight slot s. Recall and learning work from a copy of the store,
// which this marks stale; write the blocks through no other way.
void weight_slot_set(int s, double value);

// Whether the copy that recall and learning use holds the store's very bits
// (or is marked to be copied again, or is ahead of the blocks by learning
// not yet written back), is symmetric and knows its weights that are not
// finite: a check for the tests.
bool net_copy_in_step();
