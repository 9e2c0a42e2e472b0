// The fast number reading, line splitting and number formatting give exactly what the
// scan ("%lf"), the line reader and printf give.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/populations.h"
#include "core/text.h"
#include "testutil.h"

namespace {

// The reading every number reader did before: a chain of "%lf%n" scans.
int scanDoublesBySscanf(const char* text, double* out, int count) {
    int read = 0;
    while (read < count) {
        int used = 0;
        if (sscanf(text, "%lf%n", &out[read], &used) != 1) break;
        text += used;
        ++read;
    }
    return read;
}

// Same count, same values (bit for bit, NaN payloads aside) and the same untouched rest.
void expectSameScan(const std::string& text, int count = 8) {
    std::vector<double> fast(static_cast<std::size_t>(count), -7.0), slow(static_cast<std::size_t>(count), -7.0);
    const int nFast = scanDoubles(text.c_str(), fast.data(), count);
    const int nSlow = scanDoublesBySscanf(text.c_str(), slow.data(), count);
    ASSERT_EQ(nFast, nSlow) << '"' << text << '"';
    for (int k = 0; k < count; ++k) {
        if (std::isnan(slow[k])) {
            EXPECT_TRUE(std::isnan(fast[k])) << '"' << text << "\" value " << k;
            continue;
        }
        EXPECT_EQ(std::memcmp(&fast[k], &slow[k], sizeof(double)), 0)
            << '"' << text << "\" value " << k << ": " << fast[k] << " vs " << slow[k];
    }
}

// Where single reads stop: the text behind each number must be where the scan leaves it.
void expectSameStops(const std::string& text) {
    const char* fast = text.c_str();
    const char* slow = text.c_str();
    for (int k = 0; k < 8; ++k) {
        double a = 0, b = 0;
        int used = 0;
        const bool gotFast = scanDouble(fast, a);
        const bool gotSlow = sscanf(slow, "%lf%n", &b, &used) == 1;
        ASSERT_EQ(gotFast, gotSlow) << '"' << text << "\" read " << k;
        if (!gotSlow) break;
        slow += used;
        EXPECT_EQ(fast - text.c_str(), slow - text.c_str()) << '"' << text << "\" read " << k;
    }
}

std::string printed(const char* fmt, double value, int width, int precision) {
    char text[512];
    snprintf(text, sizeof text, fmt, width, precision, value);
    return text;
}

}  // namespace

TEST(ScanDoubles, ReadsWhatTheScanReads) {
    const char* texts[] = {
        // plain numbers, signs, points and exponents
        "1 2 3", "-1 +2 -0 +0", "1. .5 -.5 +.5 0.", "1e5 1E5 1e+5 1e-5 -1.5e-3 .5e2 5.e1",
        "0.000001 123456789.123456789 0.1000000000000000055511151231257827",
        // numbers glued together or to text
        "1-2+3", "1..2", "1.2.3", "1e5x", "1,5", "12abc", "3.5K", "1e+5.3", "4.000000-0.010000",
        // exponents without digits, hexadecimal and special values: the scan's own way
        "1e", "1e+", "1ex 2", "0.5e 7", "1E- 3", "0x1p3", "0x", "0xg", "10x", "1p3",
        "inf", "-inf", "INF", "infinity", "infinit", "nan", "-nan", "NaN", "nan(12)", "nan(",
        // out of range
        "9e999 -9e999", "1e-999", "1e-310", "4.9e-324", "1.7976931348623157e308",
        // white space of every kind, nothing, signs alone
        "  \t 1\t\t2 \v3\f4\r5\n6", "", "   ", "-", "+", ".", "+.", "-.e1", ".e1", "e5", "--1", "+-1",
        // very long numbers
        "0.00000000000000000000000000000000000000000000000000000000000000000000000000001",
        "123456789012345678901234567890123456789012345678901234567890",
        "1.00000000000000011102230246251565404236316680908203125",
        "1.000000000000000111022302462515654042363166809082031250000000001",
    };
    for (const char* text : texts) {
        expectSameScan(text);
        expectSameStops(text);
    }
}

TEST(ScanDoubles, RandomRecordsReadAsTheScanReadsThem) {
    std::mt19937 rng(15);
    const char* pieces[] = {"0", "1", "9", ".", "-", "+", "e", "E", " ", "\t", "x", "n", "a", "i", "f", "5", "7"};
    for (int r = 0; r < 20000; ++r) {
        std::string text;
        const int length = static_cast<int>(rng() % 24);
        for (int k = 0; k < length; ++k) text += pieces[rng() % (sizeof pieces / sizeof pieces[0])];
        expectSameScan(text);
        expectSameStops(text);
    }
    for (int r = 0; r < 20000; ++r) {
        // numbers as the files hold them, at every magnitude and number of digits
        char text[64];
        const double value = std::ldexp(static_cast<double>(rng()) - 2147483648.0, static_cast<int>(rng() % 80) - 60);
        snprintf(text, sizeof text, "%.*g %.*f", static_cast<int>(rng() % 20) + 1, value,
                 static_cast<int>(rng() % 12), value);
        expectSameScan(text);
    }
}

TEST(ScanWordAndInt, ReadWhatTheScanReadsOrLeaveTheTextToIt) {
    const std::string texts[] = {"O1 3 -2 +4", "  \tC12\t\t-007 +0 -0", "12-3+4", "1.5", "-", "+", "--1", "+-1",
                                 "x", "", "   ", "123456789 1234567890 99999999999", "-123456789", "2147483648",
                                 "0x10", "ATOM5 C1", "K3 K 4", "a\vb\fc\rd", std::string(300, 'w')};
    for (const std::string& line : texts) {
        const char* text = line.c_str();
        // words: "%7s" where a word may not fit, "%223s" where all fit
        for (std::size_t cap : {8u, 224u}) {
            const char* p = text;
            for (int k = 0; k < 4; ++k) {
                char fast[224] = "", slow[224] = "";
                char format[16];
                snprintf(format, sizeof format, "%%%zus%%n", cap - 1);
                int used = 0;
                const int n = sscanf(p, format, slow, &used);
                const char* before = p;
                if (!scanWord(p, fast, cap)) {
                    // left to the scan only when it finds no word, or one that does not fit
                    EXPECT_TRUE(n != 1 || std::strlen(slow) == cap - 1) << '"' << text << '"';
                    break;
                }
                ASSERT_EQ(n, 1) << '"' << text << '"';
                EXPECT_STREQ(fast, slow);
                EXPECT_EQ(p - before, used) << '"' << text << '"';
            }
        }
        // integers: the same value and end, or left to the scan (no integer, or ten digits and more)
        const char* p = text;
        for (int k = 0; k < 4; ++k) {
            int fast = -5, slow = -5, used = 0;
            const int n = sscanf(p, "%d%n", &slow, &used);
            const char* before = p;
            if (!scanInt(p, fast)) {
                const char* digits = before;
                while (std::isspace(static_cast<unsigned char>(*digits)) || *digits == '+' || *digits == '-') ++digits;
                EXPECT_TRUE(n != 1 || std::strspn(digits, "0123456789") > 9) << '"' << text << '"';
                break;
            }
            ASSERT_EQ(n, 1) << '"' << text << '"';
            EXPECT_EQ(fast, slow) << '"' << text << '"';
            EXPECT_EQ(p - before, used) << '"' << text << '"';
        }
    }
}

TEST(LineSplitting, GivesTheLinesOfTheLineReader) {
    const std::string texts[] = {
        "", "\n\n \t\n", "one", "one\n", "one\ntwo", "one\r\ntwo\r\n", "one\r\n\r\n\r\ntwo\r", "a\r\r\nb",
        "\n\n  first \n\n\n   second\nthird", "  lead\n\ttabbed\n\v\fformfed\n", std::string("b\0c\r\nd", 7),
        std::string(5000, 'x') + "\nend\n", "last line without newline", "x\n \n", "\r\n\r\n", "\r",
        "!comment\nline\n",
    };
    for (const std::string& text : texts) {
        const std::vector<std::string_view> views = splitLines(text);
        const std::vector<std::string> expected = readerLines(text);
        ASSERT_EQ(views.size(), expected.size()) << '"' << text << '"';
        for (std::size_t k = 0; k < views.size(); ++k) EXPECT_EQ(std::string(views[k]), expected[k]) << k;
    }
}

TEST(LineReader, LeavesTheFileBehindTheWhiteSpaceAfterEachLine) {
    // readers that go on from the file itself (an offset, a scan) rely on this
    FILE* f = tmpfile();
    fputs("first\r\n\n  second\nthird", f);
    rewind(f);
    LineReader reader(f);
    std::string line;
    ASSERT_TRUE(reader.next(line));
    EXPECT_EQ(ftell(f), 10);
    ASSERT_TRUE(reader.next(line));
    EXPECT_EQ(line, "second");
    EXPECT_EQ(ftell(f), 17);
    char word[8] = "";
    ASSERT_EQ(fscanf(f, "%7s", word), 1);
    EXPECT_STREQ(word, "third");
    fclose(f);
}

TEST(AppendFixed, GivesPrintfsBytes) {
    const double values[] = {0.0,       -0.0,      0.5,     1.5,      2.5,       -0.5,        0.03125,
                             -0.03125,  0.00005,   1e-9,    -1e-9,    1e-30,     -1e-30,      99.99995,
                             -99.99995, 4.0,       0.01,    -2.0,     0.333333,  2147483647.5, 2147483648.0,
                             -3e9,      1e300,     5e-324,  0.1 + 0.2, 123.456789, std::nan(""),
                             -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
    for (double value : values)
        for (int width : {0, 6, 8, 9, 14, 15})
            for (int precision : {0, 1, 4, 6, 9, 12}) {
                std::string text = "|";
                appendFixed(text, value, width, precision);
                EXPECT_EQ(text, "|" + printed("%*.*f", value, width, precision))
                    << value << " width " << width << " precision " << precision;
            }
}

TEST(AppendFixed, RandomValuesGivePrintfsBytes) {
    std::mt19937_64 rng(15);
    for (int r = 0; r < 300000; ++r) {
        double value;
        switch (r % 4) {
        case 0: {  // any bit pattern: huge, tiny, NaN and infinite values included
            const std::uint64_t bits = rng();
            std::memcpy(&value, &bits, sizeof value);
            break;
        }
        case 1:  // every magnitude a file holds
            value = std::ldexp(static_cast<double>(rng() >> 11), -static_cast<int>(rng() % 80));
            break;
        case 2:  // values read from files with six decimals, near the rounding ties of four
            value = static_cast<double>(static_cast<std::int64_t>(rng() % 20000001) - 10000000) / 1e6 + 0.00005;
            break;
        default:  // exact binary ties
            value = static_cast<double>(static_cast<std::int64_t>(rng() % 2000001) - 1000000) / 65536.0;
            break;
        }
        if (rng() & 1) value = -value;
        const int precision = static_cast<int>(rng() % 10);
        const int width = static_cast<int>(rng() % 16);
        std::string text;
        appendFixed(text, value, width, precision);
        ASSERT_EQ(text, printed("%*.*f", value, width, precision)) << value;
    }
}

TEST(AppendIntAndLeft, GivePrintfsBytes) {
    for (int value : {0, 1, -1, 7, 42, -999, 9999, 10000, -10000, 99999, 123456, std::numeric_limits<int>::max(),
                      std::numeric_limits<int>::min()})
        for (int width : {0, 1, 2, 3, 4, 5, 8}) {
            std::string text = "|";
            appendInt(text, value, width);
            char expected[64];
            snprintf(expected, sizeof expected, "|%*d", width, value);
            EXPECT_EQ(text, expected) << value << " width " << width;
        }
    for (const char* word : {"", "C", "H12", "O1234567", "LONGLABEL19CHARSXYZ"})
        for (int width : {0, 8, 10}) {
            std::string text = "|";
            appendLeft(text, word, width);
            char expected[64];
            snprintf(expected, sizeof expected, "|%-*s", width, word);
            EXPECT_EQ(text, expected) << word << " width " << width;
        }
}

TEST(PopulationRows, FixedRowsAreThoseOfThePrintfField) {
    double p[N_POPULATIONS];
    for (int k = 0; k < N_POPULATIONS; ++k) p[k] = (k - 12.5) * 1.37 + (k % 3 == 0 ? 1000.0 : 0.0);
    p[4] = std::nan("");
    for (int count : {26, 17, 10, 1}) {
        std::string fixed, printedRows;
        appendFixedPopulationRows(fixed, p, count, 8, 4);
        appendPopulationRows(printedRows, p, count, "%8.4f");
        EXPECT_EQ(fixed, printedRows) << count;
    }
}
