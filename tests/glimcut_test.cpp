// glimcut end to end: from a picture to one pattern file per object.
#include <gtest/gtest.h>

#include "actfile.h"
#include "pict2.h"
#include "pictures.h"
#include "run_program.h"

namespace {

const char USAGE[] = "Usage: glimcut <picture_file> <out_file_mask>\n"
                     "  loads the picture (PPM P6), separates\n"
                     "  and saves output to se-1.act, se-2.act,...\n"
                     "  does NOT filter through the network! for glimlearn.\n"
                     "\n";

// Three filled rectangles; a rectangle x0..x1, y0..y1 gives the box
// (x0 - 1, y0 - 1, x1 + 2, y1 + 1), found in the order of their top rows.
const std::string THREE_OBJECTS =
    ppm_picture(80, 60, blue_rectangles({{5, 5, 15, 12}, {40, 8, 60, 20}, {10, 35, 30, 50}}));
const char *const THREE_BOXES[] = {" Object coordinates: 4,4-13x9\n",
                                   " Object coordinates: 39,7-23x14\n",
                                   " Object coordinates: 9,34-23x17\n"};

std::string expected_run(const std::vector<std::string> &names) {
    std::string out =
        "Separating picture...\nNumber of objects: " + std::to_string(names.size()) + "\n";
    for (size_t j = 0; j < names.size(); j++)
        out += "Processing Object Nr. " + std::to_string(j) + "\n" + THREE_BOXES[j] +
               " Saving calculated activation to " + names[j] + "...\n\n";
    return out + "Programm beendet.\n";
}

// The pattern file of a box as the encoder and the character layout make it.
std::string pattern_file(const scratch_dir &dir, int x, int y, int w, int h) {
    int act[NETSIZE];
    encode_object((dir.path() + "/pic.ppm").c_str(), x, y, w, h, act);
    act_file_layout = ACT_LAYOUT_CHARACTERS;
    scratch_dir out;
    act_save(act, (out.path() + "/p.act").c_str());
    return out.read("p.act");
}

TEST(Glimcut, WritesOnePatternFilePerObjectNumberedFromZero) {
    scratch_dir dir;
    dir.write("pic.ppm", THREE_OBJECTS);
    run_result r = run_in(dir, GLIMCUT_PATH, {"pic.ppm"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, expected_run({"se-0.act", "se-1.act", "se-2.act"}));
    EXPECT_EQ(dir.files().size(), 4u);
    EXPECT_EQ(dir.read("se-0.act"), pattern_file(dir, 4, 4, 13, 9));
    EXPECT_EQ(dir.read("se-1.act"), pattern_file(dir, 39, 7, 23, 14));
    EXPECT_EQ(dir.read("se-2.act"), pattern_file(dir, 9, 34, 23, 17));
}

TEST(Glimcut, TakesTheMaskFromTheSecondArgument) {
    scratch_dir dir;
    dir.write("pic.ppm", ppm_picture(80, 60, blue_rectangles({{5, 5, 15, 12}, {40, 8, 60, 20}})));
    run_result r = run_in(dir, GLIMCUT_PATH, {"pic.ppm", "pat%d.txt", "ignored"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expected_run({"pat0.txt", "pat1.txt"}));
    EXPECT_EQ(dir.files().size(), 3u);
    EXPECT_TRUE(dir.exists("pat0.txt") && dir.exists("pat1.txt"));
}

TEST(Glimcut, UsageHelpAndVersionTouchNoFile) {
    scratch_dir dir;
    run_result r = run_in(dir, GLIMCUT_PATH);
    EXPECT_EQ(r.out, USAGE);
    EXPECT_NE(r.status, 0);
    for (const char *help : {"-h", "--help"}) {
        r = run_in(dir, GLIMCUT_PATH, {help, "pic.ppm"});
        EXPECT_EQ(r.out.rfind(USAGE, 0), 0u) << r.out; // then the arguments' defaults
        EXPECT_EQ(r.status, 0);
    }
    r = run_in(dir, GLIMCUT_PATH, {"--version"});
    EXPECT_EQ(r.out, "glimcut " GLIM_VERSION "\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(dir.files().empty());
}

TEST(Glimcut, PictureThatCannotBeReadGivesNoObjectsAndFails) {
    scratch_dir dir;
    dir.write("p3.ppm", "P3\n80 60\n255\n0 0 0\n");
    run_result r = run_in(dir, GLIMCUT_PATH, {"missing.ppm"});
    EXPECT_EQ(r.out, "Separating picture...\nNumber of objects: 0\nProgramm beendet.\n");
    EXPECT_EQ(r.err, "Cannot open input file missing.ppm.\n");
    EXPECT_EQ(r.status, 1);
    r = run_in(dir, GLIMCUT_PATH, {"p3.ppm"});
    EXPECT_EQ(r.out, "Separating picture...\nFormat P3 nicht unterstuetzt!\nNumber of objects: 0\n"
                     "Programm beendet.\n");
    EXPECT_EQ(r.status, 1);
    // A photo gets a pointer to glimprep beside the same console output.
    dir.write("photo.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    dir.write("photo.jpg", "\xff\xd8\xff\xe0");
    r = run_in(dir, GLIMCUT_PATH, {"photo.png"});
    EXPECT_EQ(r.out, "Separating picture...\nFormat ?PNG nicht unterstuetzt!\nNumber of objects: "
                     "0\nProgramm beendet.\n");
    EXPECT_EQ(r.err, "glimcut: photo.png is a PNG picture, not PPM; glimprep makes an 80 x 60 PPM "
                     "of it\n");
    r = run_in(dir, GLIMCUT_PATH, {"photo.jpg"});
    EXPECT_EQ(r.err, "glimcut: photo.jpg is a JPEG picture, not PPM; glimprep makes an 80 x 60 PPM "
                     "of it\n");
    EXPECT_EQ(dir.files().size(), 3u);
}

TEST(Glimcut, PictureOfAnotherSizeStopsAtItsFirstObject) {
    scratch_dir dir;
    dir.write("small.ppm", ppm_picture(40, 30, blue_rectangles({{5, 5, 15, 12}})));
    run_result r = run_in(dir, GLIMCUT_PATH, {"small.ppm"});
    EXPECT_EQ(r.out, "Separating picture...\nNumber of objects: 1\nProcessing Object Nr. 0\n"
                     "Error occured during loading image file -> exit");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(dir.files().size(), 1u);
}

TEST(Glimcut, RefusesMasksAndArgumentsThatCouldLoseOrOverrunFiles) {
    scratch_dir dir;
    dir.write("pic.ppm", THREE_OBJECTS);
    const std::vector<std::vector<std::string>> refused = {
        {"pic.ppm", "%s.act"},    {"pic.ppm", "fixed.act"}, // every object would overwrite the last
        {"pic.ppm", "%d-%d.act"}, {"pic.ppm", std::string(250, 'x') + "%d.act"},
        {std::string(256, 'p')},
    };
    for (const auto &args : refused) {
        run_result r = run_in(dir, GLIMCUT_PATH, args);
        EXPECT_EQ(r.status, 1) << args.back();
        EXPECT_EQ(r.out, "") << args.back();
        EXPECT_NE(r.err, "") << args.back();
    }
    EXPECT_EQ(dir.files().size(), 1u);
}

TEST(Glimcut, PatternFileThatCannotBeWrittenIsReported) {
    scratch_dir dir;
    dir.write("pic.ppm", THREE_OBJECTS);
    run_result r = run_in(dir, GLIMCUT_PATH, {"pic.ppm", "none/se-%d.act"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, expected_run({"none/se-0.act", "none/se-1.act", "none/se-2.act"}));
    EXPECT_EQ(r.err, "glimcut: cannot write none/se-0.act: No such file or directory\n"
                     "glimcut: cannot write none/se-1.act: No such file or directory\n"
                     "glimcut: cannot write none/se-2.act: No such file or directory\n");
}

} // namespace
