// Helpers shared by the benchmarks: seeded vectors and network snapshots.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net.h"

// A seeded generator that gives the same numbers on every platform.
struct bench_random {
    uint64_t state;
    explicit bench_random(uint64_t seed) : state(seed) {}
    uint64_t next(); // splitmix64
    int below(int n) { return (int)(next() % (uint64_t)n); }
};

// A 0/1 vector with about percent of its units on.
std::vector<int> bench_pattern(bench_random &rng, int percent);

// A vector shaped like an encoded object: each row a bar of ones from column 0.
std::vector<int> bench_bar_pattern(bench_random &rng);

// Every weight slot and threshold, to put a network back between runs.
struct bench_network {
    std::vector<double> slots;
    std::vector<double> thresholds;
};
bench_network bench_take_network();
void bench_put_network(const bench_network &net);

// A fresh directory under /tmp for benchmarks that write files; removed at exit.
const std::string &bench_scratch_dir();
