// The exact decimal conversion: its table of powers of ten against their
// definition, and its answers against strtod where each method decides.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "decimal.h"

namespace {

// Unsigned integers of any size, as 32-bit words from the lowest, with only
// what the table check needs.
using big = std::vector<uint32_t>;

void big_multiply(big *x, uint32_t factor) {
    uint64_t carry = 0;
    for (uint32_t &word : *x) {
        uint64_t product = (uint64_t)word * factor + carry;
        word = (uint32_t)product;
        carry = product >> 32;
    }
    if (carry) x->push_back((uint32_t)carry);
}

void big_add(big *x, const big &y) {
    if (x->size() < y.size()) x->resize(y.size(), 0);
    uint64_t carry = 0;
    for (size_t i = 0; i < x->size(); i++) {
        uint64_t sum = (uint64_t)(*x)[i] + (i < y.size() ? y[i] : 0) + carry;
        (*x)[i] = (uint32_t)sum;
        carry = sum >> 32;
    }
    if (carry) x->push_back((uint32_t)carry);
}

void big_trim(big *x) {
    while (!x->empty() && x->back() == 0)
        x->pop_back();
}

int big_bits(big x) {
    big_trim(&x);
    if (x.empty()) return 0;
    int bits = 32 * (int)(x.size() - 1);
    for (uint32_t top = x.back(); top; top >>= 1)
        bits++;
    return bits;
}

bool big_is_power_of_two(big x) {
    big_trim(&x);
    int ones = 0;
    for (uint32_t word : x)
        ones += __builtin_popcount(word);
    return ones == 1;
}

int big_compare(big a, big b) {
    big_trim(&a);
    big_trim(&b);
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    for (size_t i = a.size(); i-- > 0;)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return 0;
}

big big_of(uint64_t high, uint64_t low) {
    return {(uint32_t)low, (uint32_t)(low >> 32), (uint32_t)high, (uint32_t)(high >> 32)};
}

big big_times(big x, uint32_t factor, int times) {
    for (int i = 0; i < times; i++)
        big_multiply(&x, factor);
    return x;
}

// Entry e is the T of 2^127 <= T < 2^128 with T x 2^k <= 10^e < (T + 1) x 2^k
// for some k. For e >= 0, k is the bits of 10^e beyond 128 (T is 10^e itself,
// shifted up, when 10^e is shorter). For e < 0, multiplied through by 10^-e:
// T x 10^-e <= 2^-k < (T + 1) x 10^-e, so the least power of two at or above
// T x 10^-e lies below (T + 1) x 10^-e.
TEST(Decimal, EveryPowerOfTheTableHoldsItsDefinition) {
    for (int e = DECIMAL_POWER_MIN; e <= DECIMAL_POWER_MAX; e++) {
        const uint64_t *entry = decimal_powers[e - DECIMAL_POWER_MIN];
        ASSERT_NE(entry[0] >> 63, 0u) << "10^" << e << " not normalised";
        big t = big_of(entry[0], entry[1]);
        big next = t;
        big_add(&next, {1});
        if (e >= 0) {
            big power = big_times({1}, 10, e);
            int shift = big_bits(power) - 128;
            if (shift <= 0) {
                EXPECT_EQ(big_compare(t, big_times(power, 2, -shift)), 0) << "10^" << e;
            } else {
                EXPECT_LE(big_compare(big_times(t, 2, shift), power), 0) << "10^" << e;
                EXPECT_GT(big_compare(big_times(next, 2, shift), power), 0) << "10^" << e;
            }
        } else {
            big low = big_times(t, 10, -e);
            big high = big_times(next, 10, -e);
            int k = big_bits(low) - (big_is_power_of_two(low) ? 1 : 0);
            int high_bits = big_bits(high);
            bool above = high_bits > k + 1 || (high_bits == k + 1 && !big_is_power_of_two(high));
            EXPECT_TRUE(above) << "10^" << e;
        }
    }
}

uint64_t next_random(uint64_t *state) {
    uint64_t z = (*state += 0x9e3779b97f4a7c15u);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
    return z ^ (z >> 31);
}

// Digits of every length up to 19 at every exponent that may give a double,
// numbers half way between two doubles and the ends of the range: wherever
// decimal_convert decides, it gives strtod's bits, and it declines few
// results that are normal doubles.
TEST(Decimal, AgreesWithStrtodWhereverItDecides) {
    struct number {
        uint64_t digits;
        int exponent;
    };
    std::vector<number> numbers;
    uint64_t state = 3;
    for (int i = 0; i < 400000; i++) {
        uint64_t limit = 1;
        for (int d = (int)(next_random(&state) % 19) + 1; d > 0; d--)
            limit *= 10;
        numbers.push_back({next_random(&state) % limit, (int)(next_random(&state) % 700) - 350});
    }
    // Ties: odd multiples of half a unit in the last place of doubles of 53
    // and 54 bits, and their neighbours.
    for (uint64_t m = (1ull << 53) + 1; m < (1ull << 53) + 2000; m += 2)
        for (uint64_t near : {m - 1, m, m + 1, 2 * m, 2 * m + 1})
            numbers.push_back({near, 0});
    for (int e : {-324, -323, -308, -307, 308, 309})
        for (uint64_t digits : {1ull, 17976931348623157ull, 22250738585072014ull, 49406564584124654ull})
            numbers.push_back({digits, e - 16});
    int normal = 0, decided = 0;
    for (const number &n : numbers) {
        for (bool negative : {false, true}) {
            char text[64];
            snprintf(text, sizeof text, "%s%" PRIu64 "E%d", negative ? "-" : "", n.digits, n.exponent);
            double expected = strtod(text, nullptr), value = 0;
            bool is_normal = std::fpclassify(expected) == FP_NORMAL;
            normal += is_normal;
            if (!decimal_convert(n.digits, n.exponent, negative, &value)) continue;
            decided += is_normal;
            ASSERT_EQ(memcmp(&value, &expected, sizeof value), 0) << text;
        }
    }
    EXPECT_GT(decided, normal / 100 * 99);
}

} // namespace
