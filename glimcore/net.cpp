// Network state, recall and learning.
#include "net.h"

#include <cstdio>
#include <cstdlib>

double *weight_blocks[WEIGHT_BLOCK_COUNT]; // allocated once, never freed
double thresholds[NETSIZE];                // one per unit
int net_broken;                            // set by a failed allocation or self-test
int net_verbose;                           // chosen by each program before its first call

void net_warn_broken() {
    printf("  Netz nicht richtig initialisiert\n");
}

static bool allocate_blocks() {
    for (int k = 0; k < WEIGHT_BLOCK_COUNT; k++) {
        // A second net_init in the same process reuses the blocks it has.
        if (weight_blocks[k]) continue;
        weight_blocks[k] = (double *)calloc(WEIGHT_BLOCK_SLOTS, sizeof(double));
        if (!weight_blocks[k]) {
            printf("  ERROR: not enough memory, at part %d\n", k);
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
        weight_slot(s) = 2.0 * s;
    if (net_verbose) printf("Number of network weights: %d\n", weightsize);
    for (int s = 0; s < weightsize; s++) {
        if (weight_slot(s) == 2.0 * s) continue;
        if (!net_broken) printf("  ERROR: weight matrix misfit at ");
        printf("%d(%G:%d) ", s, weight_slot(s), 2 * s);
        net_broken = 1;
    }
    if (net_broken) printf("\n");

    for (int s = weightsize - 1; s >= 0; s--)
        weight_slot(s) = 2.0 * s;
    for (int s = weightsize - 1; s >= 0; s--) {
        if (weight_slot(s) == 2.0 * s) continue;
        if (!net_broken) printf("  ERROR: weight matrix misfit 2 at ");
        printf("[%p]", (void *)weight_blocks[s / WEIGHT_BLOCK_SLOTS]);
        printf("%d(%G:%d) ", s, weight_slot(s), 2 * s);
        net_broken = 1;
    }
    if (net_broken) printf("\n");
}

void net_init() {
    net_broken = 0;
    if (!allocate_blocks()) {
        net_broken = 1;
        return;
    }
    for (int u = 0; u < NETSIZE; u++)
        thresholds[u] = 0.0;
    self_test();
    for (int s = 0; s < weightsize; s++)
        weight_slot(s) = 0.5;
    // The spare slots hold no weight; 0.0 makes every saved file the same.
    for (int s = weightsize; s < WEIGHT_SLOT_COUNT; s++)
        weight_slot(s) = 0.0;
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
    while (steps < max_steps && changed) {
        changed = false;
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
    for (int cycle = 0; cycle < count; cycle++) {
        if (net_verbose) print_learning_counter(cycle);
        for (int j = 0; j < NETSIZE; j++) {
            double sum = 0.0;
            int n = 0;
            for (int k = 0; k < NETSIZE; k++) {
                if (k == j || act[k] == 0) continue;
                sum = sum + weight_slot(weight_index(k, j)) * (double)act[k];
                n = n + 1;
            }
            bool misclassified =
                (sum >= thresholds[j] && act[j] == 0) || (sum < thresholds[j] && act[j] != 0);
            double correction = 0.0;
            if (misclassified) {
                double target = act[j] != 0 ? -1.0 : 1.0;
                correction = target - sum / (double)(n + 1);
            }
            thresholds[j] = thresholds[j] + correction;
            for (int k = 0; k < NETSIZE; k++) {
                if (k == j || act[k] == 0) continue;
                int s = weight_index(k, j);
                weight_slot(s) = weight_slot(s) - correction;
            }
        }
    }
    if (net_verbose) printf("\n");
}

void net_normalize() {
    double sum = 0.0;
    for (int s = 0; s < weightsize; s++)
        sum = sum + weight_slot(s);
    if (sum == 0.0) return;
    for (int s = 0; s < weightsize; s++)
        weight_slot(s) = weight_slot(s) / sum;
}
