// The scene segmentation: loading, edges, thinning, tracing and box merging.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "pictures.h"
#include "run_program.h"
#include "scene.h"

namespace {

using cell = std::pair<int, int>; // (x, y)
using cells = std::set<cell>;
using box = std::array<int, 4>; // x0, y0, x1, y1
using plane = unsigned char[SCENE_COLUMNS][SCENE_STRIDE];

// Blue 255 inside the rectangle x0..x1, y0..y1, blue 0 elsewhere.
blue_fn rectangle(int x0, int y0, int x1, int y1) {
    return blue_rectangles({{x0, y0, x1, y1}});
}

cells cells_holding(const plane &p, int value) {
    cells found;
    for (int x = 0; x < SCENE_COLUMNS; x++)
        for (int y = 0; y < SCENE_STRIDE; y++)
            if (p[x][y] == value) found.insert({x, y});
    return found;
}

cells cells_not_zero(const plane &p) {
    cells found;
    for (int x = 0; x < SCENE_COLUMNS; x++)
        for (int y = 0; y < SCENE_STRIDE; y++)
            if (p[x][y] != 0) found.insert({x, y});
    return found;
}

// The cells of the outline of the rectangle x0..x1, y0..y1.
cells outline(int x0, int y0, int x1, int y1) {
    cells found;
    for (int x = x0; x <= x1; x++)
        found.insert({{x, y0}, {x, y1}});
    for (int y = y0; y <= y1; y++)
        found.insert({{x0, y}, {x1, y}});
    return found;
}

cells horizontal_line(int x0, int x1, int y) {
    cells found;
    for (int x = x0; x <= x1; x++)
        found.insert({x, y});
    return found;
}

cells vertical_line(int x, int y0, int y1) {
    cells found;
    for (int y = y0; y <= y1; y++)
        found.insert({x, y});
    return found;
}

cells joined(cells a, const cells &b) {
    a.insert(b.begin(), b.end());
    return a;
}

void clear_scene() {
    memset(scene_input, 0, sizeof scene_input);
    memset(scene_edges, 0, sizeof scene_edges);
    memset(object_boxes, 0, sizeof object_boxes);
    object_box_count = 0;
}

void set_edges(const cells &set) {
    for (const cell &c : set)
        scene_edges[c.first][c.second] = 255;
}

std::vector<box> boxes() {
    std::vector<box> found;
    for (int n = 0; n < object_count(); n++)
        found.push_back({object_x(n), object_y(n), object_x(n) + object_width(n),
                         object_y(n) + object_height(n)});
    return found;
}

void set_boxes(const std::vector<box> &table) {
    object_box_count = (int)table.size();
    for (size_t n = 0; n < table.size(); n++)
        object_boxes[n] = {table[n][0], table[n][1], table[n][2], table[n][3]};
}

// What scene_edges holds after merging: each box's frame marked 100 + its number.
std::map<cell, int> expected_frames(const std::vector<box> &table) {
    std::map<cell, int> marks;
    for (size_t n = 0; n < table.size(); n++)
        for (const cell &c : outline(table[n][0], table[n][1], table[n][2], table[n][3]))
            marks[c] = 100 + (int)n;
    return marks;
}

std::map<cell, int> frames_in_edges() {
    std::map<cell, int> marks;
    for (const cell &c : cells_not_zero(scene_edges))
        marks[c] = scene_edges[c.first][c.second];
    return marks;
}

class Scene : public testing::Test {
  protected:
    void SetUp() override { clear_scene(); }

    std::string path(const std::string &name) const { return dir.path() + "/" + name; }

    // Writes bytes as a picture file and loads it; keeps what was printed.
    int load(const std::string &bytes, const std::string &name = "in.ppm") {
        dir.write(name, bytes);
        return load_path(path(name));
    }

    int load_path(const std::string &file) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        int result = scene_load(file.c_str());
        out = testing::internal::GetCapturedStdout();
        err = testing::internal::GetCapturedStderr();
        return result;
    }

    scratch_dir dir;
    std::string out;
    std::string err;
};

// ---- Loading

TEST_F(Scene, KeepsTheBlueSampleOnly) {
    // Red and green vary everywhere, blue is uniform but for one pixel.
    ASSERT_EQ(load(ppm_picture(80, 60, [](int x, int y) { return x == 3 && y == 2 ? 7 : 90; })), 0);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "");
    EXPECT_EQ(scene_input[3][2], 7);
    EXPECT_EQ(scene_input[4][2], 90);
    EXPECT_EQ(scene_input[79][59], 90);
    EXPECT_EQ(object_count(), 0);

    std::string one_pixel = "P6\n# x\n1 1\n255\n";
    one_pixel += {(char)200, (char)100, (char)7};
    ASSERT_EQ(load(one_pixel), 0);
    EXPECT_EQ(scene_input[0][0], 7);
}

TEST_F(Scene, UnopenableFileAndOtherFormatsGiveTheirMessagesAndNoObjects) {
    ASSERT_EQ(load(ppm_picture(80, 60, rectangle(10, 10, 25, 20))), 0);
    ASSERT_EQ(object_count(), 1);

    std::string missing = path("missing.ppm");
    EXPECT_EQ(load_path(missing), -1);
    EXPECT_EQ(err, "Cannot open input file " + missing + ".\n");
    EXPECT_EQ(out, "");
    EXPECT_EQ(object_count(), 0);

    ASSERT_EQ(load(ppm_picture(80, 60, rectangle(10, 10, 25, 20))), 0);
    EXPECT_EQ(load("P3\n# x\n80 60\n255\n0 0 0\n"), -1);
    EXPECT_EQ(out, "Format P3 nicht unterstuetzt!\n");
    EXPECT_EQ(err, path("in.ppm") +
                       " is a P3 picture, not the binary PPM (P6); glimprep makes an 80 x 60 PPM "
                       "of it\n");
    EXPECT_EQ(object_count(), 0);
    EXPECT_EQ(cells_not_zero(scene_input), cells{});
}

TEST_F(Scene, EveryHeaderLayoutGivesTheSamePlanes) {
    blue_fn blue = rectangle(10, 10, 25, 20);
    ASSERT_EQ(load(ppm_picture(80, 60, blue)), 0);
    std::vector<box> usual_boxes = boxes();
    cells usual_input = cells_holding(scene_input, 255);
    auto usual_frames = frames_in_edges();
    ASSERT_EQ(usual_boxes.size(), 1u);

    const char *layouts[] = {
        "P6\n%d %d\n255\n",
        "P6\n# one\n# two\n%d %d\n255\n",
        "P6\n%d # the width\n%d\n255\n",
        "P6\r\n# a comment\r\n%d %d\r\n255\n",
        "P6 %d %d 255\n",
        "Q6\n# accepted like P6\n%d %d\n255\n",
    };
    for (const char *layout : layouts) {
        clear_scene();
        ASSERT_EQ(load(ppm_picture(80, 60, blue, layout)), 0) << layout << err;
        EXPECT_EQ(boxes(), usual_boxes) << layout;
        EXPECT_EQ(cells_holding(scene_input, 255), usual_input) << layout;
        EXPECT_EQ(frames_in_edges(), usual_frames) << layout;
    }
}

TEST_F(Scene, RefusesPicturesThatDoNotFitOrCannotBeRead) {
    std::string raster(80 * 60 * 3, '\x10');
    struct {
        std::string bytes;
        std::string reason;
    } cases[] = {
        {"P6\n81 60\n255\n" + std::string(81 * 60 * 3, '\x10'),
         "the size 81 x 60 is not within 1..80 x 1..60"},
        {"P6\n80 61\n255\n" + std::string(80 * 61 * 3, '\x10'),
         "the size 80 x 61 is not within 1..80 x 1..60"},
        {"P6\n0 60\n255\n" + raster, "the size 0 x 60 is not within 1..80 x 1..60"},
        {"P6\n80 0\n255\n" + raster, "the size 80 x 0 is not within 1..80 x 1..60"},
        {"P6\n3333333333 60\n255\n" + raster, "the width 3333333333 is too large"},
        {"P6\n-80 60\n255\n" + raster, "the width -80 is negative"},
        {"P6\n80\n", "the height is missing"},
        {"P6\n80 60\n65535\n" + raster + raster,
         "the maximum sample value 65535 is not within 1..255"},
        {"P6\n80 60\n0\n" + raster, "the maximum sample value 0 is not within 1..255"},
        {"P6\n80 60\n255\n" + raster.substr(1), "the raster ends after 14399 of 14400 bytes"},
        {"P6\n80 60\n255\n", "the raster ends after 0 of 14400 bytes"},
    };
    for (const auto &c : cases) {
        // A picture with an object first, so that a refusal must also clear it.
        ASSERT_EQ(load(ppm_picture(80, 60, rectangle(10, 10, 25, 20))), 0);
        ASSERT_EQ(object_count(), 1);
        EXPECT_EQ(load(c.bytes), -1) << c.reason;
        EXPECT_EQ(err, "cannot read picture " + path("in.ppm") + ": " + c.reason + "\n");
        EXPECT_EQ(out, "");
        EXPECT_EQ(object_count(), 0) << c.reason;
        EXPECT_EQ(cells_not_zero(scene_input), cells{}) << c.reason;
        EXPECT_EQ(cells_not_zero(scene_edges), cells{}) << c.reason;
    }
}

// Any picture of up to 80 x 60, run through the whole segmentation, stays
// within its area and gives boxes inside it that share no cell, with their
// frames in the edge plane; the sanitizer build checks every access.
TEST_F(Scene, AnyPictureStaysWithinItsAreaAndGivesSeparateBoxes) {
    unsigned seed = 99;
    auto next = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return (int)((seed >> 16) & 0x7fff);
    };
    // Tiny and narrow pictures, a quarter-size one, then full and random sizes.
    std::vector<std::pair<int, int>> sizes = {{1, 1}, {2, 2},  {3, 3},  {4, 3},
                                              {3, 4}, {80, 1}, {1, 60}, {40, 30}};
    while (sizes.size() < 60)
        sizes.insert(sizes.end(), {{80, 60}, {1 + next() % 80, 1 + next() % 60}});
    for (auto [width, height] : sizes) {
        // Scattered blocks of random size on blue 0, mostly strong enough to
        // give edges, so that there are many chains and boxes.
        int contrast = 40 + next() % 216;
        int block = 1 + next() % 6;
        std::vector<int> blocks(SCENE_COLUMNS * SCENE_STRIDE);
        for (int &v : blocks)
            v = next() % 6 == 0 ? contrast : 0;
        ASSERT_EQ(load(ppm_picture(
                      width, height,
                      [&](int x, int y) { return blocks[x / block * SCENE_STRIDE + y / block]; })),
                  0);
        for (const cell &c : cells_not_zero(scene_input))
            EXPECT_TRUE(c.first < width && c.second < height) << c.first << "," << c.second;
        std::vector<box> found = boxes();
        for (size_t i = 0; i < found.size(); i++) {
            const box &b = found[i];
            EXPECT_TRUE(b[0] >= 0 && b[1] >= 0 && b[2] < width && b[3] < height);
            for (size_t j = 0; j < i; j++) {
                const box &a = found[j];
                EXPECT_TRUE(a[2] < b[0] || b[2] < a[0] || a[3] < b[1] || b[3] < a[1])
                    << "boxes " << j << " and " << i << " share a cell";
            }
        }
        EXPECT_EQ(frames_in_edges(), expected_frames(found)) << width << " x " << height;
    }
}

// ---- Edge filter and binarisation

TEST_F(Scene, EdgeStrengthIsTheSobelSumClippedAt255) {
    // A 3 x 3 block around (5, 5) with every neighbour different.
    const int block[3][3] = {{10, 20, 30}, {40, 0, 50}, {60, 70, 5}}; // [row][column]
    for (int j = 0; j < 3; j++)
        for (int i = 0; i < 3; i++)
            scene_input[4 + i][4 + j] = (unsigned char)block[j][i];
    // A vertical step from blue 0 to 255 at x = 20.
    for (int x = 20; x < 30; x++)
        for (int y = 0; y < 10; y++)
            scene_input[x][y] = 255;
    scene_edge_filter(30, 10);
    // gx = (30 + 100 + 5) - (10 + 80 + 60) = -15, gy = (60 + 140 + 5) - (10 + 40 + 30) = 125.
    EXPECT_EQ(scene_edges[5][5], 140);
    EXPECT_EQ(scene_edges[19][5], 255); // |gx| = 1020
    EXPECT_EQ(scene_edges[20][5], 255);
    EXPECT_EQ(scene_edges[21][5], 0);
    // The border of the picture is never written.
    for (int y = 0; y < 10; y++)
        EXPECT_TRUE(scene_edges[0][y] == 0 && scene_edges[29][y] == 0);
    for (int x = 0; x < 30; x++)
        EXPECT_TRUE(scene_edges[x][0] == 0 && scene_edges[x][9] == 0);

    // A single pixel of 120 gives each of its neighbours exactly 240.
    clear_scene();
    scene_input[5][5] = 120;
    scene_edge_filter(80, 60);
    cells ring = outline(4, 4, 6, 6);
    EXPECT_EQ(cells_holding(scene_edges, 240), ring);
    EXPECT_EQ(cells_not_zero(scene_edges), ring);
}

TEST_F(Scene, BinarisationCutsAt240) {
    // Isolated cells, so that thinning keeps every one that is set.
    const int values[] = {239, 240, 241, 255, 1, 0};
    for (int i = 0; i < 6; i++)
        scene_edges[10 + 3 * i][10] = (unsigned char)values[i];
    scene_edges[0][0] = 250;   // the border is binarised too
    scene_edges[50][10] = 250; // outside a picture 50 wide: left alone
    scene_thin(50, 60);
    EXPECT_EQ(cells_holding(scene_edges, 255), (cells{{13, 10}, {16, 10}, {19, 10}, {0, 0}}));
    EXPECT_EQ(scene_edges[50][10], 250);
}

// ---- Thinning

TEST_F(Scene, ThinningKeepsThinLinesAndEatsThickOnesFromTheLeft) {
    struct {
        const char *what;
        cells before;
        cells after;
    } cases[] = {
        {"an isolated pixel", {{30, 30}}, {{30, 30}}},
        {"a horizontal line: its ends and middle", horizontal_line(5, 15, 5),
         horizontal_line(5, 15, 5)},
        {"a closed outline", outline(10, 10, 20, 20), outline(10, 10, 20, 20)},
        {"a band two pixels high, eaten from its left end",
         joined(horizontal_line(5, 19, 8), horizontal_line(5, 19, 9)),
         {{19, 8}, {19, 9}}},
        {"a 3 x 3 block, eaten from the left", joined(outline(4, 4, 6, 6), {{5, 5}}),
         vertical_line(6, 4, 6)},
    };
    for (const auto &c : cases) {
        clear_scene();
        set_edges(c.before);
        scene_thin(80, 60);
        EXPECT_EQ(cells_holding(scene_edges, 255), c.after) << c.what;
    }
}

TEST_F(Scene, FilledRectangleThinsToItsOutline) {
    blue_fn blue = rectangle(10, 10, 25, 20);
    for (int x = 0; x < 80; x++)
        for (int y = 0; y < 60; y++)
            scene_input[x][y] = (unsigned char)blue(x, y);
    scene_edge_filter(80, 60);
    scene_thin(80, 60);
    EXPECT_EQ(cells_holding(scene_edges, 255), outline(10, 10, 26, 20));
    EXPECT_EQ(cells_not_zero(scene_edges), outline(10, 10, 26, 20));
}

// ---- Tracing

TEST_F(Scene, TracerFollowsOneChainAndKeepsItsBoxWhenLongEnough) {
    struct {
        const char *what;
        cells edges;
        cell start;
        std::vector<box> boxes;
        cells left; // pixels still set afterwards
    } cases[] = {
        {"seven pixels in a row", horizontal_line(10, 16, 5), {10, 5}, {{10, 4, 17, 6}}, {}},
        {"seven pixels in a column", vertical_line(10, 5, 11), {10, 5}, {{9, 5, 11, 12}}, {}},
        {"six pixels in a row", horizontal_line(10, 15, 5), {10, 5}, {}, {}},
        {"three pixels four apart", {{10, 5}, {14, 5}, {18, 5}}, {10, 5}, {{13, 4, 19, 6}}, {}},
        {"a gap of four empty cells", {{10, 5}, {15, 5}}, {10, 5}, {}, {{15, 5}}},
        {"right before below",
         joined(horizontal_line(10, 16, 10), vertical_line(10, 11, 16)),
         {10, 10},
         {{10, 9, 17, 11}},
         vertical_line(10, 11, 16)},
        {"lower right before lower left",
         {{10, 10}, {11, 11}, {12, 12}, {13, 13}, {14, 14}, {15, 15}, {16, 16}, {9, 11}},
         {10, 10},
         {{10, 10, 17, 17}},
         {{9, 11}}},
        {"within a ring, k = 0 before k = 1",
         joined(horizontal_line(4, 8, 10), {{10, 10}, {12, 11}}),
         {10, 10},
         {{3, 9, 9, 11}},
         {{12, 11}}},
        {"nothing above the start row",
         vertical_line(10, 2, 10),
         {10, 10},
         {},
         vertical_line(10, 2, 9)},
    };
    for (const auto &c : cases) {
        clear_scene();
        set_edges(c.edges);
        scene_trace(0, c.start.second, 80, 60, c.start.first, c.start.second);
        EXPECT_EQ(boxes(), c.boxes) << c.what;
        EXPECT_EQ(cells_not_zero(scene_edges), c.left) << c.what;
    }
}

TEST_F(Scene, ChainEndingWhileTheTableIsFullIsDropped) {
    std::vector<box> full;
    for (int n = 0; n < MAX_OBJECTS; n++)
        full.push_back({n, n, n + 2, n + 2});
    set_boxes(full);
    set_edges(horizontal_line(10, 30, 40));
    scene_trace(0, 40, 80, 60, 10, 40);
    EXPECT_EQ(boxes(), full);
    EXPECT_EQ(cells_not_zero(scene_edges), cells{});
}

TEST_F(Scene, ScanStartsChainsRowByRowAndKeepsTheFirstTwenty) {
    // A diagonal from (20, 5) down to (14, 11) is met at its upper end.
    for (int i = 0; i <= 6; i++)
        scene_edges[20 - i][5 + i] = 255;
    scene_find_objects(80, 60);
    EXPECT_EQ(boxes(), (std::vector<box>{{13, 5, 20, 12}}));

    // Twenty-one lines of seven, seven on each of three rows, far enough apart
    // that their boxes stay separate: the last one met finds the table full.
    clear_scene();
    std::vector<box> expected;
    for (int y : {3, 8, 13}) {
        for (int i = 0; i < 7; i++) {
            set_edges(horizontal_line(1 + 11 * i, 7 + 11 * i, y));
            expected.push_back({1 + 11 * i, y - 1, 8 + 11 * i, y + 1});
        }
    }
    expected.pop_back();
    scene_find_objects(80, 60);
    EXPECT_EQ(boxes(), expected);
    EXPECT_EQ(frames_in_edges(), expected_frames(expected));
}

// ---- Merging

TEST_F(Scene, MergingJoinsBoxesThatContainOrMeetEachOther) {
    struct {
        const char *what;
        std::vector<box> before;
        std::vector<box> after;
    } cases[] = {
        {"no box", {}, {}},
        {"one box", {{10, 10, 20, 20}}, {{10, 10, 20, 20}}},
        {"two equal boxes", {{10, 10, 20, 20}, {10, 10, 20, 20}}, {{10, 10, 20, 20}}},
        {"a box inside another",
         {{10, 10, 20, 20}, {12, 12, 18, 18}, {40, 40, 50, 50}},
         {{10, 10, 20, 20}, {40, 40, 50, 50}}},
        {"the union takes the later place",
         {{10, 10, 20, 20}, {40, 40, 50, 50}, {12, 12, 18, 18}},
         {{40, 40, 50, 50}, {10, 10, 20, 20}}},
        {"overlapping frames", {{10, 10, 20, 20}, {20, 15, 30, 25}}, {{10, 10, 30, 25}}},
        {"a shared corner cell", {{10, 10, 20, 20}, {20, 20, 30, 30}}, {{10, 10, 30, 30}}},
        {"side by side",
         {{10, 10, 20, 20}, {21, 10, 30, 20}},
         {{10, 10, 20, 20}, {21, 10, 30, 20}}},
        {"corners touching diagonally",
         {{10, 10, 20, 20}, {21, 21, 30, 30}},
         {{10, 10, 20, 20}, {21, 21, 30, 30}}},
        {"a box around another without touching it",
         {{30, 30, 40, 40}, {10, 10, 70, 50}},
         {{10, 10, 70, 50}}},
        {"three boxes in a cascade",
         {{10, 10, 20, 20}, {60, 10, 70, 20}, {18, 18, 65, 30}},
         {{10, 10, 70, 30}}},
    };
    for (const auto &c : cases) {
        clear_scene();
        set_boxes(c.before);
        memset(scene_edges, 255, sizeof scene_edges); // the drawing surface is cleared first
        for (int y = 0; y < SCENE_STRIDE; y++)
            scene_edges[PICTURE_WIDTH][y] = 0;
        for (int x = 0; x < SCENE_COLUMNS; x++)
            scene_edges[x][PICTURE_HEIGHT] = 0;
        scene_merge_boxes();
        EXPECT_EQ(boxes(), c.after) << c.what;
        EXPECT_EQ(frames_in_edges(), expected_frames(c.after)) << c.what;
    }
}

// ---- The whole segmentation

TEST_F(Scene, FilledRectangleIsOneObject) {
    std::string bytes = ppm_picture(80, 60, rectangle(10, 10, 25, 20));
    for (int load_count = 0; load_count < 2; load_count++) {
        ASSERT_EQ(load(bytes), 0);
        EXPECT_EQ(boxes(), (std::vector<box>{{9, 9, 27, 21}}));
        EXPECT_EQ(cells_holding(scene_edges, 100), outline(9, 9, 27, 21));
        EXPECT_EQ(cells_not_zero(scene_edges), outline(9, 9, 27, 21));
    }
    ASSERT_EQ(load(ppm_picture(80, 60, [](int, int) { return 77; })), 0);
    EXPECT_EQ(object_count(), 0);
    EXPECT_EQ(cells_not_zero(scene_edges), cells{});
}

TEST_F(Scene, BusyPictureKeepsTheFirstTwentyObjects) {
    // 63 squares of 4 x 4 pixels, nine to a row: more chains than the table holds.
    ASSERT_EQ(load(ppm_picture(80, 60,
                               [](int x, int y) {
                                   return x % 8 >= 4 && y % 8 >= 4 && x < 76 && y < 56 ? 255 : 0;
                               })),
              0);
    std::vector<box> expected;
    for (int n = 0; n < MAX_OBJECTS; n++)
        expected.push_back({3 + n % 9 * 8, 3 + n / 9 * 8, 9 + n % 9 * 8, 8 + n / 9 * 8});
    EXPECT_EQ(boxes(), expected);
    EXPECT_EQ(frames_in_edges(), expected_frames(expected));
}

} // namespace
