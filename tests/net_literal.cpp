// The reference recall and learning, written rule by rule.
#include "net_literal.h"

#include <cstdio>

#include "net.h"

namespace {

// Through weight_slot, as the core may hold learning that it has not yet
// written to the blocks.
double literal_weight(int a, int b) {
    return weight_slot(weight_index(a, b));
}

void literal_counter(int cycle) {
    if (cycle < 10)
        printf("\b%d", cycle);
    else if (cycle < 100)
        printf("\b\b%d", cycle);
    else if (cycle < 1000)
        printf("\b\b\b%d", cycle);
    else
        printf("\b\b\b\b%d", cycle);
}

} // namespace

int *literal_iterate(int *act, int max_steps) {
    if (net_broken) {
        printf("  Netz nicht richtig initialisiert\n");
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
                sum = sum + literal_weight(j, i) * (double)act[j];
            }
            int state = sum >= thresholds[i] ? 1 : 0;
            if (state != act[i]) changed = true;
            act[i] = state;
        }
        steps = steps + 1;
    }
    if (net_verbose) printf("  Iterated Network %ld steps.\n", steps);
    return act;
}

void literal_learn(const int *act, int count) {
    if (net_broken) {
        printf("  Netz nicht richtig initialisiert\n");
        return;
    }
    if (net_verbose) printf("  Learning cycle...0000");
    for (int i = 0; i < count; i++) {
        if (net_verbose) literal_counter(i);
        for (int j = 0; j < NETSIZE; j++) {
            double sum = 0.0;
            int n = 0;
            for (int k = 0; k < NETSIZE; k++) {
                if (k == j || act[k] == 0) continue;
                sum = sum + literal_weight(k, j) * (double)act[k];
                n = n + 1;
            }
            bool misclassified =
                (sum >= thresholds[j] && act[j] == 0) || (sum < thresholds[j] && act[j] != 0);
            double correction = 0.0;
            if (misclassified) {
                double t = act[j] != 0 ? -1.0 : 1.0;
                correction = t - sum / (double)(n + 1);
            }
            thresholds[j] = thresholds[j] + correction;
            for (int k = 0; k < NETSIZE; k++) {
                if (k == j || act[k] == 0) continue;
                weight_slot_set(weight_index(k, j), literal_weight(k, j) - correction);
            }
        }
    }
    if (net_verbose) printf("\n");
}
