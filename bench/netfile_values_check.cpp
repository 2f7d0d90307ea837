// Reads COUNT random doubles, each written as the network file writes it
// ("%.16G" and a comma), with the network file's fast value reader and with
// the C library's strtod, and counts the values whose bits differ. Half the
// doubles are random bit patterns (every exponent, infinities and NaNs), half
// of the magnitudes that weights and thresholds have. Too long for the test
// suite at its full count; run it by hand:
//   glim_netfile_values_check [COUNT [SEED]]     (default 10^8, seed 1)
// Exit status 0 when every value matched.
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "netfile.h"

namespace {

uint64_t next_random(uint64_t *state) {
    uint64_t z = (*state += 0x9e3779b97f4a7c15u);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
    return z ^ (z >> 31);
}

double random_double(uint64_t *state) {
    uint64_t bits = next_random(state);
    double value;
    if (bits & 1) {
        bits = next_random(state);
        memcpy(&value, &bits, sizeof value);
    } else {
        // 53 random bits scaled into 10^-22 .. 10^4, either sign.
        double fraction = (double)(next_random(state) >> 11) / 9007199254740992.0;
        value = fraction * pow(10.0, (double)(int)(bits >> 1 & 31) - 22.0);
        if (bits & 64) value = -value;
    }
    return value;
}

} // namespace

int main(int argc, char **argv) {
    uint64_t count = argc > 1 ? strtoull(argv[1], nullptr, 10) : 100000000;
    uint64_t state = argc > 2 ? strtoull(argv[2], nullptr, 10) : 1;
    uint64_t differ = 0, refused = 0;
    for (uint64_t i = 0; i < count; i++) {
        double value = random_double(&state);
        char text[64];
        int length = snprintf(text, 40, "%.16G,", value);
        double fast = 0, expected = strtod(text, nullptr);
        // Every other value is followed by more text, as in a file, where the
        // reader takes its words whole; the others end the text, where it
        // takes single bytes.
        size_t size = (size_t)length;
        if (i % 2 == 1) {
            memset(text + length, '7', sizeof text - (size_t)length);
            size = sizeof text;
        }
        if (netfile_read_value(text, size, &fast) != (size_t)length) {
            if (refused++ < 10) printf("not read: %.*s\n", length, text);
            continue;
        }
        if (memcmp(&fast, &expected, sizeof fast) != 0 && differ++ < 10)
            printf("differs: %.*s read as %a, strtod gives %a\n", length, text, fast, expected);
    }
    printf("%" PRIu64 " values, %" PRIu64 " differ from strtod, %" PRIu64 " not read\n", count,
           differ, refused);
    return differ == 0 && refused == 0 ? 0 : 1;
}
