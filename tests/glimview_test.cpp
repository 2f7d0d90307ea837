// glimview end to end: the pictures decoded again with libpng, the match
// table, and refused input.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <png.h>

#include "actfile.h"
#include "net.h"
#include "netfile.h"
#include "run_program.h"

namespace {

using rgb = std::array<int, 3>;

struct decoded {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> pixels;

    rgb at(int x, int y) const {
        const unsigned char *p = &pixels[((size_t)y * width + x) * 3];
        return {p[0], p[1], p[2]};
    }
};

decoded decode_png(const std::string &path) {
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    decoded result;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        ADD_FAILURE() << path << ": " << image.message;
        return result;
    }
    image.format = PNG_FORMAT_RGB;
    result.pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, result.pixels.data(), 0, nullptr)) {
        ADD_FAILURE() << path << ": " << image.message;
        return result;
    }
    result.width = (int)image.width;
    result.height = (int)image.height;
    return result;
}

run_result glimview(const scratch_dir &dir, const std::vector<std::string> &args) {
    return run_in(dir, GLIMVIEW_PATH, args);
}

// Compares a picture with its recorded size and the FNV-1a hash of its
// decoded pixels (the compressed bytes may vary with the libpng version).
void expect_picture(const decoded &png, int width, int height, uint64_t hash) {
    std::string pixels(png.pixels.begin(), png.pixels.end());
    EXPECT_EQ(png.width, width);
    EXPECT_EQ(png.height, height);
    EXPECT_EQ(fnv1a_64(pixels), hash);
}

// How many pixels of the picture have the colour.
int pixels_of(const decoded &png, const rgb &colour) {
    int count = 0;
    for (int y = 0; y < png.height; y++)
        for (int x = 0; x < png.width; x++)
            count += png.at(x, y) == colour;
    return count;
}

// ---- scene

// An 80 x 60 picture with blue 255 inside the rectangles (x0, y0, x1, y1) and
// red and green that the segmentation must not see.
std::string picture(const std::vector<std::array<int, 4>> &rectangles) {
    std::string bytes = "P6\n# test\n80 60\n255\n";
    for (int y = 0; y < 60; y++) {
        for (int x = 0; x < 80; x++) {
            bool inside = false;
            for (const auto &r : rectangles)
                inside |= x >= r[0] && x <= r[2] && y >= r[1] && y <= r[3];
            bytes += (char)200;
            bytes += (char)100;
            bytes += (char)(inside ? 255 : 7);
        }
    }
    return bytes;
}

const rgb BOX_0 = {230, 25, 75};
const rgb BOX_1 = {0, 110, 200};

TEST(GlimviewScene, ShowsSamplesNumberedBoxesAndThinnedEdges) {
    scratch_dir dir;
    dir.write("pic.ppm", picture({{10, 10, 25, 20}, {50, 30, 70, 50}}));
    run_result run = glimview(dir, {"scene", "pic.ppm"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Number of objects: 2\n"
                       " Object 0: 9,9-18x12\n"
                       " Object 1: 49,29-23x22\n");
    EXPECT_EQ(run.err, "glimview: wrote pic-scene.png\n");
    decoded png = decode_png(dir.path() + "/pic-scene.png");
    expect_picture(png, 1304, 516, 0x981990123313fc9du);
    // Blue samples as grey levels (7 outside the rectangles, never the red
    // or green), and each box in the colour of its number.
    EXPECT_GT(pixels_of(png, rgb{7, 7, 7}), 0);
    EXPECT_GT(pixels_of(png, BOX_0), 0);
    EXPECT_GT(pixels_of(png, BOX_1), 0);

    // The same picture gives the same bytes, under any name.
    ASSERT_EQ(glimview(dir, {"scene", "-o", "again.png", "pic.ppm"}).status, 0);
    EXPECT_EQ(dir.read("again.png"), dir.read("pic-scene.png"));
}

// ---- pattern

std::vector<int> pattern_where(const std::function<int(int row, int column)> &value) {
    std::vector<int> act(NETSIZE);
    for (int u = 0; u < NETSIZE; u++)
        act[u] = value(u / 16, u % 16);
    return act;
}

void write_pattern(const scratch_dir &dir, const std::string &name, const std::vector<int> &act) {
    act_file_layout = ACT_LAYOUT_ROWS;
    ASSERT_EQ(act_save(act.data(), (dir.path() + "/" + name).c_str()), 0);
}

TEST(GlimviewPattern, ShowsEachUnitAsAGridCell) {
    scratch_dir dir;
    write_pattern(dir, "lower.act", pattern_where([](int r, int c) { return c <= r ? 1 : 0; }));
    write_pattern(dir, "odd.act",
                  pattern_where([](int r, int c) { return r == 3 && c == 4 ? 2 : 0; }));
    run_result run = glimview(dir, {"pattern", "lower.act", "odd.act"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "glimview: wrote pattern.png\n");
    decoded png = decode_png(dir.path() + "/pattern.png");
    expect_picture(png, 554, 315, 0x86f199a4e2c5eeb7u);
    EXPECT_GT(pixels_of(png, rgb{245, 130, 48}), 0); // the value 2, neither 0 nor 1

    // A ninth pattern starts a second row.
    std::vector<std::string> args = {"pattern", "-o", "nine.png"};
    for (int i = 0; i < 8; i++)
        args.push_back("odd.act");
    args.push_back("lower.act");
    ASSERT_EQ(glimview(dir, args).status, 0);
    decoded nine = decode_png(dir.path() + "/nine.png");
    expect_picture(nine, 2240, 638, 0x0e5ca26946368452u);
    EXPECT_GT(nine.height, png.height);
}

// ---- net

TEST(GlimviewNet, ColoursFollowTheWeightsScaledByTheLargestFiniteOne) {
    scratch_dir dir;
    net_verbose = 0;
    net_init();
    for (int s = 0; s < weightsize; s++)
        weight_slot_set(s, 0.0);
    const double infinity = std::numeric_limits<double>::infinity();
    weight_slot_set(weight_index(0, 1), 2.0);
    weight_slot_set(weight_index(2, 3), -2.0);
    weight_slot_set(weight_index(10, 11), 1.0);
    weight_slot_set(weight_index(4, 5), std::nan(""));
    weight_slot_set(weight_index(6, 7), infinity);
    weight_slot_set(weight_index(8, 9), -infinity);
    thresholds[0] = 3.0;
    thresholds[1] = -3.0;
    ASSERT_EQ(net_save((dir.path() + "/my.net").c_str()), 0);

    run_result run = glimview(dir, {"net", "my.net"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Weights: finite from -2 to 2, 3 not finite\n"
                       "Thresholds: finite from -3 to 3, 0 not finite\n");
    EXPECT_EQ(run.err, "glimview: wrote my.png\n");
    decoded png = decode_png(dir.path() + "/my.png");
    expect_picture(png, 718, 600, 0x02925e663683bebdu);
    // NaN, +inf and -inf have colours of their own, off the scale.
    EXPECT_GT(pixels_of(png, rgb{40, 200, 40}), 0);
    EXPECT_GT(pixels_of(png, rgb{103, 0, 13}), 0);
    EXPECT_GT(pixels_of(png, rgb{5, 48, 97}), 0);
}

// ---- match

TEST(GlimviewMatch, TableOfDistancesNearestFirst) {
    auto ones = [](int first, int count) {
        return pattern_where([=](int r, int c) {
            int u = r * 16 + c;
            return u >= first && u < first + count ? 1 : 0;
        });
    };
    struct match_case {
        std::vector<std::vector<int>> learned; // l0.act, l1.act, ...
        std::string out;
    };
    const std::vector<int> result = ones(0, 10);
    const match_case cases[] = {
        {{ones(0, 5), ones(0, 10), ones(5, 10)},
         "Hamming distance from r.act to each learned pattern (of 256 units):\n"
         "    0  l1.act\n"
         "    5  l0.act\n"
         "   10  l2.act\n"
         "r.act is exactly l1.act.\n"},
        // Ties keep the order of the arguments.
        {{ones(0, 17), ones(0, 8), ones(3, 8), ones(0, 12)},
         "Hamming distance from r.act to each learned pattern (of 256 units):\n"
         "    2  l1.act\n"
         "    2  l3.act\n"
         "    4  l2.act\n"
         "    7  l0.act\n"
         "r.act is none of them; nearest: l1.act, l3.act (distance 2).\n"},
        {{ones(100, 100)},
         "Hamming distance from r.act to each learned pattern (of 256 units):\n"
         "  110  l0.act\n"
         "r.act is none of them; nearest: l0.act (distance 110).\n"},
    };
    for (const match_case &c : cases) {
        scratch_dir dir;
        write_pattern(dir, "r.act", result);
        std::vector<std::string> args = {"match", "r.act"};
        for (size_t i = 0; i < c.learned.size(); i++) {
            std::string name = "l" + std::to_string(i) + ".act";
            write_pattern(dir, name, c.learned[i]);
            args.push_back(name);
        }
        run_result run = glimview(dir, args);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, "");
    }
}

// ---- refusals

TEST(GlimviewRefusals, BadInputGivesAMessageAFailureAndNoFile) {
    std::string good_pattern;
    {
        scratch_dir dir;
        write_pattern(dir, "p.act", std::vector<int>(NETSIZE, 1));
        good_pattern = dir.read("p.act");
    }
    std::string short_act = "int act[256] = {\n";
    for (int u = 0; u < 255; u++)
        short_act += "1, ";
    std::string truncated_picture = picture({});
    truncated_picture.resize(truncated_picture.size() - 10);

    struct refusal {
        std::vector<std::string> args;
        std::map<std::string, std::string> files;
        std::string message; // all of stderr: one message, nothing repeated
    };
    const refusal cases[] = {
        {{"scene", "missing.ppm"}, {}, "Cannot open input file missing.ppm.\n"},
        {{"scene", "p3.ppm"},
         {{"p3.ppm", "P3\n80 60\n255\n"}},
         "Format P3 nicht unterstuetzt!\nglimview: p3.ppm is a P3 picture, not the binary PPM "
         "(P6); "
         "glimprep makes an 80 x 60 PPM of it\n"},
        {{"scene", "cut.ppm"},
         {{"cut.ppm", truncated_picture}},
         "glimview: cannot read picture cut.ppm: the raster ends after 14390 of 14400 bytes\n"},
        {{"pattern", "p.act", "short.act"},
         {{"p.act", good_pattern}, {"short.act", short_act}},
         "  File format error in short.act/ac.255, breaking.\n"},
        {{"match", "p.act", "missing.act"},
         {{"p.act", good_pattern}},
         "  File not found error in missing.act/ac.-, breaking.\n"},
        {{"net"},
         {},
         "glimview: cannot read network glimnet.net: it is missing; teach one with "
         "glimlearn\n"},
        {{"net", "bad.net"},
         {{"bad.net", "double weights0[1024] = {\n  0.5, 0.5, }\n"}},
         "  File format error in bad.net/0.2, breaking.\n"},
        {{"pattern", "-o", "p.act", "p.act"},
         {{"p.act", good_pattern}},
         "glimview: cannot write p.act: it is the input file p.act; nothing written\n"},
        {{"pattern", "-o", "no/such/dir.png", "p.act"},
         {{"p.act", good_pattern}},
         "glimview: cannot write no/such/dir.png: No such file or directory\n"},
        {{"view", "p.act"},
         {},
         "glimview: cannot run view: it is not a command; the commands are scene, pattern, net, "
         "match, report, settle, robustness and capacity (see glimview --help)\n"},
        {{"match", "p.act"},
         {},
         "glimview: cannot run match: give a result file and at least one learned file; see "
         "glimview --help\n"},
        // An option of another view is refused, not passed over: net would
        // draw glimnet.net, not the network named.
        {{"net", "--net", "my.net"},
         {},
         "glimview: cannot run net: net takes no --net; see glimview --help\n"},
        {{"scene", "--labels", "l.txt", "p.ppm"},
         {},
         "glimview: cannot run scene: scene takes no --labels; see glimview --help\n"},
    };
    for (const refusal &c : cases) {
        SCOPED_TRACE(c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : ""));
        scratch_dir dir;
        for (const auto &[name, content] : c.files)
            dir.write(name, content);
        run_result run = glimview(dir, c.args);
        EXPECT_NE(run.status, 0);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, c.message);
        EXPECT_EQ(dir.files(), c.files);
    }
}

TEST(GlimviewUsage, HelpAndVersion) {
    scratch_dir dir;
    run_result help = glimview(dir, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: glimview scene [-o FILE] PICTURE\n", 0), 0u) << help.out;
    run_result version = glimview(dir, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("glimview ") + GLIM_VERSION + "\n");
}

} // namespace
