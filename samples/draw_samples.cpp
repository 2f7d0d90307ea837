// Draws the sample pictures of the suite: 80 x 60 binary PPM pictures of simple
// shapes in several blue levels. Usage: draw_samples DIRECTORY
//
// The training picture holds the shapes the demo teaches; the test pictures
// show them again, moved or slightly changed.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "draw_shapes.h"

namespace {

const colour YELLOW_BLUE = {250, 220, 255}; // blue 255
const colour SKY = {90, 170, 230};          // blue 230
const colour VIOLET = {170, 60, 200};       // blue 200
const colour TEAL = {30, 160, 170};         // blue 170
const colour SLATE = {110, 120, 140};       // blue 140

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "Usage: draw_samples DIRECTORY\n");
        return 2;
    }
    std::string dir = argv[1];
    picture p;
    bool ok = true;

    // Training: six shapes, far enough apart to stay six objects.
    clear(&p);
    rectangle(&p, 3, 3, 20, 20, YELLOW_BLUE);
    ring(&p, 40, 14, 10, 0, VIOLET);
    triangle(&p, 67, 6, 11, 25, SKY);
    ring(&p, 12, 45, 10, 5, YELLOW_BLUE);
    cross(&p, 40, 45, 10, 3, SLATE);
    rectangle(&p, 56, 42, 77, 48, TEAL);
    ok = write_picture(dir, "train.ppm", p, "glim sample picture train.ppm") && ok;

    // Test: the square and the disc moved, the cross in another colour, the
    // triangle larger.
    clear(&p);
    rectangle(&p, 30, 36, 47, 53, YELLOW_BLUE);
    ring(&p, 14, 14, 10, 0, VIOLET);
    triangle(&p, 60, 4, 13, 24, SKY);
    cross(&p, 66, 45, 10, 3, TEAL);
    ok = write_picture(dir, "test-1.ppm", p, "glim sample picture test-1.ppm") && ok;

    // Test: the ring touching the bar, which makes them one object, and the
    // square drawn as a wider rectangle.
    clear(&p);
    rectangle(&p, 4, 45, 25, 51, TEAL);
    ring(&p, 14, 34, 10, 5, YELLOW_BLUE);
    rectangle(&p, 44, 10, 70, 27, VIOLET);
    ok = write_picture(dir, "test-2.ppm", p, "glim sample picture test-2.ppm") && ok;

    // Six ordinary shapes drawn afresh, in other sizes and places than the
    // training picture's: a set that the error-correcting rule does not store
    // and the margin rule does (README, "Is my network any good?").
    clear(&p);
    rectangle(&p, 3, 2, 17, 16, SLATE);
    ring(&p, 40, 13, 7, 0, SKY);
    triangle(&p, 66, 4, 12, 22, SLATE);
    ring(&p, 13, 45, 11, 5, VIOLET);
    cross(&p, 40, 45, 7, 3, YELLOW_BLUE);
    rectangle(&p, 56, 40, 76, 45, VIOLET);
    ok = write_picture(dir, "shapes.ppm", p, "glim sample picture shapes.ppm") && ok;

    return ok ? 0 : 1;
}
