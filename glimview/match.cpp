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
#include "verdict.h"
#include "views.h"

int view_match(const char *result_name, char *const learned_names[], int count) {
    std::vector<std::vector<int>> result;
    std::vector<std::vector<int>> learned;
    char *const result_names[] = {const_cast<char *>(result_name)};
    if (view_load_patterns(result_names, 1, &result) != 0 ||
        view_load_patterns(learned_names, count, &learned) != 0)
        return -1;
    std::vector<int> distance(count);
    for (int i = 0; i < count; i++)
        distance[i] = verdict_distance(result[0].data(), learned[i].data());

    std::vector<int> order(count);
    for (int i = 0; i < count; i++)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return distance[a] < distance[b]; });
    printf("Hamming distance from %s to each learned pattern (of %d units):\n",
           message_printable(result_name).c_str(), NETSIZE);
    for (int i : order)
        printf("%5d  %s\n", distance[i], message_printable(learned_names[i]).c_str());

    int nearest = distance[order[0]];
    std::string names;
    for (int i : order) {
        if (distance[i] != nearest) break;
        names += names.empty() ? "" : ", ";
        names += learned_names[i];
    }
    if (nearest == 0)
        printf("%s is exactly %s.\n", message_printable(result_name).c_str(),
               message_printable(names.c_str()).c_str());
    else
        printf("%s is none of them; nearest: %s (distance %d).\n",
               message_printable(result_name).c_str(), message_printable(names.c_str()).c_str(),
               nearest);
    return 0;
}
