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

const rgb WHITE = {255, 255, 255};
const rgb BLACK = {0, 0, 0};

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

// The scene picture: two panels of 640 x 480 below a caption line; the frame
// of a box runs through the middle of its frame cells, 2 pixels wide.
constexpr int ZOOM = 8;
constexpr int PANEL_TOP = 8 + 20;
constexpr int SAMPLES_LEFT = 8;
constexpr int EDGES_LEFT = 16 + 640;
const rgb BOX_0 = {230, 25, 75};
const rgb BOX_1 = {0, 110, 200};

// The canvas pixel at the middle of picture pixel (x, y) of a panel.
rgb cell(const decoded &png, int left, int x, int y) {
    return png.at(left + x * ZOOM + 4, PANEL_TOP + y * ZOOM + 4);
}

TEST(GlimviewScene, ShowsSamplesNumberedBoxesAndThinnedEdges) {
    scratch_dir dir;
    dir.write("pic.ppm", picture({{10, 10, 25, 20}, {50, 30, 70, 50}}));
    run_result run = glimview(dir, {"scene", "pic.ppm"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Number of objects: 2\n"
                       " Object 0: 9,9-18x12\n"
                       " Object 1: 49,29-23x22\n"
                       "Wrote pic-scene.png\n");
    EXPECT_EQ(run.err, "");
    decoded png = decode_png(dir.path() + "/pic-scene.png");
    ASSERT_EQ(png.width, 3 * 8 + 2 * 640);
    ASSERT_EQ(png.height, PANEL_TOP + 480 + 8);

    // Blue samples as grey levels: 255 inside a rectangle, 7 outside.
    EXPECT_EQ(cell(png, SAMPLES_LEFT, 15, 15), WHITE);
    EXPECT_EQ(cell(png, SAMPLES_LEFT, 40, 5), (rgb{7, 7, 7}));
    // The thinned outline of the first rectangle, and inside it no edge.
    EXPECT_EQ(cell(png, EDGES_LEFT, 10, 15), BLACK);
    EXPECT_EQ(cell(png, EDGES_LEFT, 26, 15), BLACK);
    EXPECT_EQ(cell(png, EDGES_LEFT, 15, 15), WHITE);
    // Box corners, in both panels, in the colour of the box's number.
    struct corner {
        int x, y;
        rgb colour;
    };
    for (int left : {SAMPLES_LEFT, EDGES_LEFT}) {
        for (const corner &c :
             {corner{9 * 8 + 3, 9 * 8 + 3, BOX_0}, corner{27 * 8 + 4, 21 * 8 + 4, BOX_0},
              corner{49 * 8 + 3, 29 * 8 + 3, BOX_1}, corner{72 * 8 + 4, 51 * 8 + 4, BOX_1}}) {
            SCOPED_TRACE(testing::Message()
                         << "panel " << left << ", corner " << c.x << "," << c.y);
            EXPECT_EQ(png.at(left + c.x, PANEL_TOP + c.y), c.colour);
            // Just outside the 2-pixel frame line the picture shows again.
            EXPECT_NE(png.at(left + c.x + (c.x % 8 == 3 ? -1 : 1), PANEL_TOP + c.y), c.colour);
        }
    }
    // The tag of box 1 holds its number in white: the '1' has a vertical
    // stroke in its third font column.
    EXPECT_EQ(png.at(SAMPLES_LEFT + 49 * 8 + 3 + 2 + 2 * 2, PANEL_TOP + 29 * 8 + 3 + 2 + 2 * 3),
              WHITE);

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

// Pattern i sits in column i % 8 and row i / 8 of a table of 281 x 323
// pixels per pattern; unit (row, column) is a cell of 16 pixels in its grid.
rgb unit_colour(const decoded &png, int i, int row, int column) {
    return png.at(8 + i % 8 * 281 + column * 16 + 8, 8 + i / 8 * 323 + row * 16 + 8);
}

TEST(GlimviewPattern, ShowsEachUnitAsAGridCell) {
    scratch_dir dir;
    write_pattern(dir, "lower.act", pattern_where([](int r, int c) { return c <= r ? 1 : 0; }));
    write_pattern(dir, "odd.act",
                  pattern_where([](int r, int c) { return r == 3 && c == 4 ? 2 : 0; }));
    run_result run = glimview(dir, {"pattern", "lower.act", "odd.act"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Wrote pattern.png\n");
    decoded png = decode_png(dir.path() + "/pattern.png");
    EXPECT_EQ(png.width, 8 + 2 * 281 - 24 + 8);
    EXPECT_EQ(png.height, 8 + 323 - 24 + 8);
    EXPECT_EQ(unit_colour(png, 0, 0, 0), BLACK);
    EXPECT_EQ(unit_colour(png, 0, 0, 1), WHITE);
    EXPECT_EQ(unit_colour(png, 0, 15, 15), BLACK);
    EXPECT_EQ(unit_colour(png, 0, 7, 8), WHITE);
    EXPECT_EQ(unit_colour(png, 1, 3, 4), (rgb{245, 130, 48}));
    EXPECT_EQ(unit_colour(png, 1, 3, 5), WHITE);
    EXPECT_EQ(png.at(8 + 16, 8 + 5), (rgb{190, 190, 190})); // a grid line

    // A ninth pattern starts a second row.
    std::vector<std::string> args = {"pattern", "-o", "nine.png"};
    for (int i = 0; i < 8; i++)
        args.push_back("odd.act");
    args.push_back("lower.act");
    ASSERT_EQ(glimview(dir, args).status, 0);
    png = decode_png(dir.path() + "/nine.png");
    EXPECT_EQ(png.width, 8 + 8 * 281 - 24 + 8);
    EXPECT_EQ(png.height, 8 + 2 * 323 - 24 + 8);
    EXPECT_EQ(unit_colour(png, 8, 15, 0), BLACK);
    EXPECT_EQ(unit_colour(png, 7, 3, 4), (rgb{245, 130, 48}));
}

// ---- net

TEST(GlimviewNet, ColoursFollowTheWeightsScaledByTheLargestFiniteOne) {
    scratch_dir dir;
    net_verbose = 0;
    net_init();
    for (int s = 0; s < weightsize; s++)
        weight_slot(s) = 0.0;
    const double infinity = std::numeric_limits<double>::infinity();
    weight_slot(weight_index(0, 1)) = 2.0;
    weight_slot(weight_index(2, 3)) = -2.0;
    weight_slot(weight_index(10, 11)) = 1.0;
    weight_slot(weight_index(4, 5)) = std::nan("");
    weight_slot(weight_index(6, 7)) = infinity;
    weight_slot(weight_index(8, 9)) = -infinity;
    thresholds[0] = 3.0;
    thresholds[1] = -3.0;
    ASSERT_EQ(net_save((dir.path() + "/my.net").c_str()), 0);

    run_result run = glimview(dir, {"net", "my.net"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Weights: finite from -2 to 2, 3 not finite\n"
                       "Thresholds: finite from -3 to 3, 0 not finite\n"
                       "Wrote my.png\n");
    decoded png = decode_png(dir.path() + "/my.png");
    ASSERT_EQ(png.width, 718);
    ASSERT_EQ(png.height, 600);
    // w(a, b) at row a, column b, two pixels a unit, below a caption line;
    // the matrix is symmetric.
    auto weight = [&](int a, int b) { return png.at(8 + b * 2, 28 + a * 2); };
    struct expected {
        int a, b;
        rgb colour;
    };
    for (const expected &e : {
             expected{0, 1, {178, 24, 43}},     // the scale: full red
             expected{2, 3, {33, 102, 172}},    // minus the scale: full blue
             expected{10, 11, {217, 140, 149}}, // half way to red
             expected{4, 5, {40, 200, 40}},     // NaN
             expected{6, 7, {103, 0, 13}},      // +inf
             expected{8, 9, {5, 48, 97}},       // -inf
             expected{0, 2, WHITE},             // 0
             expected{5, 5, {128, 128, 128}},   // the diagonal
         }) {
        EXPECT_EQ(weight(e.a, e.b), e.colour) << e.a << "," << e.b;
        EXPECT_EQ(weight(e.b, e.a), e.colour) << e.b << "," << e.a;
    }
    // The thresholds strip, on a scale of its own.
    auto threshold = [&](int u) { return png.at(8 + u * 2 + 1, 28 + 512 + 8 + 20 + 10); };
    EXPECT_EQ(threshold(0), (rgb{178, 24, 43}));
    EXPECT_EQ(threshold(1), (rgb{33, 102, 172}));
    EXPECT_EQ(threshold(2), WHITE);
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
        std::string message; // a line of stderr
    };
    const refusal cases[] = {
        {{"scene", "missing.ppm"}, {}, "Cannot open input file missing.ppm.\n"},
        {{"scene", "p3.ppm"}, {{"p3.ppm", "P3\n80 60\n255\n"}}, "Format P3 nicht unterstuetzt!\n"},
        {{"scene", "cut.ppm"},
         {{"cut.ppm", truncated_picture}},
         "Cannot read picture cut.ppm: the raster ends after 14390 of 14400 bytes.\n"},
        {{"pattern", "p.act", "short.act"},
         {{"p.act", good_pattern}, {"short.act", short_act}},
         "  File format error in short.act/ac.255, breaking.\n"},
        {{"match", "p.act", "missing.act"},
         {{"p.act", good_pattern}},
         "  File not found error in missing.act/ac.-, breaking.\n"},
        {{"net"}, {}, "  Couldn't open file glimnet.net, don't load.\n"},
        {{"net", "bad.net"},
         {{"bad.net", "double weights0[1024] = {\n  0.5, 0.5, }\n"}},
         "  File format error in bad.net/0.2, breaking.\n"},
        {{"pattern", "-o", "p.act", "p.act"},
         {{"p.act", good_pattern}},
         "glimview: output file p.act is the input file p.act; choose another -o.\n"},
        {{"pattern", "-o", "no/such/dir.png", "p.act"},
         {{"p.act", good_pattern}},
         "  Couldn't write file no/such/dir.png: No such file or directory\n"},
        {{"view", "p.act"},
         {},
         "glimview: unknown command view; the commands are scene, pattern, net, match, report, "
         "settle, "
         "robustness and capacity (see glimview --help).\n"},
        {{"match", "p.act"},
         {},
         "glimview match: give a result file and at least one learned file; see glimview "
         "--help.\n"},
    };
    for (const refusal &c : cases) {
        SCOPED_TRACE(c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : ""));
        scratch_dir dir;
        for (const auto &[name, content] : c.files)
            dir.write(name, content);
        run_result run = glimview(dir, c.args);
        EXPECT_NE(run.status, 0);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
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
