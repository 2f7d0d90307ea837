// Seeded unit flips and the recall test built on them.
#include "noise.h"

#include <cstring>

#include "net.h"

static uint64_t noise_next(noise_source *source) {
    uint64_t z = source->state += 0x9e3779b97f4a7c15u;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
    return z ^ (z >> 31);
}

void noise_seed(noise_source *source, const int *act, int flipped, int copy, uint64_t salt) {
    // 64-bit FNV-1a over the unit values names the pattern by its content, so
    // a pattern meets the same noise wherever it stands on the command line.
    uint64_t hash = 0xcbf29ce484222325u;
    for (int u = 0; u < NETSIZE; u++) {
        hash ^= (uint32_t)act[u];
        hash *= 0x100000001b3u;
    }
    source->state = hash ^ salt;
    source->state = noise_next(source) ^ (uint64_t)(uint32_t)flipped;
    source->state = noise_next(source) ^ (uint64_t)(uint32_t)copy;
}

int noise_below(noise_source *source, int bound) {
    return (int)((noise_next(source) >> 32) * (uint64_t)bound >> 32);
}

void noise_flip(noise_source *source, int *act, int count) {
    // The first count places of a shuffle of all units (Fisher-Yates, stopped early).
    int order[NETSIZE];
    for (int u = 0; u < NETSIZE; u++)
        order[u] = u;
    for (int k = 0; k < count; k++) {
        int pick = k + noise_below(source, NETSIZE - k);
        int unit = order[pick];
        order[pick] = order[k];
        order[k] = unit;
        act[unit] = act[unit] == 0 ? 1 : 0;
    }
}

bool noise_comes_back(noise_source *source, const int *act, int count, int limit) {
    int work[NETSIZE];
    memcpy(work, act, sizeof work);
    noise_flip(source, work, count);
    if (!net_iterate(work, limit)) return false;
    return memcmp(work, act, sizeof work) == 0;
}
