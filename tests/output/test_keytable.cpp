// Site-symmetry names turn into the multipole flags of a KEY line.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "output/keytable.h"

namespace {

struct Row {
    const char* name;
    const char* flags;
};

// The whole table, one row per name as XD's key groups M D Q O H read it.
const Row TABLE[] = {
    {"1", "10 111 11111 1111111 111111111"},
    {"-1", "10 000 11111 0000000 111111111"},
    {"2", "10 001 10011 1001100 100110011"},
    {"2x", "10 100 10110 1100110 101100110"},
    {"2y", "10 010 11010 1010101 110101010"},
    {"2z", "10 001 10011 1001100 100110011"},
    {"m", "10 110 10011 0110011 100110011"},
    {"mz", "10 110 10011 0110011 100110011"},
    {"mx", "10 011 10110 1011001 101100110"},
    {"my", "10 101 11010 1101010 110101010"},
    {"2/m", "10 000 10011 0000000 100110011"},
    {"222", "10 001 10010 0000100 100100010"},
    {"mm2", "10 001 10010 1001000 100100010"},
    {"mmm", "10 000 10010 0000000 100100010"},
    {"4", "10 001 10000 1000000 100000011"},
    {"-4", "10 000 10000 1001100 100000011"},
    {"4/m", "10 000 10000 0000000 100000011"},
    {"422 oder 4mm", "10 001 10000 1000000 100000010"},
    {"-42m", "10 001 10000 0001000 100000010"},
    {"4/mmm", "10 000 10000 0000000 100000010"},
    {"3", "10 001 10000 1000011 100001100"},
    {"-3", "10 000 10000 0000000 100001100"},
    {"32", "10 001 10000 1000001 100001000"},
    {"3m", "10 001 10000 1000010 100001000"},
    {"3mx", "10 001 10000 1000001 100000100"},
    {"3my", "10 001 10000 1000010 100001000"},
    {"-3m", "10 000 10000 0000000 100001000"},
    {"6", "10 001 10000 1000000 100000000"},
    {"-6", "10 000 10000 0001100 100000000"},
    {"6/m  oder 6mm oder 6/mmm", "10 000 10000 0000000 100000000"},
    {"622", "10 100 10000 1000000 100000000"},
    {"-6m2", "10 001 10000 1000010 100000000"},
    {"C_inv_H", "10 001"},
    {"chemcon??", ""},
};

}  // namespace

TEST(KeyTable, EveryRowGivesItsFlags) {
    for (const Row& row : TABLE) {
        EXPECT_EQ(symmName2DualString(row.name, "previous"), row.flags) << row.name;
        EXPECT_TRUE(isKeyTableName(row.name)) << row.name;
    }
}

TEST(KeyTable, FullFlagTextsHaveTheFiveGroups) {
    for (const Row& row : TABLE) {
        std::string flags = row.flags;
        if (flags.size() < 30) continue;  // "C_inv_H" and "chemcon??"
        ASSERT_EQ(flags.size(), 30u) << row.name;
        for (std::size_t blank : {2u, 6u, 12u, 20u}) EXPECT_EQ(flags[blank], ' ') << row.name;
        EXPECT_EQ(flags.find_first_not_of("01 "), std::string::npos) << row.name;
    }
}

TEST(KeyTable, AliasesShareTheirFlags) {
    for (auto alias : {std::make_pair("m", "mz"), std::make_pair("2", "2z"), std::make_pair("3m", "3my")})
        EXPECT_EQ(symmName2DualString(alias.first, "a"), symmName2DualString(alias.second, "b")) << alias.second;
}

TEST(KeyTable, UnknownNumberIsWrittenAs26BinaryFlags) {
    EXPECT_EQ(symmName2DualString("unknown 5", ""), "00 000 00000 0000000 000000101");
    EXPECT_EQ(symmName2DualString("unknown 1", ""), "00 000 00000 0000000 000000001");
    EXPECT_EQ(symmName2DualString("unknown 67108863", ""), "11 111 11111 1111111 111111111");  // 2^26 - 1
    EXPECT_EQ(symmName2DualString("unknown 33554432", ""), "10 000 00000 0000000 000000000");  // bit 25
    EXPECT_EQ(symmName2DualString("unknown 0", ""), "00 000 00000 0000000 000000000");
}

TEST(KeyTable, NameNotInTheTableReturnsThePreviousResult) {
    const std::string mm2 = symmName2DualString("mm2", "");
    for (const char* name : {"4mm", "6mm", "M", "m ", "", "NO", "unknown", "unknown ", "unknown x", "unknown -3"}) {
        EXPECT_EQ(symmName2DualString(name, mm2), mm2) << '"' << name << '"';
        EXPECT_FALSE(isKeyTableName(name)) << '"' << name << '"';
    }
}
