// Writing and reading the network file.
#include "netfile.h"

#include <cerrno>
#include <cstdio>

#include "savefile.h"

// Values are written with "%.16G, "; a line breaks once the characters written
// since the last break or header exceed 70.
constexpr int LINE_LIMIT = 70;

static void write_value(FILE *out, double value, int *counter) {
    *counter += fprintf(out, "%.16G, ", value);
    if (*counter > LINE_LIMIT) {
        fprintf(out, "\n  ");
        *counter = 0;
    }
}

static bool store_complete() {
    for (double *block : weight_blocks)
        if (!block) return false;
    return true;
}

int net_save(const char *name) {
    if (net_broken) net_warn_broken();
    // After a failed allocation there is no network to write; keep the old file.
    if (!store_complete()) {
        fprintf(stderr, "  Weight store incomplete, %s not written.\n", name);
        return -1;
    }
    save_file file;
    FILE *out = save_begin(&file, name);
    if (!out) return -1;
    int counter = 0;
    fprintf(out, "double weights%d[%d] = {\n  ", 0, WEIGHT_BLOCK_SLOTS);
    for (int s = 0; s < WEIGHT_SLOT_COUNT; s++) {
        if (s % WEIGHT_BLOCK_SLOTS == 0 && s > 0) {
            fprintf(out, "\n}\ndouble weights%d[%d] = {\n  ", s / WEIGHT_BLOCK_SLOTS,
                    WEIGHT_BLOCK_SLOTS);
            counter = 0;
        }
        write_value(out, weight_slot(s), &counter);
    }
    counter = 0;
    fprintf(out, "\n}\n\ndouble thresholds[%d] = {\n  ", NETSIZE);
    for (int u = 0; u < NETSIZE; u++)
        write_value(out, thresholds[u], &counter);
    fprintf(out, "\n}\n");
    return save_commit(&file);
}

// Each read is one fscanf call. The runs of blanks and line ends after a
// header's brace or a value's comma also take carriage returns, so that a file
// with CR LF line ends reads like its LF twin; the trailing "s" never matches
// and only ends the scan.
static load_result read_network(FILE *in, const char *name) {
    for (int i = 0; i < WEIGHT_BLOCK_COUNT; i++) {
        int block = -1, size = -1;
        if (fscanf(in, "double weights%d[%d] = {%*[\r\n ]s", &block, &size) != 2 || block != i ||
            size != WEIGHT_BLOCK_SLOTS) {
            printf("  File format error in %s/%d.-, breaking.\n", name, i);
            return LOAD_FAILED;
        }
        for (int v = 0; v < WEIGHT_BLOCK_SLOTS; v++) {
            double value;
            if (fscanf(in, "%lG,%*[ \r\n]s", &value) != 1) {
                printf("  File format error in %s/%d.%d, breaking.\n", name, i, v);
                return LOAD_FAILED;
            }
            // After a failed allocation, values of missing blocks are read but dropped.
            if (weight_blocks[i]) weight_blocks[i][v] = value;
        }
        // The closing brace may be missing; the next header read decides.
        int ignored = fscanf(in, "}\n");
        (void)ignored;
    }
    int count = -1;
    if (fscanf(in, "\ndouble thresholds[%d] = {%*[\r\n ]s", &count) != 1 || count != NETSIZE) {
        printf("  File format error in %s/th.-, breaking.\n", name);
        return LOAD_FAILED;
    }
    for (int u = 0; u < NETSIZE; u++) {
        double value;
        if (fscanf(in, "%lG,%*[ \r\n]s", &value) != 1) {
            printf("  File format error in %s/th.%d, breaking.\n", name, u);
            return LOAD_FAILED;
        }
        thresholds[u] = value;
    }
    return LOAD_OK;
}

load_result net_load(const char *name) {
    if (net_broken) net_warn_broken();
    FILE *in = fopen(name, "r");
    if (!in) {
        bool missing = errno == ENOENT;
        printf("  Couldn't open file %s, don't load.\n", name);
        return missing ? LOAD_MISSING : LOAD_FAILED;
    }
    load_result result = read_network(in, name);
    fclose(in);
    return result;
}
