// The fast network file writer and reader against the C library's printf and
// the fscanf reader: the same text, the same bits, the same messages.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <set>

#include "netfile.h"
#include "netfile_literal.h"
#include "network_bits.h"
#include "run_program.h"

namespace {

struct splitmix {
    uint64_t state;
    uint64_t next() {
        uint64_t z = (state += 0x9e3779b97f4a7c15u);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
        return z ^ (z >> 31);
    }
};

// Values where the form, the digit count or the rounding changes: the
// specials, the ends of the range, and both neighbours of every power of ten
// and of every 16-digit number that rounds up to one.
std::vector<double> boundary_values() {
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> values = {0.0,     -0.0,     inf,
                                  -inf,    DBL_MAX,  -DBL_MAX,
                                  DBL_MIN, -DBL_MIN, 5e-324,
                                  -5e-324, 1e-4,     9.99999999999999e-5,
                                  1e15,    1e16,     9007199254740993.0,
                                  0.1,     1.0 / 3.0};
    for (uint64_t payload : {0x7ff8000000000000u, 0xfff8000000000000u, 0x7ff0000000000001u,
                             0xfff4000000000123u, 0x7fffffffffffffffu})
        values.push_back(from_bits(payload));
    for (int exponent = -325; exponent <= 309; exponent++) {
        for (double base : {1.0, 9.9999999999999995, 9.999999999999999, 5.0, 1.0000000000000005}) {
            double value = base * pow(10.0, exponent);
            if (!std::isfinite(value)) continue;
            for (double near : {value, nextafter(value, 0.0), nextafter(value, inf)}) {
                values.push_back(near);
                values.push_back(-near);
            }
        }
    }
    // Ties at the sixteenth digit: whole numbers plus a half between 10^15 and
    // 10^16 are exact doubles whose seventeenth digit is a 5.
    splitmix rng{11};
    for (int i = 0; i < 2000; i++)
        values.push_back((double)(1000000000000000 + rng.next() % 9000000000000000) + 0.5);
    return values;
}

TEST(NetFileFormat, EveryValueIsWrittenAsPrintfWritesIt) {
    std::vector<double> values = boundary_values();
    splitmix rng{5};
    for (int i = 0; i < 300000; i++)
        values.push_back(from_bits(rng.next()));
    for (int i = 0; i < 100000; i++) // ordinary magnitudes, as weights have
        values.push_back((double)(int64_t)(rng.next() % 2000001 - 1000000) /
                         pow(10.0, (double)(rng.next() % 12)));
    for (double value : values) {
        char fast[NETFILE_VALUE_SIZE], expected[64];
        int length = netfile_format_value(value, fast);
        int expected_length = snprintf(expected, sizeof expected, "%.16G", value);
        ASSERT_EQ(std::string(fast), std::string(expected)) << std::hexfloat << value;
        ASSERT_EQ(length, expected_length);
    }
}

// A network that holds every kind of value the file can carry.
void fill_network(uint64_t seed) {
    splitmix rng{seed};
    std::vector<double> specials = boundary_values();
    for (int s = 0; s < WEIGHT_SLOT_COUNT; s++) {
        uint64_t pick = rng.next() % 8;
        double value;
        if (pick == 0)
            value = specials[rng.next() % specials.size()];
        else if (pick == 1)
            value = from_bits(rng.next());
        else
            value = ((double)(rng.next() % 2000001) - 1000000.0) / 3e5;
        weight_slot_set(s, value);
    }
    for (int u = 0; u < NETSIZE; u++)
        thresholds[u] = u % 5 == 0 ? specials[rng.next() % specials.size()]
                                   : ((double)(rng.next() % 20001) - 10000.0) / 7.0;
}

TEST(NetFileFormat, WholeFileIsWrittenAsPrintfWritesIt) {
    net_verbose = 0;
    net_init();
    std::string fast;
    netfile_write_text(&fast);
    EXPECT_EQ(fast, literal_net_text());
    for (uint64_t seed : {1, 2, 3}) {
        fill_network(seed);
        netfile_write_text(&fast);
        ASSERT_EQ(fast, literal_net_text()) << "seed " << seed;
    }
}

// Each value of text (the parts between a brace or a comma and the next
// comma) read alone by the fast reader, against strtod's bits.
void expect_values_read_as_strtod(const std::string &text, const std::string &what) {
    size_t at = text.find('{');
    int values = 0;
    while (at != std::string::npos) {
        size_t begin = text.find_first_not_of(" \r\n{", at + 1);
        size_t comma = text.find(',', begin);
        if (begin == std::string::npos || comma == std::string::npos) break;
        if (text[begin] == '}') {
            at = text.find('{', begin);
            continue;
        }
        std::string number = text.substr(begin, comma - begin);
        double fast = 0, expected = strtod(number.c_str(), nullptr);
        ASSERT_EQ(netfile_read_value(text.data() + begin, text.size() - begin, &fast),
                  comma + 1 - begin)
            << what << ": " << number;
        ASSERT_EQ(bits_of(fast), bits_of(expected)) << what << ": " << number;
        values++;
        at = comma;
    }
    EXPECT_EQ(values, WEIGHT_SLOT_COUNT + NETSIZE) << what;
}

// Every value of the networks that these tests write, and of a taught one,
// reads as strtod reads it.
TEST(NetFileFastReader, EveryValueOfTheTestNetworksReadsAsStrtodReadsIt) {
    net_verbose = 0;
    net_init();
    expect_values_read_as_strtod(literal_net_text(), "fresh network");
    for (uint64_t seed : {1, 2, 3, 21, 22, 31}) {
        fill_network(seed);
        expect_values_read_as_strtod(literal_net_text(), "seed " + std::to_string(seed));
    }
    net_init();
    splitmix rng{9};
    for (int p = 0; p < 20; p++) {
        int act[NETSIZE];
        for (int &a : act)
            a = rng.next() % 3 == 0;
        net_learn(act, 1);
    }
    expect_values_read_as_strtod(literal_net_text(), "taught network");
}

// Runs of digits of every length up to 40, with the point at every place and
// any character after them, where the reader takes eight digits at a time:
// the value is strtod's, or, for text that is not a value and its comma, the
// reader takes nothing.
TEST(NetFileFastReader, DigitRunsOfEveryLengthAndSplit) {
    splitmix rng{17};
    const std::string after = ",,,.E+- 0x\n\0";
    for (int length = 1; length <= 40; length++) {
        for (int point = 0; point <= length; point++) {
            for (int trial = 0; trial < 4; trial++) {
                std::string digits;
                for (int i = 0; i < length; i++)
                    digits += (char)('0' + rng.next() % (trial == 0 ? 2 : 10));
                std::string number = digits;
                if (point > 0 && point < length) number.insert((size_t)point, ".");
                if (trial == 3) number += "E-" + std::to_string(rng.next() % 30);
                if (trial == 2) number.insert(0, "-");
                char tail = after[rng.next() % after.size()];
                // Short and long text after the value: the reader takes whole
                // words where the text holds them and single bytes near its end.
                for (const char *rest : {"", "123456789", "12345678901234567890123"}) {
                    std::string text = number + tail + rest;
                    double fast = 0;
                    size_t taken = netfile_read_value(text.data(), text.size(), &fast);
                    if (tail != ',') {
                        EXPECT_EQ(taken, 0u) << text;
                        continue;
                    }
                    ASSERT_EQ(taken, number.size() + 1) << text;
                    EXPECT_EQ(bits_of(fast), bits_of(strtod(number.c_str(), nullptr))) << text;
                }
            }
        }
    }
}

// What a reader made of a file: its outcome, what it printed and the network.
struct reading {
    load_result result;
    std::string printed;
    network_bits network;
};

class NetFileReaders : public testing::Test {
  protected:
    void SetUp() override {
        net_verbose = 0;
        net_init();
        // A start that no file value is likely to repeat, so that every slot
        // a reader stores shows.
        for (int s = 0; s < WEIGHT_SLOT_COUNT; s++)
            weight_slot_set(s, -7.25 - s);
        for (int u = 0; u < NETSIZE; u++)
            thresholds[u] = -3.5 - u;
        start = network_take();
        name = dir.path() + "/in.net";
    }

    // Reads text from the start network with net_load_text and with the
    // fscanf reader alone, and with net_load too when through_file is set;
    // they must agree in everything. net_load hands a file under its read
    // limit to the same code as net_load_text, so once per kind of case is
    // enough for it. Returns the fscanf reader's reading.
    reading compare(const std::string &text, const std::string &what, bool through_file = true) {
        dir.write("in.net", text);
        reading general = read_with([&] {
            FILE *in = fopen(name.c_str(), "r");
            load_result result = netfile_read_stream(in, name.c_str());
            fclose(in);
            return result;
        });
        std::vector<reading> fast;
        fast.push_back(
            read_with([&] { return net_load_text(name.c_str(), text.data(), text.size()); }));
        if (through_file) fast.push_back(read_with([&] { return net_load(name.c_str()); }));
        for (const reading &other : fast) {
            EXPECT_EQ(other.result, general.result) << what;
            EXPECT_EQ(other.printed, general.printed) << what;
            EXPECT_TRUE(other.network == general.network) << what;
        }
        return general;
    }

    // Whether the fast reader takes text whole on its own.
    bool fast_takes(const std::string &text) {
        network_put(start);
        return netfile_read_text(text.data(), text.size());
    }

    template <typename Read> reading read_with(Read read) {
        network_put(start);
        testing::internal::CaptureStdout();
        load_result result = read();
        std::string printed = testing::internal::GetCapturedStdout();
        return {result, printed, network_take()};
    }

    scratch_dir dir;
    network_bits start;
    std::string name;
};

std::string with_crlf(const std::string &text) {
    std::string crlf;
    for (char c : text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return crlf;
}

// Files as the writer writes them go through the fast reader alone and load
// exactly as the fscanf reader loads them, in either line end.
TEST_F(NetFileReaders, WrittenFilesTakeTheFastPathAndLoadAlike) {
    std::vector<std::string> texts;
    net_init();
    texts.push_back(literal_net_text());
    for (uint64_t seed : {21, 22}) {
        fill_network(seed);
        texts.push_back(literal_net_text());
    }
    for (const std::string &text : texts) {
        for (const std::string &variant : {text, with_crlf(text)}) {
            EXPECT_TRUE(fast_takes(variant));
            reading general = compare(variant, "written file");
            EXPECT_EQ(general.result, LOAD_OK);
        }
    }
}

// The file of the cases below, and the cases. Each case reads the file up to
// its change or further, two or three times over at a few milliseconds each,
// so the cases are chosen by the reader's state where they fall rather than
// spread over the whole file.
class NetFileForms : public NetFileReaders {
  protected:
    void SetUp() override {
        NetFileReaders::SetUp();
        // fill_network's mix of values where the cases change the file (the
        // first blocks, the last block and the thresholds), short ones
        // between, which the fscanf reader reads several times faster.
        fill_network(31);
        for (int s = 2 * WEIGHT_BLOCK_SLOTS; s < WEIGHT_SLOT_COUNT - WEIGHT_BLOCK_SLOTS; s++)
            weight_slot_set(s, (double)(s % 97 - 48) / 8.0);
        text = literal_net_text();
        block1 = text.find("double weights1[");
        thresholds_at = text.find("double thresholds");
        last_comma = text.rfind(',');
    }

    // A case; the first of each kind (its description up to a number or a
    // quote) also goes through net_load.
    void add(const std::string &what, const std::string &variant) {
        std::string kind = what.substr(0, what.find_first_of("0123456789'"));
        bool first_of_kind = kinds.insert(kind).second;
        cases.push_back({what, variant, first_of_kind});
    }

    std::string replaced(size_t at, size_t length, const std::string &by) const {
        std::string t = text;
        t.replace(at, length, by);
        return t;
    }

    // Compares every case; returns how many of them the fast reader takes whole.
    int compare_cases() {
        int fast_taken = 0;
        for (const form_case &c : cases) {
            compare(c.text, c.what, c.through_file);
            if (fast_takes(c.text)) fast_taken++;
            if (HasFailure()) break;
        }
        return fast_taken;
    }

    struct form_case {
        std::string what, text;
        bool through_file;
    };
    std::string text;
    size_t block1 = 0, thresholds_at = 0, last_comma = 0;
    std::vector<form_case> cases;
    std::set<std::string> kinds;
};

// Files cut anywhere: the fast reader must hand each over so that the
// outcome, the message and every stored bit stay the fscanf reader's.
TEST_F(NetFileForms, CutFilesLoadAsTheFscanfReaderLoadsThem) {
    // Cuts spread over the file, whose blocks the fscanf reader's message
    // names, and every position around one block's header, the threshold
    // header and the end.
    for (size_t cut = 0; cut < text.size(); cut += text.size() / 20 + 1)
        add("cut at " + std::to_string(cut), text.substr(0, cut));
    for (size_t cut = block1 - 30; cut < block1 + 30; cut++)
        add("cut at the block header " + std::to_string(cut), text.substr(0, cut));
    for (size_t cut = last_comma - 30; cut <= text.size(); cut++)
        add("cut near the end at " + std::to_string(cut), text.substr(0, cut));
    for (size_t cut = thresholds_at - 8; cut < thresholds_at + 40; cut += 2)
        add("cut at the threshold header " + std::to_string(cut), text.substr(0, cut));
    add("nothing after the last comma", text.substr(0, last_comma + 1));
    add("no comma after the last value", text.substr(0, last_comma) + "\n}\n");
    compare_cases();
}

// Every other form: changed bytes and the leniencies and failures of the
// fscanf reader, handed over as cut files are.
TEST_F(NetFileForms, OtherFormsLoadAsTheFscanfReaderLoadsThem) {
    // Values in forms the writer does not write, at the first slot and as the
    // last threshold.
    const std::vector<std::string> forms = {"1e5",
                                            "1E5",
                                            "+1",
                                            "1.",
                                            ".5",
                                            "00.5",
                                            "0x1p3",
                                            "inf",
                                            "INFINITY",
                                            "nan",
                                            "NAN(123)",
                                            "-nan",
                                            "1E+400",
                                            "-1E-400",
                                            "1E+",
                                            "1.5E",
                                            "--1",
                                            "1,5",
                                            "",
                                            "\t1",
                                            "1 ",
                                            "1E+0005",
                                            "2.4703282292062327E-324",
                                            "2.4703282292062328E-324",
                                            std::string(400, '7') + ".5",
                                            "0." + std::string(380, '0') + "1"};
    size_t first_value = text.find("{\n  ") + 4;
    size_t middle_value = text.find(", ", text.size() / 2) + 2;
    size_t last_value = text.rfind(' ', last_comma) + 1;
    for (const std::string &form : forms) {
        for (size_t at : {first_value, last_value}) {
            size_t end = text.find(',', at);
            add("value '" + form + "' at " + std::to_string(at), replaced(at, end - at, form));
        }
        add("file ending in '" + form + "'", text.substr(0, last_value) + form);
    }

    // Headers and separators.
    size_t brace = text.rfind('}', block1);
    for (std::string header :
         {"double weights01[1024]", "double  weights1[1024]", "double weights 1[1024]",
          "double weights+1[1024]", "double weights1[01024]", "double weights1 [1024]",
          "double weights4294967297[1024]", "double weights1[4294968320]",
          "double weights18446744073709551617[1024]", "double weights1[1024"})
        add("header " + header, replaced(block1, strlen("double weights1[1024]"), header));
    for (std::string count : {"4294967552", "0256", "256 ", "-4294967040"})
        add("threshold count " + count, replaced(text.find("[256]") + 1, 3, count));
    add("no closing brace", replaced(brace, 2, ""));
    add("brace and tab", replaced(brace, 2, "}\t"));
    add("tab after a comma", replaced(middle_value - 1, 1, "\t"));
    add("blank line before a value", replaced(middle_value - 1, 1, "\n\n"));
    add("words after the end", text + "more words\n");
    add("NUL in a value", replaced(middle_value + 1, 1, std::string(1, '\0')));

    // Single changed bytes, each to a character that means something to one
    // of the readers: most in the first blocks, where a refused change costs
    // little to read up to, the rest anywhere.
    splitmix rng{41};
    const std::string alphabet = "0123456789-+.,eEINFAX }{[]\r\n\t";
    for (int i = 0; i < 80; i++) {
        size_t at = rng.next() % (i % 4 ? block1 * 3 : text.size());
        std::string t = text;
        t[at] = alphabet[rng.next() % alphabet.size()];
        add("byte " + std::to_string(at) + " changed", t);
    }
    // Many changed bytes leave a file the fast reader still reads whole.
    EXPECT_GT(compare_cases(), 20);
}

} // namespace
