// Names, labels and options echoed on the console show each byte that does
// not print as '?', while the files keep their exact names; a NUL in a label
// is refused with its line.
#include <gtest/gtest.h>

#include <map>

#include "messages.h"
#include "run_program.h"

namespace {

const std::string ESCAPED = "x\033[2Jy"; // a name that would clear the screen

TEST(MessagePrintable, ShowsEachByteOfABadSequenceAsAQuestionMark) {
    struct {
        std::string text, shown;
    } cases[] = {
        {"plain name.ppm", "plain name.ppm"},
        {"K\xc3\xbc"
         "che \xe2\x82\xac \xf0\x9f\x98\x80",
         "K\xc3\xbc"
         "che \xe2\x82\xac \xf0\x9f\x98\x80"},
        {"a\tb\nc\x7f", "a?b?c?"},
        {std::string("nul\0here", 8), "nul?here"},
        {"\xc2\x9b"
         "2J",
         "??2J"}, // the C1 control CSI, written as UTF-8
        {"\x9b"
         "2J \xff \xc3",
         "?2J ? ?"},                                   // stray bytes and a cut sequence
        {"\xc0\xaf \xe0\x80\xaf", "?? ???"},           // overlong forms
        {"\xed\xa0\x80 \xf4\x90\x80\x80", "??? ????"}, // a surrogate, past U+10FFFF
    };
    for (const auto &c : cases)
        EXPECT_EQ(message_printable(c.text.data(), c.text.size()), c.shown) << c.text;
}

TEST(PrintableEcho, ProgramsShowNamesAndOptionsPrintableAndKeepTheFilesNames) {
    scratch_dir dir;
    std::string train = read_file(std::string(SAMPLES_DIR) + "/train.ppm");
    dir.write(ESCAPED + ".ppm", train);
    dir.write("K\xc3\xbc"
              "che.ppm",
              train);

    run_result run = run_in(dir, GLIMCUT_PATH,
                            {"--each", "--quiet", ESCAPED + ".ppm",
                             "K\xc3\xbc"
                             "che.ppm"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.substr(0, run.out.find('\n') + 1),
              "picture=x?[2Jy.ppm object=0 box=2,2,20,19 file=x?[2Jy-se-0.act\n");
    EXPECT_NE(run.out.find("picture=K\xc3\xbc"
                           "che.ppm object=0 box=2,2,20,19 file=K\xc3\xbc"
                           "che-se-0.act\n"),
              std::string::npos);
    EXPECT_TRUE(dir.exists(ESCAPED + "-se-0.act"));

    run = run_in(dir, GLIMCUT_PATH, {"missing\033].ppm"});
    EXPECT_EQ(run.err, "Cannot open input file missing?].ppm.\n");
    run = run_in(dir, GLIMSEE_PATH, {"--b\033ad"});
    EXPECT_EQ(run.err, "glimsee: unknown option '--b?ad'\n"
                       "Try 'glimsee --help' for more information.\n");
    run = run_in(dir, GLIMSEE_PATH,
                 {"K\xc3\xbc"
                  "che.ppm",
                  ESCAPED + ".net"});
    EXPECT_NE(run.out.find("Loading network x?[2Jy.net...\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.err.find('\033'), std::string::npos) << run.err;
}

class PrintableLabels : public ::testing::Test {
  protected:
    void SetUp() override { demo_folder(dir, {"train.ppm", "test-1.ppm"}); }
    run_result report(const std::string &labels) {
        dir.write("labels.txt", labels);
        return run_in(dir, GLIMVIEW_PATH,
                      {"report", "test-1.ppm", "--learned", "train.ppm", "--labels", "labels.txt"});
    }
    scratch_dir dir;
};

TEST_F(PrintableLabels, ALabelShowsPrintableAndANulIsRefusedWithItsLine) {
    run_result run = report("square\n\033]0;owned\007\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("verdict=recognised learned=1 label=?]0;owned?\n"), std::string::npos)
        << run.out;

    std::map<std::string, std::string> before = dir.files();
    before.erase("labels.txt");
    run = report(std::string("square\ndisc\ntri\0angle\n", 20));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "glimview: cannot read labels labels.txt: line 3 holds a NUL byte\n");
    std::map<std::string, std::string> after = dir.files();
    after.erase("labels.txt");
    EXPECT_TRUE(after == before);
}

} // namespace
