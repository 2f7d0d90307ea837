// A pseudo-terminal for tests that drive a program as a user at a console.
#pragma once

#include <string>
#include <sys/types.h>
#include <termios.h>

// What glimtest's key wait puts on the terminal, and how it takes it away.
constexpr char KEY_WAIT_HINT[] = "press a key to go on";
constexpr char KEY_WAIT_ERASE[] = "\r                    \r";

class pty_session {
  public:
    // Opens the terminal and takes its settings before any program can change them.
    pty_session();
    ~pty_session();
    pty_session(const pty_session &) = delete;
    pty_session &operator=(const pty_session &) = delete;

    // Forks as fork does; the child gets a session of its own with the
    // terminal as its controlling terminal and standard streams.
    pid_t fork_child();

    int master() const { return master_; }
    const struct termios &before() const { return before_; }
    const std::string &output() const { return output_; }

    // Reads the terminal until its output holds text count times, or until
    // timeout_ms pass.
    bool read_until(const std::string &text, int count, int timeout_ms);
    int occurrences(const std::string &text) const;

    tcflag_t local_flags() const;
    bool is_raw() const;
    // Waits until the terminal is in raw mode (no line editing, no echo), for
    // at most timeout_ms.
    bool wait_raw(int timeout_ms) const;
    // Writes one key as the user types it.
    bool type(char key) const;

  private:
    int master_ = -1;
    int slave_ = -1;
    struct termios before_ = {};
    std::string output_;
};
