// The progress line of glim.
#include "progress.h"

#include <cstdio>
#include <unistd.h>

static int progress_terminal = -1; // whether stderr is a terminal; -1 until asked
static bool progress_shown;        // a progress line stands on the terminal
static long progress_last = -1;    // the percentage last drawn

void progress_show(const char *what, long done, long total) {
    if (progress_terminal < 0) progress_terminal = isatty(STDERR_FILENO);
    if (!progress_terminal || total <= 0) return;
    long percent = done * 100 / total;
    if (percent == progress_last && done != total) return;
    progress_last = percent;
    fprintf(stderr, "\rglim: %s %ld of %ld\033[K", what, done, total);
    fflush(stderr);
    progress_shown = true;
}

void progress_end() {
    if (!progress_shown) return;
    fprintf(stderr, "\r\033[K");
    fflush(stderr);
    progress_shown = false;
    progress_last = -1;
}
