// Network state, recall and learning.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "net.h"

namespace {

// Runs net_init quietly and returns what it printed.
std::string init_network(int verbose) {
    net_verbose = verbose;
    testing::internal::CaptureStdout();
    net_init();
    return testing::internal::GetCapturedStdout();
}

std::vector<int> pattern_with_ones(int ones) {
    std::vector<int> act(NETSIZE, 0);
    for (int u = 0; u < ones; u++)
        act[u * 7 % NETSIZE] = 1; // 7 is prime to 256: spread over the grid
    return act;
}

TEST(WeightIndex, NumbersEveryPairOnceInRowOrder) {
    EXPECT_EQ(weight_index(0, 1), 0);
    EXPECT_EQ(weight_index(0, 255), 254);
    EXPECT_EQ(weight_index(1, 2), 255);
    EXPECT_EQ(weight_index(253, 255), 32638);
    EXPECT_EQ(weight_index(254, 255), 32639);
    std::vector<int> seen(weightsize, 0);
    int expected = 0;
    for (int a = 0; a < NETSIZE; a++)
        for (int b = a + 1; b < NETSIZE; b++) {
            int slot = weight_index(a, b);
            ASSERT_EQ(slot, expected++);
            ASSERT_EQ(weight_index(b, a), slot);
            seen[slot]++;
        }
    for (int count : seen)
        ASSERT_EQ(count, 1);
}

TEST(NetInit, VerboseCorePrintsOnlyTheWeightCount) {
    EXPECT_EQ(init_network(1), "Number of network weights: 32640\n");
    EXPECT_EQ(init_network(0), "");
    EXPECT_EQ(net_broken, 0);
    for (int s = 0; s < weightsize; s++)
        ASSERT_EQ(weight_slot(s), 0.5);
    for (int s = weightsize; s < WEIGHT_SLOT_COUNT; s++)
        ASSERT_EQ(weight_slot(s), 0.0);
    for (double t : thresholds)
        ASSERT_EQ(t, 0.0);
}

TEST(NetIterate, FreshNetworkTurnsEveryUnitOn) {
    init_network(1);
    std::vector<int> act = pattern_with_ones(100);
    testing::internal::CaptureStdout();
    EXPECT_EQ(net_iterate(act.data(), 500), act.data());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "  Iterated Network 2 steps.\n");
    EXPECT_EQ(act, std::vector<int>(NETSIZE, 1));

    testing::internal::CaptureStdout();
    net_iterate(act.data(), 500);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "  Iterated Network 1 steps.\n");

    // The step limit ends recall early; 0 runs no sweep.
    std::vector<int> zeros(NETSIZE, 0);
    testing::internal::CaptureStdout();
    net_iterate(zeros.data(), 0);
    net_iterate(zeros.data(), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "  Iterated Network 0 steps.\n  Iterated Network 1 steps.\n");
    EXPECT_EQ(zeros, std::vector<int>(NETSIZE, 1));
}

TEST(NetIterate, UpdatesUnitsInOrderAndWritesOnlyZeroAndOne) {
    init_network(0);
    // Unit 1 only turns on through unit 0 if unit 0 is updated first.
    for (int u = 0; u < NETSIZE; u++)
        thresholds[u] = 1e9;
    thresholds[0] = -1.0;
    thresholds[1] = 0.5;
    for (int s = 0; s < weightsize; s++)
        weight_slot_set(s, 0.0);
    weight_slot_set(weight_index(0, 1), 1.0);
    std::vector<int> act(NETSIZE, 0);
    act[5] = 7; // a value other than 1 is a factor and turns off
    EXPECT_NE(net_iterate(act.data(), 1), nullptr);
    EXPECT_EQ(act[0], 1);
    EXPECT_EQ(act[1], 1);
    EXPECT_EQ(act[5], 0);
}

TEST(NetLearn, AllZeroVectorRaisesEveryThreshold) {
    init_network(0);
    std::vector<int> zeros(NETSIZE, 0);
    net_learn(zeros.data(), 1);
    for (double t : thresholds)
        ASSERT_EQ(t, 1.0);
    for (int s = 0; s < weightsize; s++)
        ASSERT_EQ(weight_slot(s), 0.5);
}

TEST(NetLearn, OneCycleCorrectsOnlyTheUnitsThatAreOff) {
    for (int ones : {1, 13, 128, 255}) {
        init_network(0);
        std::vector<int> act = pattern_with_ones(ones);
        net_learn(act.data(), 1);
        double correction = 1.0 - (0.5 * ones) / (ones + 1);
        for (int j = 0; j < NETSIZE; j++) {
            ASSERT_EQ(thresholds[j], act[j] ? 0.0 : correction) << ones << " " << j;
            for (int k = j + 1; k < NETSIZE; k++) {
                double w = weight_slot(weight_index(j, k));
                if (act[j] != act[k])
                    ASSERT_NEAR(w, -0.5 / (ones + 1), 1e-15);
                else
                    ASSERT_EQ(w, 0.5);
            }
        }
    }
}

TEST(NetLearn, PrintsOneCounterLinePerCall) {
    init_network(1);
    std::vector<int> act(NETSIZE, 1);
    testing::internal::CaptureStdout();
    net_learn(act.data(), 0);
    net_learn(act.data(), 1);
    net_learn(act.data(), 12);
    std::string expected = "  Learning cycle...0000\n  Learning cycle...0000\b0\n"
                           "  Learning cycle...0000";
    for (int i = 0; i < 12; i++)
        expected += (i < 10 ? "\b" : "\b\b") + std::to_string(i);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), expected + "\n");

    // From 1000 on the counter backs up four columns.
    testing::internal::CaptureStdout();
    net_learn(act.data(), 1001);
    std::string out = testing::internal::GetCapturedStdout();
    std::string end = "98\b\b\b999\b\b\b\b1000\n";
    EXPECT_EQ(out.substr(out.size() - end.size()), end);
}

TEST(NetLearn, CorrectlyClassifiedVectorChangesNothing) {
    init_network(0);
    std::vector<int> ones(NETSIZE, 1);
    net_learn(ones.data(), 50);
    for (int s = 0; s < weightsize; s++)
        ASSERT_EQ(weight_slot(s), 0.5);
    for (double t : thresholds)
        ASSERT_EQ(t, 0.0);
}

TEST(NetLearn, TaughtPatternsAreRecalled) {
    init_network(0);
    std::vector<int> a = pattern_with_ones(60), b = pattern_with_ones(200);
    for (int pass = 0; pass < 20; pass++) {
        net_learn(a.data(), 1);
        net_learn(b.data(), 1);
    }
    std::vector<int> work = a;
    net_iterate(work.data(), 100);
    EXPECT_EQ(work, a);
    work = b;
    net_iterate(work.data(), 100);
    EXPECT_EQ(work, b);
}

TEST(BrokenNetwork, RecallAndLearningRefuseAndChangeNothing) {
    init_network(1);
    net_broken = 1;
    std::vector<int> act = pattern_with_ones(30), before = act;
    testing::internal::CaptureStdout();
    EXPECT_EQ(net_iterate(act.data(), 500), nullptr);
    net_learn(act.data(), 3);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "  Netz nicht richtig initialisiert\n  Netz nicht richtig initialisiert\n");
    EXPECT_EQ(act, before);
    for (double t : thresholds)
        ASSERT_EQ(t, 0.0);
}

TEST(NetNormalize, DividesWeightsByTheirSum) {
    init_network(0);
    net_normalize();
    for (int s = 0; s < weightsize; s++)
        ASSERT_EQ(weight_slot(s), 0.5 / (0.5 * weightsize));
    for (int s = 0; s < weightsize; s++)
        weight_slot_set(s, s % 2 ? 1.0 : -1.0); // sums to 0: left alone
    net_normalize();
    EXPECT_EQ(weight_slot(0), -1.0);
    EXPECT_EQ(weight_slot(1), 1.0);
}

} // namespace
