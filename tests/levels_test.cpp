// glimprep's --grey, --levels and --ground: what they do to the fitted picture.
#include <gtest/gtest.h>

#include <vector>

#include "ground.h"
#include "levels.h"
#include "run_program.h"

namespace {

TEST(GlimprepLevels, GreyAndStretch) {
    std::vector<unsigned char> raster(PICTURE_WIDTH * PICTURE_HEIGHT * 3);
    // Red from 60 to 139 across, green a constant 90, blue 0 with one
    // highlight pixel of 255 that must not decide the stretch.
    for (int y = 0; y < PICTURE_HEIGHT; y++)
        for (int x = 0; x < PICTURE_WIDTH; x++) {
            unsigned char *pixel = &raster[3 * (y * PICTURE_WIDTH + x)];
            pixel[0] = (unsigned char)(60 + x);
            pixel[1] = 90;
            pixel[2] = x == 5 && y == 5 ? 255 : 0;
        }
    std::vector<unsigned char> stretched = raster;
    prep_levels_auto(stretched.data(), {0, 0, PICTURE_WIDTH, PICTURE_HEIGHT});
    // The darkest and brightest columns of red reach 0 and 255 (they are more
    // than 1 % of the picture each); green has one level and stays.
    EXPECT_EQ(stretched[0], 0);
    EXPECT_EQ(stretched[3 * 79], 255);
    EXPECT_EQ(stretched[3 * 40], (40 * 255 * 2 + 79) / (2 * 79));
    EXPECT_EQ(stretched[1], 90);
    EXPECT_EQ(stretched[3 * (5 * PICTURE_WIDTH + 5) + 2], 255);
    EXPECT_EQ(stretched[2], 0);

    std::vector<unsigned char> grey = raster;
    prep_grey(grey.data());
    EXPECT_EQ(grey[0], (299 * 60 + 587 * 90 + 500) / 1000);
    EXPECT_EQ(grey[1], grey[0]);
    EXPECT_EQ(grey[2], grey[0]);
}

// A shaded object with a hole through which the ground shows, a dark spot
// of the ground's colour too small to be a hole and a strand one pixel wide
// from its right side, and a two-pixel speck, on the ground ground_at gives
// for each pixel.
bool in_object(int x, int y) {
    return x >= 30 && x < 50 && y >= 20 && y < 36 && !(x >= 43 && x < 48 && y >= 23 && y < 28);
}
template <typename Ground> std::vector<unsigned char> object_on(Ground ground_at) {
    std::vector<unsigned char> raster(PICTURE_WIDTH * PICTURE_HEIGHT * 3);
    for (int y = 0; y < PICTURE_HEIGHT; y++)
        for (int x = 0; x < PICTURE_WIDTH; x++) {
            unsigned char *pixel = &raster[3 * (y * PICTURE_WIDTH + x)];
            bool spot = x >= 34 && x < 38 && y >= 26 && y < 30;
            bool speck = ((x == 10 || x == 11) && y == 50) || (x >= 50 && x < 56 && y == 28);
            for (int c = 0; c < 3; c++)
                pixel[c] = speck             ? 120
                           : spot            ? (unsigned char)(40 + 4 * c)
                           : in_object(x, y) ? (unsigned char)(100 + 2 * x - y + 20 * c)
                                             : ground_at(x, y, c);
        }
    return raster;
}

TEST(GlimprepGround, AnObjectComesOutAsOnADarkGround) {
    auto dark = [](int, int, int c) { return (unsigned char)(40 + 4 * c); };
    // Light, brightening downwards by 12 levels, with a faint texture.
    auto light = [](int x, int y, int c) {
        return (unsigned char)(180 - 10 * c + y / 5 + (x * 7 + y * 3) % 5);
    };
    std::vector<unsigned char> on_dark = object_on(dark);
    const std::vector<unsigned char> before = on_dark;
    const prep_rect whole = {0, 0, PICTURE_WIDTH, PICTURE_HEIGHT};
    prep_clear_ground(on_dark.data(), whole);
    for (int i = 0; i < PICTURE_WIDTH * PICTURE_HEIGHT; i++) {
        int x = i % PICTURE_WIDTH, y = i / PICTURE_WIDTH;
        // The object and its spot keep their colours, and the strand's
        // pixel beside it; the ground, the hole, the rest of the strand and
        // the speck become the dark grey.
        bool kept = in_object(x, y) || (x == 50 && y == 28);
        for (int c = 0; c < 3; c++)
            ASSERT_EQ(on_dark[3 * i + c], kept ? before[3 * i + c] : GROUND_CLEARED_LEVEL)
                << x << "," << y;
    }
    std::vector<unsigned char> on_light = object_on(light);
    prep_clear_ground(on_light.data(), whole);
    EXPECT_EQ(on_light, on_dark);

    // Only the part the input went to is looked at and cleared: the padding
    // stays, and a part too small to have a frame and an inside is left.
    std::vector<unsigned char> padded = object_on(dark);
    prep_clear_ground(padded.data(), {0, 10, PICTURE_WIDTH, 40});
    EXPECT_EQ(padded[3 * (5 * PICTURE_WIDTH + 5)], 40);
    EXPECT_EQ(padded[3 * (15 * PICTURE_WIDTH + 5)], GROUND_CLEARED_LEVEL);
    EXPECT_EQ(padded[3 * (50 * PICTURE_WIDTH + 10)], 120);
    std::vector<unsigned char> tiny = object_on(dark);
    prep_clear_ground(tiny.data(), {0, 0, 2, 60});
    EXPECT_EQ(tiny, object_on(dark));
}

// An unknown value of a picture option is refused before anything is
// written; the same option with a good value, in its --option=value form too,
// goes through.
TEST(GlimprepOptions, ProgramRefusesUnknownValues) {
    const struct {
        const char *option, *bad, *good, *message;
    } cases[] = {
        {"--levels", "max", "auto", "glimprep: --levels: give auto or none; see glimprep --help.\n"},
        {"--ground", "flat", "clear",
         "glimprep: --ground: give clear or keep; see glimprep --help.\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.option);
        scratch_dir dir;
        dir.write("in.ppm", "P6\n2 2\n255\n" + std::string(12, '\x40'));
        run_result run = run_in(dir, GLIMPREP_PATH, {c.option, c.bad, "in.ppm", "out.ppm"});
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err, c.message);
        EXPECT_FALSE(dir.exists("out.ppm"));
        std::string good = std::string(c.option) + "=" + c.good;
        run = run_in(dir, GLIMPREP_PATH, {good.c_str(), "--grey", "in.ppm", "out.ppm"});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(dir.exists("out.ppm"));
    }
}

} // namespace
