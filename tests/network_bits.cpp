// The whole network as bit patterns.
#include "network_bits.h"

#include <cstring>

#include "net.h"

uint64_t bits_of(double value) {
    uint64_t bits;
    memcpy(&bits, &value, sizeof bits);
    return bits;
}

double from_bits(uint64_t bits) {
    double value;
    memcpy(&value, &bits, sizeof value);
    return value;
}

network_bits network_take() {
    network_bits net;
    for (int s = 0; s < WEIGHT_SLOT_COUNT; s++)
        net.slots.push_back(bits_of(weight_slot(s)));
    for (double t : thresholds)
        net.thresholds.push_back(bits_of(t));
    return net;
}

void network_put(const network_bits &net) {
    for (int s = 0; s < WEIGHT_SLOT_COUNT; s++)
        weight_slot_set(s, from_bits(net.slots[s]));
    for (int u = 0; u < NETSIZE; u++)
        thresholds[u] = from_bits(net.thresholds[u]);
}
