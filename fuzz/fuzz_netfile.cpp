// Arbitrary bytes as a network file: net_load_text (the reader behind
// net_load, handed the bytes in memory) from a known network, then
// recall and learning on whatever the load left, each compared bit for bit
// with the literal rules. Files may hold any double, infinities and NaNs
// included, which are the cases where the fast core takes its special paths.
#include <cstring>

#include "fuzz_input.h"
#include "net.h"
#include "net_literal.h"
#include "netfile.h"

constexpr int RECALL_STEPS = 8;

// A copy of the whole network: the 32 weight blocks, then the thresholds.
struct network_copy {
    double slots[WEIGHT_SLOT_COUNT];
    double units[NETSIZE];
};

static network_copy fresh;  // as net_init leaves it
static network_copy loaded; // as the load under test left it
static network_copy taught; // after the fast core learned one pattern

static void network_store(network_copy *copy) {
    weight_slots_get(0, WEIGHT_SLOT_COUNT, copy->slots);
    memcpy(copy->units, thresholds, sizeof thresholds);
}

// Through the store's setter, which keeps the core's copy of the weights in step.
static void network_restore(const network_copy *copy) {
    weight_slots_set(0, WEIGHT_SLOT_COUNT, copy->slots);
    memcpy(thresholds, copy->units, sizeof thresholds);
}

// Word by word, outside the address checks: both copies are this file's own
// whole objects, and the sanitizer's memcmp would check and scan their
// 0.5 MB several times per input.
__attribute__((no_sanitize("address"))) static bool same_words(const network_copy *a,
                                                               const network_copy *b) {
    const uint64_t *x = (const uint64_t *)a, *y = (const uint64_t *)b;
    uint64_t differ = 0;
    for (size_t i = 0; i < sizeof *a / sizeof *x; i++) differ |= x[i] ^ y[i];
    return differ == 0;
}

// Bit for bit, so that NaNs compare by their bits.
static bool network_equals(const network_copy *copy) {
    static network_copy now;
    network_store(&now);
    return same_words(copy, &now);
}

// A pattern that depends on the input, so that recall and learning meet the
// loaded values from different starting points. The size and the last bytes
// tell inputs apart well enough, without a pass over all of a large one.
static void input_pattern(const uint8_t *data, size_t size, int *act) {
    constexpr size_t TAIL = 256;
    uint64_t hash = 0xcbf29ce484222325u ^ size;
    for (size_t i = size > TAIL ? size - TAIL : 0; i < size; i++)
        hash = (hash ^ data[i]) * 0x100000001b3u;
    for (int u = 0; u < NETSIZE; u++) {
        hash = hash * 6364136223846793005u + 1442695040888963407u;
        act[u] = (int)(hash >> 63);
    }
}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    net_verbose = 0;
    net_init();
    network_store(&fresh);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    network_restore(&fresh);
    net_load_text("fuzz.net", (const char *)data, size);
    if (!net_copy_in_step()) fuzz_fail("the weight copy is out of step after loading");
    // A load that failed at once left the fresh network, which the tests cover.
    if (network_equals(&fresh)) return 0;

    int pattern[NETSIZE], fast[NETSIZE], literal[NETSIZE];
    input_pattern(data, size, pattern);
    memcpy(fast, pattern, sizeof fast);
    memcpy(literal, pattern, sizeof literal);
    net_iterate(fast, RECALL_STEPS);
    literal_iterate(literal, RECALL_STEPS);
    if (!net_copy_in_step()) fuzz_fail("the weight copy is out of step after recall");
    if (memcmp(fast, literal, sizeof fast) != 0) fuzz_fail("recall differs from the literal rules");

    network_store(&loaded);
    net_learn(pattern, 1);
    if (!net_copy_in_step()) fuzz_fail("the weight copy is out of step after learning");
    network_store(&taught);
    network_restore(&loaded);
    literal_learn(pattern, 1);
    if (!net_copy_in_step()) fuzz_fail("the weight copy is out of step after literal learning");
    if (!network_equals(&taught)) fuzz_fail("learning differs from the literal rules");
    return 0;
}
