// Pictures drawn by the tests, as the bytes of a binary PPM file.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

// The blue sample of the pixel (x, y).
using blue_fn = std::function<int(int x, int y)>;

// The usual header: magic line, one comment line, size line, maximum line.
extern const char USUAL_HEADER[];

// A picture of width x height whose blue samples come from blue. Red and green
// vary from pixel to pixel, so a reader that kept either would show it.
// header is a format that takes the width and the height.
std::string ppm_picture(int width, int height, const blue_fn &blue,
                        const char *header = USUAL_HEADER);

// Blue 255 inside any of the rectangles {x0, y0, x1, y1} (inclusive), 0 elsewhere.
blue_fn blue_rectangles(const std::vector<std::array<int, 4>> &rectangles);
