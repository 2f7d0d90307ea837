// The network core: one recurrent associative network per process.
//
// NETSIZE binary threshold units, one symmetric weight per unordered pair of
// distinct units and one threshold per unit. The weights live in 32 separately
// allocated blocks of 1024 doubles; slot s is block s / 1024, position s % 1024.
// The blocks are the core's own: other units read and write them through the
// calls below, which keep the core's fast copy of the weights in step.
//
// The core's units: net.cpp (the store, initialisation, the rules as written,
// these calls and the choice between the literal and the fast path),
// netcopy.cpp (the dense copy of the weights, when it is stale and how learning
// writes it back), netkernels.cpp (the fast path's sums and row updates, and
// why they give the literal rules' bits).
#pragma once

#include "messages.h"
#include "netsize.h"

constexpr int weightsize = NETSIZE * (NETSIZE - 1) / 2; // 32640 weights
constexpr int WEIGHT_BLOCK_COUNT = 32;
constexpr int WEIGHT_BLOCK_SLOTS = 1024;
constexpr int WEIGHT_SLOT_COUNT = WEIGHT_BLOCK_COUNT * WEIGHT_BLOCK_SLOTS; // 32768, 128 spare

extern double thresholds[NETSIZE]; // one threshold per unit
extern int net_broken;             // 1 when the store could not be built or failed its self-test
extern int net_verbose;            // 1 prints the progress of initialisation, recall and learning

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

// Value of weight slot s (0..32767), with what learning has changed; the
// block of s must exist.
double weight_slot(int s);

// Writes weight slot s, whose block must exist. Recall and learning work from
// a copy of the store, which this marks stale.
void weight_slot_set(int s, double value);

// Writes count slots from first on, each as weight_slot_set would; their
// blocks must exist. For readers that gather a run of values first.
void weight_slots_set(int first, int count, const double *values);

// Reads count slots from first on into values, as that many weight_slot
// calls would; their blocks must exist.
void weight_slots_get(int first, int count, double *values);

// Whether block k (0..31) of the store exists: after a failed allocation the
// blocks from the failing one on do not.
bool net_block_present(int k);

// Whether every block of the store exists.
bool net_store_complete();

// Frees the blocks from block first on and marks the network broken, as a
// failed allocation leaves them; net_init builds them again. For the tests
// of what the readers and the writer do with an incomplete store.
void net_store_release(int first);

// Whether the copy that recall and learning use holds the store's very bits
// (or is marked to be copied again, or is ahead of the blocks by learning
// not yet written back), is symmetric and knows its weights that are not
// finite: a check for the tests.
bool net_copy_in_step();
