// The reference margin rule, written rule by rule.
#include "netmargin_literal.h"

namespace {

double literal_weight(int k, int j) {
    return weight_slot(weight_index(k, j));
}

// Whether unit j of act misses the margin: its field over the other units
// that are on, weights added in ascending order, minus its threshold.
bool literal_misses(const int *act, int j) {
    double sum = 0.0;
    for (int k = 0; k < NETSIZE; k++) {
        if (k == j || act[k] == 0) continue;
        sum = sum + literal_weight(k, j);
    }
    double target = act[j] != 0 ? 1.0 : -1.0;
    double field = sum - thresholds[j];
    return !(target * field >= MARGIN_KAPPA);
}

// One pattern: every unit judged first, then the ones that miss moved in order.
long literal_teach(const int *act) {
    bool miss[NETSIZE];
    for (int j = 0; j < NETSIZE; j++)
        miss[j] = literal_misses(act, j);
    long moved = 0;
    for (int j = 0; j < NETSIZE; j++) {
        if (!miss[j]) continue;
        double target = act[j] != 0 ? 1.0 : -1.0;
        thresholds[j] = thresholds[j] - target * MARGIN_THRESHOLD_STEP;
        for (int k = 0; k < NETSIZE; k++) {
            if (k == j || act[k] == 0) continue;
            int s = weight_index(k, j);
            weight_slot_set(s, weight_slot(s) + target * MARGIN_WEIGHT_STEP);
        }
        moved++;
    }
    return moved;
}

} // namespace

margin_report literal_margin_learn(const int *const patterns[], int count, int max_cycles) {
    margin_report report = {0, false, 0, 0, false};
    if (net_broken) {
        net_warn_broken();
        report.broken = true;
        return report;
    }
    long moved = -1;
    while (report.cycles < max_cycles && moved != 0) {
        moved = 0;
        for (int p = 0; p < count; p++)
            moved += literal_teach(patterns[p]);
        report.moved += moved;
        report.cycles++;
    }
    for (int p = 0; p < count; p++)
        for (int j = 0; j < NETSIZE; j++)
            report.missing += literal_misses(patterns[p], j);
    report.learned = report.missing == 0;
    return report;
}
