// Network state, initialisation, recall and learning as the rules state them,
// and the choice of the fast path (netkernels.cpp) where it gives the same bits.
#include "net.h"
#include "messages.h"
#include "netcore.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

double *weight_blocks[WEIGHT_BLOCK_COUNT]; // allocated once, never freed
double thresholds[NETSIZE];                // one per unit
int net_broken;                            // set by a failed allocation or self-test
int net_verbose;                           // chosen by each program before its first call
bool net_store_behind;                     // set by learning, cleared by net_store_sync

double weight_slot(int s) {
    if (net_store_behind) net_store_sync();
    return slot_at(s);
}

void weight_slot_set(int s, double value) {
    net_store_sync();
    slot_at(s) = value;
    mirror_stale = true;
}

void weight_slots_set(int first, int count, const double *values) {
    if (count <= 0) return;
    net_store_sync();
    while (count > 0) {
        int offset = first % WEIGHT_BLOCK_SLOTS;
        int run = WEIGHT_BLOCK_SLOTS - offset < count ? WEIGHT_BLOCK_SLOTS - offset : count;
        memcpy(&weight_blocks[first / WEIGHT_BLOCK_SLOTS][offset], values,
               (size_t)run * sizeof *values);
        first += run;
        values += run;
        count -= run;
    }
    mirror_stale = true;
}

void weight_slots_get(int first, int count, double *values) {
    if (net_store_behind) net_store_sync();
    while (count > 0) {
        int offset = first % WEIGHT_BLOCK_SLOTS;
        int run = WEIGHT_BLOCK_SLOTS - offset < count ? WEIGHT_BLOCK_SLOTS - offset : count;
        memcpy(values, &weight_blocks[first / WEIGHT_BLOCK_SLOTS][offset],
               (size_t)run * sizeof *values);
        first += run;
        values += run;
        count -= run;
    }
}

bool net_block_present(int k) {
    return weight_blocks[k] != nullptr;
}

bool net_store_complete() {
    for (double *block : weight_blocks)
        if (!block) return false;
    return true;
}

void net_store_release(int first) {
    net_store_sync();
    for (int k = first; k < WEIGHT_BLOCK_COUNT; k++) {
        free(weight_blocks[k]);
        weight_blocks[k] = nullptr;
    }
    mirror_stale = true;
    net_broken = 1;
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

// Calls visit(block, base, from, to) for each block that holds slots of
// first .. last - 1, in ascending block order, or descending when down is
// set: block holds slots base .. base + WEIGHT_BLOCK_SLOTS - 1, and the
// visit covers from .. to - 1 of them. The loops inside a block then index
// it directly, without slot_at's division, and the compiler can vectorise
// those that only write.
template <typename Visit> static void each_block_part(int first, int last, bool down, Visit visit) {
    int first_block = first / WEIGHT_BLOCK_SLOTS;
    int last_block = (last - 1) / WEIGHT_BLOCK_SLOTS;
    for (int n = 0; n <= last_block - first_block; n++) {
        int k = down ? last_block - n : first_block + n;
        int base = k * WEIGHT_BLOCK_SLOTS;
        int from = first > base ? first : base;
        int to = last < base + WEIGHT_BLOCK_SLOTS ? last : base + WEIGHT_BLOCK_SLOTS;
        visit(weight_blocks[k], base, from, to);
    }
}

// Whether slots from .. to - 1 of block all hold 2*s: one pass without an
// early exit, which the compiler can vectorise; the misfits, if any, are
// then found again in order.
static bool holds_twice_slot(const double *block, int base, int from, int to) {
    bool same = true;
    for (int s = from; s < to; s++)
        same &= block[s - base] == 2.0 * s;
    return same;
}

// Stores 2*s in every weight slot and reads it back, in ascending slot order
// first and descending order second. Only the first misfit of the run prints
// a heading; the second pass also names the block of each misfit.
static void self_test() {
    each_block_part(0, weightsize, false, [](double *block, int base, int from, int to) {
        for (int s = from; s < to; s++)
            block[s - base] = 2.0 * s;
    });
    if (net_verbose) printf("Number of network weights: %d\n", weightsize);
    each_block_part(0, weightsize, false, [](double *block, int base, int from, int to) {
        if (holds_twice_slot(block, base, from, to)) return;
        for (int s = from; s < to; s++) {
            if (block[s - base] == 2.0 * s) continue;
            if (!net_broken) message_print("  ERROR: weight matrix misfit at ");
            message_print("%d(%G:%d) ", s, block[s - base], 2 * s);
            net_broken = 1;
        }
    });
    if (net_broken) message_print("\n");

    each_block_part(0, weightsize, true, [](double *block, int base, int from, int to) {
        for (int s = to - 1; s >= from; s--)
            block[s - base] = 2.0 * s;
    });
    each_block_part(0, weightsize, true, [](double *block, int base, int from, int to) {
        if (holds_twice_slot(block, base, from, to)) return;
        for (int s = to - 1; s >= from; s--) {
            if (block[s - base] == 2.0 * s) continue;
            if (!net_broken) message_print("  ERROR: weight matrix misfit 2 at ");
            message_print("[%p]", (void *)block);
            message_print("%d(%G:%d) ", s, block[s - base], 2 * s);
            net_broken = 1;
        }
    });
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
    // The spare slots hold no weight; 0.0 makes every saved file the same.
    each_block_part(0, WEIGHT_SLOT_COUNT, false, [](double *block, int base, int from, int to) {
        for (int s = from; s < to; s++)
            block[s - base] = s < weightsize ? 0.5 : 0.0;
    });
}

static bool values_binary(const int *act) {
    for (int u = 0; u < NETSIZE; u++)
        if (act[u] != 0 && act[u] != 1) return false;
    return true;
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
            changed = recall_sweep_fast(act);
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

// A misclassified unit gets the correction t - sum / (n + 1), toward
// t = -1.0 when it is on and +1.0 when it is off; any other the correction 0.0.
bool learn_correct_threshold(const int *act, int j, double sum, int n, double *correction) {
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
        learn_correct_threshold(act, j, sum, n, &correction);
        for (int k = 0; k < NETSIZE; k++) {
            if (k == j || act[k] == 0) continue;
            int s = weight_index(k, j);
            slot_at(s) = slot_at(s) - correction;
        }
    }
    mirror_stale = true;
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
    // The invalid operations of learning (infinity minus infinity) give the
    // processor's own NaN, and an addition of two such NaNs gives the same
    // bits whichever operand it passes on. A NaN with other bits in a weight
    // or threshold (from a file or a caller) could make the order of operands
    // matter, and so could unit values other than 0 and 1, which are
    // multiplied: then learning follows the rules step by step on the blocks,
    // as recall does for a sweep over such values.
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
