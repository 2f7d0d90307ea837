// Draws pseudo-random 80 x 60 binary PPM pictures for the reproducibility
// check: shapes of random size, place and colour on a random background,
// some overlapping or touching, and now and then speckles that make many
// short chains. The same seed gives the same files on every machine.
// Usage: draw_random DIRECTORY COUNT SEED   (writes rand-0.ppm, rand-1.ppm, ...)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int WIDTH = 80;
constexpr int HEIGHT = 60;

uint64_t state;

// A 64-bit linear congruential generator; the high bits are the random ones.
int next_below(int bound) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    return (int)((state >> 33) % (uint64_t)bound);
}

struct picture {
    unsigned char pixels[HEIGHT][WIDTH][3];
};

void put(picture *p, int x, int y, const unsigned char *c) {
    if (x < 0 || x >= WIDTH || y < 0 || y >= HEIGHT) return;
    for (int k = 0; k < 3; k++)
        p->pixels[y][x][k] = c[k];
}

void random_colour(unsigned char *c) {
    for (int k = 0; k < 3; k++)
        c[k] = (unsigned char)next_below(256);
}

void draw_shape(picture *p) {
    unsigned char c[3];
    random_colour(c);
    int cx = next_below(WIDTH), cy = next_below(HEIGHT);
    int a = 2 + next_below(14), b = 2 + next_below(14);
    switch (next_below(4)) {
    case 0: // rectangle
        for (int y = cy - b; y <= cy + b; y++)
            for (int x = cx - a; x <= cx + a; x++)
                put(p, x, y, c);
        break;
    case 1: // ellipse
        for (int y = cy - b; y <= cy + b; y++)
            for (int x = cx - a; x <= cx + a; x++)
                if ((x - cx) * (x - cx) * b * b + (y - cy) * (y - cy) * a * a <= a * a * b * b)
                    put(p, x, y, c);
        break;
    case 2: // triangle on its base
        for (int y = 0; y <= 2 * b; y++)
            for (int x = cx - a * y / (2 * b); x <= cx + a * y / (2 * b); x++)
                put(p, x, cy - b + y, c);
        break;
    default: // thick diagonal line
        for (int t = -a; t <= a; t++)
            for (int w = 0; w < 3; w++)
                put(p, cx + t, cy + t * b / a + w, c);
        break;
    }
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 4) {
        fprintf(stderr, "Usage: draw_random DIRECTORY COUNT SEED\n");
        return 2;
    }
    std::string dir = argv[1];
    int count = atoi(argv[2]);
    state = strtoull(argv[3], nullptr, 10);
    for (int n = 0; n < count; n++) {
        picture p;
        unsigned char background[3];
        random_colour(background);
        for (int y = 0; y < HEIGHT; y++)
            for (int x = 0; x < WIDTH; x++)
                put(&p, x, y, background);
        int shapes = 1 + next_below(7);
        for (int s = 0; s < shapes; s++)
            draw_shape(&p);
        if (n % 4 == 3) {
            unsigned char c[3];
            for (int s = 0; s < 150; s++) {
                random_colour(c);
                put(&p, next_below(WIDTH), next_below(HEIGHT), c);
            }
        }
        std::string path = dir + "/rand-" + std::to_string(n) + ".ppm";
        FILE *out = fopen(path.c_str(), "wb");
        if (!out) {
            perror(path.c_str());
            return 1;
        }
        fprintf(out, "P6\n# glim random picture %d\n%d %d\n255\n", n, WIDTH, HEIGHT);
        fwrite(p.pixels, sizeof p.pixels, 1, out);
        if (fclose(out) != 0) {
            perror(path.c_str());
            return 1;
        }
    }
    return 0;
}
