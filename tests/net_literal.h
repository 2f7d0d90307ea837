// Recall and learning exactly as the network's rules state them: every weight
// reached through weight_index and the block and position of its slot, every
// unit visited, every product formed. Slow on purpose; the fast core in
// glimcore/net.cpp is checked and measured against it. Works on the same
// process-wide network as the core and prints the same messages.
#pragma once

// Same contract as net_iterate.
int *literal_iterate(int *act, int max_steps);

// Same contract as net_learn.
void literal_learn(const int *act, int count);
