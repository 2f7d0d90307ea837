// Energy, diverged values and single sweeps: the energy of recall never rises
// on a finite network, and sweeping one at a time reaches the states that
// recall with a larger limit reaches.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "netmeasure.h"

namespace {

// SplitMix64: the same numbers on every platform.
struct numbers {
    uint64_t state;
    uint64_t next() {
        uint64_t z = state += 0x9e3779b97f4a7c15u;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
        return z ^ (z >> 31);
    }
    int below(int n) { return (int)(next() % (uint64_t)n); }
    double uniform(double scale) { return ((double)(next() >> 11) * 0x1p-52 - 1.0) * scale; }
};

void random_network(numbers &rng, double scale) {
    for (int s = 0; s < weightsize; s++)
        weight_slot_set(s, rng.uniform(scale));
    for (double &t : thresholds)
        t = rng.uniform(scale * 4);
}

std::vector<int> random_pattern(numbers &rng, int percent) {
    std::vector<int> act(NETSIZE);
    for (int &unit : act)
        unit = rng.below(100) < percent ? 1 : 0;
    return act;
}

class NetMeasure : public ::testing::Test {
  protected:
    void SetUp() override {
        net_verbose = 0;
        net_init();
        ASSERT_EQ(net_broken, 0);
    }
};

TEST_F(NetMeasure, EnergyNeverRisesOnFiniteNetworksAndSweepsMatchRecall) {
    numbers rng{17};
    const double scales[] = {1.0, 1e-3, 1e6, 1e90};
    for (int network = 0; network < 40; network++) {
        random_network(rng, scales[network % 4]);
        for (int trial = 0; trial < 5; trial++) {
            std::vector<int> act = random_pattern(rng, 10 + 20 * trial);
            std::vector<int> start = act;
            double energy = net_energy(act.data());
            int sweeps = 0;
            for (int changed = -1; changed != 0 && sweeps < 500; sweeps++) {
                changed = net_sweep(act.data());
                ASSERT_GE(changed, 0);
                double after = net_energy(act.data());
                double scale = std::fmax(net_energy_scale(act.data()), std::fabs(energy));
                ASSERT_LE(after - energy, 1e-9 * scale)
                    << "network " << network << " trial " << trial << " sweep " << sweeps + 1;
                energy = after;
                // The state after k single sweeps is recall's with a limit of k.
                std::vector<int> recalled = start;
                net_iterate(recalled.data(), sweeps + 1);
                ASSERT_EQ(act, recalled) << "network " << network << " sweep " << sweeps + 1;
            }
            std::vector<int> recalled = start;
            net_iterate(recalled.data(), 500);
            EXPECT_EQ(act, recalled);
        }
    }
}

TEST_F(NetMeasure, EnergyCountsOnlyUnitsThatAreOn) {
    weight_slot_set(weight_index(3, 7), 2.5);
    weight_slot_set(weight_index(3, 9), std::numeric_limits<double>::infinity());
    weight_slot_set(weight_index(9, 200), std::numeric_limits<double>::quiet_NaN());
    thresholds[3] = 0.25;
    thresholds[7] = -1.0;
    std::vector<int> act(NETSIZE, 0);
    EXPECT_EQ(net_energy(act.data()), 0.0);
    act[3] = act[7] = 1; // the infinite weight and the NaN lie between units that are off
    EXPECT_EQ(net_energy(act.data()), -2.5 + 0.25 - 1.0);
    EXPECT_EQ(net_energy_scale(act.data()), 2.5 + 0.25 + 1.0);
    act[9] = 1;
    EXPECT_EQ(net_energy(act.data()), -std::numeric_limits<double>::infinity());
}

TEST_F(NetMeasure, CountsValuesBeyondRange) {
    EXPECT_EQ(net_count_diverged(), 0);
    weight_slot_set(0, std::numeric_limits<double>::infinity());
    weight_slot_set(weightsize - 1, -1e101);
    weight_slot_set(5, -1e100); // at the limit, not beyond it
    weight_slot_set(weightsize, std::numeric_limits<double>::quiet_NaN()); // spare slot: no weight
    thresholds[255] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(net_count_diverged(), 3);
}

TEST_F(NetMeasure, SweepOnABrokenNetworkChangesNothing) {
    net_broken = 1;
    std::vector<int> act(NETSIZE, 1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(net_sweep(act.data()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "  Netz nicht richtig initialisiert\n");
    EXPECT_EQ(act, std::vector<int>(NETSIZE, 1));
    net_broken = 0;
}

} // namespace
