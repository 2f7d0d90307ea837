// glimlearn --rule: the choice of the learning rule on the command line, the
// margin rule's run end to end, and the classic rule's bytes under the option.
#include <gtest/gtest.h>

#include <random>

#include "actfile.h"
#include "run_program.h"

namespace {

using pattern = std::vector<int>;

// Seeded patterns with about half their units on.
std::vector<pattern> random_patterns(int count, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<pattern> patterns(count, pattern(NETSIZE));
    for (pattern &p : patterns)
        for (int &unit : p)
            unit = (int)(rng() % 2);
    return patterns;
}

void write_patterns(const scratch_dir &dir, const std::vector<pattern> &patterns) {
    act_file_layout = ACT_LAYOUT_CHARACTERS;
    for (size_t i = 0; i < patterns.size(); i++)
        ASSERT_EQ(act_save(patterns[i].data(),
                           (dir.path() + "/se-" + std::to_string(i) + ".act").c_str()),
                  0);
}

std::string recorded(const std::string &name) {
    return read_file(std::string(TEST_DATA_DIR) + "/glimlearn/" + name);
}

TEST(GlimlearnRule, BadRulesAreRefusedBeforeAnythingIsRead) {
    scratch_dir dir;
    write_patterns(dir, random_patterns(2, 1));
    dir.write("glimnet.net", "kept");
    auto before = dir.files();
    struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"2", "--rule", "X"}, "glimlearn: unknown learning rule 'X' (classic or margin)\n"},
        {{"--rule=Margin", "2"}, "glimlearn: unknown learning rule 'Margin' (classic or margin)\n"},
        {{"2", "5", "--rule"},
         "glimlearn: learning rule missing after --rule (classic or margin)\n"},
        {{"--rule=", "2"}, "glimlearn: learning rule missing after --rule (classic or margin)\n"},
        {{"--rule", "margin", "2", "--rule=classic"},
         "glimlearn: two learning rules, 'margin' and 'classic' (give --rule once)\n"},
    };
    for (const auto &c : cases) {
        run_result r = run_in(dir, GLIMLEARN_PATH, c.args);
        EXPECT_EQ(r.status, 2) << c.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(dir.files(), before) << c.err;
    }
    // After "--" it is an argument, not an option: the mask "--rule".
    scratch_dir fresh;
    run_result r = run_in(fresh, GLIMLEARN_PATH, {"--", "1", "1", "--rule"});
    EXPECT_NE(r.err.find("pattern file --rule is missing"), std::string::npos) << r.err;
}

TEST(GlimlearnRule, ClassicByNameKeepsEveryByte) {
    scratch_dir plain, named;
    std::vector<pattern> patterns = random_patterns(3, 2);
    write_patterns(plain, patterns);
    write_patterns(named, patterns);
    run_result expected = run_in(plain, GLIMLEARN_PATH, {"3", "4"});
    run_result r = run_in(named, GLIMLEARN_PATH, {"3", "--rule", "classic", "4", "--rule=classic"});
    EXPECT_EQ(r.status, expected.status);
    EXPECT_EQ(r.out, expected.out);
    EXPECT_EQ(r.err, expected.err);
    EXPECT_EQ(named.files(), plain.files());
}

// A recorded run to the early stop, then a second run on its network: nothing
// left to move, the same network written back. Then the classic rule goes on
// from it, and the margin rule from what the classic rule left.
TEST(GlimlearnRule, MarginRunStopsEarlyAndRunsOnAnyNetwork) {
    scratch_dir dir;
    write_patterns(dir, random_patterns(4, 3));
    run_result r = run_in(dir, GLIMLEARN_PATH, {"--rule", "margin", "4", "100"});
    EXPECT_EQ(r.out, recorded("margin-four.out"));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    std::string taught = dir.read("glimnet.net");
    EXPECT_EQ(taught.size(), 564660u);
    EXPECT_EQ(fnv1a_64(taught), 0x8bedff79de53b55eu);

    r = run_in(dir, GLIMLEARN_PATH, {"4", "100", "--rule", "margin"});
    EXPECT_NE(
        r.out.find("Learning cycle 0 -     4, 0 units moved\nLearned every pattern in 1 cycle\n"),
        std::string::npos)
        << r.out;
    EXPECT_EQ(dir.read("glimnet.net"), taught);

    // The classic rule finds nothing misclassified in that network.
    r = run_in(dir, GLIMLEARN_PATH, {"4", "3"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.find("Learned"), std::string::npos);
    EXPECT_EQ(dir.read("glimnet.net"), taught);

    scratch_dir other;
    write_patterns(other, random_patterns(4, 3));
    r = run_in(other, GLIMLEARN_PATH, {"4", "1"});
    EXPECT_EQ(r.status, 0);
    r = run_in(other, GLIMLEARN_PATH, {"--rule", "margin", "4", "100"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\nLearned every pattern in "), std::string::npos) << r.out;
}

TEST(GlimlearnRule, HelpNamesTheOptionAndItsDefault) {
    scratch_dir dir;
    run_result r = run_in(dir, GLIMLEARN_PATH, {"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("  --rule NAME    the learning rule: classic"), std::string::npos);
    EXPECT_NE(r.out.find("default classic\n"), std::string::npos);
}

} // namespace
