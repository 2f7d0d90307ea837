// The margin rule against the classic rule on the same sets, from a fresh
// network: 30 patterns with about half their units on and 30 object-shaped
// ones, each taught until the margin rule stops (the classic rule for as
// many cycles), and 200 object-shaped patterns for 12 cycles. The counter s/cycle compares the
// rules cycle for cycle; margin/literal is the rule as stated, for scale.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_support.h"
#include "netmargin.h"
#include "netmargin_literal.h"

namespace {

struct pattern_set {
    std::vector<std::vector<int>> patterns;
    std::vector<const int *> list;
};

pattern_set random_set() {
    pattern_set set;
    bench_random rng(30);
    for (int p = 0; p < 30; p++)
        set.patterns.push_back(bench_pattern(rng, 50));
    return set;
}

pattern_set bar_set(int count) {
    pattern_set set;
    bench_random rng(200);
    for (int p = 0; p < count; p++)
        set.patterns.push_back(bench_bar_pattern(rng));
    return set;
}

const pattern_set &with_list(pattern_set &set) {
    for (const std::vector<int> &p : set.patterns)
        set.list.push_back(p.data());
    return set;
}

pattern_set &random_patterns() {
    static pattern_set set = random_set();
    if (set.list.empty()) with_list(set);
    return set;
}

pattern_set &bar_patterns() {
    static pattern_set set = bar_set(200);
    if (set.list.empty()) with_list(set);
    return set;
}

pattern_set &few_bar_patterns() {
    static pattern_set set = bar_set(30);
    if (set.list.empty()) with_list(set);
    return set;
}

// The cycles the margin rule takes to store set from a fresh network.
int cycles_to_store(const pattern_set &set) {
    net_verbose = 0;
    net_init();
    return margin_learn(set.list.data(), (int)set.list.size(), 1000, nullptr, nullptr).cycles;
}

enum rule_run { CLASSIC, MARGIN, MARGIN_LITERAL };

// Teaches set from a fresh network for cycles cycles (the margin rule may
// stop early) and reports the cycles that ran and the time per cycle.
void bench_rule(benchmark::State &state, pattern_set &(*set_of)(), int cycles, rule_run rule) {
    const pattern_set &set = set_of();
    if (cycles == 0) cycles = cycles_to_store(set);
    int ran = 0;
    for (auto _ : state) {
        net_verbose = 0;
        net_init();
        if (rule == CLASSIC) {
            for (int cycle = 0; cycle < cycles; cycle++)
                for (const int *pattern : set.list)
                    net_learn(pattern, 1);
            ran = cycles;
        } else if (rule == MARGIN) {
            ran = margin_learn(set.list.data(), (int)set.list.size(), cycles, nullptr, nullptr)
                      .cycles;
        } else {
            ran = literal_margin_learn(set.list.data(), (int)set.list.size(), cycles).cycles;
        }
    }
    state.counters["cycles"] = ran;
    // Cycles per second of processor time, inverted: seconds per cycle.
    state.counters["s/cycle"] = benchmark::Counter(
        ran, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

int register_benchmarks() {
    struct {
        const char *name;
        pattern_set &(*set_of)();
        int cycles; // 0: as many as the margin rule takes to store the set
    } sets[] = {{"rules_30_to_store", random_patterns, 0},
                {"rules_30_bars_to_store", few_bar_patterns, 0},
                {"rules_200_bars_x12", bar_patterns, 12}};
    struct {
        const char *name;
        rule_run rule;
    } rules[] = {{"classic", CLASSIC}, {"margin", MARGIN}, {"margin/literal", MARGIN_LITERAL}};
    for (const auto &set : sets)
        for (const auto &rule : rules) {
            if (rule.rule == MARGIN_LITERAL && set.cycles != 0) continue;
            std::string name = std::string(set.name) + "/" + rule.name;
            benchmark::RegisterBenchmark(name.c_str(), bench_rule, set.set_of, set.cycles,
                                         rule.rule)
                ->Unit(benchmark::kMillisecond)
                ->Iterations(1)
                ->Repetitions(3);
        }
    return 0;
}

const int registered = register_benchmarks();

} // namespace
