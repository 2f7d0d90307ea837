// Exact conversion of a decimal number, already split into its digits and its
// power of ten, to the nearest double: the quick methods that readers of
// numbers written by this suite use before the C++ library's general one.
#pragma once

#include <cfloat>
#include <cstdint>
#include <cstring>

// The powers of ten 10^DECIMAL_POWER_MIN .. 10^DECIMAL_POWER_MAX as 128-bit
// fractions rounded down: entry e is {high word, low word} of the integer T
// with 2^127 <= T < 2^128 and T x 2^k <= 10^e < (T + 1) x 2^k for some k.
constexpr int DECIMAL_POWER_MIN = -348;
constexpr int DECIMAL_POWER_MAX = 347;
extern const uint64_t decimal_powers[DECIMAL_POWER_MAX - DECIMAL_POWER_MIN + 1][2];

// Two methods, each of which either gives the correctly rounded double or says
// that it cannot:
// - When the digits and the power of ten are both exact doubles, one IEEE
//   multiplication or division rounds their exact product once, correctly.
// - Otherwise the digits, shifted so that their top bit is set, are multiplied
//   by a 128-bit fraction of the power of ten that is at most one unit too
//   small in its last place. The true product lies in a known narrow interval
//   above the computed one; where every number of that interval rounds to the
//   same 53 bits, that is the answer. Where the interval may hold a rounding
//   boundary (the bits below the 54th all ones, or an exact half), or the
//   result is subnormal or overflows, the method declines.

#ifdef __SIZEOF_INT128__
__extension__ typedef unsigned __int128 decimal_uint128;

// Sets *bits to the double's bit pattern, or returns false (see above).
__attribute__((always_inline)) inline bool
decimal_convert_by_fraction(uint64_t digits, int exponent, bool negative, uint64_t *bits) {
    if (exponent < DECIMAL_POWER_MIN || exponent > DECIMAL_POWER_MAX) return false;
    int shift = __builtin_clzll(digits);
    uint64_t normal = digits << shift;
    // floor(exponent x log2(10)): 217706 / 2^16 is close enough to log2(10)
    // for every exponent of the table (it first fails at 643).
    uint64_t binary_exponent =
        (uint64_t)(((217706 * exponent) >> 16) + 64 + 1023) - (uint64_t)shift;
    const uint64_t *power = decimal_powers[exponent - DECIMAL_POWER_MIN];
    decimal_uint128 product = (decimal_uint128)normal * power[0];
    uint64_t high = (uint64_t)(product >> 64);
    uint64_t low = (uint64_t)product;
    // The low word of the power may carry into the bits that decide the
    // rounding only when those bits are all ones; then take it in.
    if ((high & 0x1FF) == 0x1FF && low + normal < normal) {
        decimal_uint128 rest = (decimal_uint128)normal * power[1];
        uint64_t rest_high = (uint64_t)(rest >> 64);
        uint64_t rest_low = (uint64_t)rest;
        uint64_t merged_high = high;
        uint64_t merged_low = low + rest_high;
        if (merged_low < low) merged_high++;
        if ((merged_high & 0x1FF) == 0x1FF && merged_low + 1 == 0 && rest_low + normal < normal)
            return false;
        high = merged_high;
        low = merged_low;
    }
    // The product's top bit is bit 127 or 126; keep 54 bits, the last for rounding.
    uint64_t top = high >> 63;
    uint64_t mantissa = high >> (top + 9);
    binary_exponent -= 1 ^ top;
    // Exactly half way between two doubles, as far as these bits tell.
    if (low == 0 && (high & 0x1FF) == 0 && (mantissa & 3) == 1) return false;
    mantissa += mantissa & 1;
    mantissa >>= 1;
    if (mantissa >> 53 > 0) {
        mantissa >>= 1;
        binary_exponent++;
    }
    // 0 and below (wrapped) are subnormal, 0x7FF and above infinite.
    if (binary_exponent - 1 >= 0x7FF - 1) return false;
    *bits = binary_exponent << 52 | (mantissa & 0x000FFFFFFFFFFFFF);
    if (negative) *bits |= 0x8000000000000000;
    return true;
}
#endif

// Sets *value to digits x 10^exponent rounded to the nearest double (ties to
// even), negated when negative, and returns true; digits holds at most 19
// decimal digits. Returns false, leaving *value alone, where these methods
// cannot decide the rounding: subnormal and overflowing results and the rare
// products too close to a rounding boundary. The caller then converts the
// text another way. Defined here, so that a reader's loop takes the common
// case inline.
__attribute__((always_inline)) inline bool decimal_convert(uint64_t digits, int exponent,
                                                           bool negative, double *value) {
    if (digits == 0) {
        *value = negative ? -0.0 : 0.0;
        return true;
    }
#if FLT_EVAL_METHOD == 0
    // 10^0 .. 10^22 are exact doubles, as is every whole number up to 2^53.
    static const double exact_powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                          1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (digits <= (uint64_t)1 << 53 && exponent >= -22 && exponent <= 22) {
        double result = (double)digits;
        if (exponent < 0)
            result /= exact_powers[-exponent];
        else
            result *= exact_powers[exponent];
        *value = negative ? -result : result;
        return true;
    }
#endif
#ifdef __SIZEOF_INT128__
    uint64_t bits;
    if (!decimal_convert_by_fraction(digits, exponent, negative, &bits)) return false;
    memcpy(value, &bits, sizeof bits);
    return true;
#else
    return false;
#endif
}
