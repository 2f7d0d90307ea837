// Recall and learning of the core beside the literal algorithm, on vectors
// with about 10 %, 50 % and 80 % of their units on, and the trainer's loop.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_support.h"
#include "net.h"
#include "net_literal.h"
#include "settings.h"

namespace {

struct core {
    const char *name;
    int *(*recall)(int *, int);
    void (*learn)(const int *, int);
};

const core CORES[] = {{"literal", literal_iterate, literal_learn},
                      {"fast", net_iterate, net_learn}};
const int DENSITIES[] = {10, 50, 80};

// A quiet fresh network taught each pattern once per cycle.
void teach(const std::vector<std::vector<int>> &patterns, int cycles) {
    net_verbose = 0;
    net_init();
    for (int cycle = 0; cycle < cycles; cycle++)
        for (const std::vector<int> &pattern : patterns)
            net_learn(pattern.data(), 1);
}

// The sweeps that recall of input runs: one sweep per call until one changes nothing.
int count_sweeps(const std::vector<int> &input) {
    std::vector<int> work = input, before;
    int sweeps = 0;
    do {
        before = work;
        net_iterate(work.data(), 1);
        sweeps++;
    } while (work != before && sweeps < RECALL_LIMIT);
    return sweeps;
}

// Times recall of input, from the same network each time, and reports the
// sweeps it takes and the sweeps per second.
void time_recall(benchmark::State &state, const std::vector<int> &input, const core *impl) {
    int sweeps = count_sweeps(input);
    std::vector<int> work(NETSIZE);
    for (auto _ : state) {
        work = input;
        benchmark::DoNotOptimize(impl->recall(work.data(), RECALL_LIMIT));
    }
    state.counters["sweeps"] = sweeps;
    state.counters["sweeps/s"] = benchmark::Counter((double)sweeps * (double)state.iterations(),
                                                    benchmark::Counter::kIsRate);
}

// Recall of a taught pattern with about one unit in twelve flipped, on a
// network taught eight patterns of the same density for ten cycles.
void bench_recall(benchmark::State &state, int percent, const core *impl) {
    bench_random rng(percent);
    std::vector<std::vector<int>> patterns;
    for (int p = 0; p < 8; p++)
        patterns.push_back(bench_pattern(rng, percent));
    teach(patterns, 10);
    std::vector<int> input = patterns[0];
    for (int &unit : input)
        if (rng.below(12) == 0) unit = !unit;
    time_recall(state, input, impl);
}

// The case that defeats running sums side by side: on a fresh network the
// first sweep turns on every unit that is off, one after the other.
void bench_recall_fresh(benchmark::State &state, int percent, const core *impl) {
    bench_random rng(300 + percent);
    teach({}, 0);
    std::vector<int> input = bench_pattern(rng, percent);
    time_recall(state, input, impl);
}

constexpr int LEARN_PATTERNS = 32;

// One learning call per iteration, each pattern of a set in turn, on a network
// that already saw the set twice. The count of iterations is fixed, so the
// literal and the fast core do the very same work.
void bench_learn(benchmark::State &state, int percent, const core *impl) {
    bench_random rng(100 + percent);
    std::vector<std::vector<int>> patterns;
    for (int p = 0; p < LEARN_PATTERNS; p++)
        patterns.push_back(bench_pattern(rng, percent));
    teach(patterns, 2);
    int next = 0;
    for (auto _ : state) {
        impl->learn(patterns[next].data(), 1);
        next = (next + 1) % LEARN_PATTERNS;
    }
    state.counters["calls/s"] =
        benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
}

// The trainer on 200 object-shaped patterns for 20 cycles, one call per
// pattern and cycle, from a fresh network.
void bench_trainer(benchmark::State &state, const core *impl) {
    bench_random rng(200);
    std::vector<std::vector<int>> patterns;
    for (int p = 0; p < 200; p++)
        patterns.push_back(bench_bar_pattern(rng));
    for (auto _ : state) {
        net_verbose = 0;
        net_init();
        for (int cycle = 0; cycle < 20; cycle++)
            for (const std::vector<int> &pattern : patterns)
                impl->learn(pattern.data(), 1);
    }
}

int register_benchmarks() {
    for (int percent : DENSITIES)
        for (const core &impl : CORES) {
            std::string name = "recall/" + std::to_string(percent) + "pct/" + impl.name;
            benchmark::RegisterBenchmark(name.c_str(), bench_recall, percent, &impl)
                ->Unit(benchmark::kMicrosecond);
        }
    for (int percent : DENSITIES)
        for (const core &impl : CORES) {
            std::string name = "recall_fresh/" + std::to_string(percent) + "pct/" + impl.name;
            benchmark::RegisterBenchmark(name.c_str(), bench_recall_fresh, percent, &impl)
                ->Unit(benchmark::kMicrosecond);
        }
    for (int percent : DENSITIES)
        for (const core &impl : CORES) {
            std::string name = "learn/" + std::to_string(percent) + "pct/" + impl.name;
            benchmark::RegisterBenchmark(name.c_str(), bench_learn, percent, &impl)
                ->Unit(benchmark::kMicrosecond)
                ->Iterations(3 * LEARN_PATTERNS)
                ->Repetitions(5);
        }
    for (const core &impl : CORES) {
        std::string name = std::string("trainer_200x20/") + impl.name;
        benchmark::RegisterBenchmark(name.c_str(), bench_trainer, &impl)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1)
            ->Repetitions(3);
    }
    return 0;
}

const int registered = register_benchmarks();

} // namespace
