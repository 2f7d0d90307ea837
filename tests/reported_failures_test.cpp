// Failures that must be reported: console output that is lost, pictures that
// would hang or mislead, raw bytes bound for the terminal, files that cannot
// be opened, and numbers too large for the programs. Each case checks the
// exit status, the message and that the user's files stay as they were.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "pictures.h"
#include "run_program.h"

namespace {

const std::string ONE_OBJECT = ppm_picture(80, 60, blue_rectangles({{5, 5, 15, 12}}));

// A folder with the one-object picture, its pattern file and a network.
void trained_folder(const scratch_dir &dir) {
    trained_folder(dir, ONE_OBJECT);
}

TEST(ReportedFailures, ConsoleOutputThatIsLostFailsEveryProgram) {
    scratch_dir dir;
    trained_folder(dir);
    ASSERT_EQ(run_in(dir, GLIMTEST_PATH).status, 0);
    ASSERT_EQ(run_in(dir, GLIMSEE_PATH, {"pic.ppm"}).status, 0);
    const auto before = dir.files();
    struct {
        const char *program;
        std::string args;
    } cases[] = {
        {GLIMCUT_PATH, "pic.ppm"},
        {GLIMLEARN_PATH, "1 0"},
        {GLIMSEE_PATH, "pic.ppm"},
        {GLIMTEST_PATH, ""},
        {GLIMVIEW_PATH, "match ca-0.act se-0.act"},
        {GLIMPREP_PATH, "pic.ppm again.ppm"},
        {GLIMCUT_PATH, "--help"},
    };
    for (const auto &c : cases) {
        run_result r = run_shell(dir, c.program, "\"$0\" " + c.args + " >/dev/full");
        std::string name = std::string(c.program).substr(std::string(c.program).rfind('/') + 1);
        EXPECT_EQ(r.status, 1) << name << " " << c.args;
        // The reason when the last flush failed; a write that failed earlier
        // leaves only the stream's error flag.
        EXPECT_NE(r.err.find(name + ": cannot write the standard output: "), std::string::npos)
            << r.err;
    }
    // The runs wrote what they always write; only glimprep's picture is new.
    auto after = dir.files();
    after.erase("again.ppm");
    EXPECT_EQ(after, before);
}

TEST(ReportedFailures, PicturesThatWouldHangOrMisleadAreRefusedWithAReason) {
    scratch_dir dir;
    trained_folder(dir);
    ASSERT_EQ(mkfifo((dir.path() + "/fifo.ppm").c_str(), 0644), 0);
    // A file of zeros as large as a disk, read without end before; kept
    // apart, as the check of the folder's files reads them whole.
    scratch_dir apart;
    const std::string zeros = apart.path() + "/zeros.ppm";
    apart.write("zeros.ppm", "");
    ASSERT_EQ(truncate(zeros.c_str(), 1LL << 34), 0);
    dir.write("wide.ppm", "P6\n21474836470 60\n255\n");
    dir.write("small.ppm", ppm_picture(40, 30, blue_rectangles({{5, 5, 15, 12}})));
    std::string fifteen = ONE_OBJECT;
    fifteen.replace(fifteen.find("\n255\n"), 5, "\n15\n");
    dir.write("fifteen.ppm", fifteen);
    const auto before = dir.files();
    struct {
        std::vector<std::string> args;
        std::string out_end; // the last words on stdout
        std::string err;
    } cases[] = {
        {{"/dev/zero"}, "", "glimcut: cannot read picture /dev/zero: it is not a regular file\n"},
        {{"fifo.ppm"}, "", "glimcut: cannot read picture fifo.ppm: it is not a regular file\n"},
        {{"."}, "", "glimcut: cannot read picture .: it is not a regular file\n"},
        {{zeros},
         "Format ??????????????? nicht unterstuetzt!\n"
         "Number of objects: 0\nProgramm beendet.\n",
         "glimcut: " + zeros +
             " is not a PPM picture; glimprep makes an 80 x 60 PPM of a PNG, JPEG or PNM "
             "picture\n"},
        {{"wide.ppm"},
         "Number of objects: 0\nProgramm beendet.\n",
         "glimcut: cannot read picture wide.ppm: the width 21474836470 is too large\n"},
        {{"small.ppm", "s%d.act"},
         "Error occured during loading image file -> exit",
         "glimcut: cannot encode picture small.ppm: the size 40 x 30 is not 80 x 60\n"},
        {{"fifteen.ppm", "f%d.act"},
         "Error occured during loading image file -> exit",
         "glimcut: cannot encode picture fifteen.ppm: the maximum sample value 15 is not 255\n"},
    };
    for (const auto &c : cases) {
        run_result r = run_in(dir, GLIMCUT_PATH, c.args);
        EXPECT_EQ(r.status, 1) << c.args[0];
        EXPECT_EQ(r.err, c.err);
        EXPECT_GE(r.out.size(), c.out_end.size());
        EXPECT_EQ(r.out.substr(r.out.size() - std::min(r.out.size(), c.out_end.size())), c.out_end);
        EXPECT_EQ(dir.files(), before) << c.args[0];
    }
    // glimsee refuses the FIFO before it builds a network.
    run_result r = run_in(dir, GLIMSEE_PATH, {"fifo.ppm"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "glimsee: cannot read picture fifo.ppm: it is not a regular file\n");
}

// A magic of terminal control sequences shows them as '?'; a printable one as it is.
TEST(ReportedFailures, UnprintableBytesNeverReachTheTerminal) {
    scratch_dir dir;
    dir.write("title.ppm", "\x1b]0;owned\x07\x1b[2J\n80 60\n255\n");
    dir.write("p3.ppm", "P3\n80 60\n255\n");
    run_result r = run_in(dir, GLIMCUT_PATH, {"title.ppm"});
    EXPECT_EQ(r.out, "Separating picture...\nFormat ?]0;owned??[2J nicht unterstuetzt!\n"
                     "Number of objects: 0\nProgramm beendet.\n");
    r = run_in(dir, GLIMCUT_PATH, {"p3.ppm"});
    EXPECT_NE(r.out.find("\nFormat P3 nicht unterstuetzt!\n"), std::string::npos);
    EXPECT_EQ(r.status, 1);
}

// Each failed open says why, on stderr, after all that stdout holds before it.
TEST(ReportedFailures, FilesThatCannotBeOpenedAreReportedWithTheReason) {
    scratch_dir dir;
    trained_folder(dir);
    ASSERT_EQ(symlink("loop.ppm", (dir.path() + "/loop.ppm").c_str()), 0);
    ASSERT_EQ(symlink("loop.net", (dir.path() + "/loop.net").c_str()), 0);
    const auto before = dir.files();
    const std::string loop = "Too many levels of symbolic links";
    run_result r = run_in(dir, GLIMCUT_PATH, {"loop.ppm"});
    EXPECT_EQ(r.err,
              "Cannot open input file loop.ppm.\nglimcut: cannot open loop.ppm: " + loop + "\n");
    EXPECT_EQ(r.status, 1);
    r = run_in(dir, GLIMSEE_PATH, {"pic.ppm", "loop.net"});
    EXPECT_EQ(r.out, "Initializing network...\nLoading network loop.net...\n"
                     "  Couldn't open file loop.net, don't load.\n");
    EXPECT_EQ(r.err, "glimsee: cannot open loop.net: " + loop +
                         "\nglimsee: cannot recognise with network loop.net: it does not load "
                         "whole\n");
    r = run_in(dir, GLIMLEARN_PATH, {"1", "1", "loop.net"});
    EXPECT_EQ(r.err, "glimlearn: cannot open loop.net: " + loop +
                         "\nglimlearn: cannot learn: pattern file loop.net does not load whole; "
                         "nothing saved\n");
    EXPECT_EQ(dir.files(), before);

    // Both streams into one log: the message stands after the line before it.
    r = run_shell(dir, GLIMSEE_PATH, "\"$0\" missing.ppm >log 2>&1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(dir.read("log").find("Separating picture...\nCannot open input file missing.ppm.\n"
                                   "Number of objects: 0\n"),
              std::string::npos)
        << dir.read("log");

    // A missing network is glimlearn's first run: no message on stderr.
    scratch_dir first;
    first.write("se-0.act", dir.read("se-0.act"));
    r = run_in(first, GLIMLEARN_PATH, {"1", "1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");

    // An argument too long for a name is echoed cut.
    std::string long_name(5000, 'n');
    r = run_in(dir, GLIMCUT_PATH, {long_name});
    EXPECT_EQ(r.err, "glimcut: cannot use the picture file " + long_name.substr(0, 40) +
                         "...: it is 5000 characters long, at most 255 fit\n");
}

TEST(ReportedFailures, NumbersBeyondIntInPatternFilesAreFormatErrors) {
    scratch_dir dir;
    trained_folder(dir);
    std::string pattern = dir.read("se-0.act");
    auto with_value = [&](const std::string &value) {
        std::string text = pattern;
        size_t sixth = text.find("{\n  ") + 4;
        for (int i = 0; i < 5; i++)
            sixth = text.find(", ", sixth) + 2;
        return text.replace(sixth, 1, value);
    };
    dir.write("wrapped-count.act",
              std::string(pattern).replace(pattern.find("256"), 3, "4294967552"));
    dir.write("wrapped-value.act", with_value("2147483648"));
    dir.write("largest-value.act", with_value("2147483647"));
    const auto before = dir.files();
    struct {
        const char *file;
        std::string message; // empty when the file loads
    } cases[] = {
        {"wrapped-count.act", "  File format error in wrapped-count.act/ac.-, breaking.\n"},
        {"wrapped-value.act", "  File format error in wrapped-value.act/ac.5, breaking.\n"},
        {"largest-value.act", ""},
    };
    for (const auto &c : cases) {
        run_result r = run_in(dir, GLIMLEARN_PATH, {"1", "0", c.file});
        if (c.message.empty()) {
            EXPECT_EQ(r.status, 0) << r.out;
            continue;
        }
        EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
        EXPECT_EQ(r.err, "glimlearn: cannot learn: pattern file " + std::string(c.file) +
                             " does not load whole; nothing saved\n");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(dir.files(), before);
    }
}

} // namespace
