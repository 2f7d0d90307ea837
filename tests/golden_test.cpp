// The programs' whole output against a recorded run: any change to recall or
// learning that moves one bit of a weight shows up here.
#include <gtest/gtest.h>

#include <cstdint>

#include "run_program.h"

namespace {

// 64-bit FNV-1a: keeps a large expected file out of the repository.
uint64_t fnv1a_64(const std::string &bytes) {
    uint64_t hash = 0xcbf29ce484222325u;
    for (unsigned char c : bytes)
        hash = (hash ^ c) * 0x100000001b3u;
    return hash;
}

TEST(Golden, GlimtestPrintsAndWritesTheRecordedRun) {
    scratch_dir dir;
    run_result r = run_in(dir, GLIMTEST_PATH);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, read_file(TEST_DATA_DIR "/glimtest.stdout"));
    std::string net = dir.read("glimtest.net");
    EXPECT_EQ(net.size(), 528042u);
    EXPECT_EQ(fnv1a_64(net), 0x2cc62604d79f5042u);
}

} // namespace
