// The object encoder: turns one object box of a picture into an activation
// vector of NETSIZE units.
//
// The box's blue samples, reduced to 16 levels, are copied into a square
// object window centred on its middle cell; the window is summed along 360
// diameters; the profile is centred and scaled, the magnitudes of its discrete
// Fourier transform are scaled the same way, and sixteen of them become sixteen
// bars of sixteen units.
#pragma once

#include "settings.h"

constexpr int WINDOW_SIZE = 200;    // the object window has WINDOW_SIZE x WINDOW_SIZE cells
constexpr int WINDOW_CENTER = 100;  // the box is centred on cell (WINDOW_CENTER, WINDOW_CENTER)
constexpr int PROFILE_LENGTH = 360; // one profile entry per degree, 1 to 360
constexpr int WINDOW_CELLS = WINDOW_SIZE * WINDOW_SIZE;

// acos(-1.0), set before main runs.
extern const double pi;

// Fills act (NETSIZE units, each 0 or 1) from the box x, y, w, h of the picture
// at path; the box covers columns x..x + w and rows y..y + h. 0 on success;
// -1 after a message when the picture cannot be read or is not 80 x 60 with a
// maximum sample value of 255, and the program should then end with status 1.
int encode_object(const char *path, int x, int y, int w, int h, int *act);

// Fills act from the box x, y, w, h of an 80 x 60 RGB raster already in
// memory (three bytes per pixel, row by row), as encode_object does from the
// picture's file: for callers that read a picture once for all its objects.
void encode_object_raster(const unsigned char *rgb, int x, int y, int w, int h, int *act);

// Reads the RGB raster (PICTURE_RASTER_BYTES) of the picture at path. 0, or
// -1 after a message as encode_object.
int picture_read_raster(const char *path, unsigned char *raster);

// Copies the box's blue samples divided by 16 into window (WINDOW_CELLS cells,
// cell (wx, wy) at wx * WINDOW_SIZE + wy, cleared by the caller), the box's
// middle on the window's middle. 0, or -1 after a message as encode_object.
int window_load(const char *path, signed char *window, int x, int y, int w, int h);

// The copy of window_load from an 80 x 60 RGB raster in memory: the box's
// blue samples divided by 16 into the cleared window.
void window_fill(const unsigned char *rgb, signed char *window, int x, int y, int w, int h);

// The steps of encode_object after the window is loaded: profile, centring,
// scaling, spectrum and bars. The window is only read.
void encode_window(const signed char *window, int *act);

// Sums the window along the diameter of every whole degree 1 to 360 into
// profile (PROFILE_LENGTH entries).
void diameter_profile(const signed char *window, double *profile);

// Subtracts the mean of the count values from each of them.
void remove_mean(double *values, int count);

// Divides the count values by the largest of their absolute values.
void normalize_max_abs(double *values, int count);

// Writes the magnitudes of the discrete Fourier transform of the
// PROFILE_LENGTH values of in to out, evaluated term by term; in is left as
// it is and must not overlap out.
void dft_magnitude(const double *in, double *out);

// The spectrum as the bars need it: entries 2, 4, ..., 32 and the largest
// entry with the very bits that dft_magnitude gives them, every other entry
// +0.0 (or all of them as dft_magnitude gives them).
void spectrum_for_bars(const double *in, double *spectrum);

// The cosine and sine that dft_magnitude uses for term q of entry k (both
// 0 to PROFILE_LENGTH - 1), for the tests.
void dft_term(int k, int q, double *cosine, double *sine);

// Row u of act becomes a bar of ones from column 0, as long as spectrum entry
// 2u + 2 reaches each column's threshold 1 / (16 - i)^2.
void encode_bars(const double *spectrum, int *act);
