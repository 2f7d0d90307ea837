// glimview capacity --rule: the two rules on the drawn shapes that only the
// margin rule stores, and the option's refusals.
#include <gtest/gtest.h>

#include "run_program.h"

namespace {

// The row of n = 6 in a capacity table.
std::string last_row(const std::string &out) {
    size_t at = out.find("\n    6  ");
    return at == std::string::npos ? "" : out.substr(at + 1, out.find('\n', at + 1) - at - 1);
}

TEST(GlimviewCapacityRule, OnlyTheMarginRuleHoldsTheDrawnShapes) {
    scratch_dir dir;
    dir.write("shapes.ppm", read_file(std::string(SAMPLES_DIR) + "/shapes.ppm"));
    ASSERT_EQ(run_in(dir, GLIMCUT_PATH, {"shapes.ppm"}).status, 0);
    std::vector<std::string> patterns;
    for (int i = 0; i < 6; i++)
        patterns.push_back("se-" + std::to_string(i) + ".act");

    std::vector<std::string> args = {"capacity", "-o", "classic.png"};
    args.insert(args.end(), patterns.begin(), patterns.end());
    run_result classic = run_in(dir, GLIMVIEW_PATH, args);
    EXPECT_EQ(classic.status, 0);
    EXPECT_EQ(last_row(classic.out), "    6       0        0.00         0");

    args = {"capacity", "--rule", "margin", "-o", "margin.png"};
    args.insert(args.end(), patterns.begin(), patterns.end());
    run_result margin = run_in(dir, GLIMVIEW_PATH, args);
    EXPECT_EQ(margin.status, 0);
    EXPECT_EQ(margin.out.rfind("Learning rule: margin", 0), 0u) << margin.out;
    EXPECT_EQ(last_row(margin.out), "    6       6        6.00         0");
    EXPECT_NE(dir.read("margin.png"), dir.read("classic.png"));

    // --rule classic is the default, byte for byte.
    args = {"capacity", "--rule", "classic", "-o", "classic-named.png"};
    args.insert(args.end(), patterns.begin(), patterns.end());
    run_result named = run_in(dir, GLIMVIEW_PATH, args);
    EXPECT_EQ(named.out, classic.out);
    EXPECT_EQ(dir.read("classic-named.png"), dir.read("classic.png"));
}

TEST(GlimviewCapacityRule, RefusesUnknownRulesAndOtherCommands) {
    scratch_dir dir;
    dir.write("se-0.act", std::string(256, '0'));
    auto before = dir.files();
    struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"capacity", "--rule", "fast", "se-0.act"},
         "glimview: cannot run capacity: --rule needs a learning rule, classic or margin; see "
         "glimview --help\n"},
        {{"capacity", "se-0.act", "--rule"},
         "glimview: cannot run capacity: --rule needs a learning rule, classic or margin; see "
         "glimview --help\n"},
        {{"robustness", "--rule", "margin", "se-0.act"},
         "glimview: cannot run robustness: only capacity takes --rule; see glimview --help\n"},
    };
    for (const auto &c : cases) {
        run_result r = run_in(dir, GLIMVIEW_PATH, c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(dir.files(), before);
    }
}

} // namespace
