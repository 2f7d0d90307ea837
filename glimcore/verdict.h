// Which learned object an object's pattern is, if any: the verdict and the
// limit it is judged by.
//
// Each learned pattern belongs to a learned object (an object taught at
// several sizes has several patterns). An object is recognised as a learned
// object when its pattern lies within the limit of one of that object's
// patterns; the limit derived from the patterns themselves is below half the
// smallest distance between two objects' patterns, so no pattern can lie
// within the limit of two objects.
#pragma once

#include "netsize.h"

// The limit where fewer than two objects are learned and no distance between
// objects bounds it.
constexpr int VERDICT_LIMIT_ALONE = 6;
// The derived limit never exceeds this many units: far from every pattern,
// a shape never taught is as near to a learned one as a changed copy is.
constexpr int VERDICT_LIMIT_MOST = 24;

// How the settled pattern takes part in the verdict.
enum verdict_rule {
    // The pattern settles into a learned pattern, and settling changed no
    // more units than the limit (glimview report's rule before the derived
    // limit).
    VERDICT_SETTLED,
    // The unsettled pattern's nearest learned pattern is within the limit;
    // the network is not asked.
    VERDICT_NEAREST,
    // Both: the nearest learned pattern is within the limit and the pattern
    // settles into a pattern of the same object.
    VERDICT_AGREED,
};

struct verdict {
    int object;  // the learned object recognised, or -1 for unknown
    int nearest; // the learned object whose distance was judged (-1 when none is learned)
    int bits;    // that distance, in units
};

// Units in which a and b (NETSIZE each) differ.
int verdict_distance(const int *a, const int *b);

// The limit from count patterns, patterns[n] of learned object objects[n]:
// (d - 1) / 2 for the smallest distance d between patterns of two different
// objects, at most VERDICT_LIMIT_MOST; VERDICT_LIMIT_ALONE when fewer than
// two objects are learned.
int verdict_limit(const int *const *patterns, const int *objects, int count);

// The verdict on an object whose pattern was encoding before settling and
// settled after it (settled may be null for VERDICT_NEAREST).
verdict verdict_judge(const int *const *patterns, const int *objects, int count,
                      const int *encoding, const int *settled, int limit, verdict_rule rule);
