// The canonical order of the terms of a quandrel name.
#include <gtest/gtest.h>

#include <string>

#include "naming/ordering.h"
#include "core/stage.h"
#include "testutil.h"

namespace {

bool before(const char* a, const char* b) { return MyString(a) < MyString(b); }

std::string sortedGroup(std::string group) {
    stringel(group);
    return group;
}

}  // namespace

// One row per ordering rule: a comes first, b does not come before a.
TEST(TermOrdering, EachRuleDecidesWhichTermComesFirst) {
    struct Row {
        const char* first;
        const char* second;
        const char* rule;
    };
    const Row rows[] = {
        {"3c", "2c", "triple before double"},
        {"2o", "1.5c[1.5c1h]", "double before delocalised"},
        {"1.5c", "1c", "delocalised before single"},
        {"#6c", "1c", "shared-ring term counts as delocalised"},
        {"1.5c", "@6c", "foreign-ring term counts as single"},
        {"2c", "#6o", "bond value before element"},
        {"1cl", "1c", "heavier element first (two-letter symbol)"},
        {"1c", "1h", "heavier element first"},
        {"1br", "1cl", "heavier element first among halogens"},
        {"@3c", "1c", "ring weight before a plain term of the same element and value"},
        {"#6c", "1.5c", "shared ring before a plain delocalised term"},
        {"#65c", "#6c", "ring weight is the digit sum: 11 before 6"},
        {"@34c", "@6c", "ring weight is the digit sum: 7 before 6"},
        {"1c[1h]", "1c", "a term with a second shell before one without"},
        {"1.5c[2o]", "1.5c[1.5c]", "second shells compared by the same rule"},
        {"1.5c[1.5c1h]", "1.5c[1.5c]", "longer second shell wins when the start is equal"},
        {"1h", "1xx", "unknown element sorts after real elements of the same value"},
        {"#3c", "@6n", "shared ring counts as delocalised, foreign ring as single"},
    };
    for (const Row& r : rows) {
        EXPECT_TRUE(before(r.first, r.second)) << r.rule << ": " << r.first << " / " << r.second;
        EXPECT_FALSE(before(r.second, r.first)) << r.rule << ": " << r.second << " / " << r.first;
    }
}

TEST(TermOrdering, EqualTermsAreNotOrdered) {
    EXPECT_FALSE(before("1.5c[1.5c1h]", "1.5c[1.5c1h]"));
    EXPECT_FALSE(before("1h", "1h"));
    // same value and element, neither with a second shell: neither comes first
    EXPECT_FALSE(before("1c", "1.0c"));
    EXPECT_FALSE(before("1.0c", "1c"));
}

TEST(TermOrdering, AtomicNumberOfTheSymbolThatBeginsTheText) {
    struct Row {
        const char* text;
        int z;
    };
    const Row rows[] = {
        {"h", 1},   {"c[1.5c1h]", 6}, {"cl", 17}, {"cl[1c]", 17}, {"c1h]", 6}, {"br", 35},
        {"j", 53},  {"Mt", 109},      {"o]", 8},  {"xx", -1},    {"", -1},     {"q", -1},
    };
    for (const Row& r : rows) EXPECT_EQ(atomicNumberOfTerm(r.text), r.z) << '"' << r.text << '"';
}

TEST(TermOrdering, DigitSum) {
    EXPECT_EQ(quersumme(34), 7);
    EXPECT_EQ(quersumme(3), 3);
    EXPECT_EQ(quersumme(0), 0);
    EXPECT_EQ(quersumme(65), 11);
    EXPECT_EQ(quersumme(987654321), 45);
}

TEST(TermOrdering, BracketGroupContentIsSortedInPlace) {
    EXPECT_EQ(sortedGroup("1h1.5c"), "1.5c1h");
    EXPECT_EQ(sortedGroup("1h1h#3o"), "#3o1h1h");
    EXPECT_EQ(sortedGroup("1c1cl"), "1cl1c");
    EXPECT_EQ(sortedGroup("1h@6c2o"), "2o@6c1h");
    EXPECT_EQ(sortedGroup("1c"), "1c");
    EXPECT_EQ(sortedGroup(""), "");
}

// Whole names, as sortQuandrel leaves them.
TEST(TermOrdering, CanonicalFormOfWholeNames) {
    struct Row {
        const char* built;
        const char* canonical;
        const char* what;
    };
    const Row rows[] = {
        {"C1h@3c2o1.5c[1.5c1h]", "C2o1.5c[1.5c1h]@3c1h", "worked example"},
        {"C", "C", "head only"},
        {"Cl", "Cl", "two-letter head only"},
        {"O2c", "O2c", "single term"},
        {"H1c[1h1.5c1.5c]", "H1c[1.5c1.5c1h]", "single term, its bracket group sorted"},
        {"34-C1h2o", "34-C2o1h", "ring-prefixed head keeps its prefix"},
        {"6-C1h#6c[1h#6c]#6c[#6c1h]", "6-C#6c[#6c1h]#6c[#6c1h]1h",
         "bracket groups sorted first, so the two ring terms become equal"},
        {"C1c1cl1br", "C1br1cl1c", "two-letter neighbours stay whole"},
        {"C1c1c[1h]", "C1c[1h]1c", "the term with the bracket group comes first"},
        {"3-C#3c[1h1h#3o]#3o[#3c]1h1h", "3-C#3o[#3c]#3c[#3o1h1h]1h1h", "epoxide carbon"},
        {"N1h1h1h1c+1.0", "N1c1h1h1h+1.0", "charge suffix kept at the end"},
        {"N1h1c1h1h+", "N1c1h1h1h+", "sign suffix kept at the end"},
        {"O1c-0.5", "O1c-0.5", "single term with a charge"},
        {"Cl-1.0", "Cl-1.0", "ion without neighbours"},
        {"Cl-", "Cl-", "ion without neighbours, sign only"},
    };
    for (const Row& r : rows) EXPECT_EQ(canonicalName(r.built), r.canonical) << r.what;
}

TEST(TermOrdering, CanonicalFormIsStable) {
    const char* names[] = {"C2o1.5c[1.5c1h]@3c1h", "6-C#6c[#6c1h]#6c[#6c1h]1h", "N1c1h1h1h+1.0"};
    for (const char* n : names) EXPECT_EQ(canonicalName(canonicalName(n)), canonicalName(n)) << n;
}

TEST(TermOrdering, ChargeSuffixIsSplitOffOnlyBehindTheHead) {
    struct Row {
        const char* name;
        const char* rest;
        const char* suffix;
    };
    const Row rows[] = {
        {"N1c1h1h1h+1.0", "N1c1h1h1h", "+1.0"}, {"C1.5c1.5c1.5c-0.5", "C1.5c1.5c1.5c", "-0.5"},
        {"Na+12.0", "Na", "+12.0"},             {"N1c+", "N1c", "+"},
        {"6-C#6c", "6-C#6c", ""},               {"65-N1h", "65-N1h", ""},
        {"C1.5c", "C1.5c", ""},                 {"-1.0", "-1.0", ""},
    };
    for (const Row& r : rows) {
        std::string name = r.name;
        EXPECT_EQ(splitChargeSuffix(name), r.suffix) << r.name;
        EXPECT_EQ(name, r.rest) << r.name;
    }
}

TEST(TermOrdering, SortQuandrelRewritesTheNameInPlace) {
    ScratchDir dir;
    StructureBuilder b;
    b.add("C(1)", "C", 1, 1, 1);
    std::unique_ptr<Quandrel> q = b.build();
    std::snprintf(q->perception.quandrelName[0], NAME_CAP, "%s", "C1h@3c2o1.5c[1.5c1h]");
    std::string stage = currentStage();
    sortQuandrel(perceiving(*q), 0);
    EXPECT_STREQ(q->perception.quandrelName[0], "C2o1.5c[1.5c1h]@3c1h");
    EXPECT_EQ(std::string(currentStage()), stage);
}
