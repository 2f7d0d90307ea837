// File-name and mask checks.
#include <gtest/gtest.h>

#include <cstring>

#include "names.h"

namespace {

TEST(NameCopy, RefusesArgumentsThatDoNotFit) {
    char name[NAME_SIZE] = "default";
    std::string longest(255, 'a');
    EXPECT_EQ(name_copy(name, longest.c_str(), "mask"), 0);
    EXPECT_EQ(name, longest);

    strcpy(name, "default");
    std::string too_long(256, 'b');
    testing::internal::CaptureStderr();
    EXPECT_EQ(name_copy(name, too_long.c_str(), "pattern file mask"), -1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "cannot use the pattern file mask " + std::string(40, 'b') +
                       "...: it is 256 characters long, at most 255 fit\n");
    EXPECT_STREQ(name, "default");
}

TEST(NameCheckMask, AcceptsPlainIntegerConversions) {
    for (const char *mask : {"se-%d.act", "ca-%i.act", "pat%05d.txt", "%-3d", "%+.4d", "% d", "%.d",
                             "100%%-%d", "dir/%d/x", "%255d"}) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(name_check_mask(mask, MASK_EXACTLY_ONE), 0) << mask;
        EXPECT_EQ(name_check_mask(mask, MASK_AT_MOST_ONE), 0) << mask;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << mask;
    }
    // Without a conversion every number names the same file: allowed only
    // where the caller allows it.
    for (const char *mask : {"same.act", "%%d.act", ""}) {
        EXPECT_EQ(name_check_mask(mask, MASK_AT_MOST_ONE), 0) << mask;
        testing::internal::CaptureStderr();
        EXPECT_EQ(name_check_mask(mask, MASK_EXACTLY_ONE), -1) << mask;
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "cannot use the mask " + std::string(mask) +
                      ": it holds no %d or %i for the file number\n");
    }
}

TEST(NameCheckMask, RefusesEverythingElseNamingThePiece) {
    struct {
        const char *mask;
        const char *complaint; // the end of the message
    } cases[] = {
        {"se-%s.act", "\"%s\" is not an integer conversion; only %d or %i is allowed\n"},
        {"%n", "\"%n\" is not an integer conversion; only %d or %i is allowed\n"},
        {"%x", "\"%x\" is not an integer conversion; only %d or %i is allowed\n"},
        {"%1$d", "\"%1$\" is not an integer conversion; only %d or %i is allowed\n"},
        {"a%d-%i", "\"%i\" is a second conversion; one is allowed\n"},
        {"%d%s%n", "\"%s\" is not an integer conversion; only %d or %i is allowed\n"},
        {"%*d", "\"%*\" takes its width from an argument\n"},
        {"%.*d", "\"%.*\" takes its precision from an argument\n"},
        {"%ld", "\"%l\" has a length modifier; only %d or %i is allowed\n"},
        {"%hhd", "\"%h\" has a length modifier; only %d or %i is allowed\n"},
        {"%zd", "\"%z\" has a length modifier; only %d or %i is allowed\n"},
        {"se-%d%", "\"%\" is not a complete conversion\n"},
        {"%-05", "\"%-05\" is not a complete conversion\n"},
        {"%#d", "\"%#\" has the flag #, which d and i do not take\n"},
        {"%256d", "\"%256d\" is wider than a file name can be\n"},
        {"%.99999999999d", "\"%.99999999999d\" is wider than a file name can be\n"},
    };
    for (const auto &c : cases) {
        for (mask_rule rule : {MASK_AT_MOST_ONE, MASK_EXACTLY_ONE}) {
            testing::internal::CaptureStderr();
            EXPECT_EQ(name_check_mask(c.mask, rule), -1) << c.mask;
            EXPECT_EQ(testing::internal::GetCapturedStderr(),
                      "cannot use the mask " + std::string(c.mask) + ": " + c.complaint);
        }
    }
}

TEST(NameFormat, FormatsOrRefusesWithoutCutting) {
    char name[NAME_SIZE];
    struct {
        const char *mask;
        int number;
        const char *expected;
    } cases[] = {
        {"se-%d.act", 0, "se-0.act"},        {"se-%d.act", 12, "se-12.act"},
        {"pat%05d.txt", 42, "pat00042.txt"}, {"100%%-%i", 7, "100%-7"},
        {"same.act", 3, "same.act"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(name_format(name, c.mask, c.number), 0);
        EXPECT_STREQ(name, c.expected);
    }

    std::string mask = std::string(250, 'a') + "%d";
    EXPECT_EQ(name_format(name, mask.c_str(), 99999), 0);
    EXPECT_EQ(strlen(name), 255u);
    testing::internal::CaptureStderr();
    EXPECT_EQ(name_format(name, mask.c_str(), 100000), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "cannot name file 100000 of the mask " + mask +
                  ": the name would be longer than 255 characters\n");
    EXPECT_STREQ(name, "");
}

} // namespace
