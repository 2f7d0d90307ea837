// A pseudo-terminal for tests that drive a program as a user at a console.
#include "pty_session.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <thread>
#include <unistd.h>
#include <utmp.h>

pty_session::pty_session() {
    // The settings are taken here, before any child exists: read later, they
    // could already be the ones a program set.
    if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0 ||
        tcgetattr(slave_, &before_) != 0)
        ADD_FAILURE() << "no pseudo-terminal: " << strerror(errno);
}

pty_session::~pty_session() {
    if (slave_ >= 0) close(slave_);
    close(master_);
}

pid_t pty_session::fork_child() {
    pid_t pid = fork();
    if (pid == 0) {
        close(master_);
        if (login_tty(slave_) != 0) _exit(126);
        return 0;
    }
    // The parent keeps only the master side, so that the terminal hangs up
    // when the child and its descendants are gone.
    close(slave_);
    slave_ = -1;
    return pid;
}

bool pty_session::read_until(const std::string &text, int count, int timeout_ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (occurrences(text) < count) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        struct pollfd p = {master_, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, (int)left.count()) <= 0) return false;
        char buffer[4096];
        ssize_t n = read(master_, buffer, sizeof buffer);
        if (n <= 0) return false;
        output_.append(buffer, (size_t)n);
    }
    return true;
}

int pty_session::occurrences(const std::string &text) const {
    int count = 0;
    for (size_t at = output_.find(text); at != std::string::npos; at = output_.find(text, at + 1))
        count++;
    return count;
}

tcflag_t pty_session::local_flags() const {
    struct termios now = {};
    tcgetattr(master_, &now);
    return now.c_lflag;
}

bool pty_session::is_raw() const {
    return (local_flags() & (ICANON | ECHO)) == 0;
}

bool pty_session::wait_raw(int timeout_ms) const {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!is_raw()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

bool pty_session::type(char key) const {
    return write(master_, &key, 1) == 1;
}
