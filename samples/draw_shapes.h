// What the programs that draw the sample and trial pictures share: an 80 x 60
// RGB picture, the samples' ground, the shapes of train.ppm and the PPM writer.
#pragma once

#include <string>

constexpr int WIDTH = 80;
constexpr int HEIGHT = 60;

struct colour {
    unsigned char red, green, blue;
};

struct picture {
    colour pixels[HEIGHT][WIDTH];
};

constexpr colour BACKGROUND = {24, 40, 16};

// Fills p with BACKGROUND.
void clear(picture *p);

// Sets pixel (x, y) when it lies in the picture; shapes may reach past its edges.
void put(picture *p, int x, int y, colour c);

void rectangle(picture *p, int x0, int y0, int x1, int y1, colour c);

// A disc, or a ring when inner > 0.
void ring(picture *p, int cx, int cy, int outer, int inner, colour c);

// A triangle standing on its base: apex (cx, top), base from cx - half to cx + half at bottom.
void triangle(picture *p, int cx, int top, int half, int bottom, colour c);

void cross(picture *p, int cx, int cy, int arm, int thickness, colour c);

// Writes p to dir/name as binary PPM, with "# comment" after the magic when
// comment is not null; false after a message on stderr.
bool write_picture(const std::string &dir, const std::string &name, const picture &p,
                   const char *comment);
