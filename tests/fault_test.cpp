// Saves that fail: a directory the program may not write, a parent that is a
// file, a file-size limit, and a program killed while it writes. In every case
// the files from before stay whole and a failure the program sees is reported
// and ends it with a non-zero status.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include "run_program.h"

namespace {

std::string sample(const std::string &name) {
    return read_file(std::string(SAMPLES_DIR) + "/" + name);
}

// A folder as the suite leaves it after a first round: the training picture,
// its pattern files, a trained network, the self-test's network and the
// recognised patterns of the picture.
void prepare_round(const scratch_dir &dir) {
    dir.write("train.ppm", sample("train.ppm"));
    ASSERT_EQ(run_in(dir, GLIMCUT_PATH, {"train.ppm"}).status, 0);
    ASSERT_EQ(run_in(dir, GLIMLEARN_PATH, {"6", "5"}).status, 0);
    ASSERT_EQ(run_in(dir, GLIMSEE_PATH, {"train.ppm"}).status, 0);
    ASSERT_EQ(run_in(dir, GLIMTEST_PATH).status, 0);
}

struct save_case {
    const char *program;
    std::vector<std::string> args;
    std::string message; // on stderr: the first file that could not be written
};

// Every program that writes, each run so that it writes over files of the round.
std::vector<save_case> saves_over_round(const std::string &reason) {
    return {
        {GLIMLEARN_PATH, {"6", "5"}, "glimlearn: cannot write glimnet.net: " + reason + "\n"},
        {GLIMTEST_PATH, {}, "glimtest: cannot write glimtest.net: " + reason + "\n"},
        {GLIMCUT_PATH, {"train.ppm"}, "glimcut: cannot write se-0.act: " + reason + "\n"},
        {GLIMSEE_PATH, {"train.ppm"}, "glimsee: cannot write ca-0.act: " + reason + "\n"},
    };
}

// The programs copied into a folder that every user may enter: the build
// tree may lie where user nobody cannot reach it, as in root's home.
std::string open_copy(const scratch_dir &bin, const std::string &program) {
    std::string copy = bin.path() + "/" + program.substr(program.rfind('/') + 1);
    bin.write(copy.substr(bin.path().size() + 1), read_file(program));
    EXPECT_EQ(chmod(copy.c_str(), 0755), 0);
    return copy;
}

// Root passes over a directory's permissions, so the program runs as nobody
// there; nobody must be able to enter the folder to read its input.
TEST(SaveFaults, ReadOnlyFolderKeepsEveryFile) {
    scratch_dir dir, bin;
    ASSERT_EQ(chmod(bin.path().c_str(), 0755), 0);
    prepare_round(dir);
    const auto before = dir.files();
    for (const save_case &c : saves_over_round("Permission denied")) {
        std::string program = geteuid() == 0 ? open_copy(bin, c.program) : c.program;
        ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
        run_options options;
        options.unprivileged = true;
        run_result r = run_in(dir, program, c.args, options);
        chmod(dir.path().c_str(), 0700);
        // 126: the folder cannot be entered; 127: the program cannot be run.
        if (r.status == 126 || r.status == 127)
            GTEST_SKIP() << "user nobody cannot enter " << dir.path() << " or run " << program
                         << "; set TMPDIR to a folder that every user may enter";
        EXPECT_EQ(r.status, 1) << c.program;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.program << "\n" << r.err;
        EXPECT_EQ(dir.files(), before) << c.program;
    }
}

// A parent that is a regular file stops even root from creating a file in it.
TEST(SaveFaults, MaskThroughAFileWritesNothing) {
    scratch_dir dir;
    dir.write("train.ppm", sample("train.ppm"));
    dir.write("plain", "a file, not a folder\n");
    ASSERT_EQ(run_in(dir, GLIMTEST_PATH).status, 0);
    const auto before = dir.files();
    const save_case cases[] = {
        {GLIMCUT_PATH,
         {"train.ppm", "plain/se-%d.act"},
         "glimcut: cannot write plain/se-0.act: Not a directory\n"},
        {GLIMSEE_PATH,
         {"train.ppm", "glimtest.net", "plain/ca-%d.act"},
         "glimsee: cannot write plain/ca-0.act: Not a directory\n"},
    };
    for (const save_case &c : cases) {
        run_result r = run_in(dir, c.program, c.args);
        EXPECT_EQ(r.status, 1) << c.program;
        EXPECT_EQ(r.err.substr(0, c.message.size()), c.message) << c.program;
        EXPECT_NE(r.out.find("Programm beendet.\n"), std::string::npos) << c.program;
        EXPECT_EQ(dir.files(), before) << c.program;
    }
}

// A network file is some 500 kB and a pattern file some 800 bytes. The limit
// binds the console output too, which the programs write in one piece at
// their end; a network save stays clear of it, a pattern save does not.
TEST(SaveFaults, FileSizeLimitKeepsTheEarlierFile) {
    scratch_dir dir;
    prepare_round(dir);
    const auto before = dir.files();
    for (const save_case &c : saves_over_round("File too large")) {
        bool pattern = c.message.find(".act") != std::string::npos;
        run_options options;
        options.file_size_limit = pattern ? 500 : 65536;
        run_result r = run_in(dir, c.program, c.args, options);
        EXPECT_EQ(r.status, 1) << c.program;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.program << "\n" << r.err;
        EXPECT_EQ(dir.files(), before) << c.program;
    }
}

// glimlearn is killed as soon as the temporary file of its network appears.
// Whenever the kill comes, the network file is the earlier one or the new one,
// never a part; the next run reads it without a complaint. A run that finished
// before the kill landed does not count, and the attempt is repeated.
TEST(SaveFaults, KilledWhileSavingLeavesAWholeNetwork) {
    int kills = 0;
    for (int attempt = 0; attempt < 10 && kills == 0; attempt++) {
        scratch_dir dir;
        prepare_round(dir);
        const std::string earlier = dir.read("glimnet.net");
        int watch = inotify_init1(IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        ASSERT_GE(inotify_add_watch(watch, dir.path().c_str(), IN_CREATE), 0);
        started_program started = run_start(dir, GLIMLEARN_PATH, {"6", "5"});
        bool seen = await_creation(watch, "glimnet.net.", 60000);
        if (seen) kill(started.pid, SIGKILL);
        close(watch);
        run_result r = run_wait(started);
        ASSERT_TRUE(seen) << "no temporary network file appeared\n" << r.out << r.err;
        std::string now = dir.read("glimnet.net");
        if (r.status == 128 + SIGKILL) {
            kills++;
            EXPECT_EQ(now, earlier);
        } else {
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_NE(now, earlier);
        }
        run_result next = run_in(dir, GLIMLEARN_PATH, {"6", "1"});
        EXPECT_EQ(next.status, 0) << next.out << next.err;
        EXPECT_EQ(next.out.find("File format error"), std::string::npos) << next.out;
    }
    EXPECT_GT(kills, 0) << "every run saved before the kill landed";
}

} // namespace
