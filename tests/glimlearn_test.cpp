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

// Writes pattern files in the character layout, as the pattern maker does.
// The first columns of every row on: such patterns nest, and no threshold
// tells a unit of the narrower one apart from the wider one.
pattern columns(int count) {
    pattern act(NETSIZE);
    for (int u = 0; u < NETSIZE; u++)
        act[u] = u % 16 < count ? 1 : 0;
    return act;
}

void write_patterns(const scratch_dir &dir, const std::vector<pattern> &patterns,
                    const std::string &stem = "se-") {
    act_file_layout = ACT_LAYOUT_CHARACTERS;
    for (size_t i = 0; i < patterns.size(); i++)
        ASSERT_EQ(act_save(patterns[i].data(),
                           (dir.path() + "/" + stem + std::to_string(i) + ".act").c_str()),
                  0);
}

std::string grid(const std::string &title, const pattern &act) {
    std::string out = title;
    for (int u = 0; u < NETSIZE; u++)
        out += (u % 16 == 0 ? "\n" : "") + std::to_string(act[u]) + " ";
    return out + "\n";
}

std::string counter(int number) {
    char text[16];
    snprintf(text, sizeof text, "\b\b\b\b\b%5d", number);
    return text;
}

// What a run should leave, worked out with the network core in this process:
// the network file's text and the first pattern after recall.
struct outcome {
    std::string net;
    pattern settled;
};

outcome simulate(const scratch_dir &dir, const std::string &start_net,
                 const std::vector<pattern> &taught, int cycles) {
    net_verbose = 0;
    testing::internal::CaptureStdout();
    net_init();
    if (!start_net.empty()) {
        dir.write("start.net", start_net);
        EXPECT_EQ(net_load((dir.path() + "/start.net").c_str()), LOAD_OK);
    }
    for (int c = 0; c < cycles; c++)
        for (const pattern &p : taught)
            net_learn(p.data(), 1);
    outcome result;
    if (!taught.empty()) {
        result.settled = taught[0];
        net_iterate(result.settled.data(), 500);
    }
    std::string path = dir.path() + "/expected.net";
    EXPECT_EQ(net_save(path.c_str()), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    result.net = read_file(path);
    return result;
}

// The console output of a run. pattern_lines holds what follows the file
// counter of each file number (the reader's messages).
std::string expected_out(bool network_present, int files, int cycles, const pattern &first,
                         const pattern &settled,
                         const std::map<int, std::string> &reader_messages = {}) {
    std::string out = "Initializing network...\nLoading network glimnet.net...\n";
    if (!network_present) out += NO_NETWORK;
    out += "Loading patterns ...\n     ";
    for (int i = 0; i < files; i++) {
        out += counter(i);
        auto message = reader_messages.find(i);
        if (message != reader_messages.end()) out += message->second;
    }
    out += "\n";
    for (int c = 0; c < cycles; c++) {
        out += "Learning cycle " + std::to_string(c) + " -      ";
        for (int k = 1; k <= files; k++)
            out += counter(k);
        out += "\n";
    }
    if (files > 0)
        out += grid("Activation before", first) + " Iterating network... (max. 500 steps)\n" +
               grid("Activation after", settled);
    else
        out += "No patterns, no recall test.\n";
    return out + "Saving network to glimnet.net...\nProgramm beendet.\n";
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
    std::vector<pattern> patterns = {bars(0), bars(1), bars(2), bars(3)};
    write_patterns(dir, patterns);
    patterns.pop_back(); // se-3.act is not asked for
    outcome expected = simulate(dir, "", patterns, 50);
    auto inputs = dir.files();

    run_result r = run_in(dir, GLIMLEARN_PATH, {"3"});
    EXPECT_EQ(r.out, expected_out(false, 3, 50, patterns[0], expected.settled));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(dir.read("glimnet.net"), expected.net);
    // The patterns are only read, and nothing but the network is written.
    auto files = dir.files();
    files.erase("glimnet.net");
    EXPECT_EQ(files, inputs);
}

TEST(Glimlearn, ArgumentsThatAreNoNumbersKeepTheDefaults) {
    scratch_dir dir;
    std::vector<pattern> patterns = {bars(4), bars(5)};
    write_patterns(dir, patterns);
    outcome expected = simulate(dir, "", {patterns[0]}, 50);
    run_result r = run_in(dir, GLIMLEARN_PATH, {"abc", "abc"});
    EXPECT_EQ(r.out, expected_out(false, 1, 50, patterns[0], expected.settled));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(dir.read("glimnet.net"), expected.net);
}

TEST(Glimlearn, SecondRunTeachesOnTopOfTheFirst) {
    scratch_dir dir;
    std::vector<pattern> patterns = {columns(3), columns(8), columns(13)};
    write_patterns(dir, patterns, "pat");
    outcome first = simulate(dir, "", patterns, 1);
    outcome second = simulate(dir, first.net, patterns, 1);
    ASSERT_NE(first.net, second.net);

    run_result r = run_in(dir, GLIMLEARN_PATH, {"3", "1", "pat%d.act"});
    EXPECT_EQ(r.out, expected_out(false, 3, 1, patterns[0], first.settled));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(dir.read("glimnet.net"), first.net);

    r = run_in(dir, GLIMLEARN_PATH, {"3", "1", "pat%d.act"});
    EXPECT_EQ(r.out, expected_out(true, 3, 1, patterns[0], second.settled));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(dir.read("glimnet.net"), second.net);
}

// Nested patterns drive the weights far up: past 1E+34 after 50 cycles. The
// next run must read such a file whole.
TEST(Glimlearn, RunawayWeightsAreWrittenAndReadBackWhole) {
    scratch_dir dir;
    std::vector<pattern> nested;
    for (int k = 1; k <= 8; k++)
        nested.push_back(columns(k * 2));
    write_patterns(dir, nested);
    outcome expected = simulate(dir, "", nested, 50);
    run_result r = run_in(dir, GLIMLEARN_PATH, {"8"});
    EXPECT_EQ(r.status, 0);
    std::string taught = dir.read("glimnet.net");
    ASSERT_EQ(taught, expected.net);
    EXPECT_NE(taught.find("E+34"), std::string::npos);

    outcome unchanged = simulate(dir, taught, nested, 0);
    r = run_in(dir, GLIMLEARN_PATH, {"8", "0"});
    EXPECT_EQ(r.out, expected_out(true, 8, 0, nested[0], unchanged.settled));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(dir.read("glimnet.net"), taught);
}

TEST(Glimlearn, RunWithoutCyclesWritesTheLoadedNetworkBackUnchanged) {
    scratch_dir dir;
    pattern only = bars(14);
    write_patterns(dir, {only});
    // A network with values of every kind, infinities and not-a-number among them.
    testing::internal::CaptureStdout();
    net_verbose = 0;
    net_init();
    testing::internal::GetCapturedStdout();
    for (int s = 0; s < WEIGHT_SLOT_COUNT; s++)
        weight_slot(s) = (s % 7 - 3) * 0.125 + s * 1e-9;
    weight_slot(5) = 1.0 / 0.0;
    weight_slot(6) = -1.0 / 0.0;
    weight_slot(7) = 0.0 / 0.0;
    weight_slot(8) = 3.5E+300;
    thresholds[9] = -1.0 / 0.0;
    thresholds[10] = 1.25e-310;
    ASSERT_EQ(net_save((dir.path() + "/glimnet.net").c_str()), 0);
    std::string loaded = dir.read("glimnet.net");
    ASSERT_NE(loaded.find("NAN"), std::string::npos);
    ASSERT_NE(loaded.find("-INF"), std::string::npos);

    outcome unchanged = simulate(dir, loaded, {only}, 0);
    run_result r = run_in(dir, GLIMLEARN_PATH, {"1", "0"});
    EXPECT_EQ(r.out, expected_out(true, 1, 0, only, unchanged.settled));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(dir.read("glimnet.net"), loaded);
}

TEST(Glimlearn, MissingOrBrokenPatternFilesAreTaughtAsReadAndFailTheRun) {
    scratch_dir dir;
    pattern first = bars(8), third = bars(9);
    write_patterns(dir, {first});
    // se-1.act is missing; se-2.act ends after 100 values.
    std::string text;
    for (int u = 0; u < 100; u++)
        text += std::to_string(third[u]) + ", ";
    dir.write("se-2.act", "int act[256] = {\n  " + text + "\n}\n");
    pattern cut(NETSIZE, 0);
    std::copy(third.begin(), third.begin() + 100, cut.begin());
    outcome expected = simulate(dir, "", {first, pattern(NETSIZE, 0), cut}, 3);

    run_result r = run_in(dir, GLIMLEARN_PATH, {"3", "3"});
    EXPECT_EQ(r.out, expected_out(false, 3, 3, first, expected.settled,
                                  {{1, "  File not found error in se-1.act/ac.-, breaking.\n"},
                                   {2, "  File format error in se-2.act/ac.100, breaking.\n"}}));
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(dir.read("glimnet.net"), expected.net);
}

TEST(Glimlearn, MalformedNetworkFileFailsTheRun) {
    scratch_dir dir;
    pattern first = bars(10);
    write_patterns(dir, {first});
    dir.write("glimnet.net", "not a network\n");
    outcome expected = simulate(dir, "", {first}, 1);
    run_result r = run_in(dir, GLIMLEARN_PATH, {"1", "1"});
    std::string out = expected_out(true, 1, 1, first, expected.settled);
    out.insert(out.find("Loading patterns"), "  File format error in glimnet.net/0.-, breaking.\n");
    EXPECT_EQ(r.out, out);
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(dir.read("glimnet.net"), expected.net);
}

TEST(Glimlearn, MaskWithoutConversionLoadsOneFileIntoEveryNode) {
    scratch_dir dir;
    pattern only = bars(11);
    write_patterns(dir, {only}, "same");
    outcome expected = simulate(dir, "", {only, only}, 2);
    run_result r = run_in(dir, GLIMLEARN_PATH, {"2", "2", "same0.act"});
    EXPECT_EQ(r.out, expected_out(false, 2, 2, only, expected.settled));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(dir.read("glimnet.net"), expected.net);
}

TEST(Glimlearn, EmptyPatternListSkipsTheRecallTestAndStillSaves) {
    scratch_dir dir;
    outcome expected = simulate(dir, "", {}, 2);
    for (const char *count : {"0", "-4"}) {
        run_result r = run_in(dir, GLIMLEARN_PATH, {count, "2"});
        std::string out = expected_out(false, 0, 2, {}, {});
        if (std::string(count) == "-4") out.erase(out.find(NO_NETWORK), NO_NETWORK.size());
        EXPECT_EQ(r.out, out) << count;
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(dir.read("glimnet.net"), expected.net);
    }
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
        {{"1", "1", "se-%s.act"}, "Mask se-%s.act not usable"},
        {{"1", "1", "%n"}, "Mask %n not usable"},
        {{"1", "1", "se-%d%s%n"}, "Mask se-%d%s%n not usable"},
        {{"2", "1", "se-%d-%d.act"}, "Mask se-%d-%d.act not usable"},
        {{"1", "1", "se-%*d.act"}, "Mask se-%*d.act not usable"},
        {{"1", "1", "se-%ld.act"}, "Mask se-%ld.act not usable"},
        {{"1", "1", "se-%d.act%"}, "Mask se-%d.act% not usable"},
        {{"1", "1", std::string(256, 'm')}, "pattern file mask too long"},
        {{"1", "1", long_stem + "%06d"}, "would be longer than 255 characters"},
        {{"100001", "1", long_stem + "%d"}, "and number 100000 would be longer"},
        {{"4294967297", "1"}, "file count out of range"},
        {{"1", "-99999999999"}, "cycle count out of range"},
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
