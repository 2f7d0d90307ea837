// Measures of the network for the tools that judge it: the energy of a state,
// the weights and thresholds that learning drove out of range, and recall one
// sweep at a time for callers that watch each sweep.
#pragma once

#include "net.h"

// A weight or threshold beyond this magnitude has left every range that
// learning reaches on a set it can hold: on a set it cannot hold, the values
// grow by orders of magnitude per cycle until they overflow.
constexpr double NET_DIVERGED_MAGNITUDE = 1e100;

// Whether value is infinite, not a number or beyond NET_DIVERGED_MAGNITUDE.
bool net_value_diverged(double value);

// How many of the weightsize weights and NETSIZE thresholds have diverged.
// The store must exist (net_init ran and the network is not broken).
int net_count_diverged();

// The energy of the state act: E = -sum over pairs i < j of w(i, j) s_i s_j
// + sum over i of thresholds[i] s_i, with s the unit values as doubles. Units
// that are off take no part, so a weight that is not finite between units
// that are off does not spoil the sum. Pairs in ascending order of i, then j,
// then the thresholds in unit order; each term (w s_i) s_j or t s_i first.
double net_energy(const int *act);

// The sum of the magnitudes of the terms of net_energy: the scale against
// which a difference of two energies is rounding or not.
double net_energy_scale(const int *act);

// Runs one sweep of recall on act, exactly as net_iterate with a limit of 1
// runs it, so that repeated calls until one returns 0 give the states and
// the sweep count of net_iterate with a larger limit. Returns the number of
// units whose value changed, or -1 on a broken network (after its message).
int net_sweep(int *act);
