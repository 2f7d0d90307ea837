// Arbitrary bytes as a network file: net_load from a known network, then
// recall and learning on whatever the load left, each compared bit for bit
// with the literal rules. Files may hold any double, infinities and NaNs
// included, which are the cases where the fast core takes its special paths.
#include <cstring>

#include "fuzz_input.h"
#include "net.h"
#include "net_literal.h"
#include "netfile.h"

constexpr int RECALL_STEPS = 8;

static double saved_slots[WEIGHT_SLOT_COUNT];
static double saved_thresholds[NETSIZE];

static void network_store(double *slots, double *units) {
    for (int s = 0; s < WEIGHT_SLOT_COUNT; s++)
        slots[s] = weight_slot(s);
    memcpy(units, thresholds, sizeof thresholds);
}

static void network_restore(const double *slots, const double *units) {
    for (int s = 0; s < WEIGHT_SLOT_COUNT; s++)
        weight_slot_set(s, slots[s]);
    memcpy(thresholds, units, sizeof thresholds);
}

static bool network_equals(const double *slots, const double *units) {
    for (int s = 0; s < WEIGHT_SLOT_COUNT; s++) {
        double value = weight_slot(s);
        if (memcmp(&value, &slots[s], sizeof value) != 0) return false;
    }
    return memcmp(thresholds, units, sizeof thresholds) == 0;
}

// A pattern that depends on the input, so that recall and learning meet the
// loaded values from different starting points.
static void input_pattern(const uint8_t *data, size_t size, int *act) {
    uint64_t hash = 0xcbf29ce484222325u;
    for (size_t i = 0; i < size; i++)
        hash = (hash ^ data[i]) * 0x100000001b3u;
    for (int u = 0; u < NETSIZE; u++) {
        hash = hash * 6364136223846793005u + 1442695040888963407u;
        act[u] = (int)(hash >> 63);
    }
}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    net_verbose = 0;
    net_init();
    network_store(saved_slots, saved_thresholds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static double fresh_slots[WEIGHT_SLOT_COUNT], fresh_thresholds[NETSIZE];
    static double after_slots[WEIGHT_SLOT_COUNT], after_thresholds[NETSIZE];
    memcpy(fresh_slots, saved_slots, sizeof fresh_slots);
    memcpy(fresh_thresholds, saved_thresholds, sizeof fresh_thresholds);
    network_restore(fresh_slots, fresh_thresholds);
    net_load(fuzz_input_path(data, size));
    if (!net_copy_in_step()) fuzz_fail("the weight copy is out of step after loading");
    // A load that failed at once left the fresh network, which the tests cover.
    if (network_equals(fresh_slots, fresh_thresholds)) return 0;

    int pattern[NETSIZE], fast[NETSIZE], literal[NETSIZE];
    input_pattern(data, size, pattern);
    memcpy(fast, pattern, sizeof fast);
    memcpy(literal, pattern, sizeof literal);
    net_iterate(fast, RECALL_STEPS);
    literal_iterate(literal, RECALL_STEPS);
    if (!net_copy_in_step()) fuzz_fail("the weight copy is out of step after recall");
    if (memcmp(fast, literal, sizeof fast) != 0) fuzz_fail("recall differs from the literal rules");

    static double loaded_slots[WEIGHT_SLOT_COUNT], loaded_thresholds[NETSIZE];
    network_store(loaded_slots, loaded_thresholds);
    net_learn(pattern, 1);
    if (!net_copy_in_step()) fuzz_fail("the weight copy is out of step after learning");
    network_store(after_slots, after_thresholds);
    network_restore(loaded_slots, loaded_thresholds);
    literal_learn(pattern, 1);
    if (!net_copy_in_step()) fuzz_fail("the weight copy is out of step after literal learning");
    if (!network_equals(after_slots, after_thresholds))
        fuzz_fail("learning differs from the literal rules");
    return 0;
}
