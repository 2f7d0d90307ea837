// glimlearn's watch on a network that learning drives out of range: after the
// network is loaded and after every learning cycle the run notes whether
// weights or thresholds have diverged, and once the network is saved one line
// on stderr warns that recall with it is unreliable. Nothing on stdout, and
// the exit status stays as it is.
#pragma once

// Marks the network as loaded, before any learning.
constexpr int DIVERGENCE_LOADED = -1;

// Notes the state of the network after learning cycle cycle (counted from 0,
// as the cycle lines number them) or DIVERGENCE_LOADED.
void divergence_watch(int cycle);

// Warns on stderr when the network holds values that are infinite, not a
// number or beyond NET_DIVERGED_MAGNITUDE, naming the cycle from which on it
// has held them. Silent on a sound network and on a broken one.
void divergence_warn(const char *net_file_name);
