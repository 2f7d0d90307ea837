// glimsee end to end: from a picture and a network to recognised patterns.
#include <gtest/gtest.h>

#include "actfile.h"
#include "pict2.h"
#include "pictures.h"
#include "run_program.h"

namespace {

const char USAGE[] = "Usage: glimsee <picture_file> <network_file> <ca_file_name>\n"
                     "  loads the picture (PPM P6), separates&filters through net\n"
                     "  and saves output to ca-1.act, ca-2.act,...\n"
                     "\n";

const std::string ONE_OBJECT = ppm_picture(80, 60, blue_rectangles({{5, 5, 15, 12}}));
const std::string TWO_OBJECTS =
    ppm_picture(80, 60, blue_rectangles({{5, 5, 15, 12}, {40, 8, 60, 20}}));

std::string grid(const char *title, const std::vector<int> &act) {
    std::string out = title;
    for (int u = 0; u < NETSIZE; u++)
        out += (u % 16 == 0 ? "\n" : "") + std::to_string(act[u]) + " ";
    return out + "\n";
}

std::vector<int> encoding(const scratch_dir &dir, int x, int y, int w, int h) {
    std::vector<int> act(NETSIZE);
    encode_object((dir.path() + "/pic.ppm").c_str(), x, y, w, h, act.data());
    return act;
}

// A result file in the row layout: one line per pattern row.
std::string row_layout(const std::vector<int> &act) {
    std::string text = "int act[256] = {\n  ";
    for (int u = 0; u < NETSIZE; u++)
        text += std::to_string(act[u]) + ", " + (u % 16 == 15 ? "\n  " : "");
    return text + "\n}\n";
}

TEST(Glimsee, TaughtEncodingsAreStableAndNamesComeFromTheArguments) {
    scratch_dir dir;
    dir.write("pic.ppm", TWO_OBJECTS);
    ASSERT_EQ(run_in(dir, GLIMCUT_PATH, {"pic.ppm"}).status, 0);
    ASSERT_EQ(run_in(dir, GLIMLEARN_PATH, {"2", "20"}).status, 0);
    ASSERT_EQ(rename((dir.path() + "/glimnet.net").c_str(), (dir.path() + "/taught.net").c_str()),
              0);

    std::vector<int> first = encoding(dir, 4, 4, 13, 9), second = encoding(dir, 39, 7, 23, 14);
    run_result r = run_in(dir, GLIMSEE_PATH, {"pic.ppm", "taught.net", "res%d.txt", "extra"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "Initializing network...\nLoading network taught.net...\n"
              "Separating picture...\nNumber of objects: 2\nProcessing Object Nr. 0\n"
              " Object coordinates: 4,4-13x9\n" +
                  grid("Activation before", first) + " Iterating network... (max. 500 steps)\n" +
                  grid("Activation after", first) +
                  " Saving calculated activation to res0.txt...\n\n"
                  "Processing Object Nr. 1\n Object coordinates: 39,7-23x14\n" +
                  grid("Activation before", second) + " Iterating network... (max. 500 steps)\n" +
                  grid("Activation after", second) +
                  " Saving calculated activation to res1.txt...\n\nProgramm beendet.\n");
    EXPECT_EQ(dir.read("res0.txt"), row_layout(first));
    EXPECT_EQ(dir.read("res1.txt"), row_layout(second));

    // Two arguments: the network from the second, results with the usual mask.
    r = run_in(dir, GLIMSEE_PATH, {"pic.ppm", "taught.net"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(dir.read("ca-0.act"), row_layout(first));
    EXPECT_EQ(dir.read("ca-1.act"), row_layout(second));
    EXPECT_FALSE(dir.exists("glimnet.net"));
}

TEST(Glimsee, UsageHelpAndVersionBuildNoNetwork) {
    scratch_dir dir;
    run_result r = run_in(dir, GLIMSEE_PATH);
    EXPECT_EQ(r.out, USAGE);
    EXPECT_NE(r.status, 0);
    for (const char *help : {"-h", "--help"}) {
        r = run_in(dir, GLIMSEE_PATH, {help});
        EXPECT_EQ(r.out.rfind(USAGE, 0), 0u) << r.out; // then the arguments' defaults
        EXPECT_EQ(r.status, 0);
    }
    r = run_in(dir, GLIMSEE_PATH, {"--version", "x"});
    EXPECT_EQ(r.out, "glimsee " GLIM_VERSION "\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(dir.files().empty());
}

TEST(Glimsee, FailuresGoOnAsFarAsTheyCanAndEndNonZero) {
    scratch_dir dir;
    dir.write("pic.ppm", ONE_OBJECT);
    ASSERT_EQ(run_in(dir, GLIMTEST_PATH).status, 0);
    run_result r = run_in(dir, GLIMSEE_PATH, {"missing.ppm", "glimtest.net"});
    EXPECT_EQ(r.out, "Initializing network...\nLoading network glimtest.net...\n"
                     "Separating picture...\nNumber of objects: 0\nProgramm beendet.\n");
    EXPECT_EQ(r.err, "Cannot open input file missing.ppm.\n");
    EXPECT_EQ(r.status, 1);

    for (const char *mask : {"%x.act", "same.act", "%d%%%d"}) {
        r = run_in(dir, GLIMSEE_PATH, {"pic.ppm", "glimtest.net", mask});
        EXPECT_EQ(r.out, "") << mask;
        EXPECT_EQ(r.status, 1) << mask;
    }
    EXPECT_EQ(dir.files().size(), 2u);
}

} // namespace
