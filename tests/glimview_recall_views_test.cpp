// glimview settle, robustness and capacity end to end: the recorded tables on
// the sample patterns (the noise is seeded, so they are the same on every run
// and build), the same bytes on a second run, the energy rise that a diverged
// network shows, and that capacity leaves every network file alone.
#include <gtest/gtest.h>

#include "run_program.h"

namespace {

std::string recorded(const std::string &name) {
    return read_file(std::string(TEST_DATA_DIR) + "/samples/" + name);
}

// A folder with the sample patterns se-0.act to se-5.act and the network
// glimlearn 6 50 teaches from them.
void learn_samples(const scratch_dir &dir) {
    for (int i = 0; i < 6; i++) {
        std::string name = "se-" + std::to_string(i) + ".act";
        dir.write(name, recorded(name));
    }
    ASSERT_EQ(run_in(dir, GLIMLEARN_PATH, {"6", "50"}).status, 0);
}

const std::vector<std::string> SAMPLE_PATTERNS = {"se-0.act", "se-1.act", "se-2.act",
                                                  "se-3.act", "se-4.act", "se-5.act"};

std::vector<std::string> with(std::vector<std::string> front,
                              const std::vector<std::string> &back) {
    front.insert(front.end(), back.begin(), back.end());
    return front;
}

// Runs glimview twice in fresh copies of dir's files and checks that both
// runs print and write the same bytes; returns the first run.
run_result run_twice(const scratch_dir &dir, const std::vector<std::string> &args,
                     const std::string &picture) {
    scratch_dir again;
    for (const auto &file : dir.files())
        again.write(file.first, file.second);
    run_result first = run_in(dir, GLIMVIEW_PATH, args);
    run_result second = run_in(again, GLIMVIEW_PATH, args);
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out, second.out);
    EXPECT_EQ(first.err, "glimview: wrote " + picture + "\n");
    EXPECT_EQ(dir.read(picture).substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(dir.read(picture), again.read(picture));
    return first;
}

TEST(RecallViews, RobustnessTableOfTheSamples) {
    scratch_dir dir;
    learn_samples(dir);
    run_result r = run_twice(dir, with({"robustness"}, SAMPLE_PATTERNS), "robustness.png");
    EXPECT_EQ(r.out,
              "Recall from noise in glimnet.net: of 32 noisy copies of each pattern, how many "
              "settle back\n"
              "into it exactly (at most 500 sweeps), by the number of units flipped.\n"
              "pattern    0   4   8  12  16  20  24  28  32  36  40  44  48  52  56  60  64\n"
              "se-0.act  32  32  30  28  25  26  23  18  12  15  12  11   7   5   8   6   3\n"
              "se-1.act  32   3   1   0   1   0   0   0   0   0   0   0   0   0   0   0   0\n"
              "se-2.act  32  24  21   8  10   1   0   1   0   0   0   0   0   0   0   0   0\n"
              "se-3.act  32  23  14   7   7   2   0   1   0   0   0   0   0   0   0   0   0\n"
              "se-4.act  32  13   1   1   2   0   0   0   0   0   0   0   0   0   0   0   0\n"
              "se-5.act  32  31  27  26  20   8   8   3   2   0   1   0   0   0   0   0   0\n");
}

TEST(RecallViews, SettleShowsEachSweepAndItsEnergy) {
    // The enlarged triangle of the first test picture, which settles into the
    // square's pattern in three sweeps.
    scratch_dir dir;
    learn_samples(dir);
    dir.write("test-1.ppm", read_file(std::string(SAMPLES_DIR) + "/test-1.ppm"));
    ASSERT_EQ(run_in(dir, GLIMCUT_PATH, {"test-1.ppm", "t1-%d.act"}).status, 0);
    run_result r = run_twice(dir, {"settle", "-o", "triangle.png", "t1-0.act"}, "triangle.png");
    EXPECT_EQ(r.out, "Settling t1-0.act in glimnet.net, one sweep at a time (at most 500):\n"
                     "sweep  changed  energy\n"
                     "    0        -  -10403.83194\n"
                     "    1       33  -12427.699\n"
                     "    2        5  -12660.16264\n"
                     "    3        0  -12660.16264\n"
                     "t1-0.act in glimnet.net: settled after 3 sweeps.\n"
                     "The energy never rose.\n");
}

TEST(RecallViews, CapacityTeachesAFreshNetworkInMemory) {
    scratch_dir dir;
    learn_samples(dir);
    std::string network = dir.read("glimnet.net");
    run_result r =
        run_twice(dir, with({"capacity", "--cycles", "20"}, SAMPLE_PATTERNS), "capacity.png");
    EXPECT_EQ(r.out,
              "Capacity: the first n of 6 patterns taught to a fresh network for 20 cycles\n"
              "(no network file is read or written). stable: settle into themselves; from "
              "noise:\n"
              "come back from 26 flipped units (10 %), mean over 8 copies; diverged: weights "
              "and\n"
              "thresholds infinite, NaN or beyond 1E+100.\n"
              "    n  stable  from noise  diverged\n"
              "    1       1        0.50         0\n"
              "    2       2        0.50         0\n"
              "    3       3        1.75         0\n"
              "    4       4        1.00         0\n"
              "    5       1        0.50         0\n"
              "    6       5        0.50         0\n");
    EXPECT_EQ(dir.read("glimnet.net"), network);
    EXPECT_EQ(dir.files().size(), 8u); // the patterns, the network and the picture
}

TEST(RecallViews, ADivergedNetworkShowsRisingEnergyAndFailsToRecall) {
    scratch_dir dir;
    ASSERT_EQ(run_in(dir, "/bin/sh", {std::string(SAMPLES_DIR) + "/bar_patterns.sh", "100"}).status,
              0);
    ASSERT_EQ(run_in(dir, GLIMLEARN_PATH, {"100", "20", "bar-%d.act"}).status, 0);
    run_result r = run_twice(dir, {"settle", "bar-0.act"}, "bar-0-settle.png");
    EXPECT_EQ(r.out, "Settling bar-0.act in glimnet.net, one sweep at a time (at most 500):\n"
                     "sweep  changed  energy\n"
                     "    0        -  -INF\n"
                     "    1       99  0  rose\n"
                     "    2        0  0\n"
                     "bar-0.act in glimnet.net: settled after 2 sweeps.\n"
                     "The energy rose in 1 sweep, which recall in a network of finite weights "
                     "never does; 32896 of its weights and thresholds are infinite, NaN or beyond "
                     "1E+100.\n");
    r = run_twice(dir, {"robustness", "bar-0.act", "bar-1.act"}, "robustness.png");
    EXPECT_NE(r.out.find("bar-1.act   0   0   0   0   0   0   0   0   0   0   0   0   0   0   0   "
                         "0   0\n"),
              std::string::npos)
        << r.out;
}

TEST(RecallViews, RefusedInputGivesAMessageAFailureAndNoFile) {
    struct refusal {
        std::vector<std::string> args;
        std::string message;
    };
    const refusal cases[] = {
        {{"settle", "se-0.act"},
         "glimview: cannot read network glimnet.net: it is missing; teach one with glimlearn\n"},
        {{"settle", "se-0.act", "se-1.act"},
         "glimview: cannot run settle: give one activation file;"},
        {{"settle", "-o", "se-0.act", "se-0.act"}, "is the input file se-0.act"},
        {{"robustness", "--net"}, "glimview: cannot run robustness: --net needs a file name;"},
        {{"robustness", "--cycles", "3", "se-0.act"}, "robustness takes no --cycles"},
        {{"capacity", "--net", "x.net", "se-0.act"}, "takes no --net"},
        {{"capacity", "--cycles", "-1", "se-0.act"}, "--cycles needs a whole number"},
        {{"capacity", "--cycles", "5x", "se-0.act"}, "--cycles needs a whole number"},
        {{"capacity", "se-0.act", "missing.act"},
         "  File not found error in missing.act/ac.-, breaking.\n"},
    };
    for (const refusal &c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        scratch_dir dir;
        dir.write("se-0.act", recorded("se-0.act"));
        dir.write("se-1.act", recorded("se-1.act"));
        run_result r = run_in(dir, GLIMVIEW_PATH, c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(dir.files().size(), 2u);
    }
}

} // namespace
