// The size of the network and of every activation vector, for the units that
// produce or store vectors without running the network.
#pragma once

constexpr int NETSIZE = 256; // units of the network, values of an activation vector
// An activation vector shown as a square grid, row by row: PATTERN_SIDE units
// to a row (the activation file's row layout, glimview's pattern pictures).
constexpr int PATTERN_SIDE = 16;
static_assert(PATTERN_SIDE * PATTERN_SIDE == NETSIZE, "a pattern is a square grid");
