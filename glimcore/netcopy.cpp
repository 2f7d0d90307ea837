// The dense copy of the weights that recall and learning work from: when it is
// copied from the blocks, how learning's changes go back to them, and the
// tests' check that the two are in step.
//
// The weights of a sum come from a dense symmetric copy of the store,
// mirror[a][b] = w(a, b), so that they lie in sequence; its diagonal holds
// +0.0, which a sum may add (netkernels.cpp says why that changes nothing).
// The blocks remain the network; the copy is only ever the same numbers.
#include "netcore.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

double mirror[NETSIZE][MIRROR_WIDTH]; // mirror[a][b] = w(a, b); +0.0 elsewhere
// The store was written since the copy was made: the next call copies it again.
bool mirror_stale = true;
uint64_t nonfinite_from[NETSIZE][SET_WORDS]; // bit b of row a: w(a, b) is not finite
bool mirror_nonfinite;                       // some weight in the copy is not finite
bool mirror_foreign_nan;                     // some weight in the copy is a foreign NaN
static double invalid_result();
static const double INVALID_NAN = invalid_result(); // the bits of an invalid operation's NaN

// Infinity minus infinity, worked out at run time: the bits of this
// processor's NaN for an invalid operation.
static double invalid_result() {
    volatile double infinity = HUGE_VAL;
    return infinity - infinity;
}

// Through integers rather than memcmp: the fuzzing build keeps memcmp a call
// (its hooks watch every one), and the copy's check makes 65536 of them.
static bool same_bits(double x, double y) {
    uint64_t a, b;
    memcpy(&a, &x, sizeof a);
    memcpy(&b, &y, sizeof b);
    return a == b;
}

bool foreign_nan(double x) {
    return std::isnan(x) && !same_bits(x, INVALID_NAN);
}

// Row a of the store, the weights w(a, a + 1) to w(a, 255), fills consecutive
// slots that span at most two blocks. Calls piece(slot of the first weight,
// count, row offset) for each run of them within one block.
template <typename Piece> static void row_pieces(int a, Piece piece) {
    int count = NETSIZE - 1 - a;
    int first = weight_index(a, a + 1);
    for (int done = 0; done < count;) {
        int slot = first + done;
        int length = std::min(count - done, WEIGHT_BLOCK_SLOTS - slot % WEIGHT_BLOCK_SLOTS);
        piece(&slot_at(slot), length, done);
        done += length;
    }
}

// Copies row a of the store into the copy, and its mirror image into column a.
static void mirror_copy_row(int a) {
    double *copy = &mirror[a][a + 1];
    row_pieces(a, [&](const double *stored, int length, int done) {
        memcpy(copy + done, stored, (size_t)length * sizeof(double));
    });
    for (int b = a + 1; b < NETSIZE; b++)
        mirror[b][a] = mirror[a][b];
}

// Writes row a of the copy back into the store.
static void mirror_store_row(int a) {
    const double *copy = &mirror[a][a + 1];
    row_pieces(a, [&](double *stored, int length, int done) {
        memcpy(stored, copy + done, (size_t)length * sizeof(double));
    });
}

// The sets of weights that are not finite, as the copy holds them.
static void mirror_take_stock() {
    memset(nonfinite_from, 0, sizeof nonfinite_from);
    mirror_nonfinite = false;
    mirror_foreign_nan = false;
    for (int a = 0; a < NETSIZE - 1; a++)
        for (int b = a + 1; b < NETSIZE; b++) {
            double weight = mirror[a][b];
            if (std::isfinite(weight)) continue;
            note_nonfinite(a, b);
            if (foreign_nan(weight)) mirror_foreign_nan = true;
        }
}

// Every writer of the blocks (net_init, the file reader and other callers
// through weight_slot_set, the step-by-step learning, net_normalize) marks the
// copy stale, and the next recall or learning call copies it again whole: bit
// patterns, so -0.0 and NaN payloads are kept. It also takes stock of the
// weights that are not finite.
void mirror_refresh() {
    if (!mirror_stale) return;
    for (int a = 0; a < NETSIZE - 1; a++)
        mirror_copy_row(a);
    mirror_take_stock();
    mirror_stale = false;
}

// Learning from the copy leaves the blocks behind it (net_store_behind), and
// the copy is written back whole when the blocks are next read or written: by
// weight_slot, by the writers above, or by the core itself before it works on
// the blocks.
void net_store_sync() {
    if (!net_store_behind) return;
    for (int a = 0; a < NETSIZE - 1; a++)
        mirror_store_row(a);
    net_store_behind = false;
}

bool net_copy_in_step() {
    if (mirror_stale) return !net_store_behind;
    for (int a = 0; a < NETSIZE; a++) {
        bool same = true;
        if (a < NETSIZE - 1 && !net_store_behind)
            row_pieces(a, [&](const double *stored, int length, int done) {
                if (memcmp(&mirror[a][a + 1 + done], stored, (size_t)length * sizeof(double)))
                    same = false;
            });
        for (int b = 0; b < MIRROR_WIDTH; b++) {
            double expected = b < a ? mirror[b][a] : b < NETSIZE && b > a ? mirror[a][b] : 0.0;
            if (!same_bits(mirror[a][b], expected)) same = false;
        }
        if (!same) return false;
    }
    uint64_t noted[NETSIZE][SET_WORDS];
    memcpy(noted, nonfinite_from, sizeof noted);
    bool any_nonfinite = mirror_nonfinite, any_foreign = mirror_foreign_nan;
    mirror_take_stock();
    bool stock_same = memcmp(noted, nonfinite_from, sizeof noted) == 0 &&
                      any_nonfinite == mirror_nonfinite && any_foreign == mirror_foreign_nan;
    return stock_same;
}
