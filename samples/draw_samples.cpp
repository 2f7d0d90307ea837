// Draws the sample pictures of the suite: 80 x 60 binary PPM pictures of simple
// shapes in several blue levels. Usage: draw_samples DIRECTORY
//
// The training picture holds the shapes the demo teaches; the test pictures
// show them again, moved or slightly changed.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int WIDTH = 80;
constexpr int HEIGHT = 60;

struct colour {
    unsigned char red, green, blue;
};

struct picture {
    colour pixels[HEIGHT][WIDTH];
};

const colour BACKGROUND = {24, 40, 16};

void clear(picture *p) {
    for (auto &row : p->pixels)
        for (colour &c : row)
            c = BACKGROUND;
}

void put(picture *p, int x, int y, colour c) {
    if (x >= 0 && x < WIDTH && y >= 0 && y < HEIGHT) p->pixels[y][x] = c;
}

void rectangle(picture *p, int x0, int y0, int x1, int y1, colour c) {
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++)
            put(p, x, y, c);
}

// A disc, or a ring when inner > 0.
void ring(picture *p, int cx, int cy, int outer, int inner, colour c) {
    for (int y = cy - outer; y <= cy + outer; y++)
        for (int x = cx - outer; x <= cx + outer; x++) {
            int d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
            // r * r + r rounds the outline: no lone pixel sticks out on the axes.
            if (d2 <= outer * outer + outer && d2 >= inner * inner + inner) put(p, x, y, c);
        }
}

// A triangle standing on its base: apex (cx, top), base from cx - half to cx + half at bottom.
void triangle(picture *p, int cx, int top, int half, int bottom, colour c) {
    for (int y = top; y <= bottom; y++) {
        int reach = half * (y - top) / (bottom - top);
        for (int x = cx - reach; x <= cx + reach; x++)
            put(p, x, y, c);
    }
}

void cross(picture *p, int cx, int cy, int arm, int thickness, colour c) {
    rectangle(p, cx - arm, cy - thickness, cx + arm, cy + thickness, c);
    rectangle(p, cx - thickness, cy - arm, cx + thickness, cy + arm, c);
}

bool write_picture(const std::string &dir, const char *name, const picture &p) {
    std::string path = dir + "/" + name;
    FILE *out = fopen(path.c_str(), "wb");
    if (!out) {
        perror(path.c_str());
        return false;
    }
    fprintf(out, "P6\n# glim sample picture %s\n%d %d\n255\n", name, WIDTH, HEIGHT);
    fwrite(p.pixels, sizeof p.pixels, 1, out);
    if (fclose(out) != 0) {
        perror(path.c_str());
        return false;
    }
    return true;
}

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
    ok = write_picture(dir, "train.ppm", p) && ok;

    // Test: the square and the disc moved, the cross in another colour, the
    // triangle larger.
    clear(&p);
    rectangle(&p, 30, 36, 47, 53, YELLOW_BLUE);
    ring(&p, 14, 14, 10, 0, VIOLET);
    triangle(&p, 60, 4, 13, 24, SKY);
    cross(&p, 66, 45, 10, 3, TEAL);
    ok = write_picture(dir, "test-1.ppm", p) && ok;

    // Test: the ring touching the bar, which makes them one object, and the
    // square drawn as a wider rectangle.
    clear(&p);
    rectangle(&p, 4, 45, 25, 51, TEAL);
    ring(&p, 14, 34, 10, 5, YELLOW_BLUE);
    rectangle(&p, 44, 10, 70, 27, VIOLET);
    ok = write_picture(dir, "test-2.ppm", p) && ok;

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
    ok = write_picture(dir, "shapes.ppm", p) && ok;

    return ok ? 0 : 1;
}
