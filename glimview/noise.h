// Seeded noise for the views that test recall: which units of a pattern flip
// depends only on the pattern, the noise level, the copy number and the
// view's own salt, through integer arithmetic alone, so every run and every
// build flips the same units.
#pragma once

#include <cstdint>

// A 64-bit generator (SplitMix64): a counter passed through a fixed mix.
struct noise_source {
    uint64_t state;
};

// Seeds the generator for copy number copy of act at a noise level of
// flipped units; salt keeps the noise of different views apart.
void noise_seed(noise_source *source, const int *act, int flipped, int copy, uint64_t salt);

// A number from 0 to bound - 1 (bound from 1 to 2^32).
int noise_below(noise_source *source, int bound);

// Flips count distinct units of act, chosen at random (0 becomes 1, any other
// value 0). count must lie from 0 to NETSIZE.
void noise_flip(noise_source *source, int *act, int count);

// Settles a copy of act with count units flipped, at most limit sweeps, and
// tells whether it came back to act exactly.
bool noise_comes_back(noise_source *source, const int *act, int count, int limit);
