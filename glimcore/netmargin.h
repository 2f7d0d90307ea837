// The margin rule: a second way of teaching the network, chosen on purpose,
// that stores what it is taught.
//
// For pattern x and unit j with target s = +1 (on) or -1 (off) and local field
// h = sum of w(k, j) over the units k != j that are on, minus the threshold of
// j, a unit whose s * h is below MARGIN_KAPPA moves its weights to the units
// that are on by s * MARGIN_WEIGHT_STEP and its threshold by
// -s * MARGIN_THRESHOLD_STEP: toward the side where it belongs. A pattern that
// every unit clears by the margin is a fixed point of recall, and one that
// settles back from a few flipped units.
//
// All units of a pattern are judged on the weights as the pattern found them;
// then the units that miss the margin move, in ascending unit order. A weight
// between two units that both move gets the lower unit's step first.
// Patterns are taken in the order given, once per cycle. A unit is on when
// its value is not 0, whatever the value.
//
// The rule works on the same network as the error-correcting rule (net_learn)
// and leaves it in the same form, so either rule may go on from the other.
#pragma once

#include "net.h"

// The margin a unit's field must clear. Measured with the steps below on 40
// sets of six shapes drawn afresh (as samples/shapes.ppm draws them) and on
// 30 and 60 bar patterns (samples/bar_patterns.sh): margins of 1, 2, 4 and 8
// all store every set; of the shapes, copies with 26 of 256 units flipped
// come back in 84, 95, 99.7 and 100 % of cases, after 12, 13, 15 and 20
// cycles on average. 4 keeps nearly all of the recall from noise for a
// quarter more cycles than 1; 8 costs another third.
constexpr double MARGIN_KAPPA = 4.0;
// What a unit that misses the margin adds to each of its weights to the units
// that are on, times its target. Twice the step stored the shapes in a fifth
// fewer cycles but brought back fewer noisy copies (76 against 84 % at a
// margin of 1); half the step took 19 cycles instead of 12.
constexpr double MARGIN_WEIGHT_STEP = 0.05;
// What it takes from its threshold, times its target. The threshold is the
// weight to a unit that is always on and that only the unit itself moves,
// while a weight between two units that are on is moved from both its ends:
// twice the weight step gives the threshold the same pace.
constexpr double MARGIN_THRESHOLD_STEP = 0.1;

// The two learning rules of the suite, for the programs that let a user choose.
enum learning_rule {
    RULE_CLASSIC, // net_learn, the error-correcting rule: the default everywhere
    RULE_MARGIN,  // margin_learn
};

// The rule called name, "classic" or "margin"; false for any other name.
bool rule_from_name(const char *name, learning_rule *rule);

// What margin_learn did.
struct margin_report {
    int cycles;   // cycles that ran
    bool learned; // every unit of every pattern clears the margin now
    long missing; // units of all patterns (counted per pattern) that miss it now
    long moved;   // units moved over all cycles (counted per pattern and cycle)
    bool broken;  // the network is broken: nothing was learned (after its message)
};

// Called after each cycle with the cycle's number (from 0) and the units it
// moved, counted per pattern; 0 means the cycle changed nothing.
typedef void (*margin_progress)(int cycle, long moved, void *context);

// Teaches the count patterns (each NETSIZE ints, only read) with the margin
// rule, at most max_cycles cycles, each pattern once per cycle in order. Stops
// early after the first cycle that moves no unit: the network then holds every
// pattern with the margin. progress, when not null, is called after every
// cycle. Weights and thresholds that start finite stay finite: each cycle
// moves a weight by at most 2 * MARGIN_WEIGHT_STEP and a threshold by at most
// MARGIN_THRESHOLD_STEP per pattern.
margin_report margin_learn(const int *const patterns[], int count, int max_cycles,
                           margin_progress progress, void *context);

// How many units of the count patterns (counted per pattern) miss the margin
// in the network as it is; nothing changes. -1 on a broken network.
long margin_missing(const int *const patterns[], int count);
