// glimprep: the decoders on small pictures written here through libpng and
// libjpeg, the fitting geometry, the area-averaging scaler, and the program
// end to end (a golden output, refused input, the input never overwritten).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <jpeglib.h>
#include <map>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include "decode.h"
#include "fit.h"
#include "run_program.h"
#include "shrink.h"

namespace {

using bytes = std::vector<unsigned char>;

bytes to_bytes(const std::string &text) {
    return bytes(text.begin(), text.end());
}

// A PNG through libpng's simplified writer; format is a PNG_FORMAT_ value.
bytes write_png(int width, int height, png_uint_32 format, const void *pixels,
                const void *colormap = nullptr, int colormap_entries = 0) {
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = format;
    image.colormap_entries = colormap_entries;
    png_alloc_size_t size = 0;
    EXPECT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, pixels, 0, colormap));
    bytes out(size);
    EXPECT_TRUE(png_image_write_to_memory(&image, out.data(), &size, 0, pixels, 0, colormap));
    out.resize(size);
    return out;
}

// A JPEG through libjpeg at quality 100, with an EXIF orientation when given,
// progressive with scans (the standard script when scans is empty) when asked.
bytes write_jpeg(int width, int height, const bytes &rgb, int orientation = 0,
                 J_COLOR_SPACE space = JCS_RGB, bool progressive = false,
                 const std::vector<jpeg_scan_info> &scans = {}) {
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = space == JCS_RGB ? 3 : space == JCS_CMYK ? 4 : 1;
    info.in_color_space = space;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    if (progressive) jpeg_simple_progression(&info);
    if (!scans.empty()) {
        info.scan_info = scans.data();
        info.num_scans = (int)scans.size();
    }
    jpeg_start_compress(&info, TRUE);
    if (orientation) {
        // "Exif", a little-endian TIFF header, one directory with one SHORT entry.
        const unsigned char exif[] = {'E', 'x',  'i', 'f', 0,
                                      0,   'I',  'I', 42,  0,
                                      8,   0,    0,   0,   1,
                                      0,   0x12, 1,   3,   0,
                                      1,   0,    0,   0,   (unsigned char)orientation,
                                      0,   0,    0,   0,   0,
                                      0,   0};
        jpeg_write_marker(&info, JPEG_APP0 + 1, exif, sizeof exif);
    }
    for (int y = 0; y < height; y++) {
        JSAMPROW row = const_cast<unsigned char *>(&rgb[(size_t)y * width * info.input_components]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    bytes out(buffer, buffer + size);
    free(buffer);
    return out;
}

prep_picture decode(const bytes &data, prep_rgb background = {0, 0, 0}) {
    prep_decode_options options;
    options.background = background;
    prep_picture picture;
    char error[PREP_ERROR_SIZE] = "";
    EXPECT_TRUE(prep_decode(data.data(), data.size(), options, &picture, error)) << error;
    return picture;
}

std::string refusal(const bytes &data) {
    prep_decode_options options;
    prep_picture picture;
    char error[PREP_ERROR_SIZE] = "";
    EXPECT_FALSE(prep_decode(data.data(), data.size(), options, &picture, error));
    EXPECT_EQ(picture.samples.size(), 0u);
    return error;
}

// The 8-bit RGB of pixel (x, y), rounded from 16 bits.
std::array<int, 3> rgb8(const prep_picture &picture, int x, int y) {
    const uint16_t *p = &picture.samples[3 * ((size_t)y * picture.width + x)];
    return {(p[0] + 128) / 257, (p[1] + 128) / 257, (p[2] + 128) / 257};
}

TEST(GlimprepDecode, PngOfEveryLayoutComesOutRgb) {
    const unsigned char grey_alpha[] = {0, 255, 255, 255, 200, 0, 100, 128};
    prep_picture picture = decode(write_png(2, 2, PNG_FORMAT_GA, grey_alpha), {10, 20, 30});
    ASSERT_EQ(picture.width, 2);
    ASSERT_EQ(picture.height, 2);
    EXPECT_EQ(rgb8(picture, 0, 0), (std::array<int, 3>{0, 0, 0}));
    EXPECT_EQ(rgb8(picture, 1, 0), (std::array<int, 3>{255, 255, 255}));
    EXPECT_EQ(rgb8(picture, 0, 1), (std::array<int, 3>{10, 20, 30})); // transparent
    EXPECT_EQ(rgb8(picture, 1, 1), (std::array<int, 3>{55, 60, 65})); // half over the ground

    const unsigned char colormap[] = {255, 0, 0, 0, 0, 255};
    const unsigned char indices[] = {1, 0, 0, 1};
    picture = decode(write_png(2, 2, PNG_FORMAT_RGB_COLORMAP, indices, colormap, 2));
    EXPECT_EQ(rgb8(picture, 0, 0), (std::array<int, 3>{0, 0, 255}));
    EXPECT_EQ(rgb8(picture, 1, 0), (std::array<int, 3>{255, 0, 0}));

    // 16 bits per sample stay 16 bits until the scaler rounds them.
    const uint16_t wide[] = {65535, 1, 32768};
    picture = decode(write_png(1, 1, PNG_FORMAT_LINEAR_RGB, wide));
    EXPECT_EQ(picture.samples, (std::vector<uint16_t>{65535, 1, 32768}));
}

TEST(GlimprepDecode, JpegColoursAndExifOrientation) {
    // Left half red, right half blue, each half two whole 8 x 8 blocks wide.
    int width = 32, height = 16;
    bytes rgb(width * height * 3);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            unsigned char *p = &rgb[3 * (y * width + x)];
            p[0] = x < 16 ? 250 : 0;
            p[2] = x < 16 ? 0 : 250;
        }
    prep_picture plain = decode(write_jpeg(width, height, rgb));
    ASSERT_EQ(plain.width, 32);
    ASSERT_EQ(plain.height, 16);
    EXPECT_NEAR(rgb8(plain, 4, 8)[0], 250, 6);
    EXPECT_NEAR(rgb8(plain, 28, 8)[2], 250, 6);

    // Orientation 6: stored a quarter turn anticlockwise, shown turned
    // clockwise, so the left half comes out on top.
    prep_picture turned = decode(write_jpeg(width, height, rgb, 6));
    ASSERT_EQ(turned.width, 16);
    ASSERT_EQ(turned.height, 32);
    EXPECT_NEAR(rgb8(turned, 8, 4)[0], 250, 6);
    EXPECT_NEAR(rgb8(turned, 8, 28)[2], 250, 6);
    // Orientation 3: turned half round, so red is on the right.
    prep_picture half = decode(write_jpeg(width, height, rgb, 3));
    EXPECT_NEAR(rgb8(half, 28, 8)[0], 250, 6);

    // Grey comes out grey; CMYK with libjpeg's Adobe marker stores inverted
    // inks, so 255, 0, 255, 255 is magenta ink alone.
    prep_picture grey = decode(write_jpeg(16, 8, bytes(16 * 8, 77), 0, JCS_GRAYSCALE));
    EXPECT_EQ(rgb8(grey, 3, 3), (std::array<int, 3>{77, 77, 77}));
    bytes cmyk;
    for (int i = 0; i < 16 * 8; i++)
        cmyk.insert(cmyk.end(), {255, 0, 255, 255});
    prep_picture inks = decode(write_jpeg(16, 8, cmyk, 0, JCS_CMYK));
    EXPECT_NEAR(rgb8(inks, 3, 3)[0], 255, 3);
    EXPECT_NEAR(rgb8(inks, 3, 3)[1], 0, 3);
    EXPECT_NEAR(rgb8(inks, 3, 3)[2], 255, 3);
}

TEST(GlimprepDecode, ExifOrientationOnlyFromWholeEntries) {
    struct {
        std::string body;
        int orientation;
    } cases[] = {
        {std::string("Exif\0\0II*\0\x08\0\0\0\1\0\x12\x01\3\0\1\0\0\0\x06\0\0\0", 28), 6},
        {std::string("Exif\0\0MM\0*\0\0\0\x08\0\1\x01\x12\0\3\0\0\0\1\0\x03\0\0", 28), 3},
        // The entry's value is cut off: nothing is read past the marker.
        {std::string("Exif\0\0II*\0\x08\0\0\0\1\0\x12\x01\3\0\1\0\0\0\x06", 25), 0},
        // The directory at offset 0 of a body shorter than one entry.
        {std::string("Exif\0\0MM\0*\0\0\0\0\0\0", 16), 0},
        {std::string("Exif\0\0II*\0\xff\xff\xff\xff", 14), 0},
        // A LONG where a SHORT belongs, and an orientation out of range.
        {std::string("Exif\0\0II*\0\x08\0\0\0\1\0\x12\x01\4\0\1\0\0\0\x06\0\0\0", 28), 0},
        {std::string("Exif\0\0II*\0\x08\0\0\0\1\0\x12\x01\3\0\1\0\0\0\x09\0\0\0", 28), 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(prep_exif_orientation((const unsigned char *)c.body.data(), c.body.size()),
                  c.orientation)
            << c.body.size();
}

TEST(GlimprepDecode, EveryPnmKindGivesTheSamePicture) {
    // Black, white / grey 50 %, white, as every kind can say it.
    const char *const grey_kinds[] = {
        "P2\n2 2\n4\n0 4\n2 4\n",
        "P2 # comment\n2 2 65535 0 65535 32768 65535",
    };
    for (const char *text : grey_kinds) {
        prep_picture picture = decode(to_bytes(text));
        ASSERT_EQ(picture.width, 2) << text;
        EXPECT_EQ(rgb8(picture, 0, 0), (std::array<int, 3>{0, 0, 0})) << text;
        EXPECT_EQ(rgb8(picture, 1, 0), (std::array<int, 3>{255, 255, 255})) << text;
        EXPECT_EQ(rgb8(picture, 0, 1), (std::array<int, 3>{128, 128, 128})) << text;
    }
    std::string p5 = "P5\n2 2\n255\n";
    p5 += std::string("\x00\xff\x80\xff", 4);
    std::string p6 = "P6\n1 1\n65535\n";
    p6 += std::string("\xff\xff\x00\x00\x80\x00", 6);
    std::string p4 = "P4\n10 1\n";
    p4 += std::string("\x80\x40", 2); // black at 0 and 9, white between
    EXPECT_EQ(rgb8(decode(to_bytes(p5)), 0, 1), (std::array<int, 3>{128, 128, 128}));
    EXPECT_EQ(rgb8(decode(to_bytes(p6)), 0, 0), (std::array<int, 3>{255, 0, 128}));
    prep_picture bits = decode(to_bytes(p4));
    EXPECT_EQ(rgb8(bits, 0, 0)[0], 0);
    EXPECT_EQ(rgb8(bits, 1, 0)[0], 255);
    EXPECT_EQ(rgb8(bits, 9, 0)[0], 0);
    prep_picture plain_bits = decode(to_bytes("P1\n3 1\n1 0\n1"));
    EXPECT_EQ(rgb8(plain_bits, 1, 0)[0], 255);
    EXPECT_EQ(rgb8(plain_bits, 2, 0)[0], 0);
    EXPECT_EQ(rgb8(decode(to_bytes("P1 3 1 101")), 1, 0)[0], 255);
    EXPECT_EQ(rgb8(decode(to_bytes("P3\n1 1\n15\n15 0 5\n")), 0, 0),
              (std::array<int, 3>{255, 0, 85}));
}

TEST(GlimprepDecode, BrokenFilesAreRefusedWithTheFormatNamed) {
    int width = 32, height = 16;
    bytes rgb(width * height * 3, 90);
    bytes jpeg = write_jpeg(width, height, rgb);
    const unsigned char pixels[4 * 4 * 3] = {};
    bytes png = write_png(4, 4, PNG_FORMAT_RGB, pixels);
    struct {
        bytes data;
        const char *message;
    } cases[] = {
        {bytes(png.begin(), png.begin() + png.size() / 2), "broken PNG picture"},
        {bytes(jpeg.begin(), jpeg.begin() + jpeg.size() / 2), "broken JPEG picture"},
        {to_bytes("P6\n2 2\n255\nabc"), "the raster ends after 3 of 12 bytes"},
        {to_bytes("P5\n1 1\n100\n\xc8"), "a sample is above the maximum sample value"},
        {to_bytes("P2\n1 1\n70000\n1"), "maximum sample value 70000 is not 1 to 65535"},
        {to_bytes("P3\n1 1\n255\n1 2"), "the raster ends early"},
        {to_bytes("P5\n-3 1\n255\n"), "the width -3 is negative"},
        {to_bytes("P5\n0 1\n255\n"), "its size is 0 x 1 pixels"},
        {to_bytes("P5\n100000 100000\n255\n"), "too large"},
        {to_bytes("P6x\n1 1\n255\n..."), "the magic P6x is none of P1 to P6"},
        {to_bytes("GIF89a......"), "a GIF picture; glimprep reads PNG, JPEG and PNM"},
        {to_bytes(""), "an empty file"},
    };
    for (const auto &c : cases)
        EXPECT_NE(refusal(c.data).find(c.message), std::string::npos)
            << refusal(c.data) << " does not say " << c.message;
}

TEST(GlimprepFit, LayoutsKeepOrChangeTheAspectRatio) {
    struct {
        prep_rect crop;
        prep_fit_mode mode;
        prep_layout expected;
    } cases[] = {
        // Twice as wide as 4:3: padded above and below, or its middle taken.
        {{0, 0, 320, 120}, FIT_PAD, {{0, 0, 320, 120}, {0, 15, 80, 30}}},
        {{0, 0, 320, 120}, FIT_FILL, {{80, 0, 160, 120}, {0, 0, 80, 60}}},
        {{0, 0, 320, 120}, FIT_STRETCH, {{0, 0, 320, 120}, {0, 0, 80, 60}}},
        // Square, from a crop: padded left and right, or its middle rows taken.
        {{10, 20, 60, 60}, FIT_PAD, {{10, 20, 60, 60}, {10, 0, 60, 60}}},
        {{10, 20, 60, 60}, FIT_FILL, {{10, 27, 60, 45}, {0, 0, 80, 60}}},
        // 4:3 exactly, and a line one pixel high.
        {{0, 0, 800, 600}, FIT_PAD, {{0, 0, 800, 600}, {0, 0, 80, 60}}},
        {{0, 0, 1000, 1}, FIT_PAD, {{0, 0, 1000, 1}, {0, 29, 80, 1}}},
    };
    for (const auto &c : cases) {
        prep_layout layout = prep_plan(c.crop, c.mode);
        const prep_rect *got[] = {&layout.source, &layout.target};
        const prep_rect *want[] = {&c.expected.source, &c.expected.target};
        for (int i = 0; i < 2; i++)
            EXPECT_EQ(
                (std::array<long, 4>{got[i]->x, got[i]->y, got[i]->width, got[i]->height}),
                (std::array<long, 4>{want[i]->x, want[i]->y, want[i]->width, want[i]->height}))
                << "case " << c.crop.width << "x" << c.crop.height << " mode " << c.mode;
    }
}

prep_picture flat(int width, int height, uint16_t value) {
    prep_picture picture;
    picture.width = width;
    picture.height = height;
    picture.samples.assign((size_t)width * height * 3, value);
    return picture;
}

TEST(GlimprepFit, ScalerAveragesAreasExactly) {
    std::vector<unsigned char> raster(PICTURE_WIDTH * PICTURE_HEIGHT * 3);
    // A one-pixel white column in 800 x 600 covers a tenth of an output pixel.
    prep_picture line = flat(800, 600, 0);
    for (int y = 0; y < 600; y++)
        for (int c = 0; c < 3; c++)
            line.samples[3 * (y * 800 + 415) + c] = 65535;
    prep_scale(line, prep_plan({0, 0, 800, 600}, FIT_PAD), {0, 0, 0}, raster.data());
    EXPECT_EQ(raster[3 * (30 * 80 + 41)], 26); // 255 / 10 rounded
    EXPECT_EQ(raster[3 * (30 * 80 + 40)], 0);

    // Three input columns per two output columns: weights 2 and 1 of 3.
    prep_picture stripes = flat(120, 90, 0);
    for (int y = 0; y < 90; y++)
        for (int x = 0; x < 120; x += 3)
            stripes.samples[3 * (y * 120 + x)] = 65535; // red in every third column
    prep_scale(stripes, prep_plan({0, 0, 120, 90}, FIT_PAD), {0, 0, 0}, raster.data());
    EXPECT_EQ(raster[0], 170); // 255 * 2 / 3
    EXPECT_EQ(raster[3], 0);

    // Enlarging repeats pixels; padding shows the background.
    prep_picture small = flat(2, 3, 65535);
    prep_scale(small, prep_plan({0, 0, 2, 3}, FIT_PAD), {1, 2, 3}, raster.data());
    EXPECT_EQ(raster[3 * (0 * 80 + 20)], 255);
    EXPECT_EQ(raster[3 * (59 * 80 + 59)], 255);
    EXPECT_EQ(raster[3 * (0 * 80 + 19) + 2], 3);
    EXPECT_EQ(raster[3 * (0 * 80 + 60) + 1], 2);
}

// A picture whose every pixel differs, so that a misplaced pixel shows.
prep_picture varied(int width, int height) {
    prep_picture picture = flat(width, height, 0);
    for (size_t i = 0; i < picture.samples.size(); i++)
        picture.samples[i] = (uint16_t)(i * 7919 % 65536);
    return picture;
}

TEST(GlimprepFit, ShrinkingAsStoredEqualsShrinkingAsShown) {
    // The receiver averages in the stored orientation; turning the picture
    // first and averaging as shown must give the very same bytes.
    prep_picture stored = varied(37, 23);
    const prep_rect crops[] = {{0, 0, 0, 0}, {3, 5, 17, 11}, {1, 0, 22, 36}};
    for (int orientation = 1; orientation <= 8; orientation++) {
        prep_picture shown = stored;
        prep_orient(&shown, orientation);
        for (const prep_rect &crop : crops) {
            bool has_crop = crop.width > 0;
            if (has_crop &&
                (crop.x + crop.width > shown.width || crop.y + crop.height > shown.height))
                continue;
            for (prep_fit_mode mode : {FIT_PAD, FIT_FILL, FIT_STRETCH}) {
                prep_shrinker shrinker(has_crop, crop, mode, {9, 8, 7});
                char error[PREP_ERROR_SIZE];
                ASSERT_EQ(shrinker.start(stored.width, stored.height, orientation, 1, error), 1);
                for (int y = 0; y < stored.height; y++)
                    shrinker.take(y, 0, 1, stored.width, &stored.samples[3 * y * stored.width]);
                std::vector<unsigned char> got(PICTURE_WIDTH * PICTURE_HEIGHT * 3);
                std::vector<unsigned char> want(got.size());
                shrinker.finish(got.data());
                prep_rect part = has_crop ? crop : prep_rect{0, 0, shown.width, shown.height};
                prep_scale(shown, prep_plan(part, mode), {9, 8, 7}, want.data());
                EXPECT_TRUE(got == want)
                    << "orientation " << orientation << " crop " << crop.width << " mode " << mode;
            }
        }
    }
}

TEST(GlimprepFit, ReductionLeavesTwoPixelsPerOutputPixel) {
    struct {
        long width, height;
        int orientation;
        prep_rect crop; // width 0: no crop
        int reduction;
    } cases[] = {
        {4000, 3000, 1, {0, 0, 0, 0}, 8}, // 50 stored pixels per output pixel
        {1000, 750, 1, {0, 0, 0, 0}, 4},  // 12.5: 8 would leave 1.6
        {4000, 3000, 6, {0, 0, 0, 0}, 8}, // shown 3000 x 4000, target 45 x 60
        {4000, 3000, 1, {0, 0, 640, 480}, 4}, {4000, 3000, 1, {0, 0, 200, 150}, 1},
        {100, 100, 1, {0, 0, 0, 0}, 1},   // enlarged
        {65500, 512, 1, {0, 0, 0, 0}, 8}, // padded to 80 x 1
    };
    for (const auto &c : cases) {
        prep_shrinker shrinker(c.crop.width > 0, c.crop, FIT_PAD, {0, 0, 0});
        char error[PREP_ERROR_SIZE];
        EXPECT_EQ(shrinker.start(c.width, c.height, c.orientation, 8, error), c.reduction)
            << c.width << " x " << c.height;
        EXPECT_EQ(shrinker.start(c.width, c.height, c.orientation, 1, error), 1);
    }
}

TEST(GlimprepFit, ReducedJpegStaysCloseToTheFullDecode) {
    // Smooth shading with a few hard edges, 1600 x 1200: decoded at 1/8.
    int width = 1600, height = 1200;
    bytes rgb((size_t)width * height * 3);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            unsigned char *p = &rgb[3 * ((size_t)y * width + x)];
            p[0] = (unsigned char)(x * 255 / width);
            p[1] = (unsigned char)(y * 255 / height);
            p[2] = (x / 160 + y / 120) % 2 ? 230 : 20;
        }
    bytes jpeg = write_jpeg(width, height, rgb);
    prep_request request;
    std::vector<unsigned char> reduced(PICTURE_WIDTH * PICTURE_HEIGHT * 3), full(reduced.size());
    prep_made made;
    char error[PREP_LINE_SIZE];
    ASSERT_TRUE(prep_shrink_memory(jpeg.data(), jpeg.size(), "x.jpg", request, reduced.data(),
                                   &made, error))
        << error;
    EXPECT_EQ(made.width, 1600);
    prep_picture picture = decode(jpeg);
    prep_scale(picture, prep_plan({0, 0, width, height}, FIT_PAD), {0, 0, 0}, full.data());
    long total = 0;
    int largest = 0;
    for (size_t i = 0; i < full.size(); i++) {
        int difference = std::abs(reduced[i] - full[i]);
        total += difference;
        largest = std::max(largest, difference);
    }
    EXPECT_LT((double)total / (double)full.size(), 1.0);
    EXPECT_LE(largest, 12);
}

TEST(GlimprepFit, ThinPaddingRepeatsTheEdge) {
    // Red pictures 60 high on black: 79 wide leaves one column on the right,
    // 76 two on each side, 74 three on each side, which stay background.
    struct {
        int width;
        int column;
        bool red;
    } cases[] = {{79, 79, true}, {76, 0, true}, {76, 79, true}, {74, 2, false}, {74, 77, false}};
    for (const auto &c : cases) {
        prep_picture picture = flat(c.width, 60, 0);
        for (size_t i = 0; i < picture.samples.size(); i += 3)
            picture.samples[i] = 65535;
        std::vector<unsigned char> raster(PICTURE_WIDTH * PICTURE_HEIGHT * 3);
        prep_scale(picture, prep_plan({0, 0, c.width, 60}, FIT_PAD), {0, 0, 0}, raster.data());
        for (int y : {0, 59})
            EXPECT_EQ(raster[3 * (y * PICTURE_WIDTH + c.column)], c.red ? 255 : 0)
                << c.width << " column " << c.column;
    }
}

// A PNG written through libpng's full interface, Adam7-interlaced when asked.
bytes write_png_rows(int width, int height, const bytes &rgb, bool interlaced) {
    bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t length) {
            bytes *to = static_cast<bytes *>(png_get_io_ptr(p));
            to->insert(to->end(), data, data + length);
        },
        nullptr);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_bytep> rows(height);
    for (int y = 0; y < height; y++)
        rows[y] = const_cast<png_bytep>(&rgb[(size_t)y * width * 3]);
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

TEST(GlimprepDecode, InterlacedPngGivesTheSamePicture) {
    // Sizes where some of the seven passes are empty, and one where none is.
    for (auto size : {std::array<int, 2>{1, 1}, {3, 2}, {13, 11}, {70, 9}}) {
        bytes rgb((size_t)size[0] * size[1] * 3);
        for (size_t i = 0; i < rgb.size(); i++)
            rgb[i] = (unsigned char)(i * 37 % 251);
        prep_picture plain = decode(write_png_rows(size[0], size[1], rgb, false));
        prep_picture passes = decode(write_png_rows(size[0], size[1], rgb, true));
        EXPECT_EQ(plain.samples, passes.samples) << size[0] << " x " << size[1];
        EXPECT_EQ(plain.samples.size(), rgb.size());
    }
}

// ---- the program

run_result glimprep(const scratch_dir &dir, const std::vector<std::string> &args) {
    return run_in(dir, GLIMPREP_PATH, args);
}

// A 160 x 90 PNG: a blue disc on white with a half-transparent band.
std::string test_png() {
    std::vector<unsigned char> rgba(160 * 90 * 4);
    for (int y = 0; y < 90; y++)
        for (int x = 0; x < 160; x++) {
            unsigned char *p = &rgba[4 * (y * 160 + x)];
            bool disc = (x - 60) * (x - 60) + (y - 45) * (y - 45) < 30 * 30;
            p[0] = disc ? 20 : 255;
            p[1] = disc ? 40 : 255;
            p[2] = 255;
            p[3] = x >= 130 ? 128 : 255;
        }
    bytes png = write_png(160, 90, PNG_FORMAT_RGBA, rgba.data());
    return std::string(png.begin(), png.end());
}

std::string golden(const std::string &name) {
    return read_file(TEST_DATA_DIR "/glimprep/" + name);
}

TEST(GlimprepProgram, GoldenOutputForEachMode) {
    scratch_dir dir;
    dir.write("photo.png", test_png());
    run_result run = glimprep(dir, {"photo.png"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Wrote photo.ppm from photo.png (PNG, 160 x 90)\n");
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(dir.read("photo.ppm") == golden("photo-fit.ppm"));
    for (const char *mode : {"fill", "stretch"}) {
        std::string out = std::string("photo-") + mode + ".ppm";
        run =
            glimprep(dir, {std::string("--") + mode, "--background", "#204060", "photo.png", out});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(dir.read(out) == golden(out)) << out;
    }
    // The same part of the picture taken with --crop gives the --fill picture.
    run = glimprep(dir, {"--crop=20,0,120,90", "--background=204060", "photo.png", "crop.ppm"});
    EXPECT_TRUE(dir.read("crop.ppm") == dir.read("photo-fill.ppm"));
}

// The suite's own picture passes through unchanged: the scaler is exact at
// one input pixel per output pixel.
TEST(GlimprepProgram, SuitePicturePassesThroughUnchanged) {
    scratch_dir dir;
    std::string train = read_file(std::string(SAMPLES_DIR) + "/train.ppm");
    dir.write("train.ppm", train);
    run_result run = glimprep(dir, {"train.ppm", "copy.ppm"});
    EXPECT_EQ(run.status, 0) << run.err;
    std::string copy = dir.read("copy.ppm");
    EXPECT_EQ(copy.substr(0, 13), "P6\n80 60\n255\n");
    EXPECT_TRUE(copy.substr(13) == train.substr(train.size() - 80 * 60 * 3));
}

TEST(GlimprepProgram, FailingRunsWriteNothing) {
    struct {
        std::vector<std::string> args;
        const char *message;
    } cases[] = {
        {{"broken.png"}, "glimprep: broken.png: broken PNG picture: "},
        {{"notes.txt", "out.ppm"},
         "glimprep: notes.txt: not a picture format glimprep knows; "
         "glimprep reads PNG, JPEG and PNM (P1 to P6)\n"},
        {{"missing.png"}, "glimprep: missing.png: cannot open: No such file or directory\n"},
        {{"--crop", "100,0,61,90", "photo.png"},
         "glimprep: --crop 100,0,61,90: not inside the picture of 160 x 90 pixels\n"},
        {{"--crop", "1,2,3", "photo.png"}, "glimprep: --crop: give X,Y,W,H as four numbers; "},
        {{"--background", "12345", "photo.png"}, "glimprep: --background: give the colour as "},
        {{"--fit=yes", "photo.png"}, "glimprep: --fit=yes: the option takes no value; "},
        {{"photo.png", "a.ppm", "b.ppm"}, "glimprep: too many files: "},
        // The default output of a PPM input is the input itself; a link is too.
        {{"small.ppm"}, "glimprep: small.ppm: the output would overwrite the input; "},
        {{"photo.png", "link.png"}, "glimprep: link.png: the output would overwrite the input; "},
    };
    for (const auto &c : cases) {
        scratch_dir dir;
        std::string png = test_png();
        dir.write("photo.png", png);
        dir.write("broken.png", png.substr(0, 100));
        dir.write("notes.txt", "hello\n");
        dir.write("small.ppm", "P6\n1 1\n255\nabc");
        ASSERT_EQ(link((dir.path() + "/photo.png").c_str(), (dir.path() + "/link.png").c_str()), 0);
        std::map<std::string, std::string> before = dir.files();
        run_result run = glimprep(dir, c.args);
        EXPECT_EQ(run.status, 1) << c.args[0];
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.substr(0, strlen(c.message)), c.message);
        EXPECT_TRUE(dir.files() == before) << run.err;
    }
}

TEST(GlimprepProgram, HelpAndVersion) {
    scratch_dir dir;
    run_result help = glimprep(dir, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: glimprep [options] INPUT [OUTPUT]\n", 0), 0u);
    EXPECT_NE(help.out.find("--crop X,Y,W,H"), std::string::npos);
    run_result version = glimprep(dir, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("glimprep ", 0), 0u);
}

} // namespace

namespace {

// ---- broken and hostile input, through the program

// Where the first marker code (0xFF, code) stands in a JPEG, from start; in
// scan data 0xFF is always followed by 0, so a match is a marker.
size_t marker_at(const bytes &jpeg, unsigned char code, size_t start = 2) {
    for (size_t i = start; i + 1 < jpeg.size(); i++)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == code) return i;
    ADD_FAILURE() << "no marker " << (int)code;
    return jpeg.size();
}

bytes cut_with_end(const bytes &jpeg, size_t length) {
    bytes cut(jpeg.begin(), jpeg.begin() + length);
    cut.push_back(0xFF);
    cut.push_back(0xD9);
    return cut;
}

// Sets the size in the frame header (marker 0xC0 or 0xC2).
bytes with_size(bytes jpeg, unsigned char frame, int width, int height) {
    size_t at = marker_at(jpeg, frame);
    jpeg[at + 5] = (unsigned char)(height >> 8);
    jpeg[at + 6] = (unsigned char)height;
    jpeg[at + 7] = (unsigned char)(width >> 8);
    jpeg[at + 8] = (unsigned char)width;
    return jpeg;
}

// A colour photo-like picture of width x height.
bytes shaded(int width, int height) {
    bytes rgb((size_t)width * height * 3);
    for (size_t i = 0; i < rgb.size(); i++)
        rgb[i] = (unsigned char)((i / 3 % width) * 3 + (i / 3 / width) * 5 + i % 3 * 40);
    return rgb;
}

// Runs glimprep on each file in a fresh folder; every run must fail with
// message in its error line and leave the folder as it was.
void expect_refused(const std::string &name, const bytes &data, const std::string &message,
                    const run_options &options = {}) {
    scratch_dir dir;
    dir.write(name, std::string(data.begin(), data.end()));
    std::map<std::string, std::string> before = dir.files();
    run_result run = run_in(dir, GLIMPREP_PATH, {name, "out.ppm"}, options);
    EXPECT_EQ(run.status, 1) << name << ": " << run.err;
    EXPECT_NE(run.err.find(message), std::string::npos) << name << ": " << run.err;
    EXPECT_EQ(run.err.rfind("glimprep: ", 0), 0u) << run.err;
    EXPECT_TRUE(dir.files() == before) << name;
}

TEST(GlimprepRefusals, CutJpegIsRefused) {
    bytes baseline = write_jpeg(64, 48, shaded(64, 48));
    bytes progressive = write_jpeg(64, 48, shaded(64, 48), 0, JCS_RGB, true);
    size_t first_scan = marker_at(progressive, 0xDA);
    size_t sixth_scan = first_scan;
    for (int i = 0; i < 5; i++)
        sixth_scan = marker_at(progressive, 0xDA, sixth_scan + 2);
    struct {
        const char *name;
        bytes data;
    } cases[] = {
        // Data cut in the middle and closed by an end marker.
        {"cut.jpg", cut_with_end(baseline, baseline.size() / 2)},
        {"cut-progressive.jpg", cut_with_end(progressive, (sixth_scan + progressive.size()) / 2)},
        // Cut between two scans: no scan is short, but the later ones never come.
        {"between-scans.jpg", cut_with_end(progressive, sixth_scan)},
        // A header that promises twice the rows the data holds.
        {"rows.jpg", with_size(baseline, 0xC0, 64, 96)},
        // A progressive header with no image data at all.
        {"no-data.jpg", cut_with_end(progressive, first_scan + 14)},
        // The file just ends.
        {"ends.jpg", bytes(baseline.begin(), baseline.end() - 100)},
    };
    for (const auto &c : cases)
        expect_refused(c.name, c.data, std::string(c.name) + ": broken JPEG picture: ");

    // The whole files are taken.
    for (const bytes *whole : {&baseline, &progressive}) {
        scratch_dir dir;
        dir.write("whole.jpg", std::string(whole->begin(), whole->end()));
        run_result run = glimprep(dir, {"whole.jpg"});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, "Wrote whole.ppm from whole.jpg (JPEG, 64 x 48)\n");
    }
}

// A progressive grey script: the DC coefficient, then each AC coefficient on
// its own, either whole or first all but its lowest bit and then that bit.
std::vector<jpeg_scan_info> single_coefficient_scans(bool refined) {
    std::vector<jpeg_scan_info> scans;
    scans.push_back({1, {0, 0, 0, 0}, 0, 0, 0, 0});
    for (int pass = 0; pass < (refined ? 2 : 1); pass++)
        for (int k = 1; k < 64; k++)
            scans.push_back({1, {0, 0, 0, 0}, k, k, refined ? pass : 0, refined ? 1 - pass : 0});
    return scans;
}

TEST(GlimprepRefusals, ScansAreLimited) {
    bytes grey(32 * 32);
    for (size_t i = 0; i < grey.size(); i++)
        grey[i] = (unsigned char)(i * 13 % 256);
    // 64 scans are taken, 127 are more than the limit.
    bytes many = write_jpeg(32, 32, grey, 0, JCS_GRAYSCALE, true, single_coefficient_scans(false));
    scratch_dir dir;
    dir.write("many.jpg", std::string(many.begin(), many.end()));
    run_result run = glimprep(dir, {"many.jpg"});
    EXPECT_EQ(run.status, 0) << run.err;
    expect_refused("too-many.jpg",
                   write_jpeg(32, 32, grey, 0, JCS_GRAYSCALE, true, single_coefficient_scans(true)),
                   "too-many.jpg: broken JPEG picture: more than 100 scans");

    // A 65500 x 512 progressive header followed by 20000 empty scans of 10
    // bytes each once cost a pass over the whole picture per scan (over a
    // minute); it is refused at once, well within 20 s of processor time.
    bytes small = write_jpeg(16, 16, bytes(256, 99), 0, JCS_GRAYSCALE, true);
    size_t scan = marker_at(small, 0xDA);
    bytes hostile = with_size(bytes(small.begin(), small.begin() + scan), 0xC2, 65500, 512);
    const unsigned char empty_scan[] = {0xFF, 0xDA, 0, 8, 1, small[scan + 5], small[scan + 6],
                                        0,    0,    0};
    for (int i = 0; i < 20000; i++)
        hostile.insert(hostile.end(), empty_scan, empty_scan + sizeof empty_scan);
    hostile.push_back(0xFF);
    hostile.push_back(0xD9);
    run_options limited;
    limited.cpu_seconds_limit = 20;
    expect_refused("scans.jpg", hostile, "scans.jpg: broken JPEG picture: ", limited);
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool ADDRESS_LIMITS_WORK = false; // the sanitizer reserves terabytes of shadow
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool ADDRESS_LIMITS_WORK = false;
#else
constexpr bool ADDRESS_LIMITS_WORK = true;
#endif
#else
constexpr bool ADDRESS_LIMITS_WORK = true;
#endif

TEST(GlimprepRefusals, InputThatCouldNeverEndIsRefused) {
    // Not regular files: refused before they are opened, so a FIFO without a
    // writer is no wait (the alarm ends the run should it wait).
    run_options alarm;
    alarm.alarm_seconds = 30;
    for (const char *special : {"fifo", "/dev/zero", "folder"}) {
        scratch_dir dir;
        ASSERT_EQ(mkfifo((dir.path() + "/fifo").c_str(), 0600), 0);
        ASSERT_EQ(mkdir((dir.path() + "/folder").c_str(), 0700), 0);
        run_result run = run_in(dir, GLIMPREP_PATH, {special, "out.ppm"}, alarm);
        EXPECT_EQ(run.status, 1) << special;
        EXPECT_EQ(run.err, std::string("glimprep: ") + special +
                               ": cannot read: it is not a regular file\n");
        EXPECT_FALSE(dir.exists("out.ppm"));
    }

    // 17 MiB of comments before the frame: more than any picture's markers take.
    bytes commented = {0xFF, 0xD8};
    bytes comment(65535 + 2, 'c');
    comment[0] = 0xFF, comment[1] = 0xFE, comment[2] = 0xFF, comment[3] = 0xFF;
    for (int i = 0; i < 17 * 16 + 1; i++)
        commented.insert(commented.end(), comment.begin(), comment.end());
    expect_refused("commented.jpg", commented, "more data than a picture of its size can");

    // A progressive picture keeps all its coefficients while it is read: one
    // of 16000 x 2000 needs about 190 MB, more than a 64 MB address space.
    if (!ADDRESS_LIMITS_WORK) GTEST_SKIP() << "address-space limits do not bind this build";
    bytes large =
        with_size(write_jpeg(64, 48, shaded(64, 48), 0, JCS_RGB, true), 0xC2, 16000, 2000);
    run_options small_memory;
    small_memory.address_space_limit = 64 << 20;
    expect_refused("large.jpg", large, "glimprep: out of memory while decoding large.jpg\n",
                   small_memory);
}

} // namespace
