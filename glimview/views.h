// The four views of glimview. Each reads its files through glimcore and
// returns 0, or -1 after a message on stderr; a view that fails to read its
// files writes no picture.
#pragma once

// The picture with its numbered object boxes, beside its thinned edge map.
int view_scene(const char *picture_name, const char *out_name);

// Each activation pattern as a 16 x 16 grid, side by side, with its file name.
int view_patterns(char *const pattern_names[], int count, const char *out_name);

// The weight matrix as a diverging colour map, the thresholds as a strip.
int view_net(const char *network_name, const char *out_name);

// A table on stdout of the Hamming distance from the result to each learned
// pattern, nearest first, and whether the result is one of them.
int view_match(const char *result_name, char *const learned_names[], int count);

// glimview report with the arguments after "report": which learned object
// each object of a picture is, as lines on stdout and a PNG picture.
int view_report(int argc, char *argv[]);

// glimcore's readers report a failure on stdout, where the suite's programs
// show it. For glimview it is an error, and stdout may hold a table, so the
// views send those messages to stderr: true before a read, false after it.
void reader_messages_to_stderr(bool on);
