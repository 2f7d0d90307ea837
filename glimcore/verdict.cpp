// The verdict on an object's pattern and the limit derived from the learned
// patterns.
#include "verdict.h"

#include <algorithm>

int verdict_distance(const int *a, const int *b) {
    int distance = 0;
    for (int u = 0; u < NETSIZE; u++)
        distance += (a[u] != 0) != (b[u] != 0);
    return distance;
}

int verdict_limit(const int *const *patterns, const int *objects, int count) {
    int smallest = -1;
    for (int i = 0; i < count; i++)
        for (int j = i + 1; j < count; j++) {
            if (objects[i] == objects[j]) continue;
            int d = verdict_distance(patterns[i], patterns[j]);
            if (smallest < 0 || d < smallest) smallest = d;
        }
    if (smallest < 0) return VERDICT_LIMIT_ALONE;
    // Two objects' patterns that are equal leave no room: nothing is named.
    return std::min(std::max(smallest - 1, 0) / 2, VERDICT_LIMIT_MOST);
}

// The pattern nearest to act, the first of equals; -1 when there is none.
static int nearest_pattern(const int *const *patterns, int count, const int *act, int *distance) {
    int best = -1;
    for (int n = 0; n < count; n++) {
        int d = verdict_distance(act, patterns[n]);
        if (best < 0 || d < *distance) {
            best = n;
            *distance = d;
        }
    }
    return best;
}

verdict verdict_judge(const int *const *patterns, const int *objects, int count,
                      const int *encoding, const int *settled, int limit, verdict_rule rule) {
    verdict result = {-1, -1, 0};
    int before_bits = 0;
    int before = nearest_pattern(patterns, count, encoding, &before_bits);
    if (before < 0) return result;
    result.nearest = objects[before];
    result.bits = before_bits;
    if (rule == VERDICT_NEAREST) {
        if (before_bits <= limit) result.object = objects[before];
        return result;
    }
    int after_bits = 0;
    int after = nearest_pattern(patterns, count, settled, &after_bits);
    if (rule == VERDICT_SETTLED) {
        // The distance judged is how far settling moved the pattern.
        if (after_bits != 0) return result;
        result.nearest = objects[after];
        result.bits = verdict_distance(encoding, settled);
        if (result.bits <= limit) result.object = objects[after];
        return result;
    }
    if (before_bits <= limit && after_bits == 0 && objects[after] == objects[before])
        result.object = objects[before];
    return result;
}
