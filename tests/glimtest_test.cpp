// glimtest end to end: exact output, the network file, and the key wait at a terminal.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "pty_session.h"
#include "run_program.h"

namespace {

// The console output of an unattended run, as recorded.
std::string expected_output() {
    return read_file(std::string(TEST_DATA_DIR) + "/glimtest/unattended.out");
}

// The network that 200 passes over the two patterns teach.
void expect_taught_network(const std::string &net) {
    EXPECT_EQ(net.size(), 528042u);
    EXPECT_EQ(fnv1a_64(net), 0x2cc62604d79f5042u);
    EXPECT_EQ(net.substr(0, 26), "double weights0[1024] = {\n");
}

TEST(Glimtest, TeachesTestsAndSavesUnattended) {
    scratch_dir dir;
    run_result r = run_in(dir, GLIMTEST_PATH);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expected_output());
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(dir.files().size(), 1u);
    expect_taught_network(dir.read("glimtest.net"));
}

TEST(Glimtest, IgnoresArgumentsAndReplacesAnEarlierFile) {
    scratch_dir dir;
    dir.write("glimtest.net", "an older network");
    run_result r = run_in(dir, GLIMTEST_PATH, {"3", "x.net", "more"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expected_output());
    EXPECT_EQ(dir.files().size(), 1u);
    expect_taught_network(dir.read("glimtest.net"));
}

TEST(Glimtest, HelpAndVersionTouchNoFile) {
    scratch_dir dir;
    for (const char *help : {"-h", "--help"}) {
        run_result r = run_in(dir, GLIMTEST_PATH, {help});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.substr(0, 16), "Usage: glimtest\n");
    }
    run_result r = run_in(dir, GLIMTEST_PATH, {"--version"});
    EXPECT_EQ(r.out, "glimtest " GLIM_VERSION "\n");
    EXPECT_TRUE(dir.files().empty());
}

TEST(Glimtest, FailedSaveIsReportedByTheExitStatus) {
    scratch_dir dir;
    ASSERT_EQ(mkdir((dir.path() + "/glimtest.net").c_str(), 0755), 0);
    run_result r = run_in(dir, GLIMTEST_PATH);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, expected_output());
    EXPECT_EQ(r.err, "glimtest: cannot write glimtest.net: Is a directory\n");
}

// glimtest running at a pseudo-terminal, driven like a user at a console.
class GlimtestAtTerminal : public testing::Test {
  protected:
    void SetUp() override {
        pid = terminal.fork_child();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (chdir(dir.path().c_str()) == 0)
                execl(GLIMTEST_PATH, GLIMTEST_PATH, (char *)nullptr);
            _exit(127);
        }
    }
    void TearDown() override {
        if (pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }

    // Waits until glimtest waits for its count-th key: the hint it shows then
    // comes after everything printed before the wait, and nothing can follow
    // it until a key comes.
    void expect_waiting(int count) {
        ASSERT_TRUE(terminal.read_until(KEY_WAIT_HINT, count, 10000)) << terminal.output();
        EXPECT_TRUE(terminal.wait_raw(5000));
    }

    int exit_status() {
        int status = 0;
        waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    scratch_dir dir;
    pty_session terminal;
    pid_t pid = -1;
};

const char first_grid_end[] =
    "1/1 1/1 1/1 1/1 1/1 1/1 1/1 1/1 1/1 1/1 0/0 0/0 0/0 0/0 0/0 0/0 \r\n";
const char second_grid_end[] =
    "1/1 1/1 1/1 1/1 1/1 0/0 0/0 0/0 0/0 0/0 0/0 0/0 0/0 0/0 0/0 0/0 \r\n"
    "1/1 1/1 1/1 1/1 1/1 0/0 0/0 0/0 0/0 0/0 0/0 0/0 0/0 0/0 0/0 0/0 \r\n";

TEST_F(GlimtestAtTerminal, WaitsForTwoKeysAndRestoresTheTerminal) {
    expect_waiting(1);
    EXPECT_NE(terminal.output().find(first_grid_end), std::string::npos) << terminal.output();
    EXPECT_EQ(terminal.output().find("testing pattern 2"), std::string::npos);
    ASSERT_TRUE(terminal.type('x'));
    expect_waiting(2);
    // The second grid ends the output before the second wait; the network
    // is saved only after it.
    std::string before_wait = terminal.output().substr(0, terminal.output().rfind(KEY_WAIT_HINT));
    EXPECT_EQ(before_wait.substr(before_wait.size() - strlen(second_grid_end)), second_grid_end);
    EXPECT_FALSE(dir.exists("glimtest.net"));
    ASSERT_TRUE(terminal.type('y'));
    EXPECT_EQ(exit_status(), 0);
    EXPECT_EQ(terminal.output().find('x'), std::string::npos); // keys are not echoed
    EXPECT_EQ(terminal.local_flags(), terminal.before().c_lflag);
    EXPECT_TRUE(dir.exists("glimtest.net"));
}

TEST_F(GlimtestAtTerminal, InterruptDuringTheWaitRestoresTheTerminal) {
    expect_waiting(1);
    ASSERT_TRUE(terminal.type('\x03')); // Ctrl-C
    EXPECT_EQ(exit_status(), 128 + SIGINT);
    EXPECT_EQ(terminal.local_flags(), terminal.before().c_lflag);
    EXPECT_EQ(terminal.output().find("testing pattern 2"), std::string::npos);
    EXPECT_FALSE(dir.exists("glimtest.net"));
}

} // namespace
