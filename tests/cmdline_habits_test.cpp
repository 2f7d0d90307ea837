// The command-line habits every program shares, end to end: unknown options,
// "--", numbers that begin with a dash, and the defaults in the help text.
#include <gtest/gtest.h>

#include <sstream>

#include "run_program.h"

namespace {

std::string recorded(const std::string &name) {
    return read_file(std::string(TEST_DATA_DIR) + "/samples/" + name);
}

std::string sample(const std::string &name) {
    return read_file(std::string(SAMPLES_DIR) + "/" + name);
}

TEST(CommandLineHabits, UnknownOptionIsRefusedBeforeAnythingIsTouched) {
    struct {
        const char *program;
        const char *name;
        std::vector<std::string> args;
        const char *option;
    } cases[] = {
        {GLIMCUT_PATH, "glimcut", {"--bogus"}, "--bogus"},
        {GLIMCUT_PATH, "glimcut", {"train.ppm", "-x"}, "-x"},
        {GLIMSEE_PATH, "glimsee", {"-x"}, "-x"},
        {GLIMSEE_PATH, "glimsee", {"train.ppm", "--net", "glimnet.net"}, "--net"},
        {GLIMLEARN_PATH, "glimlearn", {"-v"}, "-v"},
        {GLIMLEARN_PATH, "glimlearn", {"1", "50", "-se-%d.act"}, "-se-%d.act"},
        {GLIMTEST_PATH, "glimtest", {"-x"}, "-x"},
        {GLIMVIEW_PATH, "glimview", {"-x", "scene", "train.ppm"}, "-x"},
        {GLIMVIEW_PATH, "glimview", {"scene", "-q", "train.ppm"}, "-q"},
        {GLIMVIEW_PATH, "glimview", {"report", "train.ppm", "--learn", "train.ppm"}, "--learn"},
        {GLIMPREP_PATH, "glimprep", {"--bogus", "train.ppm"}, "--bogus"},
        {GLIMPREP_PATH, "glimprep", {"train.ppm", "--fill", "--bogus=3"}, "--bogus=3"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + c.option);
        scratch_dir dir;
        dir.write("train.ppm", sample("train.ppm"));
        dir.write("glimnet.net", "kept");
        dir.write("se-0.act", "kept too");
        auto before = dir.files();
        run_result r = run_in(dir, c.program, c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, std::string(c.name) + ": unknown option '" + c.option + "'\n" + "Try '" +
                             c.name + " --help' for more information.\n");
        EXPECT_EQ(dir.files(), before);
    }
}

TEST(CommandLineHabits, DoubleDashOrDotSlashNamesAFileThatBeginsWithADash) {
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"--", "-x.ppm"}, {"./-x.ppm"}}) {
        SCOPED_TRACE(args.back());
        scratch_dir dir;
        dir.write("-x.ppm", sample("train.ppm"));
        run_result r = run_in(dir, GLIMCUT_PATH, args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out, recorded("glimcut-train.out"));
        EXPECT_EQ(dir.read("se-0.act"), recorded("se-0.act"));
    }
    // A mask after "--" may begin with a dash too.
    scratch_dir dir;
    dir.write("train.ppm", sample("train.ppm"));
    run_result r = run_in(dir, GLIMCUT_PATH, {"train.ppm", "--", "-%d.act"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(dir.read("-5.act"), recorded("se-5.act"));
}

TEST(CommandLineHabits, NegativeNumbersStayNumbersWhereNumbersAreTaken) {
    scratch_dir dir;
    dir.write("se-0.act", recorded("se-0.act"));
    // No files: nothing to teach and no recall test, but the network is written.
    run_result r = run_in(dir, GLIMLEARN_PATH, {"-3"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("No patterns, no recall test.\n"), std::string::npos) << r.out;
    EXPECT_TRUE(dir.exists("glimnet.net"));
    // No cycles: one file read, nothing taught.
    r = run_in(dir, GLIMLEARN_PATH, {"1", "-3"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("Learning cycle"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Activation after"), std::string::npos) << r.out;
}

TEST(CommandLineHabits, HelpGivesEachArgumentWithItsDefaultAndWhereTheManualIs) {
    struct {
        const char *program;
        const char *name;
        std::vector<std::string> lines; // the beginnings of lines the help must hold
    } cases[] = {
        {GLIMCUT_PATH, "glimcut", {"  picture_file ", "  out_file_mask "}},
        {GLIMSEE_PATH, "glimsee", {"  picture_file ", "  network_file ", "  ca_file_name "}},
        {GLIMLEARN_PATH, "glimlearn", {"  nr_of_files ", "  nr_of_cycles ", "  pat_file_mask "}},
        {GLIMTEST_PATH, "glimtest", {}},
        {GLIMVIEW_PATH, "glimview", {"  -o FILE "}},
    };
    const char *defaults[] = {"default se-%d.act", "default glimnet.net", "default ca-%d.act",
                              "default 50"};
    std::string all;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        scratch_dir dir;
        run_result r = run_in(dir, c.program, {"--help"});
        EXPECT_EQ(r.status, 0);
        all += r.out;
        std::istringstream text(r.out);
        std::vector<std::string> found;
        for (std::string line; std::getline(text, line);) {
            EXPECT_LE(line.size(), 79u) << line;
            found.push_back(line);
        }
        for (const std::string &start : c.lines)
            EXPECT_TRUE(std::any_of(found.begin(), found.end(), [&](const std::string &l) {
                return l.rfind(start, 0) == 0;
            })) << start;
        EXPECT_EQ(found.back(),
                  std::string("Full manual: man ") + c.name + "; file formats: man 5 glim");
        EXPECT_TRUE(dir.files().empty());
    }
    for (const char *text : defaults)
        EXPECT_NE(all.find(text), std::string::npos) << text;
}

} // namespace
