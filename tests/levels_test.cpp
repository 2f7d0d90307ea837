// glimprep's --grey and --levels: what they do to the fitted picture.
#include <gtest/gtest.h>

#include <vector>

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

TEST(GlimprepLevels, ProgramRefusesUnknownLevels) {
    scratch_dir dir;
    dir.write("in.ppm", "P6\n2 2\n255\n" + std::string(12, '\x40'));
    run_result run = run_in(dir, GLIMPREP_PATH, {"--levels", "max", "in.ppm"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "glimprep: --levels: give auto or none; see glimprep --help.\n");
    EXPECT_FALSE(dir.exists("in-out.ppm"));
    run = run_in(dir, GLIMPREP_PATH, {"--grey", "--levels=auto", "in.ppm", "out.ppm"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(dir.exists("out.ppm"));
}

} // namespace
