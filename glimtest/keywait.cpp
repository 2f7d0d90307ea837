// The key wait reads /dev/tty, not standard input, so it works while standard
// input is redirected, and returns at once where no terminal can be opened.
// While it waits, one line on the terminal says so; standard output never
// sees that line, so its bytes are the same with and without a terminal.
//
// The terminal is in raw mode only during a wait. The signal handlers, set
// once at start, keep it that way through job control: an ending signal puts
// the terminal back before the process dies, Ctrl-Z puts it back before the
// process stops, and SIGCONT sets raw mode again, since the shell restores
// its own settings while a job is stopped.
#include "keywait.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <termios.h>
#include <unistd.h>

static const char hint_text[] = "press a key to go on";
static const char hint_erase[] = "\r                    \r"; // as many blanks as the hint

static volatile sig_atomic_t terminal = -1;  // the terminal during a wait, else -1
static volatile sig_atomic_t hint_shown = 0; // the hint stands on the terminal
static struct termios saved_settings;        // the terminal's settings before the wait
static struct termios raw_settings;          // the same without line editing and echo
static struct sigaction stop_action;         // the Ctrl-Z handler, set again after each stop

static const int ending_signals[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};
// The handlers of ending_signals set before key_wait_setup (such as the one
// that removes a save's temporary file), called after the terminal is restored.
using signal_handler = void (*)(int);
static signal_handler ending_before[std::size(ending_signals)];

// Writes to the terminal from the program and from the handlers alike; a
// failed write costs only the hint.
static void terminal_write(const char *text, size_t length) {
    while (length > 0) {
        ssize_t written = write(terminal, text, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        text += written;
        length -= (size_t)written;
    }
}

static void hint_show() {
    if (hint_shown) return;
    terminal_write(hint_text, sizeof hint_text - 1);
    hint_shown = 1;
}

static void hint_remove() {
    if (!hint_shown) return;
    terminal_write(hint_erase, sizeof hint_erase - 1);
    hint_shown = 0;
}

// Sets raw mode. From the background the terminal driver stops the process
// with SIGTTOU until the shell brings it to the front, as it does for any
// program that needs the terminal; the call then goes on.
static void terminal_enter_raw() {
    while (tcsetattr(terminal, TCSANOW, &raw_settings) != 0 && errno == EINTR) {
    }
}

// Puts the terminal back as it was. SIGTTOU stays blocked meanwhile, so a
// process in the background is not stopped by it: one that is ending must
// end, and one that stops must stop with the terminal restored.
static void terminal_restore() {
    sigset_t ttou, previous;
    sigemptyset(&ttou);
    sigaddset(&ttou, SIGTTOU);
    sigprocmask(SIG_BLOCK, &ttou, &previous);
    hint_remove();
    tcsetattr(terminal, TCSANOW, &saved_settings);
    sigprocmask(SIG_SETMASK, &previous, nullptr);
}

// Ctrl-C, a hang-up or a termination: the terminal goes back as it was, then
// the signal takes its usual course.
static void on_ending_signal(int signal_number) {
    if (terminal >= 0) terminal_restore();
    signal(signal_number, SIG_DFL);
    for (size_t i = 0; i < std::size(ending_signals); i++)
        if (ending_signals[i] == signal_number && ending_before[i]) ending_before[i](signal_number);
    raise(signal_number); // delivered when the handler returns
}

// Ctrl-Z: the terminal goes back as it was, then the process stops as the
// signal's usual action would stop it, until SIGCONT.
static void on_stop_signal(int) {
    int saved_errno = errno;
    if (terminal >= 0) terminal_restore();
    signal(SIGTSTP, SIG_DFL);
    raise(SIGTSTP);
    sigset_t tstp;
    sigemptyset(&tstp);
    sigaddset(&tstp, SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &tstp, nullptr); // stops here
    sigaction(SIGTSTP, &stop_action, nullptr);
    // An orphaned process group is not stopped; the wait goes on at once.
    if (terminal >= 0) {
        terminal_enter_raw();
        hint_show();
    }
    errno = saved_errno;
}

// After a stop, whoever stopped it, the wait goes on in raw mode.
static void on_continue(int) {
    int saved_errno = errno;
    if (terminal >= 0) {
        terminal_enter_raw();
        hint_show();
    }
    errno = saved_errno;
}

// The signals whose handlers touch the terminal.
static void handled_signals(sigset_t *set) {
    sigemptyset(set);
    for (int signal_number : ending_signals)
        sigaddset(set, signal_number);
    sigaddset(set, SIGTSTP);
    sigaddset(set, SIGCONT);
}

// Handlers block each other, so none runs inside another; system calls that
// they interrupt go on. A signal the process was started to ignore stays
// ignored. Returns the handler function set before, or null.
static signal_handler handle(int signal_number, signal_handler handler, struct sigaction *action) {
    struct sigaction previous;
    sigaction(signal_number, nullptr, &previous);
    if (previous.sa_handler == SIG_IGN) return nullptr;
    *action = {};
    action->sa_handler = handler;
    action->sa_flags = SA_RESTART;
    handled_signals(&action->sa_mask);
    sigaction(signal_number, action, nullptr);
    bool function = !(previous.sa_flags & SA_SIGINFO) && previous.sa_handler != SIG_DFL;
    return function ? previous.sa_handler : nullptr;
}

void key_wait_setup() {
    struct sigaction action;
    for (size_t i = 0; i < std::size(ending_signals); i++)
        ending_before[i] = handle(ending_signals[i], on_ending_signal, &action);
    handle(SIGTSTP, on_stop_signal, &stop_action);
    handle(SIGCONT, on_continue, &action);
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
    raw_settings = saved_settings;
    raw_settings.c_lflag &= ~(ICANON | ECHO);
    raw_settings.c_cc[VMIN] = 1;
    raw_settings.c_cc[VTIME] = 0;

    terminal = fd;
    terminal_enter_raw();
    hint_show();
    unsigned char key;
    while (read(fd, &key, 1) < 0 && errno == EINTR) {
    }
    // No handler may set raw mode again once the wait is over.
    sigset_t handled, previous;
    handled_signals(&handled);
    sigprocmask(SIG_BLOCK, &handled, &previous);
    terminal_restore();
    terminal = -1;
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    close(fd);
}
