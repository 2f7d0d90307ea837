// glimview report end to end: the verdicts on the sample pictures after the
// demo's training, learned objects numbered on across training pictures,
// labels, the picture's size, and refused input that writes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "run_program.h"

namespace {

// A folder with the samples and the network that glimcut and glimlearn make
// from train.ppm, as the demo makes it.
class GlimviewReport : public ::testing::Test {
  protected:
    void SetUp() override { demo_folder(dir, {"train.ppm", "test-1.ppm", "test-2.ppm"}); }
    run_result report(const std::vector<std::string> &args) {
        std::vector<std::string> all = {"report"};
        all.insert(all.end(), args.begin(), args.end());
        return run_in(dir, GLIMVIEW_PATH, all);
    }
    scratch_dir dir;
};

// The width and height from a PNG's header chunk.
std::pair<int, int> png_size(const std::string &png) {
    auto number = [&](size_t at) {
        return (unsigned char)png[at] << 24 | (unsigned char)png[at + 1] << 16 |
               (unsigned char)png[at + 2] << 8 | (unsigned char)png[at + 3];
    };
    if (png.size() < 24 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return {0, 0};
    return {number(16), number(20)};
}

// test-1's objects 1 to 3 with the shapes' labels: recognised alike by
// every encoding choice of the classic encoder.
const std::string TEST_1_RECOGNISED =
    "object=1 box=3,3,23,22 before=1 before_bits=0 after=1 after_bits=0 "
    "moved_bits=0 verdict=recognised learned=1 label=disc\n"
    "object=2 box=55,34,23,22 before=4 before_bits=2 after=4 after_bits=0 "
    "moved_bits=2 verdict=recognised learned=4 label=cross\n"
    "object=3 box=29,35,20,19 before=0 before_bits=0 after=0 after_bits=0 "
    "moved_bits=0 verdict=recognised learned=0 label=square\n";

TEST_F(GlimviewReport, VerdictsOnTheSamples) {
    dir.write("shapes.txt", "square\ndisc\ntriangle\nring\ncross\r\nlong bar\n");
    run_result run = report({"test-1.ppm", "--learned", "train.ppm", "--labels", "shapes.txt"});
    EXPECT_EQ(run.status, 0) << run.err;
    // The larger triangle settles into the square, from too far to count.
    EXPECT_EQ(run.out, "object=0 box=48,3,26,22 before=3 before_bits=27 after=0 after_bits=0 "
                       "moved_bits=34 verdict=unknown learned=- label=-\n" +
                           TEST_1_RECOGNISED);
    EXPECT_EQ(run.err, "glimview: wrote test-1-report.png\n");
    // The picture, 640 x 480, beside one column of six learned objects.
    EXPECT_EQ(png_size(dir.read("test-1-report.png")), std::make_pair(920, 516));

    // A limit that lets everything through names the triangle a square; the
    // label runs to the end of the line, spaces and all.
    run = report({"test-1.ppm", "--learned", "train.ppm", "--limit", "256", "-o", "all.png"});
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')),
              "object=0 box=48,3,26,22 before=3 before_bits=27 after=0 after_bits=0 "
              "moved_bits=34 verdict=recognised learned=0 label=-");
    run = report({"train.ppm", "--learned", "train.ppm", "--labels", "shapes.txt", "-o", "t.png"});
    EXPECT_NE(run.out.find("moved_bits=0 verdict=recognised learned=5 label=long bar\n"),
              std::string::npos);
    EXPECT_NE(run.out.find("learned=4 label=cross\n"), std::string::npos);
}

TEST_F(GlimviewReport, LearnedTakesAListAndALabelsCountThatDiffersIsSaid) {
    dir.write("short.txt", "square\ndisc\n");
    run_result run = report({"test-2.ppm", "--learned", "train.ppm", "test-2.ppm", "--labels",
                             "short.txt", "-o", "out.png"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("object=1 box=3,23,24,29 before=7 before_bits=0"), std::string::npos);
    EXPECT_EQ(run.err.substr(0, run.err.find('\n') + 1),
              "glimview: labels file short.txt: 2 labels for 8 learned objects\n");
}

TEST_F(GlimviewReport, LearnedObjectsAreNumberedOnAcrossTrainingPictures) {
    run_result run = report(
        {"test-2.ppm", "--learned", "train.ppm", "--learned", "test-2.ppm", "-o", "out.png"});
    EXPECT_EQ(run.status, 0) << run.err;
    // train.ppm holds learned objects 0 to 5, so test-2's own are 6 and 7.
    EXPECT_EQ(run.out, "object=0 box=43,9,29,19 before=6 before_bits=0 after=2 after_bits=0 "
                       "moved_bits=31 verdict=unknown learned=- label=-\n"
                       "object=1 box=3,23,24,29 before=7 before_bits=0 after=0 after_bits=0 "
                       "moved_bits=48 verdict=unknown learned=- label=-\n");
    // Eight learned objects take two columns of the strip.
    EXPECT_EQ(png_size(dir.read("out.png")).first, 920 + 248);
}

TEST_F(GlimviewReport, AChosenEncodingDerivesTheLimitAndNamesTheNearestOfUnknowns) {
    dir.write("shapes.txt", "square\ndisc\ntriangle\nring\ncross\nlong bar\n");
    // The classic encoding chosen by name: the same patterns as by default,
    // judged by the limit the learned patterns allow.
    run_result run = report({"test-1.ppm", "--learned", "train.ppm", "--labels", "shapes.txt",
                             "--encoding", "classic", "-o", "c.png"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "encoding=classic sizes=1 learned=6 patterns=6 limit=18 "
                       "limit_from=patterns\n"
                       "object=0 box=48,3,26,22 before=3 before_bits=27 after=0 after_bits=0 "
                       "moved_bits=34 verdict=unknown learned=- nearest=square nearest_bits=34 "
                       "label=-\n" +
                           TEST_1_RECOGNISED);
    // A limit given is kept, and said to be given.
    run = report(
        {"test-1.ppm", "--learned", "train.ppm", "--sizes", "1", "--limit", "40", "-o", "c.png"});
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')),
              "encoding=classic sizes=1 learned=6 patterns=6 limit=40 limit_from=option");
    EXPECT_NE(run.out.find("moved_bits=34 verdict=recognised learned=0 label=-\n"),
              std::string::npos);

    // Each learned object at three sizes is three patterns of that object.
    run = report({"test-1.ppm", "--learned", "train.ppm", "--encoding=normalised", "--sizes",
                  "0.8,1,1.25", "-o", "n.png"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.substr(0, run.out.find(" limit=")),
              "encoding=normalised sizes=0.8,1,1.25 learned=6 patterns=18");
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 5);
}

TEST_F(GlimviewReport, BadEncodingOrSizesAreUsageErrorsThatWriteNothing) {
    struct {
        std::vector<std::string> args;
        const char *message;
    } cases[] = {
        {{"--encoding", "plain"},
         "glimview: --encoding plain: unknown encoding; give classic, normalised, masked, "
         "silhouette or detail\n"},
        {{"--sizes", "0.8,3"}, "glimview: --sizes 0.8,3: each size must lie from 0.5 to 2\n"},
        {{"--sizes", "1,,2"}, "glimview: --sizes 1,,2: give factors such as 0.8,1,1.25\n"},
        {{"--sizes"}, "glimview: --sizes: the option needs a value\n"},
    };
    for (const auto &c : cases) {
        std::vector<std::string> args = {"test-1.ppm", "--learned", "train.ppm"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        std::map<std::string, std::string> before = dir.files();
        run_result run = report(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, c.message);
        EXPECT_TRUE(dir.files() == before) << c.message;
    }
}

TEST_F(GlimviewReport, RefusedInputWritesNothing) {
    dir.write("wide.ppm", "P6\n81 60\n255\n" + std::string(81 * 60 * 3, '\0'));
    dir.write("cut.ppm", read_file(std::string(SAMPLES_DIR) + "/test-1.ppm").substr(0, 9000));
    struct {
        std::vector<std::string> args;
        const char *message;
    } cases[] = {
        {{"wide.ppm", "--learned", "train.ppm"},
         "glimview: cannot read picture wide.ppm: it is not an 80 x 60 PPM picture (P6, maximum "
         "255); glimprep makes one\n"},
        {{"test-1.ppm", "--learned", "cut.ppm"},
         "glimview: cannot read picture cut.ppm: it ends before its last pixel\n"},
        {{"test-1.ppm", "--learned", "train.ppm", "--net", "none.net"},
         "glimview: cannot read network none.net: it is missing; teach one with glimlearn\n"},
        {{"test-1.ppm", "--learned", "train.ppm", "--labels", "none.txt"},
         "glimview: cannot open labels none.txt: No such file or directory\n"},
        {{"test-1.ppm", "--learned", "train.ppm", "-o", "train.ppm"},
         "glimview: cannot write train.ppm: it is the input file train.ppm; nothing written\n"},
        {{"test-1.ppm"},
         "glimview: cannot run report: give the training pictures with --learned; see "
         "glimview --help\n"},
        {{"test-1.ppm", "--learned", "train.ppm", "--limit", "-1"},
         "glimview: cannot run report: --limit takes a number of bits from 0 to 256; see glimview "
         "--help\n"},
        {{"test-1.ppm", "test-2.ppm", "--learned", "train.ppm"},
         "glimview: cannot run report: give one picture; more go with --learned; see glimview "
         "--help\n"},
    };
    for (const auto &c : cases) {
        std::map<std::string, std::string> before = dir.files();
        run_result run = report(c.args);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, c.message);
        EXPECT_TRUE(dir.files() == before) << c.message;
    }
}

} // namespace
