// Cost of encoding one object, after the first call has filled the tables.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "net.h"
#include "pict2.h"

// An 80 x 60 picture with a bright ellipse on a noisy background.
static std::string write_picture() {
    char name[] = "/tmp/glim-bench-XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0) abort();
    FILE *out = fdopen(fd, "wb");
    fprintf(out, "P6\n80 60\n255\n");
    for (int py = 0; py < 60; py++) {
        for (int px = 0; px < 80; px++) {
            int dx = px - 40, dy = py - 30;
            int blue = dx * dx * 4 + dy * dy * 9 < 2500 ? 230 : (px * 7 + py * 3) % 16;
            fputc(0, out);
            fputc(0, out);
            fputc(blue, out);
        }
    }
    fclose(out);
    return name;
}

static void encode_object_bench(benchmark::State &state) {
    std::string picture = write_picture();
    int act[NETSIZE];
    encode_object(picture.c_str(), 10, 5, 60, 50, act);
    for (auto _ : state) {
        encode_object(picture.c_str(), 10, 5, 60, 50, act);
        benchmark::DoNotOptimize(act);
    }
    unlink(picture.c_str());
}
BENCHMARK(encode_object_bench)->Unit(benchmark::kMicrosecond);

static void encode_window_bench(benchmark::State &state) {
    static signed char window[WINDOW_CELLS];
    for (int wx = 70; wx < 130; wx++)
        for (int wy = 80; wy < 120; wy++)
            window[wx * WINDOW_SIZE + wy] = (signed char)((wx + wy) % 16);
    int act[NETSIZE];
    for (auto _ : state) {
        encode_window(window, act);
        benchmark::DoNotOptimize(act);
    }
}
BENCHMARK(encode_window_bench)->Unit(benchmark::kMicrosecond);
