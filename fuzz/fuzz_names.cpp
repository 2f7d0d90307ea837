// Arbitrary text as a file-name mask and as a number argument: the checks the
// programs make before they form a file name from user text, and the
// formatting of every name a run can form from a mask that passed them.
#include <cstdio>
#include <cstring>
#include <string>

#include "cmdline.h"
#include "fuzz_input.h"
#include "names.h"
#include "scene.h"

// Input: one byte for the rule, four for the number, then the text up to the
// first NUL, as a command-line argument would be.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 5) return 0;
    mask_rule rule = data[0] & 1 ? MASK_EXACTLY_ONE : MASK_AT_MOST_ONE;
    int number;
    memcpy(&number, data + 1, sizeof number);
    std::string text((const char *)data + 5, size - 5);
    text = text.c_str();

    int value = 12345;
    arg_scan_int(text.c_str(), &value, "fuzzed number");

    char mask[NAME_SIZE];
    if (name_copy(mask, text.c_str(), "fuzzed mask") != 0) return 0;
    if (name_check_mask(mask, rule) != 0) return 0;
    char name[NAME_SIZE];
    for (int n : {0, MAX_OBJECTS - 1, number, value}) {
        if (name_format(name, mask, n) != 0) continue;
        if (strlen(name) > (size_t)NAME_SIZE - 1)
            fuzz_fail("formatted name longer than its buffer");
    }
    return 0;
}
