// The object encoder.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "netsize.h"
#include "pict2.h"
#include "pictures.h"
#include "run_program.h"

namespace {

using window_cells = std::vector<signed char>;

const char LOAD_ERROR[] = "Error occured during loading image file -> exit";

// An 80 x 60 picture whose blue samples come from blue(px, py).
std::string make_picture(const blue_fn &blue, const char *header = USUAL_HEADER) {
    return ppm_picture(80, 60, blue, header);
}

window_cells load_window(const scratch_dir &dir, const std::string &picture, int x, int y, int w,
                         int h) {
    dir.write("picture.ppm", picture);
    window_cells window(WINDOW_CELLS, 0);
    EXPECT_EQ(window_load((dir.path() + "/picture.ppm").c_str(), window.data(), x, y, w, h), 0);
    return window;
}

signed char &cell(window_cells &window, int wx, int wy) {
    return window[wx * WINDOW_SIZE + wy];
}

// The number of ones of row u, or -1 when they are not a run from column 0.
int bar_length(const std::vector<int> &act, int u) {
    int length = 0;
    while (length < 16 && act[u * 16 + length] == 1)
        length++;
    for (int i = length; i < 16; i++)
        if (act[u * 16 + i] != 0) return -1;
    return length;
}

std::vector<int> encode(const window_cells &window) {
    std::vector<int> act(NETSIZE, -1);
    encode_window(window.data(), act.data());
    return act;
}

// Fills the disc of radius 99 around the middle with random levels 0 to 15.
window_cells random_window(unsigned seed) {
    std::mt19937 random(seed);
    window_cells window(WINDOW_CELLS, 0);
    for (int wx = 0; wx < WINDOW_SIZE; wx++)
        for (int wy = 0; wy < WINDOW_SIZE; wy++)
            if ((wx - 100) * (wx - 100) + (wy - 100) * (wy - 100) <= 99 * 99)
                cell(window, wx, wy) = (signed char)(random() % 16);
    return window;
}

TEST(WindowLoad, CentresTheBoxOnTheMiddleCell) {
    struct {
        int x, y, w, h;
        int wx_first, wx_last, wy_first, wy_last;
    } cases[] = {
        {10, 20, 0, 0, 100, 100, 100, 100}, {10, 20, 9, 0, 96, 105, 100, 100},
        {10, 20, 10, 0, 95, 105, 100, 100}, {10, 20, 0, 9, 100, 100, 96, 105},
        {10, 20, 0, 10, 100, 100, 95, 105}, {0, 0, 79, 59, 61, 140, 71, 130},
    };
    scratch_dir dir;
    std::string picture = make_picture([](int, int) { return 255; });
    for (const auto &c : cases) {
        window_cells window = load_window(dir, picture, c.x, c.y, c.w, c.h);
        for (int wx = 0; wx < WINDOW_SIZE; wx++) {
            for (int wy = 0; wy < WINDOW_SIZE; wy++) {
                bool inside =
                    wx >= c.wx_first && wx <= c.wx_last && wy >= c.wy_first && wy <= c.wy_last;
                ASSERT_EQ(cell(window, wx, wy), inside ? 15 : 0)
                    << "box " << c.x << "," << c.y << "," << c.w << "," << c.h << " cell " << wx
                    << "," << wy;
            }
        }
    }
}

TEST(WindowLoad, KeepsTheBlueSampleDividedBy16) {
    scratch_dir dir;
    auto blue = [](int px, int py) { return (px * 7 + py * 13) % 256; };
    const int x = 12, y = 7, w = 41, h = 30;
    window_cells window = load_window(dir, make_picture(blue), x, y, w, h);
    window_cells expected(WINDOW_CELLS, 0);
    for (int py = y; py <= y + h; py++)
        for (int px = x; px <= x + w; px++)
            cell(expected, px - x - w / 2 + 100, py - y - h / 2 + 100) =
                (signed char)(blue(px, py) / 16);
    EXPECT_EQ(window, expected);

    const int samples[] = {0, 15, 16, 31, 32, 255};
    const int levels[] = {0, 0, 1, 1, 2, 15};
    window = load_window(
        dir, make_picture([&](int px, int py) { return px < 6 && py == 0 ? samples[px] : 0; }), 0,
        0, 5, 0);
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(cell(window, 98 + i, 100), levels[i]) << "sample " << samples[i];
}

TEST(WindowLoad, ReadsEveryStandardHeaderLayout) {
    scratch_dir dir;
    auto blue = [](int px, int py) { return px * 3 + py; };
    window_cells expected = load_window(dir, make_picture(blue), 5, 5, 30, 20);
    for (const char *header : {"P6\n80 60\n255\n", "P6\n# one\n# two\n80 60\n255\n",
                               "P6\r\n# comment\r\n80 60\r\n255\n", "P6 80 60 255\n"}) {
        EXPECT_EQ(load_window(dir, make_picture(blue, header), 5, 5, 30, 20), expected) << header;
    }
}

// Runs window_load on a picture that it must refuse; returns what it printed
// on stdout and on stderr.
std::pair<std::string, std::string> refused_load(const std::string &picture) {
    window_cells window(WINDOW_CELLS, 0);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(window_load(picture.c_str(), window.data(), 0, 0, 10, 10), -1) << picture;
    std::string out = testing::internal::GetCapturedStdout();
    return {out, testing::internal::GetCapturedStderr()};
}

TEST(WindowLoad, RefusesAnyPictureButAn80By60OfMaximum255) {
    const char *headers[] = {
        "P6\n81 60\n255\n",   "P6\n80 59\n255\n", "P6\n60 80\n255\n", "P6\n80 60\n15\n",
        "P6\n80 60\n65535\n", "P3\n80 60\n255\n", "P6\n80 x\n255\n",  "P6\n80 60\n255",
    };
    scratch_dir dir;
    for (const char *header : headers) {
        dir.write("picture.ppm", make_picture([](int, int) { return 0; }, header));
        auto printed = refused_load(dir.path() + "/picture.ppm");
        EXPECT_EQ(printed.first, LOAD_ERROR) << header;
        // The reason comes first, on stderr.
        EXPECT_EQ(printed.second.rfind("cannot encode picture " + dir.path() + "/picture.ppm: ", 0),
                  0u)
            << header;
    }
}

TEST(WindowLoad, UnreadablePictureIsRefusedWithAMessageNamingIt) {
    scratch_dir dir;
    std::string missing = dir.path() + "/missing.ppm";
    auto printed = refused_load(missing);
    EXPECT_EQ(printed.first, "");
    EXPECT_EQ(printed.second, "cannot open picture " + missing + ": No such file or directory\n");

    std::string picture = make_picture([](int, int) { return 255; });
    dir.write("short.ppm", picture.substr(0, picture.size() - 1));
    printed = refused_load(dir.path() + "/short.ppm");
    EXPECT_EQ(printed.first, "");
    EXPECT_EQ(printed.second, "cannot encode picture " + dir.path() +
                                  "/short.ppm: its raster ends after 14399 of 14400 bytes\n");
}

// The profile as the rules state it: each diameter walked anew, its cells
// added one at a time in double precision.
std::vector<double> literal_profile(const window_cells &window) {
    std::vector<double> profile(PROFILE_LENGTH);
    double last = 0.0;
    int k = 0;
    for (double a = 1.0; a <= 360.0; a = a + 1.0, k++) {
        double ax = sin(a / 180 * pi) * 99 + 100, ay = cos(a / 180 * pi) * 99 + 100;
        double bx = sin((a + 180) / 180 * pi) * 99 + 100;
        double by = cos((a + 180) / 180 * pi) * 99 + 100;
        double dx = bx - ax, dy = by - ay, sum = 0.0;
        if (fabs(dx) < 0.01 || fabs(dy) < 0.01) {
            sum = last;
        } else if (fabs(dy) < fabs(dx)) {
            double m = dy / dx, px = ax, py = ay, qx = bx;
            if (bx < ax) px = bx, py = by, qx = ax;
            for (double t = px; t <= qx; t = t + 1.0)
                sum = sum + (double)window[(size_t)((int)t * WINDOW_SIZE + (int)((t - px) * m + py))];
        } else {
            double m = dx / dy, px = ax, py = ay, qy = by;
            if (by < ay) px = bx, py = by, qy = ay;
            for (double t = py; t <= qy; t = t + 1.0)
                sum = sum + (double)window[(size_t)((int)((t - py) * m + px) * WINDOW_SIZE + (int)t)];
        }
        last = sum;
        profile[(size_t)(k)] = sum;
    }
    return profile;
}

// Bit for bit, on windows of the values pictures give and of every value a
// cell can hold, the extremes included.
TEST(DiameterProfile, EqualsTheLiteralWalkBitForBit) {
    std::mt19937 random(11);
    for (int trial = 0; trial < 40; trial++) {
        window_cells window = random_window((unsigned)trial);
        if (trial >= 20)
            for (signed char &value : window)
                value = (signed char)(trial % 4 == 0 ? -128 : trial % 4 == 1 ? 127 : (int)(random() % 256) - 128);
        std::vector<double> profile(PROFILE_LENGTH);
        diameter_profile(window.data(), profile.data());
        std::vector<double> expected = literal_profile(window);
        ASSERT_EQ(memcmp(profile.data(), expected.data(), profile.size() * sizeof(double)), 0) << trial;
    }
}

TEST(DiameterProfile, AllZeroWindowGivesZeros) {
    window_cells window(WINDOW_CELLS, 0);
    std::vector<double> profile(PROFILE_LENGTH, -1.0);
    diameter_profile(window.data(), profile.data());
    EXPECT_EQ(profile, std::vector<double>(PROFILE_LENGTH, 0.0));
}

TEST(DiameterProfile, AxisDiametersRepeatTheDegreeBefore) {
    window_cells window = random_window(5);
    std::vector<double> profile(PROFILE_LENGTH);
    diameter_profile(window.data(), profile.data());
    for (int k : {89, 179, 269, 359}) {
        EXPECT_GT(profile[k - 1], 0.0);
        EXPECT_EQ(profile[k], profile[k - 1]) << k;
        EXPECT_NE(profile[k - 1], profile[k - 2]) << k; // the data is not trivially flat
    }
}

TEST(DiameterProfile, SingleCellIsSeenOnlyByItsDiameters) {
    struct {
        int wx, wy;
        std::vector<int> entries; // the entries that see the cell (degree - 1)
    } cases[] = {
        {150, 100, {88, 89, 268, 269}},
        {100, 150, {0, 180}},
        // At 135 degrees the two axes' spans are equal and the walk goes along wy.
        {170, 29, {134}},
        {29, 170, {314}},
    };
    for (const auto &c : cases) {
        window_cells window(WINDOW_CELLS, 0);
        cell(window, c.wx, c.wy) = 15;
        std::vector<double> profile(PROFILE_LENGTH);
        diameter_profile(window.data(), profile.data());
        std::vector<double> expected(PROFILE_LENGTH, 0.0);
        for (int k : c.entries)
            expected[k] = 15.0;
        EXPECT_EQ(profile, expected) << c.wx << "," << c.wy;
    }
}

TEST(Scaling, RemoveMeanAndNormalizeMaxAbs) {
    std::vector<double> values = {1, 2, 3, 6};
    remove_mean(values.data(), 4);
    EXPECT_EQ(values, (std::vector<double>{-2, -1, 0, 3}));
    normalize_max_abs(values.data(), 4);
    EXPECT_EQ(values, (std::vector<double>{-2.0 / 3, -1.0 / 3, 0, 1}));

    values = {1, 1, 5};
    remove_mean(values.data(), 3);
    EXPECT_EQ(values, (std::vector<double>{1 - 7.0 / 3, 1 - 7.0 / 3, 5 - 7.0 / 3}));

    values = {2, -4, 1, -4};
    normalize_max_abs(values.data(), 4);
    EXPECT_EQ(values, (std::vector<double>{0.5, -1, 0.25, -1}));

    values = {0, 0, 0};
    remove_mean(values.data(), 3);
    normalize_max_abs(values.data(), 3);
    for (double v : values)
        EXPECT_TRUE(std::isnan(v));
}

TEST(DftMagnitude, SimpleInputsGiveExactMagnitudes) {
    const double NEARLY_ZERO = -1.0; // a sine of a multiple of pi is not exactly 0
    std::vector<double> impulse(PROFILE_LENGTH, 0.0), constant(PROFILE_LENGTH, 3.0);
    impulse[0] = 1.0;
    std::vector<double> ones(PROFILE_LENGTH, 1.0), peak(PROFILE_LENGTH, NEARLY_ZERO);
    peak[0] = 3.0 * PROFILE_LENGTH;
    struct {
        std::vector<double> in, out;
    } cases[] = {{impulse, ones}, {constant, peak}};
    for (const auto &c : cases) {
        std::vector<double> in = c.in, out(PROFILE_LENGTH, -1.0);
        dft_magnitude(in.data(), out.data());
        EXPECT_EQ(in, c.in);
        for (size_t k = 0; k < out.size(); k++) {
            if (c.out[k] == NEARLY_ZERO)
                EXPECT_LT(out[k], 1e-9) << k;
            else
                EXPECT_EQ(out[k], c.out[k]) << k;
        }
    }
    std::vector<double> in(PROFILE_LENGTH, 1.0), out(PROFILE_LENGTH);
    in[7] = NAN;
    dft_magnitude(in.data(), out.data());
    for (double v : out)
        EXPECT_TRUE(std::isnan(v));
}

// The transform written out with the sine and cosine of every term.
std::vector<double> dft_direct(const std::vector<double> &v) {
    int n = (int)v.size();
    std::vector<double> out(n);
    for (int k = 0; k < n; k++) {
        double re = 0.0, im = 0.0;
        for (int q = 0; q < n; q++) {
            double phi = ((2 * pi * q) * k) / n;
            re = re + v[q] * cos(phi);
            im = im - v[q] * sin(phi);
        }
        out[k] = sqrt(re * re + im * im);
    }
    return out;
}

TEST(DftMagnitude, MatchesTheDirectEvaluationBitForBit) {
    EXPECT_EQ(pi, acos(-1.0));
    std::mt19937 random(11);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    for (int round = 0; round < 2; round++) {
        std::vector<double> in(PROFILE_LENGTH);
        for (double &v : in)
            v = uniform(random);
        std::vector<double> out(PROFILE_LENGTH), expected = dft_direct(in);
        dft_magnitude(in.data(), out.data());
        EXPECT_EQ(memcmp(out.data(), expected.data(), sizeof(double) * PROFILE_LENGTH), 0) << round;
    }
}

// Every entry of the tables, against the cosine and sine of its angle.
TEST(DftMagnitude, EveryTermHasTheSineAndCosineOfItsAngle) {
    for (int k = 0; k < PROFILE_LENGTH; k++)
        for (int q = 0; q < PROFILE_LENGTH; q++) {
            double phi = ((2 * pi * q) * k) / PROFILE_LENGTH;
            double cosine, sine, expected_cosine = cos(phi), expected_sine = sin(phi);
            dft_term(k, q, &cosine, &sine);
            ASSERT_EQ(memcmp(&cosine, &expected_cosine, sizeof cosine), 0) << k << " " << q;
            ASSERT_EQ(memcmp(&sine, &expected_sine, sizeof sine), 0) << k << " " << q;
        }
}

TEST(EncodeBars, EachThresholdIsReachedByItsOwnValue) {
    auto threshold = [](int i) { return 1.0 / ((16 - i) * (16 - i)); };
    // Row u gets column u's threshold, or the next double below it; the
    // entries that no row reads hold values that would fill a row.
    std::vector<double> at(PROFILE_LENGTH, 1.0), below(PROFILE_LENGTH, 1.0);
    for (int u = 0; u < 16; u++) {
        at[2 * u + 2] = threshold(u);
        below[2 * u + 2] = std::nextafter(threshold(u), 0.0);
    }
    std::vector<int> act(NETSIZE, -1);
    encode_bars(at.data(), act.data());
    for (int u = 0; u < 16; u++)
        EXPECT_EQ(bar_length(act, u), u + 1) << u;
    encode_bars(below.data(), act.data());
    for (int u = 0; u < 16; u++)
        EXPECT_EQ(bar_length(act, u), u) << u;

    std::vector<double> other(PROFILE_LENGTH, 0.5);
    const double values[] = {0.0, -1.0, 0.00390624, 1.0, 2.0, NAN};
    const int lengths[] = {0, 0, 0, 16, 16, 16};
    for (int u = 0; u < 6; u++)
        other[2 * u + 2] = values[u];
    encode_bars(other.data(), act.data());
    for (int u = 0; u < 6; u++)
        EXPECT_EQ(bar_length(act, u), lengths[u]) << values[u];
}

const int BOX_RUNS[16] = {15, 15, 12, 14, 13, 11, 8, 4, 10, 11, 7, 7, 6, 2, 4, 3};

// Column 15 of row 0 depends on rounding; every other cell is fixed.
void expect_box_runs(const std::vector<int> &act, const std::string &what) {
    for (int u = 0; u < 16; u++) {
        int ones = 0;
        for (int i = 0; i < 15; i++)
            ones += act[u * 16 + i];
        EXPECT_EQ(bar_length(act, u), u == 0 && act[15] == 1 ? 16 : BOX_RUNS[u])
            << what << " row " << u;
        EXPECT_EQ(ones, BOX_RUNS[u]) << what << " row " << u;
    }
}

TEST(EncodeWindow, BoxOf30By10GivesKnownBars) {
    for (int value : {1, 7, 15}) {
        window_cells wide(WINDOW_CELLS, 0), tall(WINDOW_CELLS, 0);
        for (int a = 85; a <= 115; a++) {
            for (int b = 95; b <= 105; b++) {
                cell(wide, a, b) = (signed char)value;
                cell(tall, b, a) = (signed char)value;
            }
        }
        expect_box_runs(encode(wide), "wide " + std::to_string(value));
        expect_box_runs(encode(tall), "tall " + std::to_string(value));
    }
}

TEST(EncodeWindow, AllZeroWindowGivesAllOnes) {
    EXPECT_EQ(encode(window_cells(WINDOW_CELLS, 0)), std::vector<int>(NETSIZE, 1));
}

TEST(EncodeObject, EncodesTheBoxOfThePicture) {
    scratch_dir dir;
    // Samples outside the box must not count, so they are noise.
    auto noise = [](int px, int py) { return (px * 31 + py * 17) % 256; };
    dir.write("wide.ppm", make_picture([&](int px, int py) {
                  return px >= 20 && px <= 50 && py >= 25 && py <= 35 ? 255 : noise(px, py);
              }));
    dir.write("tall.ppm", make_picture([&](int px, int py) {
                  return px >= 25 && px <= 35 && py >= 20 && py <= 50 ? 200 : noise(px, py);
              }));
    dir.write("dark.ppm", make_picture([](int px, int py) { return (px + py) % 16; }));
    std::vector<int> act(NETSIZE, -1);
    encode_object((dir.path() + "/wide.ppm").c_str(), 20, 25, 30, 10, act.data());
    expect_box_runs(act, "wide");
    encode_object((dir.path() + "/tall.ppm").c_str(), 25, 20, 10, 30, act.data());
    expect_box_runs(act, "tall");
    encode_object((dir.path() + "/dark.ppm").c_str(), 0, 0, 79, 59, act.data());
    EXPECT_EQ(act, std::vector<int>(NETSIZE, 1));
}

} // namespace
