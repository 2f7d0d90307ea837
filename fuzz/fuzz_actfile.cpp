// Arbitrary bytes as an activation file: act_load, and for a whole load a
// round trip through the writer in both line layouts, which must give back
// every value as it was read.
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "actfile.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    int act[NETSIZE];
    for (int u = 0; u < NETSIZE; u++)
        act[u] = -7 - u;
    int before[NETSIZE];
    memcpy(before, act, sizeof act);
    if (act_load(act, fuzz_input_path(data, size)) != LOAD_OK) return 0;

    std::string name = std::string(fuzz_scratch_dir()) + "/round.act";
    for (int layout = 0; layout < 2; layout++) {
        act_file_layout = layout ? ACT_LAYOUT_CHARACTERS : ACT_LAYOUT_ROWS;
        if (act_save(act, name.c_str()) != 0) fuzz_fail("act_save failed");
        int again[NETSIZE];
        memcpy(again, before, sizeof again);
        if (act_load(again, name.c_str()) != LOAD_OK) fuzz_fail("a written file does not load");
        if (memcmp(again, act, sizeof act) != 0) fuzz_fail("round trip changed a value");
    }
    unlink(name.c_str());
    return 0;
}
