// Mistakes that must not cost the user work: a network or pattern file that
// does not load, two trainers in one folder, saves through links and onto
// special files, a run interrupted or cut off from its console. Each case
// checks the exit status, the message and every file the user had.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "run_program.h"

namespace {

// A folder after a first round: the training picture, its six pattern files
// and a network taught from them.
void trained_folder(const scratch_dir &dir) {
    dir.write("train.ppm", read_file(std::string(SAMPLES_DIR) + "/train.ppm"));
    ASSERT_EQ(run_in(dir, GLIMCUT_PATH, {"train.ppm"}).status, 0);
    ASSERT_EQ(run_in(dir, GLIMLEARN_PATH, {"6", "5"}).status, 0);
}

mode_t mode_of(const std::string &path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

TEST(LostWork, LearningOverAFileThatDoesNotLoadKeepsEveryFile) {
    scratch_dir dir;
    trained_folder(dir);
    const std::string net = dir.read("glimnet.net");
    dir.write("cut.act", dir.read("se-0.act").substr(0, 300));
    const std::string refused = "glimlearn: cannot learn: ";
    const std::string kept = "; nothing saved\n";
    struct {
        std::string network; // what glimnet.net holds for the run
        std::vector<std::string> args;
        std::string message; // the reader's, on stdout
        std::string why;     // the last words on stderr
    } cases[] = {
        {"\n" + net,
         {"6", "1"},
         "  File format error in glimnet.net/0.-, breaking.\n",
         "network file glimnet.net does not load whole"},
        {net.substr(0, 400000),
         {"6", "1"},
         "  File format error in glimnet.net/",
         "network file glimnet.net does not load whole"},
        {net,
         {"60", "50"},
         "  File not found error in se-6.act/ac.-, breaking.\n",
         "pattern file se-6.act is missing"},
        // One node per file would exhaust the memory long before the last file.
        {net,
         {"2147483647", "1"},
         "  File not found error in se-6.act/ac.-, breaking.\n",
         "pattern file se-6.act is missing"},
        {net,
         {"3", "1", "cut.act"},
         "  File format error in cut.act/ac.",
         "pattern file cut.act does not load whole"},
    };
    for (const auto &c : cases) {
        dir.write("glimnet.net", c.network);
        const auto before = dir.files();
        run_result r = run_in(dir, GLIMLEARN_PATH, c.args);
        EXPECT_EQ(r.status, 1) << c.why;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("Learning cycle"), std::string::npos) << c.why;
        EXPECT_EQ(r.err, refused + c.why + kept);
        EXPECT_EQ(dir.files(), before) << c.why;
    }

    // A folder in place of the network file stays a folder.
    ASSERT_EQ(unlink((dir.path() + "/glimnet.net").c_str()), 0);
    ASSERT_EQ(mkdir((dir.path() + "/glimnet.net").c_str(), 0755), 0);
    const auto before = dir.files();
    run_result r = run_in(dir, GLIMLEARN_PATH, {"6", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, refused + "network file glimnet.net does not load whole" + kept);
    EXPECT_TRUE(S_ISDIR(mode_of(dir.path() + "/glimnet.net")));
    EXPECT_EQ(dir.files(), before);
}

TEST(LostWork, RecognisingWithoutALoadedNetworkWritesNoResult) {
    scratch_dir dir;
    trained_folder(dir);
    ASSERT_EQ(run_in(dir, GLIMSEE_PATH, {"train.ppm"}).status, 0);
    dir.write("bad.net", dir.read("glimnet.net").substr(0, 1000));
    const auto before = dir.files();
    struct {
        const char *network;
        std::string message; // the loader's, on stdout
        std::string why;
    } cases[] = {
        {"typo.net", "  Couldn't open file typo.net, don't load.\n", "typo.net: it is missing"},
        {"bad.net", "  File format error in bad.net/0.", "bad.net: it does not load whole"},
    };
    for (const auto &c : cases) {
        run_result r = run_in(dir, GLIMSEE_PATH, {"train.ppm", c.network});
        EXPECT_EQ(r.status, 1) << c.network;
        EXPECT_EQ(r.out.find("Loading network " + std::string(c.network) + "...\n" + c.message),
                  std::string("Initializing network...\n").size())
            << r.out;
        EXPECT_EQ(r.out.find("Separating picture"), std::string::npos) << r.out;
        EXPECT_EQ(r.err, "glimsee: cannot recognise with network " + c.why + "\n");
        EXPECT_EQ(dir.files(), before) << c.network;
    }
}

// Waits until the captured standard error of a started program holds text.
bool await_message(const started_program &started, const std::string &text) {
    for (int i = 0; i < 1000; i++) {
        std::ifstream err(started.capture->path() + "/err");
        std::string seen((std::istreambuf_iterator<char>(err)), std::istreambuf_iterator<char>());
        if (seen.find(text) != std::string::npos) return true;
        usleep(10000);
    }
    return false;
}

// The test holds the folder's lock while both trainers start, so both must
// wait; they then run one after the other, in either order.
TEST(LostWork, TwoTrainersInOneFolderKeepBothRunsLearning) {
    auto prepare = [](const scratch_dir &dir) {
        dir.write("train.ppm", read_file(std::string(SAMPLES_DIR) + "/train.ppm"));
        ASSERT_EQ(run_in(dir, GLIMCUT_PATH, {"train.ppm"}).status, 0);
        ASSERT_EQ(run_in(dir, GLIMCUT_PATH, {"train.ppm", "pat%d.act"}).status, 0);
        // The second trainer's patterns are the first one's, in reverse order.
        for (int i = 0; i < 3; i++)
            dir.write("pat" + std::to_string(i) + ".act",
                      dir.read("se-" + std::to_string(5 - i) + ".act"));
    };
    const std::vector<std::string> first = {"3", "4"}, second = {"3", "4", "pat%d.act"};
    std::string orders[2];
    for (int order = 0; order < 2; order++) {
        scratch_dir alone;
        prepare(alone);
        ASSERT_EQ(run_in(alone, GLIMLEARN_PATH, order == 0 ? first : second).status, 0);
        ASSERT_EQ(run_in(alone, GLIMLEARN_PATH, order == 0 ? second : first).status, 0);
        orders[order] = alone.read("glimnet.net");
    }
    ASSERT_NE(orders[0], orders[1]);

    scratch_dir dir;
    prepare(dir);
    int lock = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_EQ(flock(lock, LOCK_EX), 0);
    started_program a = run_start(dir, GLIMLEARN_PATH, first);
    started_program b = run_start(dir, GLIMLEARN_PATH, second);
    const std::string waiting =
        "glimlearn: waiting for another glimlearn in this folder to finish\n";
    EXPECT_TRUE(await_message(a, waiting));
    EXPECT_TRUE(await_message(b, waiting));
    close(lock);
    run_result ra = run_wait(a), rb = run_wait(b);
    EXPECT_EQ(ra.status, 0) << ra.err;
    EXPECT_EQ(rb.status, 0) << rb.err;
    EXPECT_EQ(ra.err, waiting);
    EXPECT_EQ(rb.err, waiting);
    // Exactly one of the two started from no network.
    const std::string fresh = "  Couldn't open file glimnet.net, don't load.\n";
    EXPECT_NE(ra.out.find(fresh) == std::string::npos, rb.out.find(fresh) == std::string::npos);
    std::string net = dir.read("glimnet.net");
    EXPECT_TRUE(net == orders[0] || net == orders[1]);
}

// A mask whose names hit an input, under any spelling or through a link, is
// refused before a file is written.
TEST(LostWork, OutputsNeverOverwriteInputs) {
    scratch_dir dir;
    trained_folder(dir);
    dir.write("test-1.ppm", read_file(std::string(SAMPLES_DIR) + "/test-1.ppm"));
    dir.write("net0", dir.read("glimnet.net"));
    ASSERT_EQ(symlink("train.ppm", (dir.path() + "/link.ppm").c_str()), 0);
    const auto before = dir.files();
    struct {
        const char *program;
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {GLIMCUT_PATH,
         {"test-1.ppm", "test-%d.ppm"},
         "glimcut: cannot write test-1.ppm: it is the input file test-1.ppm; nothing written\n"},
        {GLIMCUT_PATH,
         {"./link.ppm", "train%.0d.ppm"},
         "glimcut: cannot write train.ppm: it is the input file ./link.ppm; nothing written\n"},
        {GLIMSEE_PATH,
         {"train.ppm", "net0", "net%d"},
         "glimsee: cannot write net0: it is the input file net0; nothing written\n"},
    };
    for (const auto &c : cases) {
        run_result r = run_in(dir, c.program, c.args);
        EXPECT_EQ(r.status, 1) << c.err;
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out.find("Saving"), std::string::npos) << r.out;
        EXPECT_EQ(dir.files(), before) << c.err;
    }
}

// Saves through a link reach the linked file, keep a replaced file's mode,
// give a new file the mode of the umask and write a special file in place.
TEST(LostWork, SavesKeepLinksModesAndSpecialFiles) {
    scratch_dir dir;
    trained_folder(dir);
    const std::string path = dir.path();
    ASSERT_EQ(mkdir((path + "/nets").c_str(), 0755), 0);
    ASSERT_EQ(rename((path + "/glimnet.net").c_str(), (path + "/nets/real.net").c_str()), 0);
    ASSERT_EQ(chmod((path + "/nets/real.net").c_str(), 0600), 0);
    ASSERT_EQ(symlink("nets/real.net", (path + "/glimnet.net").c_str()), 0);
    const std::string earlier = dir.read("nets/real.net");

    run_result r = run_in(dir, GLIMLEARN_PATH, {"6", "1", "se-%d.act"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(S_ISLNK(mode_of(path + "/glimnet.net")));
    EXPECT_EQ(mode_of(path + "/nets/real.net") & 07777, 0600u);
    EXPECT_NE(dir.read("nets/real.net"), earlier);
    EXPECT_TRUE(dir.read("nets/real.net") == dir.read("glimnet.net"));

    // A dangling link gets its file; a new file's mode comes from the umask.
    ASSERT_EQ(symlink("nets/made.act", (path + "/made-0.act").c_str()), 0);
    mode_t mask = umask(022);
    r = run_in(dir, GLIMCUT_PATH, {"train.ppm", "made-%d.act"});
    umask(mask);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(S_ISLNK(mode_of(path + "/made-0.act")));
    EXPECT_EQ(mode_of(path + "/nets/made.act") & 07777, 0644u);
    EXPECT_EQ(mode_of(path + "/made-1.act") & 07777, 0644u);
    EXPECT_EQ(dir.read("nets/made.act"), dir.read("se-0.act"));

    // A FIFO and a device are written, not replaced.
    ASSERT_EQ(mkfifo((path + "/pipe.png").c_str(), 0644), 0);
    std::string through_pipe;
    std::thread reader([&] { through_pipe = dir.read("pipe.png"); });
    r = run_in(dir, GLIMVIEW_PATH, {"pattern", "-o", "pipe.png", "se-0.act"});
    reader.join();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(S_ISFIFO(mode_of(path + "/pipe.png")));
    EXPECT_EQ(through_pipe.substr(0, 8), "\x89PNG\r\n\x1a\n");
    r = run_in(dir, GLIMVIEW_PATH, {"pattern", "-o", "/dev/null", "se-0.act"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(S_ISCHR(mode_of("/dev/null")));
}

// A run stopped while it saves leaves no temporary file and dies of the
// signal; the network is the earlier one, or the new one when the signal came
// after the rename. Runs that finished first do not count.
TEST(LostWork, InterruptedSaveLeavesNoTemporaryFile) {
    scratch_dir reference;
    trained_folder(reference);
    ASSERT_EQ(run_in(reference, GLIMLEARN_PATH, {"6", "5"}).status, 0);
    const std::string saved = reference.read("glimnet.net");
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        int stops = 0;
        for (int attempt = 0; attempt < 20 && stops == 0; attempt++) {
            scratch_dir dir;
            trained_folder(dir);
            auto before = dir.files();
            int watch = inotify_init1(IN_CLOEXEC);
            ASSERT_GE(watch, 0);
            ASSERT_GE(inotify_add_watch(watch, dir.path().c_str(), IN_CREATE), 0);
            started_program started = run_start(dir, GLIMLEARN_PATH, {"6", "5"});
            bool seen = await_creation(watch, "glimnet.net.", 60000);
            if (seen) kill(started.pid, signal_number);
            close(watch);
            run_result r = run_wait(started);
            ASSERT_TRUE(seen) << r.out << r.err;
            if (r.status == 0) continue;
            EXPECT_EQ(r.status, 128 + signal_number);
            auto now = dir.files();
            if (now["glimnet.net"] == saved) {
                before["glimnet.net"] = saved;
            } else {
                stops++;
            }
            EXPECT_EQ(now, before) << strsignal(signal_number);
        }
        EXPECT_GT(stops, 0) << "every run saved before " << strsignal(signal_number);
    }
}

// The console went away: learning is saved all the same, and the run fails. Its output is far
// more than a pipe holds (some 130 kB), so writes fail once the reader is gone.
TEST(LostWork, ClosedConsoleStillSavesTheNetwork) {
    scratch_dir dir, whole;
    for (const scratch_dir *d : {&dir, &whole}) {
        d->write("train.ppm", read_file(std::string(SAMPLES_DIR) + "/train.ppm"));
        ASSERT_EQ(run_in(*d, GLIMCUT_PATH, {"train.ppm"}).status, 0);
    }
    ASSERT_EQ(run_in(whole, GLIMLEARN_PATH, {"6", "1500"}).status, 0);
    run_result r =
        run_in(dir, "/bin/bash",
               {"-c", "set -o pipefail; \"$0\" 6 1500 | head -c 10 >/dev/null", GLIMLEARN_PATH});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "glimlearn: cannot write the standard output: Broken pipe\n");
    EXPECT_EQ(dir.read("glimnet.net"), whole.read("glimnet.net"));
    EXPECT_EQ(dir.files().size(), 8u);
}

// Watches the save path through a preloaded library: the file reaches the
// disk before it replaces the old one, and a write that fails part-way is
// never hidden by the writes after it.
TEST(LostWork, SaveSyncsBeforeItRenamesAndNeverKeepsAFailedWrite) {
    scratch_dir dir, logs;
    trained_folder(dir);
    const std::string preload = std::string("LD_PRELOAD=") + SAVE_SHIM_PATH;
    // A preloaded library stands before the sanitizer's runtime; let it.
    const std::string asan = "ASAN_OPTIONS=verify_asan_link_order=0";
    run_options watched;
    watched.environment = {preload, asan, "GLIM_SHIM_LOG=" + logs.path() + "/calls"};
    run_result r = run_in(dir, GLIMLEARN_PATH, {"6", "1"}, watched);
    ASSERT_EQ(r.status, 0) << r.err;
    std::string calls = logs.read("calls");
    size_t rename_at = calls.find("rename glimnet.net.");
    ASSERT_NE(rename_at, std::string::npos) << calls;
    std::string temp = calls.substr(rename_at + 7, calls.find(' ', rename_at + 7) - rename_at - 7);
    EXPECT_NE(calls.find("fsync " + temp + "\n"), std::string::npos) << calls;
    EXPECT_LT(calls.find("fsync " + temp + "\n"), rename_at) << calls;

    const auto before = dir.files();
    run_options failing;
    failing.environment = {preload, asan, "GLIM_SHIM_FAIL_WRITE=2"};
    r = run_in(dir, GLIMLEARN_PATH, {"6", "1"}, failing);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "glimlearn: cannot write glimnet.net: Input/output error\n");
    EXPECT_EQ(dir.files(), before);
}

} // namespace
