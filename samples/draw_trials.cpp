// Draws the pictures that measure glimview report's distance limit: each
// holds one shape on the samples' ground. The six shapes of train.ppm come
// moved, scaled and recoloured; nine shapes that train.ppm does not hold come
// in two sizes and two colours. Usage: draw_trials DIRECTORY
//
// File names say what the report should find: L-N-NAME-VARIANT.ppm is learned
// object N of train.ppm; U-NAME-VARIANT.ppm is a shape never learned.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "draw_shapes.h"

namespace {

// The samples' colours, and other colours for the same shapes.
const colour YELLOW_BLUE = {250, 220, 255};
const colour SKY = {90, 170, 230};
const colour VIOLET = {170, 60, 200};
const colour TEAL = {30, 160, 170};
const colour SLATE = {110, 120, 140};
const colour ORANGE = {250, 150, 120};
const colour PALE = {200, 230, 245};
const colour DUSK = {80, 40, 180};

// The shapes of train.ppm as draw_samples draws them, sizes times scale.
int sized(double length, double scale) {
    return (int)lround(length * scale);
}

// Learned shape n of train.ppm centred near (cx, cy).
void learned_shape(picture *p, int n, int cx, int cy, double s, colour c) {
    switch (n) {
    case 0: { // square, 18 pixels
        int side = sized(18, s);
        rectangle(p, cx - side / 2, cy - side / 2, cx - side / 2 + side - 1,
                  cy - side / 2 + side - 1, c);
        break;
    }
    case 1: // disc, radius 10
        ring(p, cx, cy, sized(10, s), 0, c);
        break;
    case 2: // triangle, 23 wide and 20 high
        triangle(p, cx, cy - sized(10, s), sized(11, s), cy + sized(9, s), c);
        break;
    case 3: // ring, radii 10 and 5
        ring(p, cx, cy, sized(10, s), sized(5, s), c);
        break;
    case 4: // cross, arms 10, half thickness 3
        cross(p, cx, cy, sized(10, s), sized(3, s), c);
        break;
    case 5: // bar, 22 x 7
        rectangle(p, cx - sized(11, s), cy - sized(3, s), cx - sized(11, s) + sized(22, s) - 1,
                  cy - sized(3, s) + sized(7, s) - 1, c);
        break;
    }
}

// Fills the polygon (points relative to the centre, times scale) by the
// even-odd rule at pixel centres.
void polygon(picture *p, int cx, int cy, const std::vector<double> &xy, double s, colour c) {
    size_t n = xy.size() / 2;
    for (int y = 0; y < HEIGHT; y++)
        for (int x = 0; x < WIDTH; x++) {
            double px = x - cx, py = y - cy;
            bool inside = false;
            for (size_t i = 0, j = n - 1; i < n; j = i++) {
                double xi = xy[2 * i] * s, yi = xy[2 * i + 1] * s;
                double xj = xy[2 * j] * s, yj = xy[2 * j + 1] * s;
                if ((yi > py) != (yj > py) && px < (xj - xi) * (py - yi) / (yj - yi) + xi)
                    inside = !inside;
            }
            if (inside) put(p, x, y, c);
        }
}

void ellipse(picture *p, int cx, int cy, double rx, double ry, colour c) {
    for (int y = 0; y < HEIGHT; y++)
        for (int x = 0; x < WIDTH; x++) {
            double u = (x - cx) / rx, v = (y - cy) / ry;
            if (u * u + v * v <= 1.0) put(p, x, y, c);
        }
}

const char *const UNLEARNED[] = {"ellipse", "ell",      "tee",   "star", "crescent",
                                 "frame",   "halfdisc", "arrow", "aitch"};
constexpr int UNLEARNED_COUNT = sizeof UNLEARNED / sizeof UNLEARNED[0];

void unlearned_shape(picture *p, int n, int cx, int cy, double s, colour c) {
    switch (n) {
    case 0:
        ellipse(p, cx, cy, 14 * s, 6 * s, c);
        break;
    case 1:
        polygon(p, cx, cy, {-8, -10, -2, -10, -2, 4, 9, 4, 9, 10, -8, 10}, s, c);
        break;
    case 2:
        polygon(p, cx, cy, {-11, -10, 11, -10, 11, -4, 3, -4, 3, 10, -3, 10, -3, -4, -11, -4}, s,
                c);
        break;
    case 3: {
        std::vector<double> star;
        for (int k = 0; k < 10; k++) {
            double r = k % 2 ? 5 : 12;
            double angle = k * M_PI / 5 - M_PI / 2;
            star.push_back(r * cos(angle));
            star.push_back(r * sin(angle));
        }
        polygon(p, cx, cy, star, s, c);
        break;
    }
    case 4: // a disc with a smaller disc of ground taken out of its side
        ellipse(p, cx, cy, 11 * s, 11 * s, c);
        ellipse(p, cx + (int)lround(6 * s), cy, 9 * s, 9 * s, BACKGROUND);
        break;
    case 5: // a hollow square, walls 3 wide
        polygon(p, cx, cy, {-10, -10, 10, -10, 10, 10, -10, 10}, s, c);
        polygon(p, cx, cy, {-7, -7, 7, -7, 7, 7, -7, 7}, s, BACKGROUND);
        break;
    case 6: {
        std::vector<double> half;
        for (int k = 0; k <= 16; k++) {
            half.push_back(12 * cos(k * M_PI / 16));
            half.push_back(6 - 12 * sin(k * M_PI / 16));
        }
        polygon(p, cx, cy, half, s, c);
        break;
    }
    case 7:
        polygon(p, cx, cy, {-12, -3, 2, -3, 2, -9, 12, 0, 2, 9, 2, 3, -12, 3}, s, c);
        break;
    case 8:
        polygon(p, cx, cy, {-10, -10, -5, -10, -5, -2, 5,  -2, 5,  -10, 10,  -10,
                            10,  10,  5,  10,  5,  2,  -5, 2,  -5, 10,  -10, 10},
                s, c);
        break;
    }
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "Usage: draw_trials DIRECTORY\n");
        return 2;
    }
    std::string dir = argv[1];
    const char *const learned_names[] = {"square", "disc", "triangle", "ring", "cross", "bar"};
    const colour learned_colours[] = {YELLOW_BLUE, VIOLET, SKY, YELLOW_BLUE, SLATE, TEAL};
    struct variant {
        const char *name;
        int cx, cy;
        double scale;
        int recolour; // -1: the training colour; else an index into others
    };
    const colour others[] = {ORANGE, PALE, DUSK};
    const variant variants[] = {
        {"moved-1", 40, 30, 1.0, -1},    {"moved-2", 16, 15, 1.0, -1},
        {"moved-3", 61, 43, 1.0, -1},    {"scaled-70", 30, 25, 0.7, -1},
        {"scaled-85", 50, 35, 0.85, -1}, {"scaled-115", 40, 28, 1.15, -1},
        {"scaled-130", 38, 30, 1.3, -1}, {"colour-1", 35, 32, 1.0, 0},
        {"colour-2", 45, 27, 1.0, 1},    {"colour-3", 40, 30, 1.0, 2},
    };
    bool ok = true;
    picture p;
    for (int n = 0; n < 6; n++)
        for (const variant &v : variants) {
            clear(&p);
            learned_shape(&p, n, v.cx, v.cy, v.scale,
                          v.recolour < 0 ? learned_colours[n] : others[v.recolour]);
            std::string name =
                "L-" + std::to_string(n) + "-" + learned_names[n] + "-" + v.name + ".ppm";
            ok = write_picture(dir, name, p, nullptr) && ok;
        }
    const colour unlearned_colours[] = {YELLOW_BLUE, TEAL, SKY, VIOLET};
    for (int n = 0; n < UNLEARNED_COUNT; n++)
        for (int k = 0; k < 4; k++) {
            clear(&p);
            double scale = k < 2 ? 1.0 : 1.3;
            unlearned_shape(&p, n, 40, 30, scale, unlearned_colours[(n + k) % 4]);
            std::string name = std::string("U-") + UNLEARNED[n] + "-" + std::to_string(k) + ".ppm";
            ok = write_picture(dir, name, p, nullptr) && ok;
        }
    return ok ? 0 : 1;
}
