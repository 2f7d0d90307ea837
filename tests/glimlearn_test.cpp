// glimlearn end to end: console output, pattern files read and the network file written.
#include <gtest/gtest.h>

#include "actfile.h"
#include "netfile.h"
#include "run_program.h"

namespace {

const std::string USAGE = "Usage: glimlearn <nr_of_files> <nr_of_cycles> <pat_file_mask>\n"
                          "  where the network will learn the patterns which are stored in\n"
                          "  <nr_of_files> consecutive files named se-1.act, se-2.act,...\n"
                          "  and stored to file glimnet.net .\n";
const std::string NO_NETWORK = "  Couldn't open file glimnet.net, don't load.\n";

using pattern = std::vector<int>;

// Bars from column 0 in every row, as the object encoder makes them.
pattern bars(int seed) {
    pattern act(NETSIZE);
    for (int u = 0; u < NETSIZE; u++)
        act[u] = u % 16 < (u / 16 * 3 + seed * 5 + 1) % 17 ? 1 : 0;
    return act;
}

// The first columns of every row on: such patterns nest, and no threshold
// tells a unit of the narrower one apart from the wider one.
pattern columns(int count) {
    pattern act(NETSIZE);
    for (int u = 0; u < NETSIZE; u++)
        act[u] = u % 16 < count ? 1 : 0;
    return act;
}

// Writes pattern files in the character layout, as the pattern maker does.
void write_patterns(const scratch_dir &dir, const std::vector<pattern> &patterns,
                    const std::string &stem = "se-") {
    act_file_layout = ACT_LAYOUT_CHARACTERS;
    for (size_t i = 0; i < patterns.size(); i++)
        ASSERT_EQ(act_save(patterns[i].data(),
                           (dir.path() + "/" + stem + std::to_string(i) + ".act").c_str()),
                  0);
}

// Compares a run's console output with the recorded one in data/glimlearn.
void expect_recorded(const std::string &out, const std::string &name) {
    EXPECT_EQ(out, read_file(std::string(TEST_DATA_DIR) + "/glimlearn/" + name)) << name;
}

// The network file a run wrote, by its size and its FNV-1a hash.
void expect_network(const scratch_dir &dir, size_t size, uint64_t hash) {
    std::string net = dir.read("glimnet.net");
    EXPECT_EQ(net.size(), size);
    EXPECT_EQ(fnv1a_64(net), hash);
}

TEST(Glimlearn, CommandLineConventionTouchesNoFile) {
    scratch_dir dir;
    dir.write("glimnet.net", "kept");
    write_patterns(dir, {bars(0)});
    auto before = dir.files();
    struct {
        std::vector<std::string> args;
        std::string out; // help: what the output begins with
        bool success;
    } cases[] = {
        {{}, USAGE, false},
        {{"-h"}, USAGE, true},
        {{"--help", "3"}, USAGE, true},
        {{"--version"}, std::string("glimlearn ") + GLIM_VERSION + "\n", true},
    };
    for (const auto &c : cases) {
        run_result r = run_in(dir, GLIMLEARN_PATH, c.args);
        if (c.args.empty() || c.args[0] == "--version")
            EXPECT_EQ(r.out, c.out);
        else
            EXPECT_EQ(r.out.rfind(c.out, 0), 0u) << r.out;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.status == 0, c.success) << r.status;
        EXPECT_EQ(dir.files(), before);
    }
}

TEST(Glimlearn, TeachesThreeFilesForFiftyCycles) {
    scratch_dir dir;
    write_patterns(dir, {bars(0), bars(1), bars(2), bars(3)}); // se-3.act is not asked for
    auto inputs = dir.files();
    run_result r = run_in(dir, GLIMLEARN_PATH, {"3"});
    expect_recorded(r.out, "three-files.out");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    expect_network(dir, 601920u, 0xfb3f3c51c8b820c1u);
    // The patterns are only read, and nothing but the network is written.
    auto files = dir.files();
    files.erase("glimnet.net");
    EXPECT_EQ(files, inputs);
}

// Runs that must do the same as another run with other arguments or files.
TEST(Glimlearn, DefaultsAndMasksWithoutConversionActAsSpelledOut) {
    struct {
        std::vector<std::string> args, same_as;
        std::vector<pattern> files; // se-0.act, se-1.act, ... for args
        std::vector<pattern> twins; // se-0.act, se-1.act, ... for same_as
    } cases[] = {
        // Arguments that are no numbers keep the defaults: one file, 50 cycles.
        {{"abc", "abc"}, {"1", "50"}, {bars(4), bars(5)}, {bars(4), bars(5)}},
        // A mask without a conversion loads its one file into every node.
        {{"2", "2", "se-0.act"}, {"2", "2"}, {bars(11)}, {bars(11), bars(11)}},
    };
    for (const auto &c : cases) {
        scratch_dir dir, twin;
        write_patterns(dir, c.files);
        write_patterns(twin, c.twins);
        run_result r = run_in(dir, GLIMLEARN_PATH, c.args);
        run_result expected = run_in(twin, GLIMLEARN_PATH, c.same_as);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, expected.out) << c.args[0];
        EXPECT_EQ(dir.read("glimnet.net"), twin.read("glimnet.net")) << c.args[0];
    }
}

TEST(Glimlearn, SecondRunTeachesOnTopOfTheFirst) {
    scratch_dir dir;
    write_patterns(dir, {columns(3), columns(8), columns(13)}, "pat");
    run_result r = run_in(dir, GLIMLEARN_PATH, {"3", "1", "pat%d.act"});
    expect_recorded(r.out, "first-run.out");
    EXPECT_EQ(r.status, 0);
    expect_network(dir, 526977u, 0xcdf395fcd72ad6f9u);

    r = run_in(dir, GLIMLEARN_PATH, {"3", "1", "pat%d.act"});
    expect_recorded(r.out, "second-run.out");
    EXPECT_EQ(r.status, 0);
    expect_network(dir, 524845u, 0xce9671392d3fd371u);
}

// Nested patterns drive the weights far up: past 1E+34 after 50 cycles. The
// next run must read such a file whole.
TEST(Glimlearn, RunawayWeightsAreWrittenAndReadBackWhole) {
    scratch_dir dir;
    std::vector<pattern> nested;
    for (int k = 1; k <= 8; k++)
        nested.push_back(columns(k * 2));
    write_patterns(dir, nested);
    run_result r = run_in(dir, GLIMLEARN_PATH, {"8"});
    EXPECT_EQ(r.status, 0);
    expect_network(dir, 670809u, 0xf18d2bf6d9a28a76u);
    std::string taught = dir.read("glimnet.net");
    EXPECT_NE(taught.find("E+34"), std::string::npos);

    r = run_in(dir, GLIMLEARN_PATH, {"8", "0"});
    expect_recorded(r.out, "runaway-no-cycles.out");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(dir.read("glimnet.net"), taught);
}

TEST(Glimlearn, RunWithoutCyclesWritesTheLoadedNetworkBackUnchanged) {
    scratch_dir dir;
    write_patterns(dir, {bars(14)});
    // A network with values of every kind, infinities and not-a-number among them.
    testing::internal::CaptureStdout();
    net_verbose = 0;
    net_init();
    testing::internal::GetCapturedStdout();
    for (int s = 0; s < WEIGHT_SLOT_COUNT; s++)
        weight_slot_set(s, (s % 7 - 3) * 0.125 + s * 1e-9);
    weight_slot_set(5, 1.0 / 0.0);
    weight_slot_set(6, -1.0 / 0.0);
    weight_slot_set(7, 0.0 / 0.0);
    weight_slot_set(8, 3.5E+300);
    thresholds[9] = -1.0 / 0.0;
    thresholds[10] = 1.25e-310;
    ASSERT_EQ(net_save((dir.path() + "/glimnet.net").c_str()), 0);
    std::string loaded = dir.read("glimnet.net");
    ASSERT_NE(loaded.find("NAN"), std::string::npos);
    ASSERT_NE(loaded.find("-INF"), std::string::npos);

    run_result r = run_in(dir, GLIMLEARN_PATH, {"1", "0"});
    expect_recorded(r.out, "special-values-no-cycles.out");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(dir.read("glimnet.net"), loaded);
}

TEST(Glimlearn, EmptyPatternListSkipsTheRecallTestAndStillSaves) {
    scratch_dir dir;
    run_result r = run_in(dir, GLIMLEARN_PATH, {"0", "2"});
    expect_recorded(r.out, "no-patterns.out");
    EXPECT_EQ(r.status, 0);
    expect_network(dir, 171948u, 0x1f3199fd23f0abb6u);
    std::string fresh = dir.read("glimnet.net");
    // A negative count reads no file either; the network is there now.
    r = run_in(dir, GLIMLEARN_PATH, {"-4", "2"});
    std::string out = read_file(std::string(TEST_DATA_DIR) + "/glimlearn/no-patterns.out");
    EXPECT_EQ(r.out, out.erase(out.find(NO_NETWORK), NO_NETWORK.size()));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(dir.read("glimnet.net"), fresh);
}

TEST(Glimlearn, BadMasksAndArgumentsTouchNoFile) {
    scratch_dir dir;
    write_patterns(dir, {bars(12), bars(13)});
    dir.write("glimnet.net", "kept");
    auto before = dir.files();
    std::string long_stem(250, 'a');
    struct {
        std::vector<std::string> args;
        std::string complaint; // part of the message on stderr
    } cases[] = {
        {{"1", "1", "se-%s.act"}, "cannot use the mask se-%s.act: "},
        {{"1", "1", "%n"}, "cannot use the mask %n: "},
        {{"1", "1", "se-%d%s%n"}, "cannot use the mask se-%d%s%n: "},
        {{"2", "1", "se-%d-%d.act"}, "cannot use the mask se-%d-%d.act: "},
        {{"1", "1", "se-%*d.act"}, "cannot use the mask se-%*d.act: "},
        {{"1", "1", "se-%ld.act"}, "cannot use the mask se-%ld.act: "},
        {{"1", "1", "se-%d.act%"}, "cannot use the mask se-%d.act%: "},
        {{"1", "1", std::string(256, 'm')}, "cannot use the pattern file mask mmm"},
        {{"1", "1", long_stem + "%06d"}, "would be longer than 255 characters"},
        {{"100001", "1", long_stem + "%d"}, "cannot name file 100000 of the mask"},
        {{"4294967297", "1"}, "cannot read the file count 4294967297: the number is out of range"},
        {{"1", "-99999999999"},
         "cannot read the cycle count -99999999999: the number is out of range"},
    };
    for (const auto &c : cases) {
        run_result r = run_in(dir, GLIMLEARN_PATH, c.args);
        EXPECT_NE(r.status, 0) << c.complaint;
        EXPECT_EQ(r.out, "") << c.complaint;
        EXPECT_NE(r.err.find(c.complaint), std::string::npos) << r.err;
        EXPECT_EQ(dir.files(), before) << c.complaint;
    }
}

} // namespace
