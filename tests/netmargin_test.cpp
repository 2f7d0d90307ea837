// The margin rule: bit for bit the literal rule, and what it promises about
// the network it leaves: every pattern a fixed point of recall with every
// field clear of the margin, finite values, early stop.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "actfile.h"
#include "net.h"
#include "netmargin.h"
#include "netmargin_literal.h"
#include "run_program.h"

namespace {

using pattern = std::vector<int>;

uint64_t bits_of(double value) {
    uint64_t bits;
    memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Every weight and threshold as bit patterns.
std::vector<uint64_t> network_bits() {
    std::vector<uint64_t> bits;
    for (int s = 0; s < weightsize; s++)
        bits.push_back(bits_of(weight_slot(s)));
    for (double t : thresholds)
        bits.push_back(bits_of(t));
    return bits;
}

void put_network(const std::vector<uint64_t> &bits) {
    for (int s = 0; s < weightsize; s++) {
        double value;
        memcpy(&value, &bits[s], sizeof value);
        weight_slot_set(s, value);
    }
    for (int u = 0; u < NETSIZE; u++)
        memcpy(&thresholds[u], &bits[weightsize + u], sizeof(double));
}

pattern random_pattern(std::mt19937_64 &rng, int percent_on) {
    pattern act(NETSIZE);
    for (int &unit : act)
        unit = (int)(rng() % 100) < percent_on ? 1 : 0;
    return act;
}

std::vector<const int *> pointers(const std::vector<pattern> &patterns) {
    std::vector<const int *> list;
    for (const pattern &p : patterns)
        list.push_back(p.data());
    return list;
}

margin_report teach(const std::vector<pattern> &patterns, int cycles) {
    std::vector<const int *> list = pointers(patterns);
    return margin_learn(list.data(), (int)list.size(), cycles, nullptr, nullptr);
}

// The smallest of s * (field - threshold) over the units of act.
double least_clearance(const pattern &act) {
    double least = INFINITY;
    for (int j = 0; j < NETSIZE; j++) {
        double sum = 0.0;
        for (int k = 0; k < NETSIZE; k++)
            if (k != j && act[k] != 0) sum += weight_slot(weight_index(k, j));
        double field = sum - thresholds[j];
        least = std::fmin(least, act[j] ? field : -field);
    }
    return least;
}

// Both rules from the same network on the same patterns: the same weights,
// thresholds and report, bit for bit.
void expect_as_literal(const std::vector<pattern> &patterns, int cycles, const std::string &what) {
    std::vector<uint64_t> start = network_bits();
    std::vector<const int *> list = pointers(patterns);
    margin_report fast = margin_learn(list.data(), (int)list.size(), cycles, nullptr, nullptr);
    std::vector<uint64_t> fast_end = network_bits();
    put_network(start);
    margin_report literal = literal_margin_learn(list.data(), (int)list.size(), cycles);
    EXPECT_TRUE(fast_end == network_bits()) << what;
    EXPECT_EQ(fast.cycles, literal.cycles) << what;
    EXPECT_EQ(fast.learned, literal.learned) << what;
    EXPECT_EQ(fast.missing, literal.missing) << what;
    EXPECT_EQ(fast.moved, literal.moved) << what;
}

TEST(MarginRule, GivesTheLiteralRulesBits) {
    net_verbose = 0;
    std::mt19937_64 rng(20);
    struct {
        const char *what;
        int patterns, percent, cycles;
    } cases[] = {
        {"three sparse, to the end", 3, 10, 40},
        {"eight half on, cut short", 8, 50, 3},
        {"twelve dense, cut short", 12, 80, 5},
        {"one, to the end", 1, 40, 40},
    };
    for (const auto &c : cases) {
        net_init();
        std::vector<pattern> patterns;
        for (int p = 0; p < c.patterns; p++)
            patterns.push_back(random_pattern(rng, c.percent));
        expect_as_literal(patterns, c.cycles, c.what);
    }

    // A network another rule left: -0.0, NaN and infinities in weights and
    // thresholds, and unit values other than 1, which count as on.
    net_init();
    for (int s = 0; s < weightsize; s += 97)
        weight_slot_set(s, s % 3 == 0 ? -0.0 : s % 3 == 1 ? NAN : -INFINITY);
    thresholds[5] = -0.0;
    thresholds[6] = INFINITY;
    thresholds[7] = NAN;
    std::vector<pattern> odd = {random_pattern(rng, 50), random_pattern(rng, 30)};
    odd[0][3] = -4;
    odd[1][9] = 7;
    expect_as_literal(odd, 4, "special values");
}

// For random sets that a symmetric network can hold and for the drawn shapes
// of the samples: once the rule reports every pattern learned, every pattern
// is a fixed point of recall and every field clears the margin. The counts
// are printed for the record.
TEST(MarginRule, LearnedPatternsAreFixedPointsWithTheMargin) {
    net_verbose = 0;
    std::mt19937_64 rng(2020);
    int sets = 0, learned_sets = 0, patterns_checked = 0, fixed_points = 0;
    int most_cycles = 0;
    auto check = [&](const std::vector<pattern> &patterns, const std::string &what) {
        net_init();
        margin_report report = teach(patterns, 1000);
        sets++;
        EXPECT_TRUE(report.learned) << what;
        if (!report.learned) return;
        learned_sets++;
        most_cycles = std::max(most_cycles, report.cycles);
        for (const pattern &p : patterns) {
            pattern work = p;
            net_iterate(work.data(), 500);
            patterns_checked++;
            fixed_points += work == p;
            EXPECT_EQ(work, p) << what;
            EXPECT_GE(least_clearance(p), MARGIN_KAPPA) << what;
        }
        EXPECT_EQ(margin_missing(pointers(patterns).data(), (int)patterns.size()), 0) << what;
    };
    for (int set = 0; set < 40; set++) {
        int count = 1 + (int)(rng() % 20);
        int percent = 30 + (int)(rng() % 41);
        std::vector<pattern> patterns;
        for (int p = 0; p < count; p++)
            patterns.push_back(random_pattern(rng, percent));
        check(patterns, "random set " + std::to_string(set));
    }
    // The training picture's shapes, and the six drawn afresh that the
    // error-correcting rule does not store.
    std::vector<pattern> shapes;
    for (int i = 0; i < 6; i++) {
        pattern act(NETSIZE);
        std::string name = std::string(TEST_DATA_DIR) + "/samples/se-" + std::to_string(i) + ".act";
        ASSERT_EQ(act_load(act.data(), name.c_str()), LOAD_OK) << name;
        shapes.push_back(act);
    }
    check(shapes, "the training picture's shapes");
    scratch_dir dir;
    dir.write("shapes.ppm", read_file(std::string(SAMPLES_DIR) + "/shapes.ppm"));
    ASSERT_EQ(run_in(dir, GLIMCUT_PATH, {"shapes.ppm"}).status, 0);
    for (int i = 0; i < 6; i++) {
        std::string name = dir.path() + "/se-" + std::to_string(i) + ".act";
        ASSERT_EQ(act_load(shapes[i].data(), name.c_str()), LOAD_OK) << name;
    }
    check(shapes, "the shapes drawn afresh");
    printf("margin rule: %d of %d sets learned (at most %d cycles); %d of %d patterns fixed "
           "points\n",
           learned_sets, sets, most_cycles, fixed_points, patterns_checked);
}

TEST(MarginRule, StopsAfterTheFirstCycleThatChangesNothing) {
    net_verbose = 0;
    std::mt19937_64 rng(7);
    std::vector<pattern> patterns = {random_pattern(rng, 40), random_pattern(rng, 60)};
    net_init();
    std::vector<long> moved_per_cycle;
    auto note = [](int cycle, long moved, void *context) {
        auto *list = (std::vector<long> *)context;
        EXPECT_EQ(cycle, (int)list->size());
        list->push_back(moved);
    };
    std::vector<const int *> list = pointers(patterns);
    margin_report report = margin_learn(list.data(), 2, 500, note, &moved_per_cycle);
    ASSERT_TRUE(report.learned);
    ASSERT_EQ((int)moved_per_cycle.size(), report.cycles);
    EXPECT_EQ(moved_per_cycle.back(), 0);
    for (int c = 0; c + 1 < report.cycles; c++)
        EXPECT_GT(moved_per_cycle[c], 0) << c;

    // A network that holds the set already: one cycle, nothing written.
    std::vector<uint64_t> before = network_bits();
    report = margin_learn(list.data(), 2, 500, nullptr, nullptr);
    EXPECT_EQ(report.cycles, 1);
    EXPECT_EQ(report.moved, 0);
    EXPECT_TRUE(network_bits() == before);

    // Cut short: the units that still miss are counted on the final network.
    net_init();
    report = margin_learn(list.data(), 2, 1, nullptr, nullptr);
    EXPECT_EQ(report.cycles, 1);
    EXPECT_FALSE(report.learned);
    EXPECT_EQ(report.missing, margin_missing(list.data(), 2));
    EXPECT_GT(report.missing, 0);
}

// Sets no symmetric network can hold (the same pattern wanted on and off)
// keep the rule moving for every cycle, and the values stay finite and
// within the bound that the steps give.
TEST(MarginRule, ValuesStayFiniteOnSetsItCannotHold) {
    net_verbose = 0;
    pattern ones(NETSIZE, 1), zeros(NETSIZE, 0);
    pattern nearly = ones;
    nearly[0] = 0;
    std::vector<pattern> patterns = {ones, zeros, nearly};
    net_init();
    const int cycles = 300;
    margin_report report = teach(patterns, cycles);
    EXPECT_EQ(report.cycles, cycles);
    EXPECT_FALSE(report.learned);
    double bound = 0.5 + cycles * (double)patterns.size() * 2 * MARGIN_WEIGHT_STEP;
    for (int s = 0; s < weightsize; s++)
        ASSERT_LE(std::fabs(weight_slot(s)), bound) << s;
    for (double t : thresholds)
        ASSERT_LE(std::fabs(t), cycles * (double)patterns.size() * MARGIN_THRESHOLD_STEP);
}

TEST(MarginRule, NamesOfTheRules) {
    learning_rule rule = RULE_MARGIN;
    EXPECT_TRUE(rule_from_name("classic", &rule));
    EXPECT_EQ(rule, RULE_CLASSIC);
    EXPECT_TRUE(rule_from_name("margin", &rule));
    EXPECT_EQ(rule, RULE_MARGIN);
    for (const char *name : {"", "Margin", "margins", "classic "})
        EXPECT_FALSE(rule_from_name(name, &rule)) << name;
}

} // namespace
