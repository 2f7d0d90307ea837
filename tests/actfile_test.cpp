// The activation file: both layouts, the reader's leniency and its failures.
#include <gtest/gtest.h>

#include <climits>
#include <sys/stat.h>

#include "actfile.h"
#include "run_program.h"

namespace {

std::vector<int> bar_pattern() {
    std::vector<int> act(NETSIZE);
    for (int u = 0; u < NETSIZE; u++)
        act[u] = u % 16 < (u / 16 * 5) % 17 ? 1 : 0;
    return act;
}

std::string values(const std::vector<int> &act, int from, int to) {
    std::string out;
    for (int u = from; u < to; u++)
        out += std::to_string(act[u]) + ", ";
    return out;
}

class ActFile : public testing::Test {
  protected:
    // The layout is process-wide: each test starts from the programs' default,
    // whatever the tests before it chose.
    void SetUp() override { act_file_layout = ACT_LAYOUT_ROWS; }

    std::string path(const std::string &name) const { return dir.path() + "/" + name; }

    std::string save_text(const std::vector<int> &act, act_layout layout) {
        act_file_layout = layout;
        EXPECT_EQ(act_save(act.data(), path("a.act").c_str()), 0);
        return dir.read("a.act");
    }

    // Loads text as an activation file into act; returns what act_load printed.
    std::string load_text(const std::string &text, std::vector<int> &act, load_result expected) {
        dir.write("in.act", text);
        testing::internal::CaptureStdout();
        EXPECT_EQ(act_load(act.data(), path("in.act").c_str()), expected);
        return testing::internal::GetCapturedStdout();
    }

    scratch_dir dir;
};

TEST_F(ActFile, CharacterLayoutBreaksAfterSeventyCharacters) {
    std::vector<int> act = bar_pattern();
    std::string expected = "int act[256] = {\n";
    for (int line = 0; line < 10; line++)
        expected += "  " + values(act, line * 24, line * 24 + 24) + "\n";
    expected += "  " + values(act, 240, 256) + "\n}\n";
    EXPECT_EQ(save_text(act, ACT_LAYOUT_CHARACTERS), expected);

    // Wider values: "100, " is 5 characters, so the 15th value of a line breaks it.
    std::vector<int> wide(NETSIZE, 100);
    expected = "int act[256] = {\n";
    for (int line = 0; line < 17; line++)
        expected += "  " + values(wide, 0, 15) + "\n";
    expected += "  100, \n}\n";
    EXPECT_EQ(save_text(wide, ACT_LAYOUT_CHARACTERS), expected);
}

TEST_F(ActFile, RowLayoutWritesOneLinePerRow) {
    std::vector<int> act = bar_pattern();
    act[17] = -12; // values are written as they stand
    std::string expected = "int act[256] = {\n";
    for (int row = 0; row < 16; row++)
        expected += "  " + values(act, row * 16, row * 16 + 16) + "\n";
    expected += "  \n}\n";
    EXPECT_EQ(save_text(act, ACT_LAYOUT_ROWS), expected);
}

TEST_F(ActFile, BothLayoutsReadBack) {
    std::vector<int> act = bar_pattern();
    act[3] = 42;
    act[255] = -1;
    for (act_layout layout : {ACT_LAYOUT_ROWS, ACT_LAYOUT_CHARACTERS}) {
        std::string text = save_text(act, layout);
        std::vector<int> back(NETSIZE, 9);
        EXPECT_EQ(load_text(text, back, LOAD_OK), "");
        EXPECT_EQ(back, act) << "layout " << layout;
    }
    // The longest values in every place.
    std::vector<int> longest(NETSIZE, INT_MIN);
    for (act_layout layout : {ACT_LAYOUT_ROWS, ACT_LAYOUT_CHARACTERS}) {
        std::string text = save_text(longest, layout);
        EXPECT_EQ(text.substr(0, 32), "int act[256] = {\n  -2147483648, ") << layout;
        std::vector<int> back(NETSIZE, 9);
        EXPECT_EQ(load_text(text, back, LOAD_OK), "");
        EXPECT_EQ(back, longest) << "layout " << layout;
    }
}

TEST_F(ActFile, ReaderAcceptsWhatTheFormatsAllow) {
    std::vector<int> act = bar_pattern();
    std::string row_text = save_text(act, ACT_LAYOUT_ROWS);
    std::string spaced, crlf;
    for (int u = 0; u < NETSIZE; u++)
        spaced += " " + std::to_string(act[u]) + (u % 16 == 15 ? "\n" : "");
    for (char c : row_text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    std::vector<int> odd(NETSIZE);
    std::string odd_text = "int act[256] = {\n";
    for (int u = 0; u < NETSIZE; u++) {
        odd[u] = u * 37 % 1001 - 500;
        odd_text += std::to_string(odd[u]) + ",";
    }

    struct {
        const char *what;
        std::string text;
        std::vector<int> expected;
    } cases[] = {
        {"no commas", "int act[256] = {\n" + spaced + "}\n", act},
        {"first value on the header line", "int act[256] = {" + values(act, 0, 256) + "}", act},
        {"CR LF line ends", crlf, act},
        {"blanks optional in the header", "intact[ 256]={\t" + values(act, 0, 256), act},
        {"values other than 0 and 1", odd_text, odd},
        {"more values and trailing text",
         row_text.substr(0, row_text.size() - 2) + "7, 8, 9\n}\nint act[256] = { junk", act},
    };
    for (const auto &c : cases) {
        std::vector<int> back(NETSIZE, 9);
        EXPECT_EQ(load_text(c.text, back, LOAD_OK), "") << c.what;
        EXPECT_EQ(back, c.expected) << c.what;
    }
}

TEST_F(ActFile, FailuresNameThePlaceAndKeepWhatWasRead) {
    std::vector<int> act = bar_pattern();
    std::string text = save_text(act, ACT_LAYOUT_ROWS);
    std::string name = path("in.act");
    std::string header = "int act[256] = {\n  ";
    struct {
        const char *what;
        std::string text;
        std::string place; // after "<name>/ac."
        int loaded;        // units 0..loaded-1 take the file's values
    } cases[] = {
        {"empty file", "", "-", 0},
        {"leading blank", " " + text, "-", 0},
        {"leading empty line", "\n" + text, "-", 0},
        {"count other than 256", "int act[255] = {\n  " + values(act, 0, 255), "-", 0},
        {"255 values", header + values(act, 0, 255) + "\n}\n", "255", 255},
        {"header differs after the count", "int act[256] : {\n  " + values(act, 0, 256), "0", 0},
        {"letter among the values", header + values(act, 0, 10) + "x, " + values(act, 11, 256),
         "10", 10},
    };
    for (const auto &c : cases) {
        std::vector<int> back(NETSIZE, 7);
        EXPECT_EQ(load_text(c.text, back, LOAD_FAILED),
                  "  File format error in " + name + "/ac." + c.place + ", breaking.\n")
            << c.what;
        for (int u = 0; u < NETSIZE; u++)
            ASSERT_EQ(back[u], u < c.loaded ? act[u] : 7) << c.what << " unit " << u;
    }

    std::vector<int> back(NETSIZE, 7);
    testing::internal::CaptureStdout();
    EXPECT_EQ(act_load(back.data(), path("absent.act").c_str()), LOAD_MISSING);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "  File not found error in " + path("absent.act") + "/ac.-, breaking.\n");
    EXPECT_EQ(back, std::vector<int>(NETSIZE, 7));
}

TEST_F(ActFile, FailedSaveNamesTheFileAndLeavesNothing) {
    std::vector<int> act = bar_pattern();
    dir.write("old.act", "old");
    ASSERT_EQ(mkdir(path("old.act.d").c_str(), 0755), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(act_save(act.data(), path("nowhere/a.act").c_str()), -1);
    // A directory in the way of the target.
    EXPECT_EQ(act_save(act.data(), path("old.act.d").c_str()), -1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("nowhere/a.act: No such file or directory"), std::string::npos) << err;
    EXPECT_NE(err.find("old.act.d: Is a directory"), std::string::npos) << err;
    EXPECT_EQ(dir.files(), (std::map<std::string, std::string>{{"old.act", "old"}}));

    EXPECT_EQ(act_save(act.data(), path("old.act").c_str()), 0);
    EXPECT_EQ(dir.read("old.act").substr(0, 17), "int act[256] = {\n");
    EXPECT_EQ(dir.files().size(), 1u);
}

TEST(ActPrint, PrintsTheTitleAndSixteenRows) {
    std::vector<int> act(NETSIZE, 0);
    for (int u = 0; u < 16; u++)
        act[u * 16 + u] = 1; // the diagonal
    testing::internal::CaptureStdout();
    act_print(act.data(), "Activation before");
    std::string expected = "Activation before";
    for (int row = 0; row < 16; row++) {
        expected += "\n";
        for (int col = 0; col < 16; col++)
            expected += col == row ? "1 " : "0 ";
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), expected + "\n");
}

// Values other than 0 and 1, as a file may hold them, print as "%d" prints
// them, the longest in every place too.
TEST(ActPrint, PrintsAnyValueAsPrintfDoes) {
    for (bool longest : {false, true}) {
        std::vector<int> act(NETSIZE);
        for (int u = 0; u < NETSIZE; u++)
            act[u] = longest ? INT_MIN : (u % 5 == 0 ? INT_MAX : u % 3 == 0 ? -u : u % 4);
        testing::internal::CaptureStdout();
        act_print(act.data(), "T");
        std::string expected = "T";
        for (int u = 0; u < NETSIZE; u++) {
            if (u % 16 == 0) expected += "\n";
            expected += std::to_string(act[u]) + " ";
        }
        EXPECT_EQ(testing::internal::GetCapturedStdout(), expected + "\n") << longest;
    }
}

} // namespace
