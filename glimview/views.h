// The views of glimview. Each reads its files through glimcore and returns
// 0, or -1 after a message on stderr; a view that fails to read its files
// writes no picture.
#pragma once

#include <vector>

#include "canvas.h"
#include "encoding.h"
#include "netmargin.h"
#include "settings.h"

// The default --limit: how many units settling may change an object's
// encoding for the object to count as the learned object it settles into. Chosen by measuring
// learned shapes moved, scaled and recoloured against shapes never learned (see the README).
constexpr int REPORT_DEFAULT_LIMIT = 6;

// What a command line asks of a view, as the reader of glimview's commands
// (view_table.cpp) has checked it against the view's entry: the operands
// in their number, the output name (the default when -o gave none) that
// replaces no input, and the values of the options the view takes.
struct view_request {
    std::vector<char *> operands;
    const char *out_name = nullptr;    // null for a view that writes no picture
    const char *network = nullptr;     // --net FILE, glimnet.net by default
    int cycles = CYCLES_DEFAULT;       // --cycles N, as glimlearn teaches by default
    learning_rule rule = RULE_CLASSIC; // --rule NAME, as glimlearn
    std::vector<const char *> learned; // --learned PICTURE and the operands right after it
    const char *labels = nullptr;      // --labels FILE
    int limit = REPORT_DEFAULT_LIMIT;  // --limit BITS
    bool limit_given = false;
    encoding_choice choice; // --encoding NAME, --sizes LIST
    bool chosen = false;    // either of them given
};

// Runs the view that argv[1] names with the arguments after it, through the
// table of views: the exit status.
int glimview_run_command(int argc, char *argv[]);

// The usage text and the option lines of --help, built from the table.
const char *const *glimview_usage();
const char *const *glimview_help();

// The picture with its numbered object boxes, beside its thinned edge map.
int view_scene(const char *picture_name, const char *out_name);

// Each activation pattern as a 16 x 16 grid, side by side, with its file name.
int view_patterns(char *const pattern_names[], int count, const char *out_name);

// The weight matrix as a diverging colour map, the thresholds as a strip.
int view_net(const char *network_name, const char *out_name);

// A table on stdout of the Hamming distance from the result to each learned
// pattern, nearest first, and whether the result is one of them.
int view_match(const char *result_name, char *const learned_names[], int count);

// glimview report: which learned object each object of a picture (the one
// operand) is, as lines on stdout and a PNG picture. 0, or -1 after a message.
int view_report(const view_request &request);

// The whole argument as a number from 0 to most, in decimal digits alone: no
// sign, no space, nothing after it, so that every number option of glimview
// takes the same forms. 0, or -1 when arg is not such a number.
int view_scan_number(const char *arg, int most, int *value);

// The options every glimview command takes (-h, --help, --version), and the
// refusal of any other: the exit status (arg_option).
int glimview_option(const char *arg);

// A pattern settling in the network sweep by sweep, each state with the
// units it changed and its energy, as a strip; the table on stdout.
int view_settle(const char *pattern_name, const char *network_name, const char *out_name);

// The share of noisy copies of each pattern that settle back into it, by the
// number of units flipped, as a chart; the table on stdout.
int view_robustness(char *const pattern_names[], int count, const char *network_name,
                    const char *out_name);

// For n = 1 to count, the first n patterns taught to a fresh network: how
// many are stable and come back from noise, as a chart; the table on stdout.
// rule is the learning rule that teaches them.
int view_capacity(char *const pattern_names[], int count, int cycles, learning_rule rule,
                  const char *out_name);

// Starts a fresh network and reads network_name into it. 0, or -1 after a
// message when the file is missing or does not load whole or the weight store
// could not be built.
int view_load_network(const char *network_name);

// Reads count activation files into patterns, one vector of NETSIZE units
// each. 0, or -1 after the reader's message for the first that does not load.
int view_load_patterns(char *const pattern_names[], int count,
                       std::vector<std::vector<int>> *patterns);

// Saves picture as a PNG at out_name and tells so on stderr. 0, or -1 after
// a message.
int view_save_picture(const canvas *picture, const char *out_name);
