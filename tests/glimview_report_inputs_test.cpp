// glimview report and the other views on input that would hang, never end,
// overflow the picture or mislead: each refusal gives one line and exit 1
// and leaves every file as it was; a large training set is drawn in part.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "net.h"
#include "netfile.h"
#include "run_program.h"

namespace {

class GlimviewReportInputs : public ::testing::Test {
  protected:
    void SetUp() override { demo_folder(dir, {"train.ppm", "test-1.ppm"}); }
    run_result glimview(const std::vector<std::string> &args) {
        run_options options;
        options.alarm_seconds = 60; // a FIFO that blocked would end here, as a failure
        return run_in(dir, GLIMVIEW_PATH, args, options);
    }
    scratch_dir dir;
};

TEST_F(GlimviewReportInputs, SpecialFilesAndHugeLabelsAreRefusedBeforeAnyWork) {
    ASSERT_EQ(mkfifo((dir.path() + "/fifo.ppm").c_str(), 0644), 0);
    ASSERT_EQ(mkdir((dir.path() + "/folder").c_str(), 0755), 0);
    dir.write("big.txt", std::string((1 << 20) + 1, 'a'));
    const std::string fifo = "glimview: cannot read picture fifo.ppm: it is not a regular file\n";
    struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"report", "fifo.ppm", "--learned", "train.ppm"}, fifo},
        {{"report", "test-1.ppm", "--learned", "train.ppm", "fifo.ppm"}, fifo},
        {{"report", "test-1.ppm", "--learned", "train.ppm", "/dev/zero"},
         "glimview: cannot read picture /dev/zero: it is not a regular file\n"},
        {{"report", "folder", "--learned", "train.ppm"},
         "glimview: cannot read picture folder: it is not a regular file\n"},
        {{"report", "test-1.ppm", "--learned", "train.ppm", "--labels", "/dev/zero"},
         "glimview: cannot read labels /dev/zero: it is not a regular file\n"},
        {{"report", "test-1.ppm", "--learned", "train.ppm", "--labels", "fifo.ppm"},
         "glimview: cannot read labels fifo.ppm: it is not a regular file\n"},
        {{"report", "test-1.ppm", "--learned", "train.ppm", "--labels", "big.txt"},
         "glimview: cannot read labels big.txt: it holds more than 1048576 bytes\n"},
        {{"net", "folder"},
         "glimview: cannot read network folder: it is a folder, not a network file\n"},
        {{"report", "test-1.ppm", "--learned", "train.ppm", "--net", "folder"},
         "glimview: cannot read network folder: it is a folder, not a network file\n"},
        // Every number option of glimview takes digits alone.
        {{"report", "test-1.ppm", "--learned", "train.ppm", "--limit", " 5"},
         "glimview: cannot run report: --limit takes a number of bits from 0 to 256; see "
         "glimview --help\n"},
        {{"capacity", "--cycles", " 5", "se-0.act"},
         "glimview: cannot run capacity: --cycles needs a whole number from 0 to 1000000; see "
         "glimview --help\n"},
        {{"capacity", "--cycles", "+5", "se-0.act"},
         "glimview: cannot run capacity: --cycles needs a whole number from 0 to 1000000; see "
         "glimview --help\n"},
    };
    for (const auto &c : cases) {
        auto before = dir.files();
        run_result run = glimview(c.args);
        EXPECT_EQ(run.status, 1) << c.message;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, c.message);
        EXPECT_EQ(dir.files(), before) << c.message;
    }
}

TEST_F(GlimviewReportInputs, ManyTrainingPicturesAreDrawnInPartAndReportedWhole) {
    std::vector<std::string> args = {"report", "test-1.ppm", "--learned"};
    for (int i = 0; i < 200; i++)
        args.push_back("train.ppm");
    run_result run = glimview(args);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "glimview: the picture shows the first 60 of the 1200 learned objects\n"
                       "glimview: wrote test-1-report.png\n");
    // Every line as with one training picture: its first copy is the nearest.
    EXPECT_NE(run.out.find("moved_bits=0 verdict=recognised learned=1 label=-\n"),
              std::string::npos);
    // Ten columns of the strip: 920 pixels for the first and 248 for each other.
    std::string png = dir.read("test-1-report.png");
    ASSERT_GT(png.size(), 24u);
    int width = (unsigned char)png[18] << 8 | (unsigned char)png[19];
    EXPECT_EQ(width, 920 + 9 * 248);
}

TEST_F(GlimviewReportInputs, ADivergedNetworkIsSaidAsTheVerdictsAreGiven) {
    net_verbose = 0;
    net_init();
    ASSERT_EQ(net_load((dir.path() + "/glimnet.net").c_str()), LOAD_OK);
    weight_slot_set(weight_index(0, 1), 1e300 * 1e300);
    ASSERT_EQ(net_save((dir.path() + "/glimnet.net").c_str()), 0);
    run_result run = glimview({"report", "test-1.ppm", "--learned", "train.ppm"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err.substr(0, run.err.find('\n') + 1),
              "glimview: warning: network glimnet.net: 1 of 32896 weights and thresholds are "
              "infinite, NaN or beyond 1E+100: learning diverged and the verdicts are "
              "unreliable\n");
}

} // namespace
