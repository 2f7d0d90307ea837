// The fast recall and learning of the core against the literal reference:
// from the same network and vector, both must leave every weight, threshold
// and unit bit for bit alike, return the same pointer and print the same text.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "net.h"
#include "net_literal.h"
#include "netfile.h"
#include "network_bits.h"
#include "run_program.h"

namespace {

// Names the first difference between two networks, or returns "".
std::string first_difference(const network_bits &expected, const network_bits &actual) {
    char text[160];
    for (int s = 0; s < WEIGHT_SLOT_COUNT; s++)
        if (expected.slots[s] != actual.slots[s]) {
            snprintf(text, sizeof text, "slot %d: %a (%016llx) expected, %a (%016llx) found", s,
                     from_bits(expected.slots[s]), (unsigned long long)expected.slots[s],
                     from_bits(actual.slots[s]), (unsigned long long)actual.slots[s]);
            return text;
        }
    for (int u = 0; u < NETSIZE; u++)
        if (expected.thresholds[u] != actual.thresholds[u]) {
            snprintf(text, sizeof text, "threshold %d: %a expected, %a found", u,
                     from_bits(expected.thresholds[u]), from_bits(actual.thresholds[u]));
            return text;
        }
    return "";
}

// One call of recall or learning, or a write into the store between calls.
struct step {
    enum { RECALL, LEARN, WRITE_SLOT, LOAD_FILE, NORMALIZE, SAVE_FILE } kind;
    std::vector<int> act;
    int amount = 0;   // step limit, cycle count or slot
    double value = 0; // written value
};

// What a run of steps left behind: the network and, per step, the vector,
// whether the call returned its vector, and what it printed.
struct run_trace {
    network_bits net;
    std::vector<std::vector<int>> vectors;
    std::vector<int> returned;
    std::vector<std::string> printed;
    std::vector<int> copy_in_step; // the core's weight copy held the store's bits
};

using recall_function = int *(*)(int *, int);
using learn_function = void (*)(const int *, int);

run_trace run_steps(const std::vector<step> &steps, recall_function recall, learn_function learn,
                    const std::string &file) {
    run_trace trace;
    for (const step &s : steps) {
        std::vector<int> act = s.act;
        int returned = -1;
        testing::internal::CaptureStdout();
        switch (s.kind) {
        case step::RECALL: {
            int *result = recall(act.data(), s.amount);
            returned = result == act.data() ? 1 : result == nullptr ? 0 : 2;
            break;
        }
        case step::LEARN:
            learn(act.data(), s.amount);
            break;
        case step::WRITE_SLOT:
            weight_slot_set(s.amount, s.value);
            break;
        case step::LOAD_FILE:
            net_load(file.c_str());
            break;
        case step::NORMALIZE:
            net_normalize();
            break;
        case step::SAVE_FILE:
            returned = net_save(file.c_str());
            break;
        }
        trace.printed.push_back(testing::internal::GetCapturedStdout());
        if (s.kind == step::SAVE_FILE) trace.printed.back() += read_file(file);
        trace.copy_in_step.push_back(net_copy_in_step());
        trace.vectors.push_back(act);
        trace.returned.push_back(returned);
    }
    trace.net = network_take();
    return trace;
}

// Runs the steps on the literal reference and on the core from the same start
// and reports the first step after which they differ.
void expect_same_as_literal(const std::vector<step> &steps, const std::string &file = "") {
    network_bits start = network_take();
    run_trace literal = run_steps(steps, literal_iterate, literal_learn, file);
    network_put(start);
    run_trace fast = run_steps(steps, net_iterate, net_learn, file);
    for (size_t i = 0; i < steps.size(); i++) {
        ASSERT_EQ(fast.printed[i], literal.printed[i]) << "step " << i;
        ASSERT_EQ(fast.returned[i], literal.returned[i]) << "step " << i;
        ASSERT_EQ(fast.vectors[i], literal.vectors[i]) << "step " << i;
        ASSERT_TRUE(fast.copy_in_step[i] && literal.copy_in_step[i]) << "step " << i;
    }
    std::string difference = first_difference(literal.net, fast.net);
    ASSERT_EQ(difference, "");
}

// Random bits from a seeded generator; the same on every platform.
struct bits_source {
    std::mt19937_64 engine;
    explicit bits_source(uint64_t seed) : engine(seed) {}
    uint64_t next() { return engine(); }
    int below(int n) { return (int)(next() % (uint64_t)n); }
    // Uniform in [-scale, scale).
    double uniform(double scale) { return ((double)(next() >> 11) * 0x1p-52 - 1.0) * scale; }
};

// A vector with about percent of its units on. With odd values, some units
// that are on hold other integers than 1, as an activation file may give them.
std::vector<int> random_pattern(bits_source &rng, int percent, bool odd_values = false) {
    static const int odd[] = {-3, 2, 7, -1, 100000};
    std::vector<int> act(NETSIZE);
    for (int &unit : act) {
        unit = rng.below(100) < percent ? 1 : 0;
        if (odd_values && unit && rng.below(4) == 0) unit = odd[rng.below(5)];
    }
    return act;
}

const double EXTREMES[] = {
    std::numeric_limits<double>::max(),
    -std::numeric_limits<double>::max(),
    1e300,
    -1e300,
    std::numeric_limits<double>::min(),
    std::numeric_limits<double>::denorm_min(),
    -std::numeric_limits<double>::denorm_min(),
    2.5e-320,
    -0.0,
    0.0,
    std::numeric_limits<double>::infinity(),
    -std::numeric_limits<double>::infinity(),
    from_bits(0xfff8000000000000u), // the NaN that invalid operations give on x86-64
    from_bits(0x7ff8000000000000u),
    from_bits(0x7ff0000000000001u), // signalling
    from_bits(0x7ff8dead0000beefu), // with a payload
};
constexpr int FINITE_EXTREMES = 10; // the first ten above
constexpr int PLAIN_EXTREMES = 13;  // and the infinities and the NaN of invalid operations

enum network_kind {
    FRESH,
    TRAINED,
    UNIFORM,
    WIDE,
    EXTREME_FINITE,
    EXTREME_PLAIN,
    EXTREME_ANY,
    NAN_RICH, // NaNs of several kinds meet in the same sums
};

// Puts a network of the given kind in place.
void make_network(bits_source &rng, network_kind kind) {
    net_verbose = 0;
    net_init();
    if (kind == FRESH) return;
    if (kind == TRAINED) {
        for (int cycle = 0; cycle < 3; cycle++)
            for (int p = 0; p < 6; p++) {
                std::vector<int> pattern = random_pattern(rng, 10 + 15 * p);
                literal_learn(pattern.data(), 1);
            }
        return;
    }
    for (int s = 0; s < WEIGHT_SLOT_COUNT; s++)
        weight_slot_set(s, rng.uniform(2.0));
    for (double &t : thresholds)
        t = rng.uniform(8.0);
    // A correctly classified unit still adds a correction of 0.0 to its
    // threshold, which turns -0.0 into 0.0.
    for (int i = 0; i < 16; i++)
        thresholds[rng.below(NETSIZE)] = -0.0;
    if (kind == WIDE) {
        // Magnitudes from 2^-60 to 2^60 with random signs: sums round at every step.
        for (int s = 0; s < weightsize; s++)
            weight_slot_set(s, std::ldexp(rng.uniform(1.0), rng.below(121) - 60));
        return;
    }
    int choices = kind == EXTREME_FINITE  ? FINITE_EXTREMES
                  : kind == EXTREME_PLAIN ? PLAIN_EXTREMES
                                          : (int)std::size(EXTREMES);
    for (int i = 0; i < (kind == NAN_RICH ? 3000 : 40); i++)
        weight_slot_set(rng.below(weightsize), EXTREMES[rng.below(choices)]);
    for (int i = 0; i < 8; i++)
        thresholds[rng.below(NETSIZE)] = EXTREMES[rng.below(choices)];
}

// A mixed run of recall and learning on one network, with writes into the
// store between calls, as the network file reader and callers make them.
std::vector<step> mixed_steps(bits_source &rng, bool odd_values) {
    static const int densities[] = {2, 10, 50, 80, 98};
    static const int limits[] = {0, 1, 2, 500};
    std::vector<step> steps;
    for (int i = 0; i < 12; i++) {
        step s;
        int kind = rng.below(10);
        s.act = random_pattern(rng, densities[rng.below(5)], odd_values);
        if (kind < 5) {
            s.kind = step::RECALL;
            s.amount = limits[rng.below(4)];
        } else if (kind < 9) {
            s.kind = step::LEARN;
            s.amount = rng.below(4);
        } else {
            s.kind = step::WRITE_SLOT;
            s.amount = rng.below(WEIGHT_SLOT_COUNT);
            s.value = rng.uniform(4.0);
        }
        steps.push_back(s);
    }
    return steps;
}

TEST(FastCore, MatchesLiteralOnRandomNetworksAndVectors) {
    const network_kind kinds[] = {FRESH,          TRAINED,       UNIFORM,     WIDE,
                                  EXTREME_FINITE, EXTREME_PLAIN, EXTREME_ANY, NAN_RICH};
    for (network_kind kind : kinds)
        for (uint64_t seed = 1; seed <= 6; seed++) {
            SCOPED_TRACE("network kind " + std::to_string(kind) + ", seed " + std::to_string(seed));
            bits_source rng(seed * 1000 + kind);
            make_network(rng, kind);
            net_verbose = (int)(seed % 2);
            expect_same_as_literal(mixed_steps(rng, seed % 3 == 0));
            if (HasFatalFailure()) return;
        }
}

TEST(FastCore, MatchesLiteralOverALongTrainingRun) {
    // The trainer's loop: each pattern once per cycle, then one recall.
    for (int percent : {10, 50, 80}) {
        SCOPED_TRACE("density " + std::to_string(percent));
        bits_source rng(77 + percent);
        make_network(rng, FRESH);
        std::vector<std::vector<int>> patterns;
        for (int p = 0; p < 24; p++)
            patterns.push_back(random_pattern(rng, percent));
        std::vector<step> steps;
        for (int cycle = 0; cycle < 6; cycle++)
            for (const std::vector<int> &pattern : patterns)
                steps.push_back({step::LEARN, pattern, 1});
        for (const std::vector<int> &pattern : patterns)
            steps.push_back({step::RECALL, pattern, 500});
        expect_same_as_literal(steps);
        if (HasFatalFailure()) return;
    }
}

TEST(FastCore, MatchesLiteralWhileTrainingDiverges) {
    // Many object-shaped patterns (each row a bar of ones from column 0) drive
    // the weights up by orders of magnitude per cycle until they overflow and
    // turn to NaN; the last cycles before that and after are compared.
    bits_source rng(21);
    std::vector<std::vector<int>> patterns;
    for (int p = 0; p < 200; p++) {
        std::vector<int> act(NETSIZE, 0);
        for (int row = 0; row < 16; row++)
            for (int column = 0, length = rng.below(17); column < length; column++)
                act[row * 16 + column] = 1;
        patterns.push_back(act);
    }
    make_network(rng, FRESH);
    for (int cycle = 0; cycle < 6; cycle++)
        for (const std::vector<int> &pattern : patterns)
            net_learn(pattern.data(), 1);
    std::vector<step> steps;
    for (int cycle = 0; cycle < 3; cycle++)
        for (const std::vector<int> &pattern : patterns)
            steps.push_back({step::LEARN, pattern, 1});
    for (int p = 0; p < 4; p++)
        steps.push_back({step::RECALL, patterns[p], 500});
    expect_same_as_literal(steps);
    int nonfinite = 0;
    for (int s = 0; s < weightsize; s++)
        nonfinite += !std::isfinite(weight_slot(s));
    EXPECT_GT(nonfinite, 0);
}

TEST(FastCore, MatchesLiteralWhereSumsOverflow) {
    // Weights near the largest double make sums overflow to infinity during
    // learning, and the corrections then spread infinities and NaNs.
    bits_source rng(5);
    make_network(rng, FRESH);
    for (int s = 0; s < weightsize; s++)
        weight_slot_set(s, s % 3 ? 8e307 : -3e307);
    std::vector<step> steps;
    for (int i = 0; i < 4; i++)
        steps.push_back({step::LEARN, random_pattern(rng, 50), 2});
    steps.push_back({step::RECALL, random_pattern(rng, 50), 500});
    expect_same_as_literal(steps);
}

TEST(FastCore, MatchesLiteralOnANetworkReadFromAFile) {
    // The reader writes into the blocks between calls; values that print with
    // three-digit exponents, subnormals, negative zero and infinities come back.
    scratch_dir dir;
    std::string file = dir.path() + "/extreme.net";
    bits_source rng(11);
    for (int with_infinities = 0; with_infinities < 2; with_infinities++) {
        make_network(rng, UNIFORM);
        for (int i = 0; i < 60; i++)
            weight_slot_set(rng.below(weightsize), EXTREMES[rng.below(FINITE_EXTREMES)]);
        if (with_infinities) {
            weight_slot_set(rng.below(weightsize), std::numeric_limits<double>::infinity());
            thresholds[3] = -std::numeric_limits<double>::infinity();
        }
        ASSERT_EQ(net_save(file.c_str()), 0);
        net_init();
        std::vector<step> steps = {
            {step::LEARN, random_pattern(rng, 50), 1},    {step::LOAD_FILE, {}, 0},
            {step::RECALL, random_pattern(rng, 50), 500}, {step::LEARN, random_pattern(rng, 20), 3},
            {step::RECALL, random_pattern(rng, 80), 1},   {step::NORMALIZE, {}, 0},
            {step::RECALL, random_pattern(rng, 80), 500},
        };
        expect_same_as_literal(steps, file);
    }
}

TEST(FastCore, MatchesLiteralWhereTheStoreIsReadOrWrittenBetweenLearningCalls) {
    // Learning leaves its weights in the core's copy until the blocks are read
    // or written: saves, step-by-step learning and recall (odd values), a
    // written slot, normalising and a load must each find them there.
    scratch_dir dir;
    std::string file = dir.path() + "/between.net";
    bits_source rng(31);
    make_network(rng, TRAINED);
    std::vector<step> steps;
    for (int round = 0; round < 3; round++) {
        for (int p = 0; p < 3; p++)
            steps.push_back({step::LEARN, random_pattern(rng, 70), 1});
        steps.push_back({step::SAVE_FILE, {}, 0});
        steps.push_back({step::LEARN, random_pattern(rng, 70), 2});
        steps.push_back({step::LEARN, random_pattern(rng, 70, true), 1});
        steps.push_back({step::LEARN, random_pattern(rng, 70), 1});
        steps.push_back({step::RECALL, random_pattern(rng, 70, true), 2});
        steps.push_back({step::LEARN, random_pattern(rng, 70), 1});
        steps.push_back({step::WRITE_SLOT, {}, rng.below(weightsize), 0.25});
        steps.push_back({step::LEARN, random_pattern(rng, 70), 1});
        steps.push_back({step::NORMALIZE, {}, 0});
        steps.push_back({step::LEARN, random_pattern(rng, 70), 1});
        steps.push_back({step::LOAD_FILE, {}, 0});
        steps.push_back({step::LEARN, random_pattern(rng, 70), 1});
        steps.push_back({step::SAVE_FILE, {}, 0});
    }
    expect_same_as_literal(steps, file);
}

TEST(FastCore, MatchesLiteralOnABrokenNetwork) {
    bits_source rng(3);
    make_network(rng, UNIFORM);
    net_broken = 1;
    net_verbose = 1;
    expect_same_as_literal(
        {{step::RECALL, random_pattern(rng, 50), 500}, {step::LEARN, random_pattern(rng, 50), 2}});
    net_broken = 0;
}

} // namespace
