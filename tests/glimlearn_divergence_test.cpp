// glimlearn's warning on a network that learning drove out of range: one line
// on stderr, with stdout, the network file and the exit status as without it.
#include <gtest/gtest.h>

#include "run_program.h"

namespace {

// Writes count bar patterns into dir with the shipped script.
void write_bars(const scratch_dir &dir, int count) {
    run_result r = run_in(dir, "/bin/sh",
                          {std::string(SAMPLES_DIR) + "/bar_patterns.sh", std::to_string(count)});
    ASSERT_EQ(r.status, 0) << r.err;
}

TEST(GlimlearnDivergence, WarnsOnceTheNetworkIsSaved) {
    scratch_dir dir;
    write_bars(dir, 100);
    run_result r = run_in(dir, GLIMLEARN_PATH, {"100", "8", "bar-%d.act"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "glimlearn: warning: network glimnet.net: 32896 of 32896 weights and "
                     "thresholds are infinite, NaN or beyond 1E+100 (from learning cycle 5 on): "
                     "learning diverged and recall with it is unreliable\n");
    // The bytes that the same run printed and wrote before the warning existed.
    EXPECT_EQ(fnv1a_64(r.out), 0xe4ca3437b7375dc3u);
    EXPECT_EQ(fnv1a_64(dir.read("glimnet.net")), 0xa1397eacbb018d7cu);

    // A run that starts from the diverged network knows no cycle of its own.
    r = run_in(dir, GLIMLEARN_PATH, {"100", "0", "bar-%d.act"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("(as loaded, before learning)"), std::string::npos) << r.err;
}

TEST(GlimlearnDivergence, SilentWhileTheNetworkHoldsItsPatterns) {
    scratch_dir dir;
    write_bars(dir, 20);
    run_result r = run_in(dir, GLIMLEARN_PATH, {"20", "10", "bar-%d.act"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
}

} // namespace
