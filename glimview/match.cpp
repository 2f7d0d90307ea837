// glimview match: which learned pattern a settled result is. Prints the
// Hamming distance (units that differ) from the result to each learned
// pattern, nearest first and ties in argument order, then one line that names
// the learned patterns equal to the result, or else the nearest ones.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "actfile.h"
#include "messages.h"
#include "views.h"

static int hamming_distance(const int *a, const int *b) {
    int distance = 0;
    for (int u = 0; u < NETSIZE; u++)
        distance += a[u] != b[u];
    return distance;
}

static bool read_pattern(int *act, const char *name) {
    load_result read = act_load(act, name);
    if (read == LOAD_OK) return true;
    message_error("pattern file %s not read, no table.", name);
    return false;
}

int view_match(const char *result_name, char *const learned_names[], int count) {
    int result[NETSIZE] = {};
    if (!read_pattern(result, result_name)) return -1;
    std::vector<int> distance(count);
    for (int i = 0; i < count; i++) {
        int learned[NETSIZE] = {};
        if (!read_pattern(learned, learned_names[i])) return -1;
        distance[i] = hamming_distance(result, learned);
    }

    std::vector<int> order(count);
    for (int i = 0; i < count; i++)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return distance[a] < distance[b]; });
    printf("Hamming distance from %s to each learned pattern (of %d units):\n", result_name,
           NETSIZE);
    for (int i : order)
        printf("%5d  %s\n", distance[i], learned_names[i]);

    int nearest = distance[order[0]];
    std::string names;
    for (int i : order) {
        if (distance[i] != nearest) break;
        names += names.empty() ? "" : ", ";
        names += learned_names[i];
    }
    if (nearest == 0)
        printf("%s is exactly %s.\n", result_name, names.c_str());
    else
        printf("%s is none of them; nearest: %s (distance %d).\n", result_name, names.c_str(),
               nearest);
    return 0;
}
