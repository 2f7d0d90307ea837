// Arbitrary bytes as a network file, read by net_load_text (the fast reader,
// handing over to the fscanf reader for any form it does not take) and by the
// fscanf reader alone, from the same network: both must give the same
// outcome, the same message and the same bits in every slot and threshold. A
// file that the fast reader takes whole must be one the fscanf reader loads
// without a message. Loaded values then go through the fast writer, which
// must write what printf writes.
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "fuzz_input.h"
#include "netfile.h"
#include "netfile_literal.h"

static double start_slots[WEIGHT_SLOT_COUNT];
static double start_thresholds[NETSIZE];
static double general_slots[WEIGHT_SLOT_COUNT];
static double general_thresholds[NETSIZE];
static int printed_fd = -1; // standard output goes here, to compare the messages

static void network_put(const double *slots, const double *units) {
    for (int s = 0; s < WEIGHT_SLOT_COUNT; s++)
        weight_slot_set(s, slots[s]);
    memcpy(thresholds, units, sizeof thresholds);
}

static void network_take(double *slots, double *units) {
    for (int s = 0; s < WEIGHT_SLOT_COUNT; s++)
        slots[s] = weight_slot(s);
    memcpy(units, thresholds, sizeof thresholds);
}

static bool network_equals(const double *slots, const double *units) {
    for (int s = 0; s < WEIGHT_SLOT_COUNT; s++) {
        double weight = weight_slot(s);
        if (memcmp(&slots[s], &weight, sizeof weight) != 0) return false;
    }
    return memcmp(units, thresholds, sizeof thresholds) == 0;
}

// Empties the captured output before a read and returns it after.
static void printed_reset() {
    fflush(stdout);
    if (ftruncate(printed_fd, 0) != 0 || lseek(printed_fd, 0, SEEK_SET) != 0)
        fuzz_fail("cannot reset the captured output");
}

static std::string printed_take() {
    fflush(stdout);
    std::string text(4096, '\0');
    ssize_t length = pread(printed_fd, text.data(), text.size(), 0);
    text.resize(length > 0 ? (size_t)length : 0);
    return text;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    net_verbose = 0;
    net_init();
    for (int s = 0; s < WEIGHT_SLOT_COUNT; s++)
        weight_slot_set(s, -7.25 - s);
    for (int u = 0; u < NETSIZE; u++)
        thresholds[u] = -3.5 - u;
    network_take(start_slots, start_thresholds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (printed_fd < 0) {
        printed_fd = memfd_create("fuzz-stdout", 0);
        if (printed_fd < 0 || dup2(printed_fd, STDOUT_FILENO) < 0)
            fuzz_fail("cannot capture standard output");
    }
    const char *name = "in.net";
    const char *text = (const char *)data;

    network_put(start_slots, start_thresholds);
    printed_reset();
    FILE *in = fmemopen((void *)text, size, "r");
    // fmemopen refuses an empty buffer on some C libraries; an empty file is
    // an empty stream.
    if (!in) in = fopen("/dev/null", "r");
    if (!in) fuzz_fail("cannot open the input as a stream");
    load_result general = netfile_read_stream(in, name);
    fclose(in);
    std::string general_printed = printed_take();
    network_take(general_slots, general_thresholds);

    network_put(start_slots, start_thresholds);
    bool fast_whole = netfile_read_text(text, size);
    if (fast_whole && (general != LOAD_OK || !general_printed.empty()))
        fuzz_fail("the fast reader took a file that the fscanf reader refuses");
    if (fast_whole && !network_equals(general_slots, general_thresholds))
        fuzz_fail("the fast reader stored other bits than the fscanf reader");

    network_put(start_slots, start_thresholds);
    printed_reset();
    load_result loaded = net_load_text(name, text, size);
    std::string loaded_printed = printed_take();
    if (loaded != general) fuzz_fail("the readers' outcomes differ");
    if (loaded_printed != general_printed) fuzz_fail("the readers' messages differ");
    if (!network_equals(general_slots, general_thresholds))
        fuzz_fail("the readers stored different bits");

    if (general == LOAD_OK) {
        std::string written;
        netfile_write_text(&written);
        if (written != literal_net_text()) fuzz_fail("the fast writer differs from printf");
    }
    return 0;
}
