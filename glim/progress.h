// Progress of long work, on stderr when it is a terminal and nowhere else: a
// line that rewrites itself, cleared when the work is done.
#pragma once

// Shows "glim: WHAT DONE of TOTAL"; only a new whole percentage redraws.
void progress_show(const char *what, long done, long total);

// Clears the progress line, if one is shown.
void progress_end();
