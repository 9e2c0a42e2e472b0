// Element tables and symbol look-up.
#include <gtest/gtest.h>

#include <cstring>

#include "chem/elements.h"
#include "testutil.h"

TEST(Elements, SymbolLookUpIsExactAndCaseSensitive) {
    struct Row {
        const char* symbol;
        int index;
    } rows[] = {{"H", 0}, {"C", 5}, {"Cl", 16}, {"J", 52}, {"Rf", 105}, {"Mt", 108},
                {"He", 1}, {"I", 1}, {"h", 1}, {"Hx", 1}, {"", 1}, {"CL", 1}, {"C1", 1}};
    for (const Row& r : rows) {
        EXPECT_EQ(scatteringElementIndex(r.symbol), r.index) << r.symbol;
    }
}

TEST(Elements, TableValuesThatAreEasyToGetWrong) {
    EXPECT_EQ(Kovalenz_Radien[1], 0);     // He
    EXPECT_EQ(Kovalenz_Radien[53], 0);    // Xe
    EXPECT_EQ(Kovalenz_Radien[85], 0);    // Rn
    EXPECT_EQ(Kovalenz_Radien[84], 145);  // At
    EXPECT_EQ(Kovalenz_Radien[94], 182);  // Am
    EXPECT_EQ(Kovalenz_Radien[95], 0);    // Cm
    EXPECT_EQ(ElNeg[1], 550);
    EXPECT_EQ(ElNeg[53], 240);
    EXPECT_EQ(ElNeg[82], 167);  // Bi
    EXPECT_EQ(ElNeg[83], 0);    // Po
    EXPECT_EQ(wertigkeiten[53], 2);  // Xe
    EXPECT_EQ(wertigkeiten[24], 1);  // Mn
    EXPECT_EQ(wertigkeiten[42], 1);  // Tc
    EXPECT_EQ(wertigkeiten[23], 6);  // Cr
    EXPECT_STREQ(PSE_Symbol[103], "Ku");
    EXPECT_STREQ(PSE_Symbol[105], "Rf");
}

TEST(Elements, LookUpsBeyondATableGiveZero) {
    EXPECT_EQ(elNegOf(100), 0);
    EXPECT_EQ(valenceOf(100), 0);
    EXPECT_EQ(radiusOf(108), 0);
    EXPECT_EQ(radiusOf(-1), 0);
    EXPECT_EQ(elNegOf(5), 250);
}

TEST(Elements, AppendLowerCaseAddsTheWordInLowerCase) {
    std::string name = "C1";
    appendLowerCase(name, "NO2");
    appendLowerCase(name, "Cl");
    EXPECT_EQ(name, "C1no2cl");
    std::string longWord;
    appendLowerCase(longWord, std::string(400, 'A').c_str());
    EXPECT_EQ(longWord, std::string(400, 'a'));
}
