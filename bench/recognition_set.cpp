// Makes the pictures of the recognition evaluation (bench/recognition.sh):
// objects cut from real photographs and objects drawn here, pasted on a ground
// in 640 x 480 JPEG photos, once as taught and then moved, resized, under
// other light and on other grounds, plus objects that are never taught.
//
// Usage: recognition_set OUT_DIR PACKAGE_ROOT HOPPER.jpg
//   PACKAGE_ROOT: where python3-skimage and python3-sklearn were unpacked
//   (dpkg-deb -x), HOPPER.jpg: python-matplotlib-data's grace_hopper.jpg.
// Writes OUT_DIR/*.jpg, OUT_DIR/teach.txt (lines "SET LABEL EXAMPLE FILE")
// and OUT_DIR/truth.txt (lines "SET KIND VARIANT LABEL FILE X Y W H", the box
// in the 80 x 60 picture that glim makes of the photo; KIND taught or never).
//
// Two sets of objects: "tuning", on which options were chosen, and
// "heldout", which was only measured with the options chosen.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "decode.h"
#include "photo_jpeg.h"

constexpr int WIDTH = 640, HEIGHT = 480;
constexpr int SHRINK = 8;           // glim's 80 x 60 picture is the photo shrunk 8 times
constexpr double OBJECT_SIDE = 240; // the larger side of an object at size 1, in photo pixels

static unsigned long random_state = 20261209; // one fixed sequence

static double random_unit() {
    random_state = random_state * 6364136223846793005UL + 1442695040888963407UL;
    return (double)(random_state >> 11) / 9007199254740992.0;
}

static double random_between(double low, double high) {
    return low + (high - low) * random_unit();
}

// ---- Pictures

struct picture {
    int width = 0, height = 0;
    std::vector<float> rgb; // 0..255 per sample
    float at(double x, double y, int c) const {
        int ix = (int)std::floor(x), iy = (int)std::floor(y);
        double fx = x - ix, fy = y - iy;
        auto sample = [&](int px, int py) {
            px = px < 0 ? 0 : px >= width ? width - 1 : px;
            py = py < 0 ? 0 : py >= height ? height - 1 : py;
            return rgb[((size_t)py * width + px) * 3 + c];
        };
        return (float)((1 - fx) * (1 - fy) * sample(ix, iy) + fx * (1 - fy) * sample(ix + 1, iy) +
                       (1 - fx) * fy * sample(ix, iy + 1) + fx * fy * sample(ix + 1, iy + 1));
    }
};

static bool read_file(const std::string &path, std::vector<unsigned char> *data) {
    FILE *in = fopen(path.c_str(), "rb");
    if (!in) return false;
    unsigned char block[65536];
    size_t n;
    while ((n = fread(block, 1, sizeof block, in)) > 0)
        data->insert(data->end(), block, block + n);
    fclose(in);
    return !data->empty();
}

// Decodes path (transparent parts over black).
static bool load_picture(const std::string &path, picture *p) {
    std::vector<unsigned char> data;
    if (!read_file(path, &data)) {
        fprintf(stderr, "recognition_set: cannot read %s\n", path.c_str());
        return false;
    }
    prep_picture decoded;
    char error[PREP_ERROR_SIZE];
    if (!prep_decode(data.data(), data.size(), prep_decode_options(), &decoded, error)) {
        fprintf(stderr, "recognition_set: %s: %s\n", path.c_str(), error);
        return false;
    }
    p->width = decoded.width;
    p->height = decoded.height;
    p->rgb.resize(decoded.samples.size());
    for (size_t i = 0; i < p->rgb.size(); i++)
        p->rgb[i] = (float)(decoded.samples[i] / 257.0);
    return true;
}

// ---- Objects

enum cut_kind {
    CUT_ELLIPSE, // an oval cut from the photo
    CUT_RECT,    // a rectangle of the photo
    CUT_DARK,    // the photo's dark part (a silhouette), filled with colour
    CUT_DRAWN,   // a shape drawn here, filled with colour
};

struct object_kind {
    const char *label;
    int set; // 0 tuning, 1 held out
    bool taught;
    cut_kind cut;
    const char *file;      // under the package root ("" for drawn, "hopper" for HOPPER.jpg)
    double cx, cy, rx, ry; // the part of the photo taken, in its pixels
    int shape;             // drawn: which shape
    float colour[3];       // drawn and silhouettes: the fill
};

static const char *const SKIMAGE = "usr/lib/python3/dist-packages/skimage/data/";
static const char *const SKLEARN = "usr/lib/python3/dist-packages/sklearn/datasets/images/";

enum { STAR, ARROW, RING, CROSS, ELL, CRESCENT, HEART, HEXAGON, KEY, TRIANGLE };

static const std::vector<object_kind> OBJECTS = {
    // Tuning set.
    {"coin", 0, true, CUT_ELLIPSE, "s:coins.png", 335, 42, 32, 33, 0, {}},
    {"coffee", 0, true, CUT_ELLIPSE, "s:coffee.png", 280, 228, 205, 168, 0, {}},
    {"hopper", 0, true, CUT_ELLIPSE, "hopper", 262, 215, 125, 160, 0, {}},
    {"horse", 0, true, CUT_DARK, "s:horse.png", 200, 164, 200, 164, 0, {210, 180, 150}},
    {"star", 0, true, CUT_DRAWN, "", 0, 0, 1, 1, STAR, {250, 150, 40}},
    {"arrow", 0, true, CUT_DRAWN, "", 0, 0, 1, 1, ARROW, {120, 190, 250}},
    {"ring", 0, true, CUT_DRAWN, "", 0, 0, 1, 1, RING, {235, 235, 235}},
    {"athena", 0, false, CUT_ELLIPSE, "s:coins.png", 213, 192, 25, 25, 0, {}},
    {"china", 0, false, CUT_RECT, "l:china.jpg", 320, 213, 250, 180, 0, {}},
    {"cross", 0, false, CUT_DRAWN, "", 0, 0, 1, 1, CROSS, {90, 220, 120}},
    {"triangle", 0, false, CUT_DRAWN, "", 0, 0, 1, 1, TRIANGLE, {200, 200, 90}},
    // Held-out set.
    {"bigcoin", 1, true, CUT_ELLIPSE, "s:coins.png", 347, 187, 33, 33, 0, {}},
    {"flower", 1, true, CUT_ELLIPSE, "l:flower.jpg", 307, 222, 142, 142, 0, {}},
    {"cat", 1, true, CUT_ELLIPSE, "s:chelsea.png", 225, 150, 215, 145, 0, {}},
    {"logo", 1, true, CUT_ELLIPSE, "s:logo.png", 250, 250, 240, 240, 0, {}},
    {"ell", 1, true, CUT_DRAWN, "", 0, 0, 1, 1, ELL, {240, 220, 120}},
    {"crescent", 1, true, CUT_DRAWN, "", 0, 0, 1, 1, CRESCENT, {230, 140, 200}},
    {"heart", 1, true, CUT_DRAWN, "", 0, 0, 1, 1, HEART, {230, 60, 60}},
    {"smallcoin", 1, false, CUT_ELLIPSE, "s:coins.png", 155, 50, 23, 23, 0, {}},
    {"astronaut", 1, false, CUT_ELLIPSE, "s:astronaut.png", 256, 200, 150, 180, 0, {}},
    {"rocket", 1, false, CUT_RECT, "s:rocket.jpg", 320, 213, 200, 200, 0, {}},
    {"hexagon", 1, false, CUT_DRAWN, "", 0, 0, 1, 1, HEXAGON, {160, 160, 250}},
    {"key", 1, false, CUT_DRAWN, "", 0, 0, 1, 1, KEY, {250, 200, 60}},
    // Tuning set, added after the silhouette was chosen (last, so that every
    // photo before them keeps its place): round cuts whose outline is the
    // coin's filled disc and each other's, told apart only by what they hold
    // (the moon's flat grey, the stained tissue's cells, the cameraman's dark
    // coat against the sky).
    {"moon", 0, true, CUT_ELLIPSE, "s:moon.png", 256, 256, 200, 200, 0, {}},
    {"tissue", 0, true, CUT_ELLIPSE, "s:ihc.png", 256, 256, 220, 220, 0, {}},
    {"camera", 0, true, CUT_ELLIPSE, "s:camera.png", 256, 220, 190, 190, 0, {}},
};

// Whether the point (x, y) of the square -1..1 lies inside the drawn shape.
static bool drawn_inside(int shape, double x, double y) {
    double r = std::sqrt(x * x + y * y), a = std::atan2(y, x);
    switch (shape) {
    case STAR: {
        double k = std::fmod(a + 10 * M_PI + M_PI / 2, 2 * M_PI / 5) / (2 * M_PI / 5);
        double edge = 0.45 + 0.55 * std::fabs(2 * k - 1);
        return r < edge;
    }
    case ARROW:
        return (std::fabs(y) < 0.25 && x > -1 && x < 0.2) ||
               (x >= 0.2 && std::fabs(y) < 1 - x * 1.25 + 0.25 && x < 1);
    case RING:
        return r < 1 && r > 0.55;
    case CROSS:
        return (std::fabs(x) < 0.3 && std::fabs(y) < 1) || (std::fabs(y) < 0.3 && std::fabs(x) < 1);
    case ELL:
        return (x > -0.8 && x < -0.2 && y > -1 && y < 1) ||
               (y > 0.4 && y < 1 && x > -0.8 && x < 0.8);
    case CRESCENT:
        return r < 1 && std::hypot(x - 0.45, y + 0.1) > 0.75;
    case HEART: {
        double yy = -y * 1.1 + 0.1, xx = std::fabs(x) * 1.1;
        double q = xx * xx + yy * yy - 0.75;
        return q * q * q - xx * xx * yy * yy * yy < 0;
    }
    case HEXAGON: {
        double k = std::fmod(a + 10 * M_PI, M_PI / 3) - M_PI / 6;
        return r * std::cos(k) < 0.95 && r > 0.3;
    }
    case KEY:
        return std::hypot(x + 0.55, y) < 0.42 ? std::hypot(x + 0.55, y) > 0.18
                                              : (y > -0.12 && y < 0.12 && x > -0.2 && x < 1) ||
                                                    (x > 0.6 && x < 0.72 && y >= 0.12 && y < 0.4) ||
                                                    (x > 0.85 && x < 0.97 && y >= 0.12 && y < 0.35);
    case TRIANGLE:
        return y < 0.9 && y > -0.9 && std::fabs(x) < (y + 0.9) / 1.8;
    }
    return false;
}

// The source pictures, read once.
static std::vector<picture> sources(OBJECTS.size());

static bool load_sources(const std::string &root, const std::string &hopper) {
    for (size_t i = 0; i < OBJECTS.size(); i++) {
        std::string file = OBJECTS[i].file;
        if (file.empty()) continue;
        std::string path = file == "hopper"                ? hopper
                           : file.compare(0, 2, "s:") == 0 ? root + "/" + SKIMAGE + file.substr(2)
                                                           : root + "/" + SKLEARN + file.substr(2);
        if (!load_picture(path, &sources[i])) return false;
    }
    return true;
}

// The colour and cover (0..1) of object o at (u, v), its own square -1..1
// (the larger side spanning it).
static float object_sample(size_t o, double u, double v, float *rgb) {
    const object_kind &k = OBJECTS[o];
    const picture &p = sources[o];
    double side = std::max(k.rx, k.ry);
    double sx = k.cx + u * side, sy = k.cy + v * side;
    double cover = 0;
    switch (k.cut) {
    case CUT_ELLIPSE: {
        double d = std::hypot((sx - k.cx) / k.rx, (sy - k.cy) / k.ry);
        cover = d < 1 ? 1 : 0;
        break;
    }
    case CUT_RECT:
        cover = std::fabs(sx - k.cx) <= k.rx && std::fabs(sy - k.cy) <= k.ry ? 1 : 0;
        break;
    case CUT_DARK: {
        bool in = sx >= 0 && sy >= 0 && sx < p.width && sy < p.height;
        cover = in && p.at(sx, sy, 0) + p.at(sx, sy, 1) + p.at(sx, sy, 2) < 3 * 128 ? 1 : 0;
        break;
    }
    case CUT_DRAWN:
        cover = drawn_inside(k.shape, u, v) ? 1 : 0;
        break;
    }
    if (cover <= 0) return 0;
    for (int c = 0; c < 3; c++) {
        if (k.cut == CUT_DRAWN || k.cut == CUT_DARK) {
            // A fill with a soft shading, as a lit object has.
            rgb[c] = (float)(k.colour[c] * (0.85 + 0.15 * (u - v) / 2));
        } else {
            rgb[c] = p.at(sx, sy, c);
        }
    }
    return (float)cover;
}

// ---- Photos

enum ground_kind { GROUND_TAUGHT, GROUND_LIGHT, GROUND_STONES };

static picture stones; // skimage's gravel, the textured ground

struct photo {
    std::vector<float> rgb = std::vector<float>((size_t)WIDTH * HEIGHT * 3);
    int box[4] = {0, 0, 0, 0}; // the object's box in photo pixels: x0, y0, x1, y1
};

static void paint_ground(photo *ph, ground_kind ground) {
    for (int y = 0; y < HEIGHT; y++)
        for (int x = 0; x < WIDTH; x++) {
            float *px = &ph->rgb[((size_t)y * WIDTH + x) * 3];
            for (int c = 0; c < 3; c++) {
                double v = 0;
                if (ground == GROUND_TAUGHT)
                    v = 42 + 4 * c;
                else if (ground == GROUND_LIGHT)
                    v = (175 - 12 * c) + 20.0 * y / HEIGHT;
                else
                    v = 80 + 0.35 * (stones.at(x * 0.8, y * 0.8, c) - 128);
                px[c] = (float)v;
            }
        }
}

// Pastes object o with its larger side OBJECT_SIDE * size, centred at (cx, cy).
static void paste(photo *ph, size_t o, double size, double cx, double cy) {
    double half = OBJECT_SIDE * size / 2;
    int x0 = WIDTH, y0 = HEIGHT, x1 = -1, y1 = -1;
    // Four samples per pixel smooth the cut edge.
    for (int y = (int)(cy - half) - 1; y <= (int)(cy + half) + 1; y++)
        for (int x = (int)(cx - half) - 1; x <= (int)(cx + half) + 1; x++) {
            if (x < 0 || y < 0 || x >= WIDTH || y >= HEIGHT) continue;
            float sum[3] = {0, 0, 0}, cover = 0;
            for (int s = 0; s < 4; s++) {
                double u = (x + 0.25 + 0.5 * (s & 1) - cx) / half;
                double v = (y + 0.25 + 0.5 * (s >> 1) - cy) / half;
                float rgb[3];
                float a = std::fabs(u) <= 1 && std::fabs(v) <= 1 ? object_sample(o, u, v, rgb) : 0;
                for (int c = 0; c < 3; c++)
                    sum[c] += a * rgb[c];
                cover += a;
            }
            if (cover <= 0) continue;
            float *px = &ph->rgb[((size_t)y * WIDTH + x) * 3];
            for (int c = 0; c < 3; c++)
                px[c] = px[c] * (1 - cover / 4) + sum[c] / 4;
            if (cover >= 2) {
                x0 = std::min(x0, x);
                y0 = std::min(y0, y);
                x1 = std::max(x1, x);
                y1 = std::max(y1, y);
            }
        }
    ph->box[0] = x0;
    ph->box[1] = y0;
    ph->box[2] = x1;
    ph->box[3] = y1;
}

static bool write_photo(const std::string &name, const photo &ph, double light) {
    std::vector<unsigned char> rgb(ph.rgb.size());
    for (size_t i = 0; i < rgb.size(); i++) {
        double v = ph.rgb[i] * light + random_between(-3, 3);
        rgb[i] = (unsigned char)(v < 0 ? 0 : v > 255 ? 255 : std::lround(v));
    }
    if (!photo_write_jpeg(name, rgb, WIDTH, HEIGHT)) {
        fprintf(stderr, "recognition_set: cannot write %s\n", name.c_str());
        return false;
    }
    return true;
}

// One question or example: where, how large, under what light, on what ground.
struct shot {
    const char *variant;
    double size, light;
    ground_kind ground;
    bool moved; // anywhere in the photo; else near the taught place
};

static const shot EXAMPLES[] = {
    {"example", 1.0, 1.0, GROUND_TAUGHT, false},
    {"example", 0.85, 1.0, GROUND_TAUGHT, true},
    {"example", 1.15, 1.0, GROUND_TAUGHT, true},
};
static const shot QUESTIONS[] = {
    {"moved", 1.0, 1.0, GROUND_TAUGHT, true},
    {"moved", 1.0, 1.0, GROUND_TAUGHT, true},
    {"moved", 1.0, 1.0, GROUND_TAUGHT, true},
    {"resized", 0.75, 1.0, GROUND_TAUGHT, true},
    {"resized", 0.9, 1.0, GROUND_TAUGHT, true},
    {"resized", 1.1, 1.0, GROUND_TAUGHT, true},
    {"resized", 1.25, 1.0, GROUND_TAUGHT, true},
    {"light-0.6", 1.0, 0.6, GROUND_TAUGHT, false},
    {"light-0.8", 1.0, 0.8, GROUND_TAUGHT, false},
    {"light-1.25", 1.0, 1.25, GROUND_TAUGHT, false},
    {"ground-light", 1.0, 1.0, GROUND_LIGHT, false},
    {"ground-stones", 1.0, 1.0, GROUND_STONES, false},
};
static const shot NEVER[] = {
    {"never", 1.0, 1.0, GROUND_TAUGHT, false},
    {"never", 0.85, 1.0, GROUND_TAUGHT, true},
    {"never", 1.15, 0.8, GROUND_LIGHT, true},
};

static bool make_shot(const std::string &out, size_t o, const shot &s, int k, FILE *list,
                      bool example) {
    const object_kind &kind = OBJECTS[o];
    photo ph;
    paint_ground(&ph, s.ground);
    double half = OBJECT_SIDE * s.size / 2;
    double cx, cy;
    if (s.moved) {
        cx = random_between(half + 4, WIDTH - half - 4);
        cy = random_between(half + 4, HEIGHT - half - 4);
    } else {
        cx = WIDTH / 2.0 + random_between(-24, 24);
        cy = HEIGHT / 2.0 + random_between(-24, 24);
    }
    paste(&ph, o, s.size, cx, cy);
    std::string name = std::string(kind.label) + "-" + s.variant + "-" + std::to_string(k) + ".jpg";
    if (!write_photo(out + "/" + name, ph, s.light)) return false;
    const char *set = kind.set == 0 ? "tuning" : "heldout";
    if (example) {
        fprintf(list, "%s %s %d %s\n", set, kind.label, k, name.c_str());
    } else {
        // The box in the 80 x 60 picture, to the nearest pixel.
        int x = (int)std::lround(ph.box[0] / (double)SHRINK);
        int y = (int)std::lround(ph.box[1] / (double)SHRINK);
        int w = (int)std::lround((ph.box[2] + 1) / (double)SHRINK) - x;
        int h = (int)std::lround((ph.box[3] + 1) / (double)SHRINK) - y;
        fprintf(list, "%s %s %s %s %s %d %d %d %d\n", set, kind.taught ? "taught" : "never",
                s.variant, kind.taught ? kind.label : "-", name.c_str(), x, y, w, h);
    }
    return true;
}

int main(int argc, char **argv) {
    if (argc != 4) {
        fprintf(stderr, "Usage: recognition_set OUT_DIR PACKAGE_ROOT HOPPER.jpg\n");
        return 2;
    }
    std::string out = argv[1];
    if (!load_sources(argv[2], argv[3]) ||
        !load_picture(std::string(argv[2]) + "/" + SKIMAGE + "gravel.png", &stones))
        return 1;
    FILE *teach = fopen((out + "/teach.txt").c_str(), "w");
    FILE *truth = fopen((out + "/truth.txt").c_str(), "w");
    if (!teach || !truth) {
        fprintf(stderr, "recognition_set: cannot write the lists in %s\n", out.c_str());
        return 1;
    }
    bool ok = true;
    for (size_t o = 0; o < OBJECTS.size() && ok; o++) {
        if (OBJECTS[o].taught) {
            int k = 0;
            for (const shot &s : EXAMPLES)
                ok = ok && make_shot(out, o, s, k++, teach, true);
            k = 0;
            for (const shot &s : QUESTIONS)
                ok = ok && make_shot(out, o, s, k++, truth, false);
        } else {
            int k = 0;
            for (const shot &s : NEVER)
                ok = ok && make_shot(out, o, s, k++, truth, false);
        }
    }
    ok = fclose(teach) == 0 && ok;
    ok = fclose(truth) == 0 && ok;
    return ok ? 0 : 1;
}
