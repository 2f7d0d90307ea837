// Draws photo-sized JPEG pictures for the whole-run benchmarks of glim: each
// an 80 x 60 sample picture enlarged eight times to 640 x 480, moved by a
// few pixels, under another light and with noise, so that every picture is
// decoded, shrunk and segmented afresh.
// Usage: draw_photos OUT_DIR COUNT SEED PICTURE.ppm...
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "photo_jpeg.h"

constexpr int SMALL_WIDTH = 80, SMALL_HEIGHT = 60, ZOOM = 8;
constexpr int WIDTH = SMALL_WIDTH * ZOOM, HEIGHT = SMALL_HEIGHT * ZOOM;

static unsigned long random_state; // a fixed sequence per seed

static int random_below(int n) {
    random_state = random_state * 6364136223846793005UL + 1442695040888963407UL;
    return (int)((random_state >> 33) % (unsigned long)n);
}

// The next header number, past white space and '#' comments.
static int header_number(FILE *in) {
    int c;
    while ((c = fgetc(in)) != EOF && (c == '#' || c == ' ' || c == '\n' || c == '\r' || c == '\t'))
        if (c == '#')
            while ((c = fgetc(in)) != EOF && c != '\n') {
            }
    int value = 0;
    for (; c >= '0' && c <= '9'; c = fgetc(in))
        value = value * 10 + (c - '0');
    return value; // the byte after the number, one white space, is taken
}

static bool read_ppm(const char *name, std::vector<unsigned char> *rgb) {
    FILE *in = fopen(name, "rb");
    bool ok = in && fgetc(in) == 'P' && fgetc(in) == '6' && header_number(in) == SMALL_WIDTH &&
              header_number(in) == SMALL_HEIGHT && header_number(in) == 255;
    rgb->resize((size_t)SMALL_WIDTH * SMALL_HEIGHT * 3);
    ok = ok && fread(rgb->data(), 1, rgb->size(), in) == rgb->size();
    if (in) fclose(in);
    if (!ok) fprintf(stderr, "draw_photos: %s: not an 80 x 60 PPM picture\n", name);
    return ok;
}

int main(int argc, char **argv) {
    if (argc < 5) {
        fprintf(stderr, "Usage: draw_photos OUT_DIR COUNT SEED PICTURE.ppm...\n");
        return 2;
    }
    int count = atoi(argv[2]);
    random_state = strtoul(argv[3], nullptr, 10);
    std::vector<std::vector<unsigned char>> samples(argc - 4);
    for (int i = 4; i < argc; i++)
        if (!read_ppm(argv[i], &samples[i - 4])) return 1;
    std::vector<unsigned char> photo((size_t)WIDTH * HEIGHT * 3);
    for (int k = 0; k < count; k++) {
        const std::vector<unsigned char> &small = samples[k % samples.size()];
        int dx = random_below(17) - 8, dy = random_below(17) - 8;
        int light = 80 + random_below(41); // per cent
        for (int y = 0; y < HEIGHT; y++) {
            for (int x = 0; x < WIDTH; x++) {
                int sx = (x + dx) / ZOOM, sy = (y + dy) / ZOOM;
                bool inside = x + dx >= 0 && y + dy >= 0 && sx < SMALL_WIDTH && sy < SMALL_HEIGHT;
                for (int c = 0; c < 3; c++) {
                    int v = inside ? small[((size_t)sy * SMALL_WIDTH + sx) * 3 + c] : 0;
                    v = v * light / 100 + random_below(9) - 4;
                    photo[((size_t)y * WIDTH + x) * 3 + c] = (unsigned char)(v < 0     ? 0
                                                                             : v > 255 ? 255
                                                                                       : v);
                }
            }
        }
        std::string name = std::string(argv[1]) + "/photo-" + std::to_string(k) + ".jpg";
        if (!photo_write_jpeg(name, photo, WIDTH, HEIGHT)) {
            fprintf(stderr, "draw_photos: cannot write %s\n", name.c_str());
            return 1;
        }
    }
    return 0;
}
