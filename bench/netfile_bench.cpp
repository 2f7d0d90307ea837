// Writing and reading the network file.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench_support.h"
#include "netfile.h"
#include "netfile_literal.h"

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

// The text alone, without the file: the fast reader and writer against the
// fscanf reader and the printf writer.
void bench_read_fast(benchmark::State &state) {
    make_trained_network();
    std::string text;
    netfile_write_text(&text);
    for (auto _ : state)
        net_load_text("load.net", text.data(), text.size());
}
BENCHMARK(bench_read_fast)->Name("netfile/read/fast")->Unit(benchmark::kMillisecond);

void bench_read_literal(benchmark::State &state) {
    make_trained_network();
    std::string text;
    netfile_write_text(&text);
    for (auto _ : state) {
        FILE *in = fmemopen(text.data(), text.size(), "r");
        netfile_read_stream(in, "load.net");
        fclose(in);
    }
}
BENCHMARK(bench_read_literal)->Name("netfile/read/literal")->Unit(benchmark::kMillisecond);

void bench_write_fast(benchmark::State &state) {
    make_trained_network();
    std::string text;
    for (auto _ : state)
        netfile_write_text(&text);
}
BENCHMARK(bench_write_fast)->Name("netfile/write/fast")->Unit(benchmark::kMillisecond);

void bench_write_literal(benchmark::State &state) {
    make_trained_network();
    for (auto _ : state)
        benchmark::DoNotOptimize(literal_net_text());
}
BENCHMARK(bench_write_literal)->Name("netfile/write/literal")->Unit(benchmark::kMillisecond);

} // namespace
