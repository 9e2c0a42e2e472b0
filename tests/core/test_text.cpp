// The line reading every reader shares.
#include <gtest/gtest.h>

#include <cstdio>

#include "core/populations.h"
#include "core/text.h"
#include "testutil.h"

TEST(LineReader, SwallowsBlankLinesAndLeadingBlanksButKeepsTrailingBlanks) {
    EXPECT_EQ(readerLines("\n\n  first \n\n\n   second\nthird"),
              (std::vector<std::string>{"first ", "second", "third"}));
}

TEST(LineReader, DropsCarriageReturnsAndKeepsNulBytes) {
    auto lines = readerLines(std::string("a\r\nb\0c\r\n", 8));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "a");
    EXPECT_EQ(lines[1], std::string("b\0c", 3));
}

TEST(LineReader, AtEndIsSetByTheReadThatReturnsTheLastLine) {
    FILE* f = tmpfile();
    fputs("one\ntwo\n\n", f);
    rewind(f);
    LineReader reader(f);
    std::string line;
    ASSERT_TRUE(reader.next(line));
    EXPECT_FALSE(reader.atEnd());
    ASSERT_TRUE(reader.next(line));
    EXPECT_EQ(line, "two");
    EXPECT_TRUE(reader.atEnd());
    EXPECT_FALSE(reader.next(line));
    reader.rewind();
    ASSERT_TRUE(reader.next(line));
    EXPECT_EQ(line, "one");
    fclose(f);
}

TEST(LineReader, ContentReadingSkipsCommentsButReturnsATrailingComment) {
    EXPECT_EQ(readerLines("!c1\nA\n!c2\n!c3\nB\n!last\n", true), (std::vector<std::string>{"A", "B", "!last"}));
}

TEST(LineReader, LongLinesComeWhole) {
    std::string longLine(5000, 'x');
    EXPECT_EQ(readerLines(longLine + "\nend\n"), (std::vector<std::string>{longLine, "end"}));
}

TEST(Appendf, TextOfEveryLengthComesWholeAroundTheInnerBuffer) {
    for (std::size_t length : {0u, 1u, 254u, 255u, 256u, 257u, 1023u, 1024u, 5000u}) {
        const std::string word(length, 'x');
        std::string text = "head:";
        appendf(text, "%s|%d", word.c_str(), 7);
        EXPECT_EQ(text, "head:" + word + "|7") << length;
        EXPECT_EQ(format("%s|%d", word.c_str(), 7), word + "|7") << length;
    }
}

TEST(Appendf, NumbersAsPrintfWritesThem) {
    std::string text;
    appendf(text, "%8.4f", -0.5);
    appendf(text, "%-5s|", "ab");
    appendf(text, "% 9.6E", 1.5);
    EXPECT_EQ(text, " -0.5000ab   | 1.500000E+00");
}

TEST(PopulationRows, WrittenTenToARowAndReadBackRowByRow) {
    double p[N_POPULATIONS];
    for (int k = 0; k < N_POPULATIONS; ++k) p[k] = k - 0.5;
    const struct {
        int count;
        const char* field;
        const char* between;
        std::vector<std::size_t> rowLengths;  // characters per row, line end excluded
    } cases[] = {
        {26, "%8.4f", "", {80, 80, 48}},
        {26, "%9.4f", " ", {99, 99, 59}},
        {17, "%8.4f", "", {80, 56}},
        {5, "%8.4f", "", {40}},
        {1, "%8.4f", "", {8}},
    };
    for (const auto& c : cases) {
        std::string text;
        appendPopulationRows(text, p, c.count, c.field, c.between);
        std::vector<std::string> rows;
        for (std::size_t from = 0, end; (end = text.find('\n', from)) != std::string::npos; from = end + 1)
            rows.push_back(text.substr(from, end - from));
        ASSERT_EQ(rows.size(), c.rowLengths.size()) << c.count;
        for (std::size_t r = 0; r < rows.size(); ++r) EXPECT_EQ(rows[r].size(), c.rowLengths[r]) << c.count;
        EXPECT_EQ(text.back(), '\n');

        double back[N_POPULATIONS] = {};
        std::size_t next = 0;
        readPopulationRows([&] { return rows[next++].c_str(); }, back, c.count);
        EXPECT_EQ(next, rows.size());
        for (int k = 0; k < c.count; ++k) EXPECT_DOUBLE_EQ(back[k], p[k]) << k;
    }
}

TEST(PopulationRows, ReadingAShortRowLeavesItsOtherValuesAndGoesOnWithTheNextLine) {
    const char* rows[] = {"1 2 3", "11 12 13 14 15 16 17 18 19 20 99", "21 22 23 24 25 26"};
    double p[N_POPULATIONS];
    for (double& v : p) v = -1;
    int next = 0;
    readPopulationRows([&] { return rows[next++]; }, p, N_POPULATIONS);
    EXPECT_EQ(p[2], 3);
    EXPECT_EQ(p[3], -1);
    EXPECT_EQ(p[10], 11);
    EXPECT_EQ(p[19], 20);
    EXPECT_EQ(p[25], 26);
}

TEST(PopulationRows, AFileReadTakesLineEndsAnywhereAndStopsAtTheFirstNonNumber) {
    const struct {
        const char* content;
        int read;
    } cases[] = {
        {"1 2 3 4 5 6 7 8 9 10\n11 12 13 14 15 16 17 18 19 20\n21 22 23 24 25 26\nSymmetrie: 1\n", 26},
        {"1 2 3 4 5\n6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21\n22 23 24 25 26 27\n", 26},
        {"1 2 3\nSymmetrie: 1\n", 3},
        {"", 0},
        {"x", 0},
    };
    for (const auto& c : cases) {
        FILE* f = tmpfile();
        fputs(c.content, f);
        rewind(f);
        double p[N_POPULATIONS] = {};
        EXPECT_EQ(readPopulations(f, p), c.read) << c.content;
        if (c.read > 0) {
            EXPECT_EQ(p[c.read - 1], c.read);
        }
        fclose(f);
    }
}

TEST(CopyOrStop, CopiesWhatFitsAndStopsWithTheMessageOtherwise) {
    char field[4] = "old";
    copyOrStop(field, sizeof field, "abc", "never %s", "written");
    EXPECT_STREQ(field, "abc");
    copyOrStop(field, sizeof field, "", "never");
    EXPECT_STREQ(field, "");
    EXPECT_TRUE(stopsWith(
        [&] {
            copyOrStop(field, sizeof field, "abcd", "%s \"%s\" is longer than %zu characters", "label", "abcd",
                       sizeof field - 1);
        },
        1, "label \"abcd\" is longer than 3 characters\n"));
}
