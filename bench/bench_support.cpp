#include "bench_support.h"

#include <cstdlib>
#include <unistd.h>

uint64_t bench_random::next() {
    uint64_t z = (state += 0x9e3779b97f4a7c15u);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
    return z ^ (z >> 31);
}

std::vector<int> bench_pattern(bench_random &rng, int percent) {
    std::vector<int> act(NETSIZE);
    for (int &unit : act)
        unit = rng.below(100) < percent ? 1 : 0;
    return act;
}

std::vector<int> bench_bar_pattern(bench_random &rng) {
    std::vector<int> act(NETSIZE, 0);
    for (int row = 0; row < 16; row++) {
        int length = rng.below(17);
        for (int column = 0; column < length; column++)
            act[row * 16 + column] = 1;
    }
    return act;
}

bench_network bench_take_network() {
    bench_network net;
    for (int s = 0; s < WEIGHT_SLOT_COUNT; s++)
        net.slots.push_back(weight_slot(s));
    net.thresholds.assign(thresholds, thresholds + NETSIZE);
    return net;
}

void bench_put_network(const bench_network &net) {
    for (int s = 0; s < WEIGHT_SLOT_COUNT; s++)
        weight_slot_set(s, net.slots[s]);
    for (int u = 0; u < NETSIZE; u++)
        thresholds[u] = net.thresholds[u];
}

namespace {

std::string scratch_path;

void remove_scratch() {
    std::string command = "rm -rf '" + scratch_path + "'";
    if (system(command.c_str()) != 0) scratch_path.clear();
}

} // namespace

const std::string &bench_scratch_dir() {
    if (scratch_path.empty()) {
        char name[] = "/tmp/glim-bench-XXXXXX";
        if (!mkdtemp(name)) abort();
        scratch_path = name;
        atexit(remove_scratch);
    }
    return scratch_path;
}
