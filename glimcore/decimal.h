// Exact conversion of a decimal number, already split into its digits and its
// power of ten, to the nearest double: the quick methods that readers of
// numbers written by this suite use before the C++ library's general one.
#pragma once

#include <cstdint>

// Sets *value to digits x 10^exponent rounded to the nearest double (ties to
// even), negated when negative, and returns true; digits holds at most 19
// decimal digits. Returns false, leaving *value alone, where these methods
// cannot decide the rounding: subnormal and overflowing results and the rare
// products too close to a rounding boundary. The caller then converts the
// text another way.
bool decimal_convert(uint64_t digits, int exponent, bool negative, double *value);

// The powers of ten 10^DECIMAL_POWER_MIN .. 10^DECIMAL_POWER_MAX as 128-bit
// fractions rounded down: entry e is {high word, low word} of the integer T
// with 2^127 <= T < 2^128 and T x 2^k <= 10^e < (T + 1) x 2^k for some k.
constexpr int DECIMAL_POWER_MIN = -348;
constexpr int DECIMAL_POWER_MAX = 347;
extern const uint64_t decimal_powers[DECIMAL_POWER_MAX - DECIMAL_POWER_MIN + 1][2];
