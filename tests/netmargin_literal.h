// The margin rule exactly as it is stated: every weight reached through
// weight_index and the store, every unit of every pattern judged and moved in
// turn. Slow on purpose; glimcore/netmargin.cpp is checked against it.
#pragma once

#include "netmargin.h"

// Same contract as margin_learn, without the progress calls.
margin_report literal_margin_learn(const int *const patterns[], int count, int max_cycles);
