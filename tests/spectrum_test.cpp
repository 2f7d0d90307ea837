// The spectrum as the bars need it against the whole transform: the entries
// the bars read and the largest entry with the same bits, and the same
// patterns from the encoder as the steps written out in full give.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "netsize.h"
#include "pict2.h"

namespace {

bool same_bits(double x, double y) {
    return memcmp(&x, &y, sizeof x) == 0;
}

// Checks spectrum_for_bars on in against dft_magnitude; returns how many
// entries it left at +0.0.
int expect_spectrum_for_bars(const std::vector<double> &in, const char *what) {
    std::vector<double> full(PROFILE_LENGTH), part(PROFILE_LENGTH, -1.0);
    dft_magnitude(in.data(), full.data());
    spectrum_for_bars(in.data(), part.data());
    double full_largest = *std::max_element(full.begin(), full.end());
    double part_largest = *std::max_element(part.begin(), part.end());
    EXPECT_TRUE(same_bits(full_largest, part_largest) ||
                (std::isnan(full[0]) && std::isnan(part[0])))
        << what;
    for (int k = 2; k <= 32; k += 2)
        EXPECT_TRUE(same_bits(full[k], part[k])) << what << " entry " << k;
    int left_out = 0;
    for (int k = 0; k < PROFILE_LENGTH; k++) {
        if (same_bits(full[k], part[k])) continue;
        EXPECT_TRUE(same_bits(part[k], 0.0)) << what << " entry " << k;
        left_out++;
    }
    return left_out;
}

// Inputs as the encoder hands them over (centred and scaled to a largest
// magnitude of 1) with their energy at low, high and all frequencies.
std::vector<double> scaled(std::vector<double> v) {
    remove_mean(v.data(), PROFILE_LENGTH);
    normalize_max_abs(v.data(), PROFILE_LENGTH);
    return v;
}

TEST(SpectrumForBars, KeepsTheEntriesTheBarsReadAndTheLargest) {
    std::mt19937_64 random(3);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    int left_out_smooth = 0;
    for (int round = 0; round < 40; round++) {
        std::vector<double> smooth(PROFILE_LENGTH), noise(PROFILE_LENGTH), tone(PROFILE_LENGTH);
        int frequency = 1 + (int)(random() % 179);
        for (int q = 0; q < PROFILE_LENGTH; q++) {
            double a = 2 * M_PI * q / PROFILE_LENGTH;
            smooth[q] = std::floor(40 * (2 + cos(2 * a) + 0.3 * sin(4 * a + round)));
            noise[q] = uniform(random);
            tone[q] = cos(frequency * a) + 0.01 * uniform(random);
        }
        left_out_smooth += expect_spectrum_for_bars(scaled(smooth), "smooth");
        expect_spectrum_for_bars(scaled(noise), "noise");
        expect_spectrum_for_bars(scaled(tone), "single frequency");
    }
    // A profile that changes slowly needs few entries.
    EXPECT_GT(left_out_smooth, 40 * 250);
    std::vector<double> nan_profile(PROFILE_LENGTH, NAN);
    expect_spectrum_for_bars(nan_profile, "not a number");
}

// The encoder's steps as they are stated, with the whole transform.
std::vector<int> encode_in_full(const std::vector<signed char> &window) {
    double profile[PROFILE_LENGTH], spectrum[PROFILE_LENGTH];
    diameter_profile(window.data(), profile);
    remove_mean(profile, PROFILE_LENGTH);
    normalize_max_abs(profile, PROFILE_LENGTH);
    dft_magnitude(profile, spectrum);
    normalize_max_abs(spectrum, PROFILE_LENGTH);
    std::vector<int> act(NETSIZE);
    encode_bars(spectrum, act.data());
    return act;
}

// Windows of every kind an object gives: filled and hollow boxes and discs
// of any size and place, thin lines, specks and noise.
TEST(SpectrumForBars, EncoderGivesThePatternsOfTheWholeTransform) {
    std::mt19937 random(17);
    for (int round = 0; round < 300; round++) {
        std::vector<signed char> window(WINDOW_CELLS, 0);
        int shapes = 1 + (int)(random() % 3);
        for (int s = 0; s < shapes; s++) {
            int kind = (int)(random() % 4);
            int w = 1 + (int)(random() % 80), h = 1 + (int)(random() % 60);
            int x = WINDOW_CENTER - w / 2 + (int)(random() % 21) - 10;
            int y = WINDOW_CENTER - h / 2 + (int)(random() % 21) - 10;
            signed char level = (signed char)(random() % 16);
            for (int wx = std::max(x, 0); wx < std::min(x + w, WINDOW_SIZE); wx++)
                for (int wy = std::max(y, 0); wy < std::min(y + h, WINDOW_SIZE); wy++) {
                    double dx = (wx - x - w / 2.0) / (w / 2.0), dy = (wy - y - h / 2.0) / (h / 2.0);
                    bool inside = kind == 0   ? true
                                  : kind == 1 ? dx * dx + dy * dy <= 1
                                  : kind == 2 ? wx == x || wy == y || wx == x + w - 1
                                              : random() % 3 == 0;
                    if (inside) window[wx * WINDOW_SIZE + wy] = level;
                }
        }
        std::vector<int> act(NETSIZE);
        encode_window(window.data(), act.data());
        ASSERT_EQ(act, encode_in_full(window)) << "round " << round;
    }
}

} // namespace
