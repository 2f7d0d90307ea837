// The network file: layout, round trip and every failure of the reader.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "netfile.h"
#include "run_program.h"

namespace {

class NetFile : public testing::Test {
  protected:
    void SetUp() override {
        net_verbose = 0;
        net_init();
    }
    std::string path(const std::string &name) const { return dir.path() + "/" + name; }

    // Saves the current network and returns the file's text.
    std::string save_text() {
        EXPECT_EQ(net_save(path("n.net").c_str()), 0);
        return dir.read("n.net");
    }

    // Loads text as a network file and returns what net_load printed.
    std::string load_text(const std::string &text, load_result expected = LOAD_FAILED) {
        dir.write("in.net", text);
        testing::internal::CaptureStdout();
        EXPECT_EQ(net_load(path("in.net").c_str()), expected);
        return testing::internal::GetCapturedStdout();
    }

    // Sets every slot and threshold to a value that tells where it is.
    void fill_distinct() {
        for (int s = 0; s < WEIGHT_SLOT_COUNT; s++)
            weight_slot_set(s, s * 0.25 - 1000.0);
        for (int u = 0; u < NETSIZE; u++)
            thresholds[u] = -u / 3.0;
    }

    scratch_dir dir;
};

// What a value becomes after a trip through "%.16G" and "%lG".
double through_text(double value) {
    char text[64];
    snprintf(text, sizeof text, "%.16G", value);
    return strtod(text, nullptr);
}

std::vector<std::string> split_lines(const std::string &text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

std::string repeat(const std::string &piece, int times) {
    std::string out;
    for (int i = 0; i < times; i++)
        out += piece;
    return out;
}

// The fresh network as recorded, and the places where its lines change shape:
// a block's start and end, the last weights before the spare slots (which
// hold 0), and the thresholds.
TEST_F(NetFile, FreshNetworkHasTheDocumentedLines) {
    std::string text = save_text();
    EXPECT_EQ(text.size(), 171948u);
    EXPECT_EQ(fnv1a_64(text), 0x1f3199fd23f0abb6u);
    std::vector<std::string> lines = split_lines(text);
    // Block 31 is 3 lines shorter, and an empty line comes before the thresholds.
    const size_t thresholds_start = 31 * 71 + 69;
    ASSERT_EQ(lines.size(), thresholds_start + 13);
    EXPECT_EQ(lines[0], "double weights0[1024] = {");
    EXPECT_EQ(lines[1], "  " + repeat("0.5, ", 15));
    EXPECT_EQ(lines[69], "  " + repeat("0.5, ", 4));
    EXPECT_EQ(lines[70], "}");
    EXPECT_EQ(lines[31 * 71 + 60], "  " + repeat("0.5, ", 11) + repeat("0, ", 6));
    EXPECT_EQ(lines[31 * 71 + 61], "  " + repeat("0, ", 24));
    EXPECT_EQ(lines[thresholds_start], "double thresholds[256] = {");
    EXPECT_EQ(lines[thresholds_start + 1], "  " + repeat("0, ", 24));
    EXPECT_EQ(lines[thresholds_start + 11], "  " + repeat("0, ", 16));
}

TEST_F(NetFile, LineBreaksFollowTheCharactersWritten) {
    weight_slot_set(0, 1.0 / 3.0);    // 0.3333333333333333, : 20 characters
    weight_slot_set(1, -2.5e-300);    // exponent form
    weight_slot_set(2, 123456789e10); // 1.23456789E+18
    std::string first = split_lines(save_text())[1];
    // 20 + 11 + 16 characters, then five values of 5 bring the count to 72.
    EXPECT_EQ(first, "  0.3333333333333333, -2.5E-300, 1.23456789E+18, 0.5, 0.5, 0.5, 0.5, 0.5, ");
}

TEST_F(NetFile, RoundTripKeepsEveryValue) {
    fill_distinct();
    weight_slot_set(7, std::numeric_limits<double>::infinity());
    weight_slot_set(8, -std::numeric_limits<double>::infinity());
    weight_slot_set(9, std::numeric_limits<double>::quiet_NaN());
    weight_slot_set(10, -0.0);
    weight_slot_set(11, 4.9406564584124654e-324);
    weight_slot_set(12, 2.2250738585072014e-308);
    thresholds[3] = 1.5e21;
    std::string text = save_text();
    std::vector<double> slots(WEIGHT_SLOT_COUNT),
        saved_thresholds(thresholds, thresholds + NETSIZE);
    for (int s = 0; s < WEIGHT_SLOT_COUNT; s++)
        slots[s] = weight_slot(s);

    net_init();
    EXPECT_EQ(load_text(text, LOAD_OK), "");
    for (int s = 0; s < WEIGHT_SLOT_COUNT; s++) {
        if (std::isnan(slots[s]))
            ASSERT_TRUE(std::isnan(weight_slot(s)));
        else
            ASSERT_EQ(weight_slot(s), through_text(slots[s])) << s;
    }
    EXPECT_TRUE(std::signbit(weight_slot(10)));
    for (int u = 0; u < NETSIZE; u++)
        ASSERT_EQ(thresholds[u], through_text(saved_thresholds[u]));
    // Saving what was loaded gives the same file.
    EXPECT_EQ(save_text(), text);
}

// A NaN is written as printf writes it, sign included ("-NAN" for the NaN of
// an invalid operation on x86-64), and any NaN loads as a NaN of that sign.
TEST_F(NetFile, NanKeepsItsSign) {
    weight_slot_set(0, -std::numeric_limits<double>::quiet_NaN());
    weight_slot_set(1, std::numeric_limits<double>::quiet_NaN());
    thresholds[0] = -std::numeric_limits<double>::quiet_NaN();
    std::string text = save_text();
    EXPECT_EQ(split_lines(text)[1], "  -NAN, NAN, " + repeat("0.5, ", 12));
    EXPECT_NE(text.find("{\n  -NAN, 0, 0, "), std::string::npos);
    EXPECT_EQ(load_text(text, LOAD_OK), "");
    EXPECT_TRUE(std::isnan(weight_slot(0)) && std::signbit(weight_slot(0)));
    EXPECT_TRUE(std::isnan(weight_slot(1)) && !std::signbit(weight_slot(1)));
    EXPECT_TRUE(std::isnan(thresholds[0]) && std::signbit(thresholds[0]));
}

TEST_F(NetFile, ReaderIsLenientWhereTheFormatAllows) {
    fill_distinct();
    std::string text = save_text();
    net_init();

    // Carriage returns before the line feeds read alike.
    std::string crlf;
    for (char c : text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(load_text(crlf, LOAD_OK), "");
    EXPECT_EQ(save_text(), text);

    // A missing closing brace between blocks, two- and three-digit exponents
    // and text after the last threshold are accepted.
    net_init();
    std::string lenient = text;
    size_t brace = lenient.find("}\ndouble weights5");
    lenient.erase(brace, 2);
    size_t first_value = lenient.find("-1000, ");
    lenient.replace(first_value, 7, "-1.0E+03, ");
    size_t second = lenient.find("-999.75, ");
    lenient.replace(second, 9, "-9.9975E+002, ");
    lenient += "trailing words\n";
    EXPECT_EQ(load_text(lenient, LOAD_OK), "");
    EXPECT_EQ(save_text(), text);
}

TEST_F(NetFile, EachFailureNamesItsPlaceAndKeepsWhatWasRead) {
    fill_distinct();
    std::string text = save_text();
    std::string name = path("in.net");
    struct {
        std::string text;
        std::string message;
        int slots_loaded;      // slots 0..n-1 take the file's values
        int thresholds_loaded; // thresholds 0..n-1 likewise
    } cases[] = {
        {"", "0.-", 0, 0},
        {"\n" + text, "0.-", 0, 0},
        {" " + text, "0.-", 0, 0},
        {text.substr(0, text.find("double weights3")), "3.-", 3 * 1024, 0},
        {[&] {
             std::string t = text;
             t.replace(t.find("weights3[1024]"), 14, "weights4[1024]");
             return t;
         }(),
         "3.-", 3 * 1024, 0},
        {[&] {
             std::string t = text;
             t.replace(t.find("weights3[1024]"), 14, "weights3[1023]");
             return t;
         }(),
         "3.-", 3 * 1024, 0},
        // Block 2 loses its last value: the reader meets the brace at 1023.
        {[&] {
             std::string t = text;
             size_t end = t.find("\n}\ndouble weights3");
             size_t last = t.rfind(", ", end - 3);
             t.erase(last + 2, end - (last + 2));
             return t;
         }(),
         "2.1023", 2 * 1024 + 1023, 0},
        // A block with an extra value: the next header is not where expected.
        {[&] {
             std::string t = text;
             t.insert(t.find("\n}\ndouble weights3"), "7, ");
             return t;
         }(),
         "3.-", 3 * 1024, 0},
        {[&] {
             std::string t = text;
             t.insert(t.find("\n}\n\ndouble thresholds"), "7, ");
             return t;
         }(),
         "th.-", WEIGHT_SLOT_COUNT, 0},
        {[&] {
             std::string t = text;
             t.replace(t.find("thresholds[256]"), 15, "thresholds[255]");
             return t;
         }(),
         "th.-", WEIGHT_SLOT_COUNT, 0},
        {text.substr(0, text.find("-33.33333333333334, ")), "th.100", WEIGHT_SLOT_COUNT, 100},
        // Header numbers beyond the range of int that would wrap to the
        // expected number.
        {[&] {
             std::string t = text;
             t.replace(t.find("weights3[1024]"), 14, "weights4294967299[1024]");
             return t;
         }(),
         "3.-", 3 * 1024, 0},
        {[&] {
             std::string t = text;
             t.replace(t.find("weights0[1024]"), 14, "weights0[4294968320]");
             return t;
         }(),
         "0.-", 0, 0},
        {[&] {
             std::string t = text;
             t.replace(t.find("thresholds[256]"), 15, "thresholds[18446744073709551872]");
             return t;
         }(),
         "th.-", WEIGHT_SLOT_COUNT, 0},
        // A file that ends with the last threshold's digits, before its comma.
        {text.substr(0, text.rfind(", ")), "th.255", WEIGHT_SLOT_COUNT, 255},
        {text.substr(0, text.rfind(", ") - 3), "th.255", WEIGHT_SLOT_COUNT, 255},
        {[&] {
             std::string t = text;
             t.replace(t.find("-999.5, "), 1, "x"); // slot 2
             return t;
         }(),
         "0.2", 2, 0},
    };
    for (const auto &c : cases) {
        net_init();
        EXPECT_EQ(load_text(c.text),
                  "  File format error in " + name + "/" + c.message + ", breaking.\n");
        for (int s = 0; s < WEIGHT_SLOT_COUNT; s++) {
            double expected = s < c.slots_loaded ? s * 0.25 - 1000.0 : s < weightsize ? 0.5 : 0.0;
            ASSERT_EQ(weight_slot(s), expected) << c.message << " slot " << s;
        }
        for (int u = 0; u < NETSIZE; u++)
            ASSERT_EQ(thresholds[u], u < c.thresholds_loaded ? through_text(-u / 3.0) : 0.0)
                << c.message;
    }
}

// Where each read of the reader stands in a file, found from the layout alone:
// which cut lengths let it succeed and what it reports when it cannot.
struct read_place {
    size_t needed;       // the read succeeds when the file keeps at least this many bytes
    std::string message; // what the reader prints when it does not
    int slot = -1;       // the weight slot or, with threshold set, the unit it reads
    bool threshold = false;
    size_t value_start = 0, value_end = 0; // the value's text, for reads of values
};

// A header is read once its count is whole; a value once the file keeps one
// digit of it (the reader takes a number as far as it goes, also a mantissa
// whose exponent is cut off, as the C library reads "1.5E" at the end of a file).
// The last threshold alone needs its comma: a file that ends with its digits
// may have lost some of them.
std::vector<read_place> read_places(const std::string &text) {
    std::vector<read_place> places;
    size_t at = 0;
    auto value = [&](const std::string &place, int slot, bool threshold) {
        at = text.find_first_not_of(" \n", at);
        size_t comma = text.find(',', at);
        size_t first_digit = at + (text[at] == '-' ? 1 : 0);
        bool last = threshold && slot == NETSIZE - 1;
        places.push_back({last ? comma + 1 : first_digit + 1, place, slot, threshold, at, comma});
        at = comma + 1;
    };
    for (int i = 0; i < WEIGHT_BLOCK_COUNT; i++) {
        std::string header = "double weights" + std::to_string(i) + "[1024";
        at = text.find(header, at) + header.size();
        places.push_back({at, std::to_string(i) + ".-"});
        at = text.find('{', at) + 1;
        for (int v = 0; v < WEIGHT_BLOCK_SLOTS; v++)
            value(std::to_string(i) + "." + std::to_string(v), i * WEIGHT_BLOCK_SLOTS + v, false);
    }
    at = text.find("double thresholds[256", at) + 21;
    places.push_back({at, "th.-"});
    at = text.find('{', at) + 1;
    for (int u = 0; u < NETSIZE; u++)
        value("th." + std::to_string(u), u, true);
    return places;
}

// A file cut at every 1000th byte, and at every byte of the places where the
// reader passes from one part to the next, reports the read that the cut
// stops, with the exact message, and keeps every value read before it.
TEST_F(NetFile, TruncatedFileStopsAtTheReadItCuts) {
    for (int s = 0; s < WEIGHT_SLOT_COUNT; s++)
        weight_slot_set(s, s % 11 == 0 ? ((s * 7919) % 2001 - 1000) * pow(10.0, s % 13 - 8) / 3.0
                                       : ((s * 7919) % 41 - 20) / 4.0);
    for (int u = 0; u < NETSIZE; u++)
        thresholds[u] = (u - 128) * pow(10.0, u % 9 - 6) / 7.0;
    const std::string text = save_text();
    const std::vector<read_place> places = read_places(text);

    // Cuts spread over the file land in every kind of place of a value and
    // name blocks all over it; every place around the seams follows. Each cut
    // is read up to where it falls, so a few dozen spread ones suffice.
    std::set<size_t> cuts;
    for (size_t cut = 0; cut < text.size(); cut += 7919)
        cuts.insert(cut);
    for (size_t seam :
         {text.find("double weights1["), text.find("double thresholds"), text.size() - 3}) {
        for (size_t cut = seam - 5; cut < seam + 32 && cut <= text.size(); cut++)
            cuts.insert(cut);
    }
    const std::string name = path("in.net");
    dir.write("in.net", text);
    // Longest first, so that each cut shortens the one file.
    for (auto cut = cuts.rbegin(); cut != cuts.rend(); ++cut) {
        ASSERT_EQ(truncate(name.c_str(), (off_t)*cut), 0);
        net_init();
        size_t stop = 0;
        while (stop < places.size() && places[stop].needed <= *cut)
            stop++;
        testing::internal::CaptureStdout();
        load_result result = net_load(name.c_str());
        std::string printed = testing::internal::GetCapturedStdout();
        if (stop == places.size()) {
            EXPECT_EQ(result, LOAD_OK) << "cut " << *cut;
            EXPECT_EQ(printed, "") << "cut " << *cut;
        } else {
            EXPECT_EQ(result, LOAD_FAILED) << "cut " << *cut;
            ASSERT_EQ(printed, "  File format error in " + name + "/" + places[stop].message +
                                   ", breaking.\n")
                << "cut " << *cut;
        }
        // Values read hold what their text, as far as the cut leaves it, says;
        // the rest are as net_init left them.
        std::vector<double> slots(WEIGHT_SLOT_COUNT, 0.5), units(NETSIZE, 0.0);
        for (int s = weightsize; s < WEIGHT_SLOT_COUNT; s++)
            slots[s] = 0.0;
        for (size_t k = 0; k < stop; k++) {
            const read_place &p = places[k];
            if (p.slot < 0) continue;
            size_t end = std::min(p.value_end, *cut);
            double read = strtod(text.substr(p.value_start, end - p.value_start).c_str(), nullptr);
            (p.threshold ? units : slots)[p.slot] = read;
        }
        for (int s = 0; s < WEIGHT_SLOT_COUNT; s++)
            ASSERT_EQ(weight_slot(s), slots[s]) << "cut " << *cut << " slot " << s;
        for (int u = 0; u < NETSIZE; u++)
            ASSERT_EQ(thresholds[u], units[u]) << "cut " << *cut << " threshold " << u;
    }
}

TEST_F(NetFile, MissingFileLeavesTheNetworkAsItWas) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(net_load(path("absent.net").c_str()), LOAD_MISSING);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "  Couldn't open file " + path("absent.net") + ", don't load.\n");
    EXPECT_EQ(weight_slot(0), 0.5);
}

TEST_F(NetFile, FailedSaveKeepsTheOldFileAndLeavesNoTemporary) {
    dir.write("n.net", "old network");
    std::string sub = path("sub");
    ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
    // A directory in the way of the target: the rename fails.
    ASSERT_EQ(mkdir((sub + "/n.net").c_str(), 0755), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(net_save((sub + "/n.net").c_str()), -1);
    EXPECT_EQ(net_save(path("nowhere/n.net").c_str()), -1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("cannot write " + sub + "/n.net: Is a directory"), std::string::npos) << err;
    EXPECT_NE(err.find("nowhere/n.net: No such file or directory"), std::string::npos) << err;
    EXPECT_EQ(dir.read("n.net"), "old network");
    EXPECT_EQ(dir.files().size(), 1u);

    // A successful save replaces the old file.
    EXPECT_EQ(net_save(path("n.net").c_str()), 0);
    EXPECT_EQ(dir.read("n.net").substr(0, 25), "double weights0[1024] = {");
    EXPECT_EQ(dir.files().size(), 1u);
}

TEST_F(NetFile, BrokenNetworkWarnsAndGoesOn) {
    fill_distinct();
    std::string text = save_text();
    net_broken = 1;
    testing::internal::CaptureStdout();
    EXPECT_EQ(net_save(path("b.net").c_str()), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "  Netz nicht richtig initialisiert\n");
    EXPECT_EQ(dir.read("b.net"), text);
    EXPECT_EQ(load_text(text, LOAD_OK), "  Netz nicht richtig initialisiert\n");
}

TEST_F(NetFile, IncompleteStoreIsNeitherWrittenNorWrittenThrough) {
    fill_distinct();
    std::string text = save_text();
    // What a failed allocation leaves: the blocks from 20 on do not exist.
    net_store_release(20);
    net_broken = 1;

    dir.write("n.net", "old");
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(net_save(path("n.net").c_str()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "cannot write network " + path("n.net") + ": the weight store is incomplete\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "  Netz nicht richtig initialisiert\n");
    EXPECT_EQ(dir.read("n.net"), "old");

    EXPECT_EQ(load_text(text, LOAD_OK), "  Netz nicht richtig initialisiert\n");
    EXPECT_EQ(weight_slot(20 * 1024 - 1), (20 * 1024 - 1) * 0.25 - 1000.0);
    EXPECT_FALSE(net_store_complete());
    net_init();
    EXPECT_TRUE(net_store_complete());
}

} // namespace
