// Writing and reading activation files, in both line layouts.
#include <benchmark/benchmark.h>

#include "actfile.h"
#include "bench_support.h"

namespace {

// state.range(0) selects the layout: 1 the character layout, 0 the row layout.
void bench_act_save(benchmark::State &state) {
    act_file_layout = state.range(0) ? ACT_LAYOUT_CHARACTERS : ACT_LAYOUT_ROWS;
    bench_random rng(11);
    std::vector<int> act = bench_bar_pattern(rng);
    std::string file = bench_scratch_dir() + "/save.act";
    for (auto _ : state)
        act_save(act.data(), file.c_str());
}
BENCHMARK(bench_act_save)->Name("actfile/save")->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

void bench_act_load(benchmark::State &state) {
    act_file_layout = state.range(0) ? ACT_LAYOUT_CHARACTERS : ACT_LAYOUT_ROWS;
    bench_random rng(11);
    std::vector<int> act = bench_bar_pattern(rng);
    std::string file = bench_scratch_dir() + "/load.act";
    act_save(act.data(), file.c_str());
    for (auto _ : state)
        act_load(act.data(), file.c_str());
}
BENCHMARK(bench_act_load)->Name("actfile/load")->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

} // namespace
