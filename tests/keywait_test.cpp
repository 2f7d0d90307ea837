// glimtest's key wait under job control: at a pseudo-terminal whose session is
// led by a small stand-in for the shell, which starts glimtest in a process
// group of its own, in the foreground or in the background, with standard
// output in a file.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "pty_session.h"
#include "run_program.h"

namespace {

class KeyWait : public testing::Test {
  protected:
    // Starts the stand-in shell, which starts glimtest and reports its pid.
    void start(bool foreground) {
        int report[2];
        ASSERT_EQ(pipe(report), 0);
        shell = terminal.fork_child();
        ASSERT_GE(shell, 0);
        if (shell == 0) run_shell(foreground, report[1]);
        close(report[1]);
        ASSERT_EQ(read(report[0], &program, sizeof program), (ssize_t)sizeof program);
        close(report[0]);
    }

    // Runs in the child: glimtest in a process group of its own, given the
    // terminal when in the foreground; exits as glimtest ended.
    [[noreturn]] void run_shell(bool foreground, int report) {
        pid_t child = fork();
        if (child == 0) {
            setpgid(0, 0);
            if (foreground) {
                sigset_t ttou;
                sigemptyset(&ttou);
                sigaddset(&ttou, SIGTTOU);
                sigprocmask(SIG_BLOCK, &ttou, nullptr);
                tcsetpgrp(STDERR_FILENO, getpid());
                sigprocmask(SIG_UNBLOCK, &ttou, nullptr);
            }
            int out = open((dir.path() + "/out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int none = open("/dev/null", O_RDONLY);
            if (out < 0 || none < 0 || dup2(out, 1) < 0 || dup2(none, 0) < 0 ||
                chdir(dir.path().c_str()) != 0)
                _exit(126);
            execl(GLIMTEST_PATH, GLIMTEST_PATH, (char *)nullptr);
            _exit(127);
        }
        setpgid(child, child);
        if (write(report, &child, sizeof child) != (ssize_t)sizeof child) _exit(125);
        int status = 0;
        waitpid(child, &status, 0);
        _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    }

    void TearDown() override {
        if (program > 0) kill(program, SIGKILL);
        if (shell > 0) {
            kill(shell, SIGKILL);
            waitpid(shell, nullptr, 0);
        }
    }

    // Waits until glimtest's state (as /proc shows it) is state.
    bool reaches_state(char state, int timeout_ms) {
        std::string path = "/proc/" + std::to_string(program) + "/stat";
        for (int waited = 0; waited < timeout_ms; waited += 10) {
            std::string stat = read_proc(path);
            size_t close_paren = stat.rfind(')');
            if (close_paren != std::string::npos && close_paren + 2 < stat.size() &&
                stat[close_paren + 2] == state)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    static std::string read_proc(const std::string &path) {
        std::string text;
        int fd = open(path.c_str(), O_RDONLY);
        if (fd < 0) return text;
        char buffer[512];
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) text.assign(buffer, n);
        close(fd);
        return text;
    }

    // The shell's exit status, which is glimtest's; -1 when it has not ended
    // within timeout_ms.
    int exit_status(int timeout_ms) {
        for (int waited = 0; waited < timeout_ms; waited += 10) {
            int status = 0;
            if (waitpid(shell, &status, WNOHANG) == shell) {
                shell = -1;
                program = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }

    scratch_dir dir;
    pty_session terminal;
    pid_t shell = -1;
    pid_t program = -1;
};

TEST_F(KeyWait, HintStandsOnTheTerminalAndStdoutKeepsItsBytes) {
    start(true);
    ASSERT_TRUE(terminal.read_until(KEY_WAIT_HINT, 1, 10000)) << terminal.output();
    EXPECT_TRUE(terminal.wait_raw(5000));
    ASSERT_TRUE(terminal.type('x'));
    ASSERT_TRUE(terminal.read_until(KEY_WAIT_HINT, 2, 5000)) << terminal.output();
    ASSERT_TRUE(terminal.type('y'));
    ASSERT_TRUE(terminal.read_until(KEY_WAIT_ERASE, 2, 5000)) << terminal.output();
    EXPECT_EQ(exit_status(5000), 0);
    // The terminal saw the hint, erased after each key, and nothing else.
    EXPECT_EQ(terminal.output(),
              std::string(KEY_WAIT_HINT) + KEY_WAIT_ERASE + KEY_WAIT_HINT + KEY_WAIT_ERASE);
    EXPECT_EQ(terminal.local_flags(), terminal.before().c_lflag);

    scratch_dir headless;
    EXPECT_EQ(dir.read("out"), run_in(headless, GLIMTEST_PATH).out);
    EXPECT_EQ(dir.read("glimtest.net"), headless.read("glimtest.net"));
}

TEST_F(KeyWait, CtrlZGivesTheTerminalBackAndContinuingWaitsInRawModeAgain) {
    start(true);
    ASSERT_TRUE(terminal.read_until(KEY_WAIT_HINT, 1, 10000)) << terminal.output();
    ASSERT_TRUE(terminal.type('\x1a')); // Ctrl-Z
    ASSERT_TRUE(reaches_state('T', 5000));
    EXPECT_EQ(terminal.local_flags(), terminal.before().c_lflag);

    // The shell restores its own settings while the job is stopped; "fg"
    // continues it.
    ASSERT_EQ(tcsetattr(terminal.master(), TCSANOW, &terminal.before()), 0);
    ASSERT_EQ(kill(program, SIGCONT), 0);
    ASSERT_TRUE(terminal.read_until(KEY_WAIT_HINT, 2, 5000)) << terminal.output();
    EXPECT_TRUE(terminal.wait_raw(5000));
    ASSERT_TRUE(terminal.type('x')); // one key, no Enter
    ASSERT_TRUE(terminal.read_until(KEY_WAIT_HINT, 3, 5000)) << terminal.output();
    ASSERT_TRUE(terminal.type('y'));
    EXPECT_EQ(exit_status(5000), 0);
    EXPECT_EQ(terminal.local_flags(), terminal.before().c_lflag);
}

TEST_F(KeyWait, TerminatedInTheBackgroundDiesWithoutStoppingAgain) {
    start(false);
    // Taking the terminal from the background stops it, as for any program.
    ASSERT_TRUE(reaches_state('T', 10000));
    // What the shell's "kill %1" does to a stopped job.
    ASSERT_EQ(kill(program, SIGTERM), 0);
    ASSERT_EQ(kill(program, SIGCONT), 0);
    EXPECT_EQ(exit_status(5000), 128 + SIGTERM);
    EXPECT_EQ(terminal.local_flags(), terminal.before().c_lflag);
    EXPECT_EQ(terminal.output().find(KEY_WAIT_HINT), std::string::npos);
    EXPECT_FALSE(dir.exists("glimtest.net"));
}

// The key wait's handlers come after the save's: a signal during the save at
// the end still removes the save's temporary file, then ends the run.
TEST(KeyWaitHandlers, TerminationDuringTheSaveLeavesNoTemporaryFile) {
    int stops = 0;
    for (int attempt = 0; attempt < 20 && stops == 0; attempt++) {
        scratch_dir dir;
        int watch = inotify_init1(IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        ASSERT_GE(inotify_add_watch(watch, dir.path().c_str(), IN_CREATE), 0);
        started_program started = run_start(dir, GLIMTEST_PATH);
        bool seen = false;
        alignas(struct inotify_event) char buffer[4096];
        struct pollfd ready = {watch, POLLIN, 0};
        while (!seen && poll(&ready, 1, 60000) == 1) {
            ssize_t length = read(watch, buffer, sizeof buffer);
            for (ssize_t at = 0; at < length;) {
                const auto *event = reinterpret_cast<const struct inotify_event *>(buffer + at);
                seen = seen || (event->len > 0 && strncmp(event->name, "glimtest.net.", 13) == 0);
                at += (ssize_t)(sizeof(struct inotify_event) + event->len);
            }
        }
        if (seen) kill(started.pid, SIGTERM);
        close(watch);
        run_result r = run_wait(started);
        ASSERT_TRUE(seen) << r.out << r.err;
        if (r.status == 0) continue; // the save was done before the signal came
        EXPECT_EQ(r.status, 128 + SIGTERM);
        auto files = dir.files();
        if (files.empty() || (files.size() == 1 && files.count("glimtest.net"))) {
            stops += files.empty();
        } else {
            ADD_FAILURE() << "left behind: " << files.begin()->first;
        }
    }
    EXPECT_GT(stops, 0) << "every run saved before the signal";
}

} // namespace
