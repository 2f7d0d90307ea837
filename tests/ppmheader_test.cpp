// The picture header reader.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "ppmheader.h"

namespace {

struct read_outcome {
    ppm_status status;
    ppm_header header;
    int next; // the byte after the header, or EOF
};

read_outcome read_header(const std::string &bytes) {
    FILE *in = fmemopen(const_cast<char *>(bytes.data()), bytes.size(), "rb");
    read_outcome outcome;
    outcome.status = ppm_read_header(in, &outcome.header);
    outcome.next = getc(in);
    fclose(in);
    return outcome;
}

TEST(PpmHeader, AcceptsEveryLayoutOfTheSameHeader) {
    const char *layouts[] = {
        "P6\n# a comment\n80 60\n255\nR",
        "P6\n80 60\n255\nR",
        "P6\n# one\n# two\n80 60\n255\nR",
        "P6\n80 # width\n60\n255\nR",
        "P6\r\n# comment\r\n80 60\r\n255\nR",
        "P6 80 60 255\nR",
        "P6\t80\t60\t255 R",
        "  P6#c\n80#c\n60#c\n255\rR",
    };
    for (const char *layout : layouts) {
        read_outcome r = read_header(layout);
        EXPECT_EQ(r.status, PPM_OK) << layout << r.header.error;
        EXPECT_STREQ(r.header.magic, "P6");
        EXPECT_EQ(r.header.width, 80);
        EXPECT_EQ(r.header.height, 60);
        EXPECT_EQ(r.header.maxval, 255);
        EXPECT_EQ(r.next, 'R') << layout;
    }
    // After the maximum exactly one byte is taken: the LF of a CR LF is raster.
    EXPECT_EQ(read_header("P6\n80 60\n255\r\nR").next, '\n');
}

TEST(PpmHeader, MagicNeedsOnlyASecondCharacterSix) {
    EXPECT_EQ(read_header("Q6\n1 1\n255\n").status, PPM_OK);
    for (const char *bad : {"P3\n1 1\n255\n", "", "P", "  \n"}) {
        read_outcome r = read_header(bad);
        EXPECT_EQ(r.status, PPM_BAD_MAGIC) << bad;
    }
    EXPECT_STREQ(read_header("P3\n").header.magic, "P3");
    read_outcome long_magic = read_header(std::string("X5") + std::string(5000, 'a') + "\n1 1 1\n");
    EXPECT_EQ(long_magic.status, PPM_BAD_MAGIC);
    EXPECT_EQ(std::string(long_magic.header.magic), "X5" + std::string(PPM_MAGIC_MAX - 2, 'a'));
}

TEST(PpmHeader, RefusesNumbersThatAreNotWholeOrDoNotFit) {
    struct {
        const char *bytes;
        const char *error;
    } cases[] = {
        {"P6\n", "the width is missing"},
        {"P6\n80\n", "the height is missing"},
        {"P6\n80 60", "the maximum sample value is missing"},
        {"P6\n-80 60\n255\n", "the width -80 is negative"},
        {"P6\n80 6x0\n255\n", "the height 6x0 is not a number"},
        {"P6\n3333333333 60\n255\n", "the width 3333333333 is too large"},
        {"P6\n80 2147483648\n255\n", "the height 2147483648 is too large"},
        {"P6\n80 60\n99999999999999999999999999\n",
         "the maximum sample value 99999999999999999999999... is too large"},
        {"P6\n80 60\n255", "no white space between the maximum sample value and the raster"},
        {"P6\n80 60\n255#\n", "no white space between the maximum sample value and the raster"},
    };
    for (const auto &c : cases) {
        read_outcome r = read_header(c.bytes);
        EXPECT_EQ(r.status, PPM_BAD_HEADER) << c.bytes;
        EXPECT_STREQ(r.header.error, c.error);
    }
    read_outcome largest = read_header("P6\n2147483647 0\n65535\n");
    EXPECT_EQ(largest.status, PPM_OK);
    EXPECT_EQ(largest.header.width, 2147483647);
    EXPECT_EQ(largest.header.height, 0); // ranges are the caller's to check
    EXPECT_EQ(largest.header.maxval, 65535);
}

// Numbers longer than the part of them a message shows: leading zeros do not
// make a number large, and a byte that would end a string (NUL) still makes
// the token no number, however many zeros stand around it.
TEST(PpmHeader, JudgesEveryCharacterOfALongNumber) {
    read_outcome zeros = read_header("P6\n" + std::string(40, '0') + "80 60\n255\nR");
    EXPECT_EQ(zeros.status, PPM_OK) << zeros.header.error;
    EXPECT_EQ(zeros.header.width, 80);
    EXPECT_EQ(zeros.next, 'R');

    std::string nul_width = "P6\n" + std::string(30, '\0') + "1 60\n255\n";
    read_outcome nul = read_header(nul_width);
    EXPECT_EQ(nul.status, PPM_BAD_HEADER);
    EXPECT_EQ(std::string(nul.header.error),
              "the width " + std::string(23, '?') + "... is not a number");
    read_outcome zero_nul = read_header(std::string("P6\n80 6\0"
                                                    "0\n255\n",
                                                    12));
    EXPECT_STREQ(zero_nul.header.error, "the height 6?0 is not a number");
}

} // namespace
