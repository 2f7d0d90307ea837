// The object encoder. All arithmetic is in double precision, one operation at
// a time, in the order written: the patterns must come out bit for bit the same
// on every run and every machine, so no sum may be reordered.
#include "pict2.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "messages.h"
#include "netsize.h"
#include "ppmheader.h"

extern const double pi = acos(-1.0);

// The sines and cosines of the transform's angles for PROFILE_LENGTH values,
// term q of entry k at k * PROFILE_LENGTH + q; the angles are the same for
// every object, so each row is computed once, when an entry first needs it.
static double dft_cos_table[PROFILE_LENGTH * PROFILE_LENGTH];
static double dft_sin_table[PROFILE_LENGTH * PROFILE_LENGTH];
static bool dft_row_ready[PROFILE_LENGTH]; // row k of both tables is filled
// cos and sin of 2 pi m / PROFILE_LENGTH, for estimates of the spectrum
static double unit_cos[PROFILE_LENGTH], unit_sin[PROFILE_LENGTH];
static bool unit_circle_ready; // set once both are filled
// The diameters' cells (below) are the same for every object.
static bool diameter_ends_ready; // set once they are found

constexpr int PICTURE_MAXVAL = 255;
constexpr int BAR_ROWS = 16;
constexpr int BAR_COLUMNS = 16;
constexpr double DIAMETER_RADIUS = 99; // keeps every sample inside the window
constexpr double AXIS_TOLERANCE = 0.01;

static_assert(BAR_ROWS * BAR_COLUMNS == NETSIZE, "the bars must fill the activation vector");
static_assert(2 * BAR_ROWS + 2 < PROFILE_LENGTH, "the bars read spectrum entries 2 to 32");

int encode_object(const char *path, int x, int y, int w, int h, int *act) {
    signed char window[WINDOW_CELLS];
    memset(window, 0, sizeof window);
    if (window_load(path, window, x, y, w, h) != 0) return -1;
    encode_window(window, act);
    return 0;
}

void encode_object_raster(const unsigned char *rgb, int x, int y, int w, int h, int *act) {
    signed char window[WINDOW_CELLS];
    memset(window, 0, sizeof window);
    window_fill(rgb, window, x, y, w, h);
    encode_window(window, act);
}

int picture_read_raster(const char *path, unsigned char *raster) {
    FILE *in = fopen(path, "rb");
    if (!in) {
        int error = errno;
        message_error("cannot open picture %s: %s", path, strerror(error));
        return -1;
    }
    ppm_header header;
    ppm_status status = ppm_read_header(in, &header);
    if (status != PPM_OK || header.width != PICTURE_WIDTH || header.height != PICTURE_HEIGHT ||
        header.maxval != PICTURE_MAXVAL) {
        fclose(in);
        // The scene loader takes more than the encoder does; say which part
        // of the header the encoder refuses before its own message.
        if (status == PPM_BAD_MAGIC)
            message_error("cannot encode picture %s: the magic number %s is not P6", path,
                          header.magic);
        else if (status != PPM_OK)
            message_error("cannot encode picture %s: %s", path, header.error);
        else if (header.width != PICTURE_WIDTH || header.height != PICTURE_HEIGHT)
            message_error("cannot encode picture %s: the size %d x %d is not %d x %d", path,
                          header.width, header.height, PICTURE_WIDTH, PICTURE_HEIGHT);
        else
            message_error("cannot encode picture %s: the maximum sample value %d is not %d", path,
                          header.maxval, PICTURE_MAXVAL);
        message_print("Error occured during loading image file -> exit");
        return -1;
    }
    size_t length = fread(raster, 1, PICTURE_RASTER_BYTES, in);
    if (length < PICTURE_RASTER_BYTES) {
        int error = errno;
        if (ferror(in))
            message_error("cannot read picture %s: %s", path, strerror(error));
        else
            message_error("cannot encode picture %s: its raster ends after %zu of %d bytes", path,
                          length, PICTURE_RASTER_BYTES);
        fclose(in);
        return -1;
    }
    fclose(in);
    return 0;
}

int window_load(const char *path, signed char *window, int x, int y, int w, int h) {
    unsigned char raster[PICTURE_RASTER_BYTES];
    if (picture_read_raster(path, raster) != 0) return -1;
    window_fill(raster, window, x, y, w, h);
    return 0;
}

void window_fill(const unsigned char *rgb, signed char *window, int x, int y, int w, int h) {
    // The box's left column lands at WINDOW_CENTER - w / 2, its right column at
    // WINDOW_CENTER + w - w / 2, and its rows likewise; integer division
    // truncates, so an odd box reaches one cell further right and down.
    const unsigned char *sample = rgb;
    for (int py = 0; py < PICTURE_HEIGHT; py++) {
        for (int px = 0; px < PICTURE_WIDTH; px++, sample += 3) {
            if (px < x || px > x + w || py < y || py > y + h) continue;
            int wx = px - x - w / 2 + WINDOW_CENTER;
            int wy = py - y - h / 2 + WINDOW_CENTER;
            // A box from inside the picture always fits; any other is cut.
            if (wx < 0 || wx >= WINDOW_SIZE || wy < 0 || wy >= WINDOW_SIZE) continue;
            window[wx * WINDOW_SIZE + wy] = (signed char)(sample[2] / 16);
        }
    }
}

void encode_window(const signed char *window, int *act) {
    double profile[PROFILE_LENGTH];
    double spectrum[PROFILE_LENGTH];
    diameter_profile(window, profile);
    remove_mean(profile, PROFILE_LENGTH);
    normalize_max_abs(profile, PROFILE_LENGTH);
    spectrum_for_bars(profile, spectrum);
    normalize_max_abs(spectrum, PROFILE_LENGTH);
    encode_bars(spectrum, act);
}

// Each diameter joins the point A at angle a (from the +wy direction toward +wx)
// to the opposite point B, both on the circle of radius 99 around the middle
// cell. It is walked one cell at a time along its major axis from the end with
// the smaller coordinate there; t grows by adding 1.0, and the other coordinate
// is interpolated from the start point. A diameter along an axis is not walked:
// its entry repeats the sum of the degree before.
//
// The cells a walk visits depend only on the ends, so each diameter's walk is
// made once and its cells kept in order; a profile then adds the window's
// values at those cells. The values are whole numbers of at most 127 in
// magnitude and a diameter has at most 200 cells, so every partial sum is a
// whole number far below 2^53: the integer sum, converted once, is exactly the
// double that adding the cells one by one in double precision gives.
constexpr int DIAMETER_MAX_CELLS = 200; // 2 x 99 + 1 steps along the major axis
static uint16_t diameter_cells[PROFILE_LENGTH][DIAMETER_MAX_CELLS];
static int diameter_count[PROFILE_LENGTH]; // cells of each diameter; -1 along an axis

static void diameter_walk(int k, double ax, double ay, double bx, double by) {
    double dx = bx - ax;
    double dy = by - ay;
    int count = 0;
    if (fabs(dx) < AXIS_TOLERANCE || fabs(dy) < AXIS_TOLERANCE) {
        count = -1;
    } else if (fabs(dy) < fabs(dx)) {
        double m = dy / dx;
        double px = ax, py = ay, qx = bx;
        if (bx < ax) {
            px = bx;
            py = by;
            qx = ax;
        }
        for (double t = px; t <= qx && count < DIAMETER_MAX_CELLS; t = t + 1.0) {
            int wx = (int)t;
            int wy = (int)((t - px) * m + py);
            diameter_cells[k][count++] = (uint16_t)(wx * WINDOW_SIZE + wy);
        }
    } else {
        double m = dx / dy;
        double px = ax, py = ay, qy = by;
        if (by < ay) {
            px = bx;
            py = by;
            qy = ay;
        }
        for (double t = py; t <= qy && count < DIAMETER_MAX_CELLS; t = t + 1.0) {
            int wx = (int)((t - py) * m + px);
            int wy = (int)t;
            diameter_cells[k][count++] = (uint16_t)(wx * WINDOW_SIZE + wy);
        }
    }
    diameter_count[k] = count;
}

static void diameter_fill_ends() {
    int k = 0;
    for (double a = 1.0; a <= 360.0; a = a + 1.0, k++) {
        diameter_walk(k, sin(a / 180 * pi) * DIAMETER_RADIUS + WINDOW_CENTER,
                      cos(a / 180 * pi) * DIAMETER_RADIUS + WINDOW_CENTER,
                      sin((a + 180) / 180 * pi) * DIAMETER_RADIUS + WINDOW_CENTER,
                      cos((a + 180) / 180 * pi) * DIAMETER_RADIUS + WINDOW_CENTER);
    }
    diameter_ends_ready = true;
}

void diameter_profile(const signed char *window, double *profile) {
    if (!diameter_ends_ready) diameter_fill_ends();
    double last = 0.0;
    for (int k = 0; k < PROFILE_LENGTH; k++) {
        double sum = last;
        if (diameter_count[k] >= 0) {
            int whole = 0;
            const uint16_t *cells = diameter_cells[k];
            for (int i = 0; i < diameter_count[k]; i++)
                whole += window[cells[i]];
            sum = (double)whole;
        }
        last = sum;
        profile[k] = sum;
    }
}

void remove_mean(double *values, int count) {
    double sum = 0.0;
    for (int i = 0; i < count; i++)
        sum = sum + values[i];
    double mean = sum / count;
    for (int i = 0; i < count; i++)
        values[i] = values[i] - mean;
}

// A divisor of 0 (all values 0) is not guarded: every value becomes
// not-a-number, and the bars of such a spectrum are all ones.
void normalize_max_abs(double *values, int count) {
    if (count <= 0) return;
    double highest = values[0];
    double lowest = values[0];
    for (int i = 0; i < count; i++) {
        if (highest < values[i]) highest = values[i];
        if (lowest > values[i]) lowest = values[i];
    }
    double divisor = fabs(lowest) < fabs(highest) ? fabs(highest) : fabs(lowest);
    for (int i = 0; i < count; i++)
        values[i] = values[i] / divisor;
}

static bool same_bits(double x, double y) {
    return memcmp(&x, &y, sizeof x) == 0;
}

// The angle of term q of entry k.
static double dft_angle(int q, int k) {
    return ((2 * pi * q) * k) / PROFILE_LENGTH;
}

// Fills row k of the tables with the cosine and sine of each term's angle.
// Many terms share their angle to the last bit: doubling q and halving k
// scales the two rounded products by powers of two, which is exact;
// exchanging q and k mostly rounds alike; and row 0 is all zero angles. A
// term whose angle has the very bits of one of those terms, filled before,
// takes that term's values, so cos and sin are called for about half of the
// terms, and every value is still what they give for its angle.
static void dft_fill_row(int k) {
    for (int q = 0; q < PROFILE_LENGTH; q++) {
        double phi = dft_angle(q, k);
        int term = k * PROFILE_LENGTH + q;
        int source = -1;
        if (k == 0 && q > 0 && same_bits(phi, dft_angle(q - 1, k)))
            source = term - 1;
        else if (k % 2 == 0 && k > 0 && 2 * q < PROFILE_LENGTH && dft_row_ready[k / 2] &&
                 same_bits(phi, dft_angle(2 * q, k / 2)))
            source = k / 2 * PROFILE_LENGTH + 2 * q;
        else if (q != k && dft_row_ready[q] && same_bits(phi, dft_angle(k, q)))
            source = q * PROFILE_LENGTH + k;
        if (source >= 0) {
            dft_cos_table[term] = dft_cos_table[source];
            dft_sin_table[term] = dft_sin_table[source];
        } else {
            dft_cos_table[term] = cos(phi);
            dft_sin_table[term] = sin(phi);
        }
    }
    dft_row_ready[k] = true;
}

void dft_term(int k, int q, double *cosine, double *sine) {
    if (!dft_row_ready[k]) dft_fill_row(k);
    *cosine = dft_cos_table[k * PROFILE_LENGTH + q];
    *sine = dft_sin_table[k * PROFILE_LENGTH + q];
}

// Entry k of the transform's magnitudes: its terms in index order. A fast
// transform would sum in another order and change the last bits.
static double dft_entry(const double *in, int k) {
    if (!dft_row_ready[k]) dft_fill_row(k);
    const double *cosines = dft_cos_table + k * PROFILE_LENGTH;
    const double *sines = dft_sin_table + k * PROFILE_LENGTH;
    double re = 0.0, im = 0.0;
    for (int q = 0; q < PROFILE_LENGTH; q++) {
        re = re + in[q] * cosines[q];
        im = im - in[q] * sines[q];
    }
    return sqrt(re * re + im * im);
}

void dft_magnitude(const double *in, double *out) {
    for (int k = 0; k < PROFILE_LENGTH; k++)
        out[k] = dft_entry(in, k);
}

// The bars read spectrum entries 2, 4, ..., 32 after the spectrum is divided
// by its largest entry. So the spectrum is computed exactly, as dft_magnitude
// computes it, at those entries, at their mirror images 358, ..., 328 (equal
// in exact arithmetic, and either may be the larger after rounding), at entry
// 0, and at any other entry that may be the largest; every other entry becomes
// +0.0, which the division leaves below the largest.
//
// A computed entry and the true magnitude differ by at most 1e-9 times (1 +
// the sum of |in[q]|): the angle ((2 pi q) k) / 360 (below 2300) is off by at
// most four roundings, 1.1e-12, and each sum of 360 terms rounds at most 360
// times. Two proofs, each with that bound on both sides, show that an entry
// cannot be the largest. First the energy of the transform: the squares of
// all 360 true magnitudes add up to 360 times the sum of the squared inputs,
// so no true magnitude left out exceeds the square root of what the computed
// entries leave of that sum; an object's profile, which repeats after 180
// degrees, mostly has its energy in the low even entries, and then nothing
// more is computed. Where that fails, an estimate of each entry from a table
// of the 360 angles of a full turn: entries k and 360 - k have the same true
// magnitude, so one estimate serves both. An input that is not finite (the
// not-a-number profile of an empty window) takes the whole transform.
void spectrum_for_bars(const double *in, double *spectrum) {
    double magnitude_sum = 0.0, square_sum = 0.0;
    for (int q = 0; q < PROFILE_LENGTH; q++) {
        if (!std::isfinite(in[q])) {
            dft_magnitude(in, spectrum);
            return;
        }
        magnitude_sum += fabs(in[q]);
        square_sum += in[q] * in[q];
    }
    const double error = 1e-9 * (1.0 + magnitude_sum);
    double energy_left = PROFILE_LENGTH * square_sum * (1 + 1e-9) + error;
    double largest = 0.0;
    bool exact[PROFILE_LENGTH] = {};
    auto compute = [&](int k) {
        spectrum[k] = dft_entry(in, k);
        exact[k] = true;
        if (spectrum[k] > largest) largest = spectrum[k];
        double at_least = std::max(spectrum[k] - error, 0.0);
        energy_left -= at_least * at_least * (1 - 1e-9);
    };
    const int half = PROFILE_LENGTH / 2;
    compute(0);
    for (int f = 2; f <= 2 * BAR_ROWS; f += 2) {
        compute(f);
        compute(PROFILE_LENGTH - f);
    }
    for (int k = 0; k < PROFILE_LENGTH; k++)
        if (!exact[k]) spectrum[k] = 0.0;
    if (sqrt(std::max(energy_left, 0.0)) + 2 * error < largest) return;

    if (!unit_circle_ready) {
        for (int m = 0; m < PROFILE_LENGTH; m++) {
            unit_cos[m] = cos(2 * pi * m / PROFILE_LENGTH);
            unit_sin[m] = sin(2 * pi * m / PROFILE_LENGTH);
        }
        unit_circle_ready = true;
    }
    for (int f = 1; f <= half; f++) {
        if (exact[f]) continue;
        double re = 0.0, im = 0.0;
        // m = q f modulo a full turn of PROFILE_LENGTH steps.
        for (int q = 0, m = 0; q < PROFILE_LENGTH; q++) {
            re += in[q] * unit_cos[m];
            im -= in[q] * unit_sin[m];
            m += f;
            if (m >= PROFILE_LENGTH) m -= PROFILE_LENGTH;
        }
        if (sqrt(re * re + im * im) + 2 * error < largest) continue;
        compute(f);
        if (f != half) compute(PROFILE_LENGTH - f);
    }
}

// Column i's threshold is 1 / (16 - i)^2, growing with i, so each row is a run
// of ones from column 0. A not-a-number value compares false with every
// threshold and gives a row of ones.
void encode_bars(const double *spectrum, int *act) {
    for (int u = 0; u < BAR_ROWS; u++) {
        double s = spectrum[2 * u + 2];
        for (int i = 0; i < BAR_COLUMNS; i++) {
            double threshold = 1.0 / ((16 - i) * (16 - i));
            act[u * BAR_COLUMNS + i] = threshold > s ? 0 : 1;
        }
    }
}
