// glimtest end to end: exact output, the network file, and the key wait at a terminal.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "run_program.h"

namespace {

const char *const pattern1_rows[16] = {
    "1111111111111111", "1111111111111100", "1111111111111100", "1111111111111000",
    "1111111111111100", "1111111111111000", "1111111111111000", "1111111111110000",
    "1111111111111000", "1111111111100000", "1111111111111000", "1111111111000000",
    "1111111111111000", "1111111000000000", "1111111111110000", "1111111111000000",
};
const char *const pattern2_rows[16] = {
    "1111111111111111", "1111111111111110", "1111111111100000", "1111111100000000",
    "1111111111110000", "1111111111111000", "1111111111100000", "1111111110000000",
    "1111111111000000", "1111111111100000", "1111111100000000", "1111111000000000",
    "0000000000000000", "1111110000000000", "1111100000000000", "1111100000000000",
};

// The comparison grid of a pattern that settled to itself.
std::string perfect_grid(const char *const rows[16]) {
    std::string grid;
    for (int r = 0; r < 16; r++) {
        for (int c = 0; c < 16; c++)
            grid += std::string(1, rows[r][c]) + "/" + rows[r][c] + " ";
        grid += "\n";
    }
    return grid;
}

std::string expected_output() {
    std::string out = "Number of network weights: 32640\nteaching net...\n  0";
    char counter[16];
    for (int pass = 0; pass < 200; pass++) {
        snprintf(counter, sizeof counter, "\b\b\b%3d", pass);
        out += counter;
        out += "  Learning cycle...0000\b0\n  Learning cycle...0000\b0\n";
    }
    out += "\n\ntesting pattern 1...\n  Iterated Network 1 steps.\n" + perfect_grid(pattern1_rows);
    out += "testing pattern 2...\n  Iterated Network 1 steps.\n" + perfect_grid(pattern2_rows);
    return out;
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
    EXPECT_EQ(r.err, "  Couldn't write file glimtest.net: Is a directory\n");
}

// glimtest running at a pseudo-terminal, driven like a user at a console.
class GlimtestAtTerminal : public testing::Test {
  protected:
    void SetUp() override {
        pid = forkpty(&master, nullptr, nullptr, nullptr);
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (chdir(dir.path().c_str()) == 0)
                execl(GLIMTEST_PATH, GLIMTEST_PATH, (char *)nullptr);
            _exit(127);
        }
        ASSERT_EQ(tcgetattr(master, &before), 0);
    }
    void TearDown() override {
        if (pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        close(master);
    }

    // Reads until the output holds text, or until timeout_ms pass without it.
    bool read_until(const std::string &text, int timeout_ms) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        while (output.find(text) == std::string::npos) {
            int left = (int)std::chrono::duration_cast<std::chrono::milliseconds>(
                           end - std::chrono::steady_clock::now())
                           .count();
            struct pollfd p = {master, POLLIN, 0};
            if (left <= 0 || poll(&p, 1, left) <= 0) return false;
            char buffer[4096];
            ssize_t n = read(master, buffer, sizeof buffer);
            if (n <= 0) return false;
            output.append(buffer, n);
        }
        return true;
    }

    bool terminal_is_raw() {
        struct termios now;
        tcgetattr(master, &now);
        return (now.c_lflag & (ICANON | ECHO)) == 0;
    }

    int exit_status() {
        int status = 0;
        waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    scratch_dir dir;
    int master = -1;
    pid_t pid = -1;
    struct termios before;
    std::string output;
};

const char first_grid_end[] =
    "1/1 1/1 1/1 1/1 1/1 1/1 1/1 1/1 1/1 1/1 0/0 0/0 0/0 0/0 0/0 0/0 \r\n";

TEST_F(GlimtestAtTerminal, WaitsForTwoKeysAndRestoresTheTerminal) {
    ASSERT_TRUE(read_until(first_grid_end, 10000)) << output;
    EXPECT_FALSE(read_until("testing pattern 2", 300));
    EXPECT_TRUE(terminal_is_raw());
    ASSERT_EQ(write(master, "x", 1), 1);
    ASSERT_TRUE(read_until("testing pattern 2...", 5000));
    ASSERT_TRUE(read_until("1/1 1/1 1/1 1/1 1/1 0/0 0/0 0/0 0/0 0/0 0/0 0/0 0/0 0/0 0/0 0/0 \r\n"
                           "1/1 1/1 1/1 1/1 1/1 0/0",
                           5000));
    EXPECT_FALSE(read_until("never printed", 300));
    EXPECT_FALSE(dir.exists("glimtest.net"));
    ASSERT_EQ(write(master, "y", 1), 1);
    EXPECT_EQ(exit_status(), 0);
    EXPECT_EQ(output.find('x'), std::string::npos); // keys are not echoed
    struct termios after;
    ASSERT_EQ(tcgetattr(master, &after), 0);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_TRUE(dir.exists("glimtest.net"));
}

TEST_F(GlimtestAtTerminal, InterruptDuringTheWaitRestoresTheTerminal) {
    ASSERT_TRUE(read_until(first_grid_end, 10000)) << output;
    EXPECT_FALSE(read_until("testing pattern 2", 200));
    ASSERT_EQ(write(master, "\x03", 1), 1); // Ctrl-C
    EXPECT_EQ(exit_status(), 128 + SIGINT);
    struct termios after;
    ASSERT_EQ(tcgetattr(master, &after), 0);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_FALSE(dir.exists("glimtest.net"));
}

} // namespace
