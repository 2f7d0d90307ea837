// Writing and reading the network file.
#include <benchmark/benchmark.h>

#include "bench_support.h"
#include "netfile.h"

namespace {

// A network whose values need all sixteen digits, as a trained one does.
void make_trained_network() {
    net_verbose = 0;
    net_init();
    bench_random rng(7);
    for (int p = 0; p < 20; p++) {
        std::vector<int> pattern = bench_bar_pattern(rng);
        net_learn(pattern.data(), 1);
    }
}

void bench_net_save(benchmark::State &state) {
    make_trained_network();
    std::string file = bench_scratch_dir() + "/save.net";
    for (auto _ : state)
        net_save(file.c_str());
}
BENCHMARK(bench_net_save)->Name("netfile/save")->Unit(benchmark::kMillisecond);

void bench_net_load(benchmark::State &state) {
    make_trained_network();
    std::string file = bench_scratch_dir() + "/load.net";
    net_save(file.c_str());
    for (auto _ : state)
        net_load(file.c_str());
}
BENCHMARK(bench_net_load)->Name("netfile/load")->Unit(benchmark::kMillisecond);

} // namespace
