// The key wait reads /dev/tty, not standard input, so it works while standard
// input is redirected, and returns at once where no terminal can be opened.
#include "keywait.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <iterator>
#include <termios.h>
#include <unistd.h>

static int terminal = -1;             // the terminal during a wait, else -1
static struct termios saved_settings; // its settings before the wait

static const int restoring_signals[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};

// Puts the terminal back as it was, then lets the signal take its usual course.
static void restore_and_reraise(int signal_number) {
    if (terminal >= 0) tcsetattr(terminal, TCSANOW, &saved_settings);
    signal(signal_number, SIG_DFL);
    raise(signal_number);
}

void key_wait() {
    // The user must see everything printed so far before the program stops.
    fflush(stdout);
    int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return;
    if (tcgetattr(fd, &saved_settings) != 0) {
        close(fd);
        return;
    }
    struct sigaction restore = {};
    restore.sa_handler = restore_and_reraise;
    sigemptyset(&restore.sa_mask);
    struct sigaction previous[std::size(restoring_signals)];
    terminal = fd;
    for (size_t i = 0; i < std::size(restoring_signals); i++)
        sigaction(restoring_signals[i], &restore, &previous[i]);

    struct termios raw = saved_settings;
    raw.c_lflag &= ~(ICANON | ECHO);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &raw);
    unsigned char key;
    while (read(fd, &key, 1) < 0 && errno == EINTR) {
    }
    tcsetattr(fd, TCSANOW, &saved_settings);

    for (size_t i = 0; i < std::size(restoring_signals); i++)
        sigaction(restoring_signals[i], &previous[i], nullptr);
    terminal = -1;
    close(fd);
}
