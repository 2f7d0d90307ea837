// Where the programs write and what they leave: outputs that are open
// descriptors, temporary files of killed runs, runs that share a network file
// through a link, reruns of --each over their own outputs, and memory that
// runs out. Each case checks the exit status, the message and every file.
#include <gtest/gtest.h>

#include <array>
#include <fcntl.h>
#include <fstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "pictures.h"
#include "run_program.h"

namespace {

const std::string ONE_OBJECT = ppm_picture(80, 60, blue_rectangles({{5, 5, 15, 12}}));

// A folder with the one-object picture, its pattern file and a network.
void trained_folder(const scratch_dir &dir) {
    trained_folder(dir, ONE_OBJECT);
}

// A target that stands for an open descriptor is written through it: appended
// where the shell opened the file for appending, into a pipe, never renamed
// over the file it has open; a descriptor open only for reading is refused.
TEST(SafeOutputs, DescriptorTargetsAreWrittenThroughTheDescriptor) {
    scratch_dir dir;
    trained_folder(dir);
    ASSERT_EQ(run_in(dir, GLIMPREP_PATH, {"pic.ppm", "ref.ppm"}).status, 0);
    ASSERT_EQ(run_in(dir, GLIMVIEW_PATH, {"pattern", "-o", "ref.png", "se-0.act"}).status, 0);
    const std::string picture = dir.read("ref.ppm"), png = dir.read("ref.png");
    dir.write("log.txt", "earlier\n");
    dir.write("log2.txt", "earlier\n");
    dir.write("log3.txt", "earlier\n");
    auto before = dir.files();

    const std::string wrote = "Wrote /dev/stdout from pic.ppm (PNM, 80 x 60)\n";
    run_result r = run_shell(dir, GLIMPREP_PATH, "\"$0\" pic.ppm /dev/stdout >>log.txt");
    EXPECT_EQ(r.status, 0) << r.err;
    // Compared whole but not printed: the files are binary.
    EXPECT_TRUE(dir.read("log.txt") == "earlier\n" + picture + wrote);
    r = run_shell(dir, GLIMPREP_PATH, "\"$0\" pic.ppm /dev/fd/3 3>>log2.txt");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(dir.read("log2.txt") == "earlier\n" + picture);
    r = run_shell(dir, GLIMVIEW_PATH, "\"$0\" pattern -o /proc/self/fd/1 se-0.act >>log3.txt");
    EXPECT_EQ(r.status, 0) << r.err;
    // The picture alone: what glimview says about it goes to stderr.
    EXPECT_TRUE(dir.read("log3.txt") == "earlier\n" + png);
    EXPECT_EQ(r.err, "glimview: wrote /proc/self/fd/1\n");
    r = run_shell(dir, GLIMPREP_PATH, "\"$0\" pic.ppm /dev/stdout | wc -c");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, std::to_string(picture.size() + wrote.size()) + "\n");
    r = run_shell(dir, GLIMPREP_PATH, "\"$0\" pic.ppm /dev/stdin <ref.ppm");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "glimprep: cannot write /dev/stdin: Bad file descriptor\n");

    before["log.txt"] = dir.read("log.txt");
    before["log2.txt"] = dir.read("log2.txt");
    before["log3.txt"] = dir.read("log3.txt");
    EXPECT_TRUE(dir.files() == before);
}

// Temporary files of saves killed beyond their handlers hold no lock; the
// next save in the folder removes them. A temporary file still locked (a save
// under way), a user's file that only looks alike and another user's
// leftovers are kept.
TEST(SafeOutputs, ASaveRemovesTheDeadTemporaryFilesOfItsFolder) {
    scratch_dir dir;
    trained_folder(dir);
    dir.write("glimnet.net.glimsave-AbC123", "left by a killed run");
    dir.write("se-0.act.glimsave-zzzzzz", "left by a killed run");
    dir.write("glimnet.net.glimsave-Locked", "a save under way");
    dir.write("glimnet.net.backup", "the user's");
    dir.write("glimnet.net.glimsave-short", "not a temporary name");
    int held = open((dir.path() + "/glimnet.net.glimsave-Locked").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    auto before = dir.files();

    run_result r = run_in(dir, GLIMLEARN_PATH, {"1", "1"});
    close(held);
    EXPECT_EQ(r.status, 0) << r.err;
    auto after = dir.files();
    before.erase("glimnet.net.glimsave-AbC123");
    before.erase("se-0.act.glimsave-zzzzzz");
    before["glimnet.net"] = after["glimnet.net"];
    EXPECT_EQ(after, before);
}

// Two folders whose glimnet.net is one file through a link take turns: the
// run in the linked folder waits for the lock on the folder that holds the
// file, and goes on once it is free.
TEST(SafeOutputs, RunsSharingANetworkThroughALinkTakeTurns) {
    scratch_dir top;
    ASSERT_EQ(mkdir((top.path() + "/a").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((top.path() + "/b").c_str(), 0755), 0);
    ASSERT_EQ(symlink("../b/glimnet.net", (top.path() + "/a/glimnet.net").c_str()), 0);
    scratch_dir source;
    trained_folder(source);
    std::ofstream(top.path() + "/a/se-0.act") << source.read("se-0.act");
    int folder = open((top.path() + "/b").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    ASSERT_EQ(flock(folder, LOCK_EX), 0);

    started_program started =
        run_start(top, "/bin/bash", {"-c", "cd a && exec \"$0\" 1 1", GLIMLEARN_PATH});
    // The message comes before the run waits; until the lock is free nothing is saved.
    std::string err_path = started.capture->path() + "/err";
    bool waiting = false;
    for (int i = 0; i < 6000 && !waiting; i++) {
        std::ifstream err(err_path);
        std::string line;
        waiting = std::getline(err, line) && line.find("waiting") != std::string::npos;
        if (!waiting) usleep(10000);
    }
    EXPECT_TRUE(waiting);
    struct stat network;
    EXPECT_NE(stat((top.path() + "/b/glimnet.net").c_str(), &network), 0);
    close(folder);
    run_result r = run_wait(started);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "glimlearn: waiting for another glimlearn in the folder ../b to finish\n");
    EXPECT_EQ(stat((top.path() + "/b/glimnet.net").c_str(), &network), 0);
    struct stat link;
    EXPECT_EQ(lstat((top.path() + "/a/glimnet.net").c_str(), &link), 0);
    EXPECT_TRUE(S_ISLNK(link.st_mode));
}

// A rerun of --each over a folder that holds its outputs looks up each input
// once and each output once: the count of stat calls grows with pictures and
// objects, not with their product (it was pictures x objects x pictures).
TEST(SafeOutputs, EachRerunChecksOutputsInLinearTime) {
    scratch_dir dir, logs;
    std::vector<std::array<int, 4>> boxes;
    for (int i = 0; i < 10; i++)
        boxes.push_back({2 + (i % 5) * 15, 3 + (i / 5) * 20, 11 + (i % 5) * 15, 15 + (i / 5) * 20});
    const std::string many = ppm_picture(80, 60, blue_rectangles(boxes));
    const int PICTURES = 60;
    std::vector<std::string> args = {"--each"};
    for (int i = 0; i < PICTURES; i++) {
        std::string name = "p" + std::to_string(i) + ".ppm";
        dir.write(name, many);
        args.push_back(name);
    }
    ASSERT_EQ(run_in(dir, GLIMCUT_PATH, args).status, 0);
    auto before = dir.files();
    run_options counted;
    counted.environment = {std::string("LD_PRELOAD=") + SAVE_SHIM_PATH,
                           "ASAN_OPTIONS=verify_asan_link_order=0",
                           "GLIM_SHIM_STATS=" + logs.path() + "/stats"};
    run_result r = run_in(dir, GLIMCUT_PATH, args, counted);
    EXPECT_EQ(r.status, 0) << r.err;
    long stats = std::stol(logs.read("stats"));
    // 60 inputs and 600 outputs; the check of every input for every output made 36 000.
    EXPECT_LT(stats, 20 * PICTURES * 10) << stats;
    EXPECT_EQ(dir.files(), before);
}

// Memory that runs out while the patterns load is a failure: nothing is
// learned, the network file stays as it was, and stderr says why.
TEST(SafeOutputs, GlimlearnOutOfMemoryLearnsAndSavesNothing) {
#ifdef GLIM_SANITIZED_BUILD
    GTEST_SKIP() << "an address-space limit cannot bind a sanitized program";
#endif
    scratch_dir dir;
    trained_folder(dir);
    auto before = dir.files();
    run_options limited;
    // Some 6 MB are the program; the pattern list takes the rest at 1 KB a
    // file, so the limit is met after some 20 000 of the same file.
    limited.address_space_limit = 32LL << 20;
    run_result r = run_in(dir, GLIMLEARN_PATH, {"100000000", "1", "se-0.act"}, limited);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "glimlearn: cannot learn: out of memory while loading pattern file se-0.act; "
                     "nothing saved\n");
    EXPECT_EQ(r.out.find("Learning cycle"), std::string::npos);
    EXPECT_EQ(dir.files(), before);
}

} // namespace
