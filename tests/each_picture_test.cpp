// glimcut and glimsee over several pictures in one run (--each): the same
// console output and the same files as one run per picture, the files named
// after each picture, and one sync at the end instead of one per file.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "pictures.h"
#include "run_program.h"

namespace {

// The pictures of a run: the samples, a picture in a subfolder whose name
// holds a '%', a picture the encoder refuses after the scene reader took it
// (maximum 15), and a missing one.
struct picture_set {
    std::vector<std::string> names;
    void put(const scratch_dir &dir) {
        for (const char *sample : {"train.ppm", "test-1.ppm"})
            dir.write(sample, read_file(std::string(SAMPLES_DIR) + "/" + sample));
        mkdir((dir.path() + "/sub").c_str(), 0755);
        dir.write("sub/50%.off.ppm", read_file(std::string(SAMPLES_DIR) + "/test-2.ppm"));
        dir.write("fifteen.ppm",
                  ppm_picture(80, 60, blue_rectangles({{5, 5, 15, 12}}), "P6\n%d %d\n15\n"));
        names = {"train.ppm", "sub/50%.off.ppm", "fifteen.ppm", "missing.ppm", "test-1.ppm"};
    }
};

// The mask a picture's files get: its name less the extension, '%' doubled.
std::string mask_of(const std::string &picture, const std::string &suffix) {
    std::string stem = picture.substr(0, picture.rfind('.')), mask;
    for (char c : stem)
        mask += c == '%' ? std::string("%%") : std::string(1, c);
    return mask + "-" + suffix;
}

// Every file of a folder and its subfolder "sub".
std::map<std::string, std::string> all_files(const scratch_dir &dir) {
    std::map<std::string, std::string> files = dir.files();
    std::string listing = run_in(dir, "/bin/sh", {"-c", "cd sub && ls"}).out;
    for (size_t start = 0, end; (end = listing.find('\n', start)) != std::string::npos;
         start = end + 1) {
        std::string name = "sub/" + listing.substr(start, end - start);
        files[name] = dir.read(name);
    }
    return files;
}

TEST(EachPicture, GlimcutWritesWhatOneRunPerPictureWrites) {
    scratch_dir each, single;
    picture_set pictures;
    pictures.put(each);
    pictures.put(single);
    std::vector<std::string> args = {"--each"};
    args.insert(args.end(), pictures.names.begin(), pictures.names.end());
    run_result together = run_in(each, GLIMCUT_PATH, args);

    std::string out, err;
    int status = 0;
    for (const std::string &picture : pictures.names) {
        run_result r = run_in(single, GLIMCUT_PATH, {picture, mask_of(picture, "se-%d.act")});
        out += r.out;
        err += r.err;
        status = std::max(status, r.status);
    }
    EXPECT_EQ(together.out, out);
    EXPECT_EQ(together.err, err);
    EXPECT_EQ(together.status, status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(all_files(each), all_files(single));
    EXPECT_TRUE(each.exists("train-se-5.act"));
    EXPECT_TRUE(each.exists("sub/50%.off-se-0.act"));
}

TEST(EachPicture, GlimseeLoadsTheNetworkOnceAndRecognisesAsSingleRunsDo) {
    scratch_dir each, single;
    picture_set pictures;
    for (const scratch_dir *dir : {&each, &single}) {
        pictures.put(*dir);
        ASSERT_EQ(run_in(*dir, GLIMCUT_PATH, {"train.ppm"}).status, 0);
        ASSERT_EQ(run_in(*dir, GLIMLEARN_PATH, {"6", "20"}).status, 0);
    }
    std::vector<std::string> args = {"--each", "glimnet.net"};
    args.insert(args.end(), pictures.names.begin(), pictures.names.end());
    run_result together = run_in(each, GLIMSEE_PATH, args);

    // The single runs' output less their network lines, which come once.
    const std::string network_lines = "Initializing network...\nLoading network glimnet.net...\n";
    std::string out = network_lines, err;
    int status = 0;
    for (const std::string &picture : pictures.names) {
        run_result r =
            run_in(single, GLIMSEE_PATH, {picture, "glimnet.net", mask_of(picture, "ca-%d.act")});
        ASSERT_EQ(r.out.substr(0, network_lines.size()), network_lines);
        out += r.out.substr(network_lines.size());
        err += r.err;
        status = std::max(status, r.status);
    }
    EXPECT_EQ(together.out, out);
    EXPECT_EQ(together.err, err);
    EXPECT_EQ(together.status, status);
    EXPECT_EQ(all_files(each), all_files(single));
    EXPECT_TRUE(each.exists("test-1-ca-0.act"));
}

TEST(EachPicture, RefusedCommandLinesWriteNothing) {
    scratch_dir dir;
    dir.write("pic.ppm", read_file(std::string(SAMPLES_DIR) + "/test-1.ppm"));
    const std::string long_name(250, 'p');
    struct {
        std::string program;
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {GLIMSEE_PATH,
         {"--each", "glimnet.net"},
         "glimsee: cannot run --each: give a network file and at least one picture\n"},
        {GLIMCUT_PATH,
         {"--each", "pic.ppm", long_name + ".ppm"},
         "glimcut: cannot name the files of picture " + long_name + ".ppm: its name is too long\n"},
    };
    for (const auto &c : cases) {
        run_result r = run_in(dir, c.program, c.args);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(dir.files().size(), 1u);
    }
}

// Watches the saves through the preloaded library: a run over several
// pictures syncs no file of its own but the file systems once, after the last
// rename; a run over one picture syncs each file before its rename.
TEST(EachPicture, ManyPicturesSyncOnceAtTheEnd) {
    scratch_dir dir, logs;
    for (const char *sample : {"train.ppm", "test-1.ppm"})
        dir.write(sample, read_file(std::string(SAMPLES_DIR) + "/" + sample));
    run_options watched;
    watched.environment = {std::string("LD_PRELOAD=") + SAVE_SHIM_PATH,
                           "ASAN_OPTIONS=verify_asan_link_order=0",
                           "GLIM_SHIM_LOG=" + logs.path() + "/calls"};
    ASSERT_EQ(run_in(dir, GLIMCUT_PATH, {"--each", "train.ppm", "test-1.ppm"}, watched).status, 0);
    std::string calls = logs.read("calls");
    EXPECT_EQ(calls.find("fsync"), std::string::npos) << calls;
    size_t renames = 0, last_rename = 0;
    for (size_t at = 0; (at = calls.find("rename ", at)) != std::string::npos; at++) {
        renames++;
        last_rename = at;
    }
    EXPECT_EQ(renames, 10u) << calls; // six objects of train.ppm, four of test-1.ppm
    EXPECT_NE(calls.find("syncfs ", last_rename), std::string::npos) << calls;

    logs.write("calls", "");
    ASSERT_EQ(run_in(dir, GLIMCUT_PATH, {"test-1.ppm"}, watched).status, 0);
    calls = logs.read("calls");
    EXPECT_EQ(calls.find("syncfs"), std::string::npos) << calls;
    size_t fsync_at = calls.find("fsync se-3.act.");
    ASSERT_NE(fsync_at, std::string::npos) << calls;
    EXPECT_LT(fsync_at, calls.find("rename se-3.act.")) << calls;
}

} // namespace

namespace {

// --quiet: the same files, and on the console one line per object and the
// failures, nothing of the steps.
TEST(EachPicture, QuietRunsWriteTheSameFilesWithALinePerObject) {
    scratch_dir loud, quiet;
    for (const scratch_dir *dir : {&loud, &quiet})
        for (const char *sample : {"train.ppm", "test-1.ppm"})
            dir->write(sample, read_file(std::string(SAMPLES_DIR) + "/" + sample));
    ASSERT_EQ(run_in(loud, GLIMCUT_PATH, {"--each", "train.ppm", "test-1.ppm"}).status, 0);
    run_result run = run_in(quiet, GLIMCUT_PATH, {"--each", "--quiet", "train.ppm", "test-1.ppm"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(quiet.files(), loud.files());
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 6 + 4);
    EXPECT_EQ(run.out.substr(0, run.out.find('\n') + 1),
              "picture=train.ppm object=0 box=2,2,20,19 file=train-se-0.act\n");

    for (const scratch_dir *dir : {&loud, &quiet})
        ASSERT_EQ(run_in(*dir, GLIMLEARN_PATH, {"6", "50", "train-se-%d.act"}).status, 0);
    ASSERT_EQ(run_in(loud, GLIMSEE_PATH, {"--each", "glimnet.net", "test-1.ppm"}).status, 0);
    run = run_in(quiet, GLIMSEE_PATH, {"--each", "--quiet", "glimnet.net", "test-1.ppm", "no.ppm"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(quiet.files(), loud.files());
    EXPECT_EQ(run.out, "picture=test-1.ppm object=0 box=48,3,26,22 file=test-1-ca-0.act "
                       "moved_bits=34\n"
                       "picture=test-1.ppm object=1 box=3,3,23,22 file=test-1-ca-1.act "
                       "moved_bits=0\n"
                       "picture=test-1.ppm object=2 box=55,34,23,22 file=test-1-ca-2.act "
                       "moved_bits=2\n"
                       "picture=test-1.ppm object=3 box=29,35,20,19 file=test-1-ca-3.act "
                       "moved_bits=0\n");
    EXPECT_NE(run.err.find("no.ppm"), std::string::npos);
}

} // namespace
