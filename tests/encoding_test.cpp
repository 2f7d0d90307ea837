// The encodings of an object box, the verdict and its limit, and the
// programs' --encoding and --sizes options.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "encoding.h"
#include "netsize.h"
#include "pict2.h"
#include "pictures.h"
#include "run_program.h"
#include "verdict.h"

namespace {

using raster_bytes = std::vector<unsigned char>;

// An 80 x 60 RGB raster with blue(x, y) in every pixel's blue sample.
raster_bytes make_raster(const blue_fn &blue) {
    raster_bytes raster(PICTURE_RASTER_BYTES);
    for (int y = 0; y < PICTURE_HEIGHT; y++)
        for (int x = 0; x < PICTURE_WIDTH; x++) {
            unsigned char *pixel = &raster[3 * (y * PICTURE_WIDTH + x)];
            pixel[0] = (unsigned char)(x * 3);
            pixel[1] = (unsigned char)(y * 4);
            pixel[2] = (unsigned char)blue(x, y);
        }
    return raster;
}

std::vector<int> encode(const raster_bytes &raster, int x, int y, int w, int h,
                        object_encoding encoding, double size = 1.0) {
    std::vector<int> act(NETSIZE);
    encode_box(raster.data(), x, y, w, h, encoding, size, act.data());
    return act;
}

// A disc with a notch, of radius r around (cx, cy): level inside, ground outside.
blue_fn notched_disc(double cx, double cy, double r, int level, int ground) {
    return [=](int x, int y) {
        double dx = x - cx, dy = y - cy;
        bool inside = dx * dx + dy * dy <= r * r && !(dx > 0 && std::fabs(dy) < r / 3);
        return inside ? level : ground;
    };
}

TEST(Encoding, ClassicIsTheEncoderBitForBit) {
    std::mt19937 random(7);
    scratch_dir dir;
    for (int trial = 0; trial < 6; trial++) {
        std::vector<int> blue(PICTURE_WIDTH * PICTURE_HEIGHT);
        for (int &value : blue)
            value = (int)(random() % 256);
        blue_fn from_table = [&](int x, int y) { return blue[y * PICTURE_WIDTH + x]; };
        dir.write("p.ppm", ppm_picture(80, 60, from_table));
        std::string path = dir.path() + "/p.ppm";
        int x = (int)(random() % 40), y = (int)(random() % 30);
        int w = (int)(random() % 39), h = (int)(random() % 29);
        std::vector<int> expected(NETSIZE), from_file(NETSIZE);
        ASSERT_EQ(encode_object(path.c_str(), x, y, w, h, expected.data()), 0);
        ASSERT_EQ(
            encode_object_as(path.c_str(), x, y, w, h, ENCODING_CLASSIC, 1.0, from_file.data()), 0);
        EXPECT_EQ(from_file, expected);
        EXPECT_EQ(encode(make_raster(from_table), x, y, w, h, ENCODING_CLASSIC), expected);
    }
}

TEST(Encoding, NormalisedIgnoresLightAndGround) {
    // The same notched disc, dim on black, bright on grey and dark on white:
    // relative to its ground and stretched, the box holds the same levels.
    std::vector<int> reference =
        encode(make_raster(notched_disc(40, 30, 12, 200, 0)), 27, 17, 26, 26, ENCODING_NORMALISED);
    EXPECT_EQ(
        encode(make_raster(notched_disc(40, 30, 12, 90, 0)), 27, 17, 26, 26, ENCODING_NORMALISED),
        reference);
    EXPECT_EQ(encode(make_raster(notched_disc(40, 30, 12, 250, 100)), 27, 17, 26, 26,
                     ENCODING_NORMALISED),
              reference);
    EXPECT_EQ(
        encode(make_raster(notched_disc(40, 30, 12, 0, 230)), 27, 17, 26, 26, ENCODING_NORMALISED),
        reference);
    // The classic encoding sees the grey ground.
    EXPECT_NE(
        encode(make_raster(notched_disc(40, 30, 12, 250, 100)), 27, 17, 26, 26, ENCODING_CLASSIC),
        encode(make_raster(notched_disc(40, 30, 12, 200, 0)), 27, 17, 26, 26, ENCODING_CLASSIC));
}

// How many units two patterns differ in.
int units_apart(const std::vector<int> &a, const std::vector<int> &b) {
    int apart = 0;
    for (size_t i = 0; i < a.size(); i++)
        apart += a[i] != b[i];
    return apart;
}

TEST(Encoding, MaskedKeepsTheObjectOnAnyGround) {
    // A shaded disc on black and on white: taken from the white ground the
    // normalised box holds the shading upside down; the masked box takes the
    // disc alone, inside its outline, and holds the same levels on both.
    blue_fn notched = notched_disc(40, 30, 12, 1, 0);
    auto shaded_on = [&](int ground) {
        return make_raster([=](int x, int y) { return notched(x, y) ? 120 + x / 4 : ground; });
    };
    auto apart = [&](object_encoding encoding) {
        return units_apart(encode(shaded_on(0), 27, 17, 26, 26, encoding),
                           encode(shaded_on(255), 27, 17, 26, 26, encoding));
    };
    EXPECT_EQ(apart(ENCODING_MASKED), 0);
    EXPECT_GT(apart(ENCODING_NORMALISED), 0);
    // Edges that enclose nothing leave the masked box as the normalised one.
    raster_bytes flat = make_raster([](int, int) { return 77; });
    EXPECT_EQ(encode(flat, 5, 5, 20, 20, ENCODING_MASKED),
              encode(flat, 5, 5, 20, 20, ENCODING_NORMALISED));
}

TEST(Encoding, SilhouetteKeepsTheShapeAtAnySizeLightAndGround) {
    // The notched disc as the segmentation boxes it, one pixel outside.
    auto disc = [](double cx, double cy, double r, int level, int ground) {
        return make_raster(notched_disc(cx, cy, r, level, ground));
    };
    auto boxed = [&](double cx, double cy, int r, int level, int ground, double size = 1.0) {
        int from_x = (int)cx - r - 1, from_y = (int)cy - r - 1;
        return encode(disc(cx, cy, r, level, ground), from_x, from_y, 2 * r + 2, 2 * r + 2,
                      ENCODING_SILHOUETTE, size);
    };
    std::vector<int> reference = boxed(40, 30, 12, 200, 0);
    // Its units are the disc's cells: under pi / 4 of the grid (the box's
    // frame and the notch on the right, a third of the height, are off).
    int on = units_apart(reference, std::vector<int>(NETSIZE, 0));
    EXPECT_GT(on, 120);
    EXPECT_LT(on, 180);
    EXPECT_EQ(reference[8 * SILHOUETTE_SIDE + 14], 0);
    EXPECT_EQ(reference[8 * SILHOUETTE_SIDE + 1], 1);
    // Moved, dimmed, on a grey ground, dark on a light ground: the same.
    EXPECT_EQ(boxed(25, 20, 12, 200, 0), reference);
    EXPECT_EQ(boxed(40, 30, 12, 90, 0), reference);
    EXPECT_EQ(boxed(40, 30, 12, 250, 100), reference);
    EXPECT_EQ(boxed(40, 30, 12, 0, 230), reference);
    // Smaller and larger, or encoded at another size: a few cells of the rim.
    EXPECT_LE(units_apart(boxed(40, 30, 9, 200, 0), reference), 16);
    EXPECT_LE(units_apart(boxed(40, 30, 16, 200, 0), reference), 16);
    EXPECT_LE(units_apart(boxed(40, 30, 12, 200, 0, 0.75), reference), 16);
    // Another shape in the same box lies far off.
    raster_bytes square = make_raster(blue_rectangles({{29, 19, 51, 41}}));
    EXPECT_GT(units_apart(encode(square, 27, 17, 26, 26, ENCODING_SILHOUETTE), reference), 40);
    // A box of nothing but ground has no cell on.
    EXPECT_EQ(encode(make_raster([](int, int) { return 77; }), 5, 5, 20, 20, ENCODING_SILHOUETTE),
              std::vector<int>(NETSIZE, 0));
}

TEST(Encoding, DetailTellsApartObjectsOfOneOutline) {
    // Two discs of one outline: one of even brightness, one whose right half
    // is darker (yet well off the ground). Scale 1 is as drawn, 0.5 the same
    // under half the light; (cx, cy) moves the disc.
    auto disc = [](double cx, double cy, bool halves, double light) {
        return make_raster([=](int x, int y) {
            double dx = x - cx, dy = y - cy;
            if (dx * dx + dy * dy > 144) return 0;
            return (int)((halves && dx > 0 ? 100 : 200) * light);
        });
    };
    auto boxed = [&](double cx, double cy, bool halves, double light, object_encoding encoding) {
        return encode(disc(cx, cy, halves, light), (int)cx - 13, (int)cy - 13, 26, 26, encoding);
    };
    std::vector<int> even = boxed(40, 30, false, 1, ENCODING_DETAIL);
    std::vector<int> halves = boxed(40, 30, true, 1, ENCODING_DETAIL);
    // The silhouette tells them apart by a few cells of the darker rim
    // alone; the detail encoding's half of brightest parts holds the darker
    // half's cells off.
    int outlines_apart = units_apart(boxed(40, 30, false, 1, ENCODING_SILHOUETTE),
                                     boxed(40, 30, true, 1, ENCODING_SILHOUETTE));
    EXPECT_LE(outlines_apart, 8);
    EXPECT_GT(units_apart(even, halves), outlines_apart + 30);
    // Each stays itself moved and under half the light.
    EXPECT_EQ(boxed(22, 18, false, 0.5, ENCODING_DETAIL), even);
    EXPECT_EQ(boxed(55, 40, true, 0.5, ENCODING_DETAIL), halves);
    // On the checkerboard's silhouette cells the two encodings agree.
    std::vector<int> outline = boxed(40, 30, true, 1, ENCODING_SILHOUETTE);
    for (int unit = 0; unit < NETSIZE; unit++) {
        if ((unit % SILHOUETTE_SIDE + unit / SILHOUETTE_SIDE) % 2 == 0) {
            EXPECT_EQ(halves[unit], outline[unit]) << unit;
        }
    }
}

TEST(Encoding, TinyBoxesAndEmptyBoxesAreEncodedAsClassic) {
    raster_bytes raster = make_raster(blue_rectangles({{10, 10, 11, 11}}));
    EXPECT_EQ(encode(raster, 10, 10, 1, 1, ENCODING_NORMALISED),
              encode(raster, 10, 10, 1, 1, ENCODING_CLASSIC));
    // A box of nothing but ground: no level above 0, so every bar is full as
    // for the classic empty window.
    std::vector<int> empty =
        encode(make_raster([](int, int) { return 77; }), 5, 5, 20, 20, ENCODING_NORMALISED);
    EXPECT_EQ(empty, std::vector<int>(NETSIZE, 1));
}

TEST(Encoding, OptionsAreTakenOutOrRefused) {
    struct refusal {
        std::vector<std::string> args;
    };
    for (const refusal &bad : std::vector<refusal>{{{"--encoding", "fancy"}},
                                                   {{"--encoding"}},
                                                   {{"--sizes", "0.4"}},
                                                   {{"--sizes=1,2.5"}},
                                                   {{"--sizes", "1,,2"}},
                                                   {{"--sizes", "-1"}},
                                                   {{"--sizes", "1e0"}},
                                                   {{"--sizes", "1,1,1,1,1,1,1,1,1"}}}) {
        std::vector<char *> argv = {const_cast<char *>("program")};
        for (const std::string &arg : bad.args)
            argv.push_back(const_cast<char *>(arg.c_str()));
        argv.push_back(nullptr);
        int argc = (int)argv.size() - 1;
        encoding_choice choice;
        EXPECT_EQ(encoding_take_options(&argc, argv.data(), &choice, true), 2) << bad.args[0];
    }
    std::vector<std::string> args = {
        "program", "a.ppm", "--encoding=normalised", "--sizes", "0.75,1,1.5", "--", "--sizes"};
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    int argc = (int)args.size();
    encoding_choice choice;
    EXPECT_EQ(encoding_take_options(&argc, argv.data(), &choice, true), -1);
    ASSERT_EQ(argc, 4);
    EXPECT_STREQ(argv[1], "a.ppm");
    EXPECT_STREQ(argv[3], "--sizes"); // after "--" it is an argument
    EXPECT_EQ(choice.encoding, ENCODING_NORMALISED);
    ASSERT_EQ(choice.size_count, 3);
    EXPECT_EQ(choice.sizes[2], 1.5);
}

// Patterns whose first n units are on.
std::vector<int> ones(int n) {
    std::vector<int> act(NETSIZE, 0);
    for (int u = 0; u < n; u++)
        act[u] = 1;
    return act;
}

TEST(Verdict, LimitKeepsObjectsApart) {
    std::vector<std::vector<int>> acts = {ones(10), ones(12), ones(30), ones(60)};
    std::vector<const int *> patterns;
    for (const auto &act : acts)
        patterns.push_back(act.data());
    // Patterns 0 and 1 are one object at two sizes; the nearest other
    // object's pattern is 18 units away, so the limit is 8.
    std::vector<int> objects = {0, 0, 1, 2};
    EXPECT_EQ(verdict_limit(patterns.data(), objects.data(), 4), 8);
    std::vector<int> one_object = {0, 0, 0, 0};
    EXPECT_EQ(verdict_limit(patterns.data(), one_object.data(), 4), VERDICT_LIMIT_ALONE);
    std::vector<int> far = {0, 1};
    const int *apart[] = {acts[0].data(), ones(250).data()};
    std::vector<int> wide = ones(250);
    apart[1] = wide.data();
    EXPECT_EQ(verdict_limit(apart, far.data(), 2), VERDICT_LIMIT_MOST);

    // 17 units from object 1 and 5 from object 0's second pattern.
    std::vector<int> near_zero = ones(17);
    verdict v = verdict_judge(patterns.data(), objects.data(), 4, near_zero.data(), nullptr, 8,
                              VERDICT_NEAREST);
    EXPECT_EQ(v.object, 0);
    EXPECT_EQ(v.bits, 5);
    std::vector<int> between = ones(45);
    v = verdict_judge(patterns.data(), objects.data(), 4, between.data(), nullptr, 8,
                      VERDICT_NEAREST);
    EXPECT_EQ(v.object, -1);
    EXPECT_EQ(v.nearest, 1);
    EXPECT_EQ(v.bits, 15);
    // Settling into object 2's pattern moved 15 units: too far.
    v = verdict_judge(patterns.data(), objects.data(), 4, between.data(), acts[3].data(), 8,
                      VERDICT_SETTLED);
    EXPECT_EQ(v.object, -1);
    EXPECT_EQ(v.nearest, 2);
    // Both rules together: near object 0 but settled into object 1.
    v = verdict_judge(patterns.data(), objects.data(), 4, near_zero.data(), acts[2].data(), 8,
                      VERDICT_AGREED);
    EXPECT_EQ(v.object, -1);
    v = verdict_judge(patterns.data(), objects.data(), 4, near_zero.data(), acts[1].data(), 8,
                      VERDICT_AGREED);
    EXPECT_EQ(v.object, 0);
}

TEST(EncodingPrograms, GlimcutTakesTheOptionsAndRefusesBadValues) {
    scratch_dir dir;
    dir.write("test-1.ppm", read_file(std::string(SAMPLES_DIR) + "/test-1.ppm"));
    run_result bad = run_in(dir, GLIMCUT_PATH, {"--encoding", "fancy", "test-1.ppm"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.out, "");
    EXPECT_EQ(bad.err,
              "glimcut: --encoding fancy: unknown encoding; give classic, normalised, masked, "
              "silhouette or detail\n");
    bad = run_in(dir, GLIMSEE_PATH, {"--sizes", "1", "test-1.ppm"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(dir.files().size(), 1u);

    run_result classic = run_in(dir, GLIMCUT_PATH, {"test-1.ppm"});
    std::string first = dir.read("se-0.act");
    run_result sized =
        run_in(dir, GLIMCUT_PATH, {"--encoding=classic", "--sizes", "1", "test-1.ppm"});
    EXPECT_EQ(sized.out, classic.out);
    EXPECT_EQ(dir.read("se-0.act"), first);
    // Two sizes of four objects: eight patterns, object 1 at size 1 in se-3.act.
    run_result two =
        run_in(dir, GLIMCUT_PATH,
               {"--encoding", "normalised", "--sizes", "0.8,1", "test-1.ppm", "n-%d.act"});
    EXPECT_EQ(two.status, 0) << two.err;
    EXPECT_TRUE(dir.exists("n-7.act"));
    EXPECT_FALSE(dir.exists("n-8.act"));
    EXPECT_NE(two.out.find("Processing Object Nr. 1\n Object coordinates: 3,3-23x22\n Size 1\n"
                           " Saving calculated activation to n-3.act...\n"),
              std::string::npos);
}

} // namespace
