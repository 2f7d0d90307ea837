// glim end to end, in scratch folders: teaching the samples and asking about
// the test pictures, the network independent of the order of teaching, bad
// input that leaves the model as it was, and a run killed at every step that
// changes a file.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

#include "decode.h"
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

// Every file of the folder sub of dir, by name with the folder before it.
void add_files(const scratch_dir &dir, const std::string &sub,
               std::map<std::string, std::string> *files) {
    std::string path = dir.path() + "/" + sub;
    if (DIR *folder = opendir(path.c_str())) {
        while (dirent *entry = readdir(folder))
            if (entry->d_name[0] != '.')
                (*files)[sub + "/" + entry->d_name] = read_file(path + "/" + entry->d_name);
        closedir(folder);
    }
}

// Every file of the folder and of its examples/ folder, by name.
std::map<std::string, std::string> model_files(const scratch_dir &dir) {
    std::map<std::string, std::string> files = dir.files();
    add_files(dir, "examples", &files);
    return files;
}

// The value of KEY in the model's manifest ("KEY VALUE" lines).
std::string manifest_value(const scratch_dir &dir, const std::string &key) {
    std::string manifest = dir.read("glim-model.txt");
    size_t at = manifest.find("\n" + key + " ");
    if (at == std::string::npos) return "";
    at += key.size() + 2;
    return manifest.substr(at, manifest.find('\n', at) - at);
}

// How many pixels of the picture file have the colour, decoded as glimprep
// decodes (16-bit samples, 8-bit values times 257).
int pixels_of(const scratch_dir &dir, const std::string &name, const std::array<int, 3> &colour) {
    std::string bytes = dir.read(name);
    prep_picture picture;
    char error[PREP_ERROR_SIZE];
    if (!prep_decode((const unsigned char *)bytes.data(), bytes.size(), prep_decode_options(),
                     &picture, error)) {
        ADD_FAILURE() << name << ": " << error;
        return -1;
    }
    int count = 0;
    for (size_t p = 0; p + 2 < picture.samples.size(); p += 3)
        count += picture.samples[p] == colour[0] * 257 &&
                 picture.samples[p + 1] == colour[1] * 257 &&
                 picture.samples[p + 2] == colour[2] * 257;
    return count;
}

// Teaches the five shapes of train.ppm, each under its name; settings go
// with the first teach, which makes the model.
void teach_shapes(const scratch_dir &dir, const std::vector<std::string> &settings = {}) {
    const char *names[] = {"square", "disc", "triangle", "ring", "cross"};
    for (int j = 0; j < 5; j++) {
        std::vector<std::string> command = {"teach", "--object", std::to_string(j), names[j],
                                            "train.ppm"};
        if (j == 0) command.insert(command.begin() + 1, settings.begin(), settings.end());
        ASSERT_EQ(glim(dir, command).status, 0);
    }
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
              "picture=test-1.ppm object=0 box=48,3,26,22 verdict=recognised nearest=triangle "
              "bits=7 limit=24 label=triangle\n"
              "picture=test-1.ppm object=1 box=3,3,23,22 verdict=recognised nearest=disc bits=0 "
              "limit=24 label=disc\n"
              "picture=test-1.ppm object=2 box=55,34,23,22 verdict=recognised nearest=cross "
              "bits=0 limit=24 label=cross\n"
              "picture=test-1.ppm object=3 box=29,35,20,19 verdict=recognised nearest=square "
              "bits=0 limit=24 label=square\n"
              "picture=test-2.ppm object=0 box=43,9,29,19 verdict=unknown nearest=disc "
              "bits=41 limit=24 label=-\n"
              "picture=test-2.ppm object=1 box=3,23,24,29 verdict=unknown nearest=ring bits=71 "
              "limit=24 label=-\n");
    EXPECT_EQ(run.err, "");

    const std::string health = "network: 5 of 5 examples stable, 0 values diverged (encoding "
                               "detail, rule margin, 200 cycles)\n";
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
    run_result run = glim(dir, {"teach", "--classic", "big one", "train.ppm", "test-1.ppm"});
    EXPECT_EQ(run.out, "picture=train.ppm object=1 box=29,3,23,22 size=506 label=big one\n"
                       "picture=test-1.ppm object=0 box=48,3,26,22 size=572 label=big one\n");
    // A picture's name is shown with its unprintable bytes as '?', and a
    // label's stray UTF-8 bytes alike; the file keeps its name.
    dir.write("x\033]0;owned\007.ppm", read_file(std::string(SAMPLES_DIR) + "/test-1.ppm"));
    run = glim(dir, {"teach", "odd \xc2\x9b", "x\033]0;owned\007.ppm"});
    EXPECT_EQ(run.out, "picture=x?]0;owned?.ppm object=0 box=48,3,26,22 size=572 label=odd ??\n");
    run = glim(dir, {"ask", "x\033]0;owned\007.ppm"});
    EXPECT_EQ(run.out.compare(0, 51, "picture=x?]0;owned?.ppm object=0 box=48,3,26,22 ver"), 0)
        << run.out;
    EXPECT_NE(glim(dir, {"list"}).out.find("\nodd ??: 1 example\n"), std::string::npos);
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
    teach_shapes(dir, {"--encoding", "normalised"});
    ASSERT_EQ(glim(dir, {"forget", "cross"}).status, 0);
    // Taught with the normalised encoding, which leaves test-1's largest
    // object, its larger triangle, unknown (the default's detail encoding names it); test-2's is
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
    // The matrix as a picture: the two right answers in full green, the
    // unknown triangle in full red, cells of equal size.
    run_result drawn = glim(dir, {"evaluate", "-o", "matrix.png", "truth.csv"});
    EXPECT_EQ(drawn.status, 0) << drawn.err;
    EXPECT_EQ(drawn.out, run.out);
    EXPECT_EQ(drawn.err, "glim: wrote matrix.png\n");
    int green = pixels_of(dir, "matrix.png", {40, 160, 60});
    int red = pixels_of(dir, "matrix.png", {210, 50, 50});
    EXPECT_GT(red, 100);
    EXPECT_EQ(green, 2 * red);

    dir.write("bad.csv", "test-1.ppm\n");
    run = glim(dir, {"evaluate", "bad.csv"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "glim: bad.csv: line 1: give picture,label (or picture,- where nothing "
                       "taught is shown)\n");
}

// ask -o draws what glimview report draws for the same learned objects,
// labels, network and limit; --pictures draws one such picture per picture.
TEST(Glim, AskWritesTheReportPicturesThatGlimviewReportDraws) {
    scratch_dir dir;
    copy_samples(dir);
    teach_shapes(dir, {"--classic"});
    ASSERT_EQ(glim(dir, {"teach", "--object", "5", "bar", "train.ppm"}).status, 0);
    const std::string plain = glim(dir, {"ask", "test-1.ppm"}).out;
    run_result run = glim(dir, {"ask", "-o", "report.png", "test-1.ppm"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, plain);
    EXPECT_EQ(run.err, "glim: wrote report.png\n");

    dir.write("labels.txt", "square\ndisc\ntriangle\nring\ncross\nbar\n");
    run = run_in(dir, GLIMVIEW_PATH,
                 {"report", "test-1.ppm", "--learned", "train.ppm", "--labels", "labels.txt",
                  "--encoding", manifest_value(dir, "encoding"), "--limit",
                  manifest_value(dir, "limit"), "-o", "view.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(dir.read("report.png"), dir.read("view.png"));

    run = glim(dir, {"ask", "--pictures", "reports", "test-1.ppm", "train.ppm"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, plain + glim(dir, {"ask", "train.ppm"}).out);
    EXPECT_EQ(run.err,
              "glim: wrote reports/test-1-report.png\nglim: wrote reports/train-report.png\n");
    std::map<std::string, std::string> reports;
    add_files(dir, "reports", &reports);
    EXPECT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports["reports/test-1-report.png"], dir.read("report.png"));
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
    dir.write("test-1-report.png", "a picture of the user's\n");
    dir.write("truth.csv", "test-1.ppm,disc\n");
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
        {{"ask", "-o", "a.png", "test-1.ppm", "test-2.ppm"},
         2,
         "glim: cannot run ask: -o writes the report of one PICTURE; for more give --pictures"},
        {{"ask", "-o", "a.png", "--pictures", "out", "test-1.ppm"},
         2,
         "glim: cannot run ask: -o and --pictures exclude each other"},
        {{"ask", "--pictures", "out", "test-1.ppm", "./test-1.ppm"},
         2,
         "glim: cannot run ask: the reports of test-1.ppm and ./test-1.ppm would both be "
         "out/test-1-report.png"},
        {{"ask", "--pictures", "notes.txt", "test-1.ppm"},
         1,
         "glim: cannot write reports to notes.txt: it is not a folder"},
        {{"ask", "--pictures", ".", "test-1.ppm", "test-1-report.png"},
         1,
         "glim: cannot write test-1-report.png: it is the input file test-1-report.png; nothing "
         "written\n"},
        {{"ask", "-o", "glimnet.net", "test-1.ppm"}, 1, "glim: cannot write glimnet.net: it is"},
        {{"ask", "-o", "examples/0.ppm", "test-1.ppm"}, 1, "glim: cannot write examples/0.ppm"},
        {{"evaluate", "-o", "truth.csv", "truth.csv"}, 1, "glim: cannot write truth.csv: it is"},
        {{"evaluate", "-o", "test-1.ppm", "truth.csv"}, 1, "glim: cannot write test-1.ppm: it is"},
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
    newer.replace(newer.find("format 2\n"), 9, "format 3\n");
    dir.write("glim-model.txt", newer);
    const std::map<std::string, std::string> model = model_files(dir);
    run_result run = glim(dir, {"teach", "ring", "test-1.ppm"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "glim: glim-model.txt: written by a newer glim (model format 3; this glim "
                       "reads format 2 and older); use that glim or another --model\n");
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

// An 80 x 60 picture of a red disc of radius r at (cx, cy) on black: no
// blue at all, so only the luminance shows its edge.
std::string red_disc(int cx, int cy, int r) {
    std::string ppm = "P6\n80 60\n255\n";
    for (int y = 0; y < 60; y++)
        for (int x = 0; x < 80; x++) {
            bool in = (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
            ppm += in ? std::string("\xdc\x1e\x00", 3) : std::string(3, '\0');
        }
    return ppm;
}

TEST(Glim, SettingsAreTheModelsAndKeptByEveryLaterCommand) {
    scratch_dir dir;
    copy_samples(dir);
    dir.write("red.ppm", red_disc(40, 30, 12));
    // The default brings photos in as their luminance: the red disc is found.
    run_result run = glim(dir, {"teach", "red", "red.ppm"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(manifest_value(dir, "photo"), "grey,levels");
    EXPECT_EQ(manifest_value(dir, "encoding"), "detail");
    EXPECT_EQ(manifest_value(dir, "sizes"), "0.8,0.9,1,1.1,1.25");
    EXPECT_EQ(manifest_value(dir, "verdict"), "nearest");
    // The same object taught under a second label: the two are equally
    // near, so the gap leaves it unknown instead of naming the first.
    ASSERT_EQ(glim(dir, {"teach", "also red", "red.ppm"}).status, 0);
    run = glim(dir, {"ask", "red.ppm"});
    EXPECT_NE(run.out.find("verdict=unknown nearest=red bits=0 limit=24 label=-\n"),
              std::string::npos)
        << run.out;
    // A setting other than the model's is refused, and nothing changes.
    const std::map<std::string, std::string> model = model_files(dir);
    for (const std::vector<std::string> &other : {std::vector<std::string>{"--classic"},
                                                  {"--encoding", "classic"},
                                                  {"--gap", "0"},
                                                  {"--sizes", "1"},
                                                  {"--no-grey"},
                                                  {"--ground", "clear"},
                                                  {"--limit", "derived"}}) {
        std::vector<std::string> command = {"teach", "disc", "train.ppm"};
        command.insert(command.begin() + 1, other.begin(), other.end());
        run = glim(dir, command);
        EXPECT_EQ(run.status, 2) << other[0];
        EXPECT_NE(run.err.find(other[0] + ": the model was taught otherwise"), std::string::npos)
            << run.err;
        EXPECT_EQ(model_files(dir), model) << other[0];
    }
    // The same settings again are no change.
    EXPECT_EQ(glim(dir, {"teach", "--gap", "8", "--grey", "disc", "train.ppm"}).status, 0);

    // The plumbing's way finds no edge in the red disc.
    scratch_dir classic;
    classic.write("red.ppm", red_disc(40, 30, 12));
    run = glim(classic, {"teach", "--classic", "red", "red.ppm"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "glim: red.ppm: no object found; nothing taught\n");

    // A model taught with another encoding (as the default was once) keeps
    // it: a later teach without options encodes its example the same way.
    scratch_dir older;
    older.write("red.ppm", red_disc(40, 30, 12));
    ASSERT_EQ(glim(older, {"teach", "--encoding", "normalised", "red", "red.ppm"}).status, 0);
    ASSERT_EQ(glim(older, {"teach", "again", "red.ppm"}).status, 0);
    EXPECT_EQ(manifest_value(older, "encoding"), "normalised");
    EXPECT_EQ(older.read("examples/1.act"), older.read("examples/0.act"));
}

TEST(Glim, BadSettingsAreRefusedBeforeAnythingIsWritten) {
    for (const std::vector<std::string> &bad : {std::vector<std::string>{"--encoding", "fancy"},
                                                {"--sizes", "3"},
                                                {"--sizes", "1,,2"},
                                                {"--levels", "max"},
                                                {"--ground", "flat"},
                                                {"--verdict", "any"},
                                                {"--limit", "300"},
                                                {"--limit", "-1"},
                                                {"--gap", "derived"},
                                                {"--grey", "--no-grey"}}) {
        scratch_dir dir;
        copy_samples(dir);
        std::vector<std::string> command = {"teach", "disc", "train.ppm"};
        command.insert(command.begin() + 1, bad.begin(), bad.end());
        run_result run = glim(dir, command);
        EXPECT_EQ(run.status, 2) << bad[0] << " " << bad[1];
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_FALSE(dir.exists("glim-model.txt")) << bad[0];
    }
}

// A cleared ground is the model's too, in a line that older manifests lack.
TEST(Glim, AClearedGroundIsKeptInTheManifest) {
    scratch_dir dir;
    copy_samples(dir);
    run_result run = glim(dir, {"teach", "--ground", "clear", "disc", "train.ppm"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(manifest_value(dir, "ground"), "clear");
    const std::map<std::string, std::string> model = model_files(dir);
    run = glim(dir, {"teach", "--ground", "keep", "disc", "train.ppm"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("--ground: the model was taught otherwise"), std::string::npos)
        << run.err;
    EXPECT_EQ(model_files(dir), model);
    // The disc on a light ground is brought in as on the dark one, and named.
    std::string light = red_disc(40, 30, 12);
    for (size_t i = light.size() - 80 * 60 * 3; i < light.size(); i += 3)
        if (light.compare(i, 3, std::string(3, '\0')) == 0) light.replace(i, 3, "\xc8\xbe\xb4");
    dir.write("light.ppm", light);
    dir.write("dark.ppm", red_disc(40, 30, 12));
    scratch_dir on_light;
    on_light.write("light.ppm", light);
    ASSERT_EQ(glim(on_light, {"teach", "--ground", "clear", "red", "light.ppm"}).status, 0);
    ASSERT_EQ(glim(dir, {"teach", "red", "dark.ppm"}).status, 0);
    EXPECT_EQ(on_light.read("examples/0.ppm"), dir.read("examples/1.ppm"));
    run = glim(dir, {"ask", "light.ppm"});
    EXPECT_NE(run.out.find("bits=0 limit=24 label=red\n"), std::string::npos) << run.out;
    // A manifest without the line keeps the ground, and writes none.
    scratch_dir kept;
    copy_samples(kept);
    ASSERT_EQ(glim(kept, {"teach", "disc", "train.ppm"}).status, 0);
    EXPECT_EQ(kept.read("glim-model.txt").find("\nground "), std::string::npos);
    EXPECT_EQ(glim(kept, {"teach", "--ground", "keep", "disc", "train.ppm"}).status, 0);
}

// A model that an earlier glim wrote (format 1: no photo, sizes, verdict or
// gap lines) is judged as that glim judged it, and a later teach keeps that.
TEST(Glim, AModelOfTheFirstFormatAnswersAsBefore) {
    scratch_dir dir;
    copy_samples(dir);
    teach_shapes(dir, {"--classic"});
    const std::string answers = glim(dir, {"ask", "test-1.ppm", "test-2.ppm"}).out;
    EXPECT_NE(answers.find("limit=6 label=disc\n"), std::string::npos) << answers;
    std::string manifest = dir.read("glim-model.txt");
    std::string old;
    for (size_t at = 0; at < manifest.size();) {
        size_t end = manifest.find('\n', at) + 1;
        std::string line = manifest.substr(at, end - at);
        at = end;
        if (line == "format 2\n") line = "format 1\n";
        for (const char *key : {"sizes ", "photo ", "verdict ", "gap "})
            if (line.compare(0, strlen(key), key) == 0) line.clear();
        old += line;
    }
    dir.write("glim-model.txt", old);
    EXPECT_EQ(glim(dir, {"ask", "test-1.ppm", "test-2.ppm"}).out, answers);
    ASSERT_EQ(glim(dir, {"teach", "--object", "5", "bar", "train.ppm"}).status, 0);
    EXPECT_EQ(manifest_value(dir, "verdict"), "settled");
    EXPECT_EQ(manifest_value(dir, "photo"), "plain");
    EXPECT_EQ(manifest_value(dir, "limit"), "6");
}

// Sizes other than 1 are encoded again from the examples' stored pictures
// whenever the model is opened; a picture that no longer holds its object
// is refused rather than taught from.
TEST(Glim, ExamplesAtOtherSizesComeFromTheirPictures) {
    scratch_dir dir;
    copy_samples(dir);
    teach_shapes(dir);
    const std::string answers = glim(dir, {"ask", "test-1.ppm"}).out;
    EXPECT_NE(answers.find("label=disc\n"), std::string::npos) << answers;
    EXPECT_EQ(glim(dir, {"ask", "test-1.ppm"}).out, answers);
    dir.write("examples/1.ppm", read_file(std::string(SAMPLES_DIR) + "/test-2.ppm"));
    run_result run = glim(dir, {"ask", "test-1.ppm"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "glim: model .: example 1: its picture no longer holds its object; the "
                       "model was not changed\n");
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
