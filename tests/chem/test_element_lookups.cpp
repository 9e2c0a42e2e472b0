// The element look-ups side by side: every symbol text each of them meets, with the result
// each one gives. They differ on purpose (exact symbols of the master file, name terms in
// lower case, unknown symbols counting as helium where a table entry must name some element),
// so the callers keep their results when the look-ups share one table search.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "chem/elements.h"
#include "naming/ordering.h"
#include "testutil.h"

namespace {

struct LookUpRow {
    const char* text;
    int exact;      // index of the symbol written exactly as the table writes it, else -1
    int masEntry;   // scatteringElementIndex: the exact index, unknown counts as helium (1)
    int nameTerm;   // atomicNumberOfTerm: atomic number of the leading symbol, else -1
};

const LookUpRow LOOK_UPS[] = {
    {"H", 0, 0, 1},       {"He", 1, 1, 2},       {"C", 5, 5, 6},        {"Cl", 16, 16, 17},
    {"J", 52, 52, 53},    {"I", -1, 1, -1},      {"D", -1, 1, -1},      {"Mt", 108, 108, 109},
    {"Rf", 105, 105, 106}, {"Ku", 103, 103, 104}, {"h", -1, 1, 1},       {"cl", -1, 1, 17},
    {"CL", -1, 1, -1},    {"cL", -1, 1, -1},     {"j", -1, 1, 53},      {"d", -1, 1, -1},
    {"C1", -1, 1, 6},     {"Cl1-", -1, 1, 17},   {"c[1.5c1h]", -1, 1, 6}, {"o]", -1, 1, 8},
    {"Hx", -1, 1, -1},    {"Xx", -1, 1, -1},     {"", -1, 1, -1},       {"Cla", -1, 1, -1},
    {"Nb", 40, 40, 41},   {"NB", -1, 1, -1},     {"X", -1, 1, -1},      {"q", -1, 1, -1},
};

}  // namespace

TEST(ElementLookUps, EachLookUpKeepsItsOwnResultForEverySymbolText) {
    ScratchDir dir;
    StructureBuilder b;
    for (const LookUpRow& r : LOOK_UPS) {
        char text[16];
        std::strcpy(text, r.text);
        EXPECT_EQ(scatteringElementIndex(text), r.masEntry) << '"' << r.text << '"';
        EXPECT_EQ(atomicNumberOfTerm(std::string(r.text)), r.nameTerm) << '"' << r.text << '"';
        EXPECT_EQ(elementIndex(r.text), r.exact) << '"' << r.text << '"';
    }
}

TEST(ElementLookUps, SymbolsOfIndicesAndElementPartsOfScatteringWords) {
    EXPECT_STREQ(elementSymbol(0), "H");
    EXPECT_STREQ(elementSymbol(52), "J");
    EXPECT_STREQ(elementSymbol(108), "Mt");
    EXPECT_STREQ(elementSymbol(109), "");
    EXPECT_STREQ(elementSymbol(-1), "");
    EXPECT_STREQ(elementSymbol(-1, "X"), "X");

    const struct {
        const char* word;
        const char* element;
    } words[] = {{"CL1-", "Cl"}, {"c", "C"}, {"O2-", "O"}, {"NA+", "Na"}, {"FE3+", "Fe"},
                 {"1H", ""},     {"", ""},   {"hE", "He"}, {"Cla", "Cla"}, {"H-1", "H"}};
    for (const auto& w : words) EXPECT_EQ(elementPartOf(w.word), w.element) << w.word;
}

TEST(ElementLookUps, HydrogenIsTheAtomWhoseScatteringEntryNamesElementZero) {
    ScratchDir dir;
    StructureBuilder b;
    b.add("H1", "H", 0, 0, 0);
    b.add("C1", "C", 1, 0, 0);
    b.add("He1", "He", 2, 0, 0);
    const auto q = b.build();
    EXPECT_TRUE(q->structure.isHydrogen(0));
    EXPECT_FALSE(q->structure.isHydrogen(1));
    EXPECT_FALSE(q->structure.isHydrogen(2));
    EXPECT_FALSE(q->structure.isHydrogen(-1));
    EXPECT_FALSE(q->structure.isHydrogen(99));
}
