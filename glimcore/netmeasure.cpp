// Energy, diverged values and single sweeps of recall.
#include "netmeasure.h"

#include <cmath>
#include <cstring>

bool net_value_diverged(double value) {
    return !std::isfinite(value) || std::fabs(value) > NET_DIVERGED_MAGNITUDE;
}

int net_count_diverged() {
    int count = 0;
    for (int s = 0; s < weightsize; s++)
        count += net_value_diverged(weight_slot(s));
    for (double t : thresholds)
        count += net_value_diverged(t);
    return count;
}

// The terms of the energy in their fixed order, each passed to add; off units
// are skipped.
template <typename adder> static void energy_terms(const int *act, adder add) {
    for (int i = 0; i < NETSIZE; i++) {
        if (act[i] == 0) continue;
        for (int j = i + 1; j < NETSIZE; j++) {
            if (act[j] == 0) continue;
            add(-(weight_slot(weight_index(i, j)) * (double)act[i] * (double)act[j]));
        }
    }
    for (int i = 0; i < NETSIZE; i++)
        if (act[i] != 0) add(thresholds[i] * (double)act[i]);
}

double net_energy(const int *act) {
    double energy = 0.0;
    energy_terms(act, [&](double term) { energy = energy + term; });
    return energy;
}

double net_energy_scale(const int *act) {
    double scale = 0.0;
    energy_terms(act, [&](double term) { scale = scale + std::fabs(term); });
    return scale;
}

int net_sweep(int *act) {
    int before[NETSIZE];
    memcpy(before, act, sizeof before);
    if (!net_iterate(act, 1)) return -1;
    int changed = 0;
    for (int u = 0; u < NETSIZE; u++)
        changed += act[u] != before[u];
    return changed;
}
