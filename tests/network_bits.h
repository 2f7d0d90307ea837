// The whole network as bit patterns, for tests that compare two runs of the
// core or of a reader bit for bit (NaN payloads and signed zeros included).
#pragma once

#include <cstdint>
#include <vector>

uint64_t bits_of(double value);
double from_bits(uint64_t bits);

// Every slot (the spare ones too) and every threshold.
struct network_bits {
    std::vector<uint64_t> slots, thresholds;
    bool operator==(const network_bits &other) const {
        return slots == other.slots && thresholds == other.thresholds;
    }
};

// The network in memory now.
network_bits network_take();

// Puts net into the network in memory, through the store's door.
void network_put(const network_bits &net);
