// glim end to end, in scratch folders: teaching the samples and asking about
// the test pictures, the network independent of the order of teaching, bad
// input that leaves the model as it was, and a run killed at every step that
// changes a file.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include "run_program.h"

namespace {

void copy_samples(const scratch_dir &dir) {
    for (const char *name : {"train.ppm", "test-1.ppm", "test-2.ppm"})
        dir.write(name, read_file(std::string(SAMPLES_DIR) + "/" + name));
}

run_result glim(const scratch_dir &dir, const std::vector<std::string> &args,
                const run_options &options = {}) {
    return run_in(dir, GLIM_PATH, args, options);
}

// Every file of the folder and of its examples/ folder, by name.
std::map<std::string, std::string> model_files(const scratch_dir &dir) {
    std::map<std::string, std::string> files = dir.files();
    std::string examples = dir.path() + "/examples";
    if (DIR *folder = opendir(examples.c_str())) {
        while (dirent *entry = readdir(folder))
            if (entry->d_name[0] != '.')
                files[std::string("examples/") + entry->d_name] =
                    read_file(examples + "/" + entry->d_name);
        closedir(folder);
    }
    return files;
}

// Teaches the five shapes of train.ppm, each under its name.
void teach_shapes(const scratch_dir &dir) {
    const char *names[] = {"square", "disc", "triangle", "ring", "cross"};
    for (int j = 0; j < 5; j++)
        ASSERT_EQ(glim(dir, {"teach", "--object", std::to_string(j), names[j], "train.ppm"}).status,
                  0);
}

TEST(Glim, TeachListAskAndForgetOnTheSamples) {
    scratch_dir dir;
    copy_samples(dir);
    run_result run = glim(dir, {"teach", "--object=1", "disc", "train.ppm"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "picture=train.ppm object=1 box=29,3,23,22 size=506 label=disc\n");
    EXPECT_EQ(run.err, "");
    ASSERT_EQ(glim(dir, {"teach", "--object", "0", "square", "train.ppm"}).status, 0);
    ASSERT_EQ(glim(dir, {"teach", "--object", "2", "triangle", "train.ppm"}).status, 0);
    ASSERT_EQ(glim(dir, {"teach", "--object", "3", "ring", "train.ppm"}).status, 0);
    ASSERT_EQ(glim(dir, {"--model", ".", "teach", "--object", "4", "cross", "train.ppm"}).status,
              0);

    run = glim(dir, {"ask", "test-1.ppm", "test-2.ppm"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "picture=test-1.ppm object=0 box=48,3,26,22 verdict=unknown nearest=ring bits=27 "
              "limit=6 label=-\n"
              "picture=test-1.ppm object=1 box=3,3,23,22 verdict=recognised nearest=disc bits=0 "
              "limit=6 label=disc\n"
              "picture=test-1.ppm object=2 box=55,34,23,22 verdict=recognised nearest=cross "
              "bits=2 limit=6 label=cross\n"
              "picture=test-1.ppm object=3 box=29,35,20,19 verdict=recognised nearest=square "
              "bits=0 limit=6 label=square\n"
              "picture=test-2.ppm object=0 box=43,9,29,19 verdict=unknown nearest=triangle "
              "bits=31 limit=6 label=-\n"
              "picture=test-2.ppm object=1 box=3,23,24,29 verdict=unknown nearest=triangle bits=33 "
              "limit=6 label=-\n");
    EXPECT_EQ(run.err, "");

    const std::string health = "network: 5 of 5 examples stable, 0 values diverged (encoding "
                               "classic, rule margin, 200 cycles)\n";
    run = glim(dir, {"list"});
    EXPECT_EQ(run.out, "cross: 1 example\ndisc: 1 example\nring: 1 example\nsquare: 1 "
                       "example\ntriangle: 1 example\n" +
                           health);

    // Asking wrote nothing; forgetting removes the label's files too.
    std::map<std::string, std::string> before = model_files(dir);
    EXPECT_EQ(before.size(), 3 + 1 + 1 + 10u);
    run = glim(dir, {"forget", "ring"});
    EXPECT_EQ(run.out, "forgot 1 example of ring; 4 left\n");
    std::map<std::string, std::string> after = model_files(dir);
    EXPECT_EQ(after.count("examples/3.act") + after.count("examples/3.ppm"), 0u);
    EXPECT_EQ(after.size(), before.size() - 2);
    EXPECT_EQ(glim(dir, {"list"}).out.find("ring"), std::string::npos);
}

TEST(Glim, TeachTakesTheLargestObjectOrEveryOneAboveTheLeastSize) {
    scratch_dir dir;
    copy_samples(dir);
    run_result run = glim(dir, {"teach", "big one", "train.ppm", "test-1.ppm"});
    EXPECT_EQ(run.out, "picture=train.ppm object=1 box=29,3,23,22 size=506 label=big one\n"
                       "picture=test-1.ppm object=0 box=48,3,26,22 size=572 label=big one\n");
    // The bar of train.ppm is 24 x 8.
    run = glim(dir, {"teach", "--all", "--min-size", "200", "shape", "train.ppm"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 5);
    EXPECT_EQ(run.out.find("object=5"), std::string::npos);
    run = glim(dir, {"teach", "--all", "shape", "train.ppm"});
    EXPECT_NE(run.out.find("object=5 box=55,41,24,8 size=192 label=shape\n"), std::string::npos);
    // The example's pattern is glimcut's pattern of the same object.
    ASSERT_EQ(run_in(dir, GLIMCUT_PATH, {"train.ppm"}).status, 0);
    auto values = [](const std::string &act) {
        std::string digits;
        for (char c : act.substr(act.find('{')))
            if (c == '0' || c == '1') digits += c;
        return digits;
    };
    EXPECT_EQ(values(dir.read("examples/0.act")), values(dir.read("se-1.act")));
}

TEST(Glim, EvaluateCountsRightWrongAndUnknownAnswers) {
    scratch_dir dir;
    copy_samples(dir);
    teach_shapes(dir);
    ASSERT_EQ(glim(dir, {"forget", "cross"}).status, 0);
    // test-1's largest object is its larger triangle, unknown; test-2's is
    // the lid, never taught; train's is the disc.
    dir.write("truth.csv",
              "# picture,label\ntest-1.ppm,triangle\ntest-2.ppm,-\n\ntrain.ppm,disc\r\n");
    run_result run = glim(dir, {"evaluate", "truth.csv"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "pictures=3 right=2 wrong=0 unknown=1 accuracy=0.667\n"
                       "truth\\answer      disc      ring    square  triangle         -\n"
                       "disc                 1         0         0         0         0\n"
                       "ring                 0         0         0         0         0\n"
                       "square               0         0         0         0         0\n"
                       "triangle             0         0         0         0         1\n"
                       "-                    0         0         0         0         1\n"
                       "label=disc precision=1.000 recall=1.000\n"
                       "label=ring precision=- recall=-\n"
                       "label=square precision=- recall=-\n"
                       "label=triangle precision=- recall=0.000\n");
    dir.write("bad.csv", "test-1.ppm\n");
    run = glim(dir, {"evaluate", "bad.csv"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "glim: bad.csv: line 1: give picture,label (or picture,- where nothing "
                       "taught is shown)\n");
}

// The network is taught from every example in an order of their own, so
// the order of the teach commands leaves no trace in it.
TEST(Glim, TheOrderOfTeachingDoesNotChangeTheNetwork) {
    scratch_dir forward, backward;
    copy_samples(forward);
    copy_samples(backward);
    teach_shapes(forward);
    const char *names[] = {"square", "disc", "triangle", "ring", "cross"};
    for (int j = 4; j >= 0; j--)
        ASSERT_EQ(
            glim(backward, {"teach", "--object", std::to_string(j), names[j], "train.ppm"}).status,
            0);
    EXPECT_EQ(forward.read("glimnet.net"), backward.read("glimnet.net"));
    EXPECT_EQ(glim(forward, {"ask", "test-1.ppm"}).out, glim(backward, {"ask", "test-1.ppm"}).out);
}

TEST(Glim, BadInputLeavesTheModelByteForByte) {
    scratch_dir dir;
    copy_samples(dir);
    ASSERT_EQ(glim(dir, {"teach", "--object", "1", "disc", "train.ppm"}).status, 0);
    dir.write("notes.txt", "not a picture\n");
    mkdir((dir.path() + "/empty").c_str(), 0700);
    const std::map<std::string, std::string> model = model_files(dir);
    struct {
        std::vector<std::string> args;
        int status;
        std::string message; // the start of stderr
    } cases[] = {
        {{"fly"}, 2, "glim: unknown command 'fly'; the commands are teach, ask, list, forget"},
        {{}, 2, "Usage: glim"},
        {{"teach", "disc"}, 2, "glim: cannot run teach: give a LABEL and at least one PICTURE"},
        {{"ask"}, 2, "glim: cannot run ask: give at least one PICTURE"},
        {{"forget"}, 2, "glim: cannot run forget: give one LABEL"},
        {{"teach", "--colour", "x", "a", "train.ppm"},
         2,
         "glim: cannot run teach: unknown option '--colour'"},
        {{"teach", "--object", "x", "a", "train.ppm"},
         2,
         "glim: cannot run teach: --object takes a whole"},
        {{"teach", "--object", "1", "--all", "a", "train.ppm"},
         2,
         "glim: cannot run teach: --object and"},
        {{"teach", "a/b", "train.ppm"}, 2, "glim: label 'a/b': cannot be used: it holds a '/'"},
        {{"teach", "a\tb", "train.ppm"},
         2,
         "glim: label 'a?b': cannot be used: it holds a control"},
        {{"teach", "-", "train.ppm"}, 2, "glim: label '-': cannot be used"},
        {{"teach", "ball", "train.ppm", "notes.txt"}, 1, "glim: notes.txt: "},
        {{"teach", "ball", "missing.png"}, 1, "glim: missing.png: cannot open: No such file"},
        {{"teach", "--object", "9", "ball", "train.ppm"}, 1, "glim: train.ppm: no object 9"},
        {{"forget", "ball"}, 1, "glim: forget: no examples labelled 'ball'"},
        {{"ask", "missing.ppm"}, 1, "glim: missing.ppm: cannot open"},
        {{"--model", "empty", "ask", "test-1.ppm"}, 1, "glim: model empty: not a glim model"},
        {{"--model", "notes.txt", "list"}, 1, "glim: model notes.txt: not a folder"},
        {{"--model", "nowhere", "list"}, 1, "glim: model nowhere: no such folder"},
    };
    for (const auto &c : cases) {
        run_result run = glim(dir, c.args);
        std::string shown = c.args.empty() ? "" : c.args[0];
        EXPECT_EQ(run.status, c.status) << shown << ": " << run.err;
        EXPECT_EQ(run.err.compare(0, c.message.size(), c.message), 0) << shown << ": " << run.err;
        if (!c.args.empty()) {
            EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
        }
        EXPECT_EQ(model_files(dir), model) << shown;
    }
    EXPECT_FALSE(dir.exists("nowhere"));
}

TEST(Glim, RefusesAModelItCannotReadAndANetworkItDidNotWrite) {
    scratch_dir dir;
    copy_samples(dir);
    ASSERT_EQ(glim(dir, {"teach", "disc", "train.ppm"}).status, 0);
    std::string manifest = dir.read("glim-model.txt");
    std::string newer = manifest;
    newer.replace(newer.find("format 1\n"), 9, "format 2\n");
    dir.write("glim-model.txt", newer);
    const std::map<std::string, std::string> model = model_files(dir);
    run_result run = glim(dir, {"teach", "ring", "test-1.ppm"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "glim: glim-model.txt: written by a newer glim (model format 2; this glim "
                       "reads format 1 and older); use that glim or another --model\n");
    EXPECT_EQ(model_files(dir), model);

    scratch_dir other;
    copy_samples(other);
    other.write("glimnet.net", "someone's network\n");
    run = glim(other, {"teach", "ring", "test-1.ppm"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.compare(0, 56, "glim: model .: holds a glimnet.net that glim did not wri"), 0)
        << run.err;
    EXPECT_FALSE(other.exists("glim-model.txt"));
}

// A run killed before any step that changes a file leaves the model before
// the change or after it, never a mix: glim list and glim ask answer as for
// one of the two, and the next teach works.
TEST(Glim, AKilledRunLeavesTheOldModelOrTheNew) {
    scratch_dir start;
    copy_samples(start);
    teach_shapes(start);
    const std::map<std::string, std::string> old_model = model_files(start);
    auto copy_of_start = [&](const scratch_dir &dir) {
        mkdir((dir.path() + "/examples").c_str(), 0777);
        for (const auto &file : old_model)
            dir.write(file.first, file.second);
    };
    struct state {
        std::string list;
        std::string answer;
    };
    auto state_of = [](const scratch_dir &dir) {
        return state{glim(dir, {"list"}).out, glim(dir, {"ask", "test-1.ppm"}).out};
    };
    const state before = state_of(start);

    for (const std::vector<std::string> &change :
         {std::vector<std::string>{"teach", "new", "test-2.ppm"},
          std::vector<std::string>{"forget", "ring"}}) {
        scratch_dir reference;
        copy_of_start(reference);
        ASSERT_EQ(glim(reference, change).status, 0);
        const state after = state_of(reference);
        ASSERT_NE(after.list, before.list);

        bool finished = false;
        for (int step = 1; !finished && step < 300; step++) {
            scratch_dir dir;
            copy_of_start(dir);
            run_options killing;
            killing.environment = {std::string("LD_PRELOAD=") + SAVE_SHIM_PATH,
                                   "ASAN_OPTIONS=verify_asan_link_order=0",
                                   "GLIM_SHIM_KILL_AT=" + std::to_string(step)};
            run_result run = glim(dir, change, killing);
            finished = run.status == 0;
            if (!finished) {
                ASSERT_EQ(run.status, 128 + 9) << change[0] << " step " << step << ": " << run.err;
            }
            const state now = state_of(dir);
            const state &expected = now.list == after.list ? after : before;
            EXPECT_EQ(now.list, expected.list) << change[0] << " step " << step;
            EXPECT_EQ(now.answer, expected.answer) << change[0] << " step " << step;
            EXPECT_EQ(glim(dir, {"teach", "later", "test-1.ppm"}).status, 0)
                << change[0] << " step " << step;
        }
        EXPECT_TRUE(finished) << change[0];
    }
}

TEST(Glim, HelpAndVersion) {
    scratch_dir dir;
    run_result run = glim(dir, {"--version"});
    EXPECT_EQ(run.out, std::string("glim ") + GLIM_VERSION + "\n");
    run = glim(dir, {"help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.compare(0, 50, "Usage: glim [--model DIR] COMMAND [options] OPERAN"), 0);
    EXPECT_EQ(glim(dir, {"--help"}).out, run.out);
    run = glim(dir, {"teach", "--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.compare(0, 44, "Usage: glim [--model DIR] teach [--object N "), 0);
    EXPECT_EQ(glim(dir, {"help", "teach"}).out, run.out);
    EXPECT_TRUE(dir.files().empty());
}

} // namespace
