// The demo's flow on the sample pictures, against recorded runs: every byte
// printed and written. Any change to segmentation, encoding, recall or
// learning that moves one bit shows up here.
#include <gtest/gtest.h>

#include "run_program.h"

namespace {

std::string recorded(const std::string &name) {
    return read_file(std::string(TEST_DATA_DIR) + "/samples/" + name);
}

void copy_sample(const scratch_dir &dir, const std::string &name) {
    dir.write(name, read_file(std::string(SAMPLES_DIR) + "/" + name));
}

TEST(Samples, CutLearnAndSeeGiveTheRecordedBytes) {
    scratch_dir dir;
    copy_sample(dir, "train.ppm");
    copy_sample(dir, "test-1.ppm");

    run_result r = run_in(dir, GLIMCUT_PATH, {"train.ppm"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, recorded("glimcut-train.out"));
    for (int i = 0; i < 6; i++) {
        std::string name = "se-" + std::to_string(i) + ".act";
        EXPECT_EQ(dir.read(name), recorded(name)) << name;
    }

    r = run_in(dir, GLIMLEARN_PATH, {"6", "50"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, recorded("glimlearn-6-50.out"));
    std::string net = dir.read("glimnet.net");
    EXPECT_EQ(net.size(), 665667u);
    EXPECT_EQ(fnv1a_64(net), 0xd4f4e4bd3fcd37edu);

    r = run_in(dir, GLIMSEE_PATH, {"test-1.ppm"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, recorded("glimsee-test-1.out"));
    for (int i = 0; i < 4; i++) {
        std::string name = "ca-" + std::to_string(i) + ".act";
        EXPECT_EQ(dir.read(name), recorded(name)) << name;
    }
    EXPECT_EQ(dir.files().size(), 13u);

    // The second test picture, with the same network, in a folder of its own.
    scratch_dir second;
    copy_sample(second, "test-2.ppm");
    second.write("glimnet.net", net);
    r = run_in(second, GLIMSEE_PATH, {"test-2.ppm"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, recorded("glimsee-test-2.out"));
    EXPECT_EQ(second.read("ca-0.act"), recorded("test-2-ca-0.act"));
    EXPECT_EQ(second.read("ca-1.act"), recorded("test-2-ca-1.act"));
}

} // namespace
