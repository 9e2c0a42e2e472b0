// The line reading every reader shares.
#include <gtest/gtest.h>

#include <cstdio>

#include "driver/text.h"

namespace {

std::vector<std::string> readAll(const std::string& content, bool content_only = false) {
    FILE* f = tmpfile();
    fwrite(content.data(), 1, content.size(), f);
    rewind(f);
    LineReader reader(f);
    std::vector<std::string> lines;
    std::string line;
    while (content_only ? reader.nextContent(line) : reader.next(line)) lines.push_back(line);
    fclose(f);
    return lines;
}

}  // namespace

TEST(LineReader, SwallowsBlankLinesAndLeadingBlanksButKeepsTrailingBlanks) {
    EXPECT_EQ(readAll("\n\n  first \n\n\n   second\nthird"),
              (std::vector<std::string>{"first ", "second", "third"}));
}

TEST(LineReader, DropsCarriageReturnsAndKeepsNulBytes) {
    auto lines = readAll(std::string("a\r\nb\0c\r\n", 8));
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
    EXPECT_EQ(readAll("!c1\nA\n!c2\n!c3\nB\n!last\n", true), (std::vector<std::string>{"A", "B", "!last"}));
}

TEST(LineReader, LongLinesComeWhole) {
    std::string longLine(5000, 'x');
    EXPECT_EQ(readAll(longLine + "\nend\n"), (std::vector<std::string>{longLine, "end"}));
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
