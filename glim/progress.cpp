// The progress line of glim.
#include "progress.h"

#include <unistd.h>

#include "messages.h"

static int progress_terminal = -1; // whether stderr is a terminal; -1 until asked
static bool progress_shown;        // a progress line stands on the terminal
static long progress_last = -1;    // the percentage last drawn

void progress_show(const char *what, long done, long total) {
    if (progress_terminal < 0) progress_terminal = isatty(STDERR_FILENO);
    if (!progress_terminal || total <= 0) return;
    long percent = done * 100 / total;
    if (percent == progress_last && done != total) return;
    progress_last = percent;
    // The carriage return and the erase to the end of the line stand in the
    // format, which the message route writes as it is.
    message_print_stderr("\rglim: %s %ld of %ld\033[K", what, done, total);
    progress_shown = true;
}

void progress_end() {
    if (!progress_shown) return;
    message_print_stderr("\r\033[K");
    progress_shown = false;
    progress_last = -1;
}
