// Nearest database entries of a missing name: names taken apart into terms, the ranking
// (same element, most shared first-shell neighbour terms, fewest term edits, file order)
// and the names read from a database file.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "database/nearest.h"

namespace {

std::vector<std::string> namesOf(const std::vector<NearEntry>& entries) {
    std::vector<std::string> names;
    for (const NearEntry& e : entries) names.push_back(e.name);
    return names;
}

}  // namespace

TEST(NearestEntries, NamesSplitIntoHeadNeighbourTermsAndMarks) {
    struct Row {
        const char* name;
        const char* element;
        std::vector<std::string> terms, firstShell;
    };
    const Row rows[] = {
        {"C1c1h1h1h", "C", {"C", "1c", "1h", "1h", "1h"}, {"1c", "1h", "1h", "1h"}},
        {"6-C#6c[#6c1h]#6c[#6c1h]1h", "C", {"6-C", "#6c[#6c1h]", "#6c[#6c1h]", "1h"}, {"#6c", "#6c", "1h"}},
        {"R-C1n1c1c1h", "C", {"R-", "C", "1n", "1c", "1c", "1h"}, {"1n", "1c", "1c", "1h"}},
        {"=-N@65c1c1c", "N", {"=-", "N", "@65c", "1c", "1c"}, {"@65c", "1c", "1c"}},
        {"N1c1h1h1h+1.0", "N", {"N", "1c", "1h", "1h", "1h", "+1.0"}, {"1c", "1h", "1h", "1h"}},
        {"Cl1.5c[1.5c1cl]", "Cl", {"Cl", "1.5c[1.5c1cl]"}, {"1.5c"}},
        {"O", "O", {"O"}, {}},
        {"C1c]x", "C", {"C", "1c", "]", "x"}, {"1c", "x"}},  // damaged names still split
    };
    for (const Row& row : rows) {
        const NameTerms t = splitName(row.name);
        EXPECT_EQ(t.element, row.element) << row.name;
        EXPECT_EQ(t.terms, row.terms) << row.name;
        EXPECT_EQ(t.firstShell, row.firstShell) << row.name;
    }
}

TEST(NearestEntries, SharedNeighbourTermsOutrankEditsAndOtherElementsNeverCount) {
    // wanted: a carbon bonded to O, to a CH2 carbon and to two hydrogens
    const std::string wanted = "C1o1c[1c1h1h]1h1h";
    NameCatalogue db;
    db.add("C2o1c[1c1h1h]1h", "two shared");                  // shares 1c 1h
    db.add("C1c1c1h1h", "three shared");                     // shares 1c 1h 1h, 2 edits
    db.add("N1o1c[1c1h1h]1h1h", "other element");            // same terms, other centre
    db.add("C1o1c[1c1h1h]1h1h1h", "one neighbour more");     // 4 shared, 1 edit
    db.add("C1o1c[1c1h]1h1h", "other second shell");         // 4 shared, 1 edit
    db.add("C1o1c[1n]1h1h1cl1br", "far but all shared");     // 4 shared, 3 edits
    db.add("C1o1c[1c1h1h]1h1n", "one term off");             // 3 shared, 1 edit

    const std::vector<NearEntry>& best = db.nearest(wanted);
    ASSERT_EQ(best.size(), 3u);
    // equal scores keep the order of the file
    EXPECT_EQ(namesOf(best), (std::vector<std::string>{"C1o1c[1c1h1h]1h1h1h", "C1o1c[1c1h]1h1h", "C1o1c[1n]1h1h1cl1br"}));
    EXPECT_EQ(best[0].modelCompound, "one neighbour more");
    EXPECT_EQ(best[0].sharedTerms, 4);
    EXPECT_EQ(best[0].edits, 1);
    EXPECT_EQ(best[1].edits, 1);
    EXPECT_EQ(best[2].edits, 3);

    // five best: the three-shared entries follow, the one with fewer edits first
    EXPECT_EQ(namesOf(db.nearest(wanted, 5)),
              (std::vector<std::string>{"C1o1c[1c1h1h]1h1h1h", "C1o1c[1c1h]1h1h", "C1o1c[1n]1h1h1cl1br",
                                        "C1o1c[1c1h1h]1h1n", "C1c1c1h1h"}));
    // the nitrogen entry is the only one of its element
    EXPECT_EQ(namesOf(db.nearest("N1o1c[1c1h1h]1h1h1h")), (std::vector<std::string>{"N1o1c[1c1h1h]1h1h"}));
    EXPECT_TRUE(db.nearest("S1c1c").empty());

    // an entry added after a question counts in the next one
    db.add(wanted, "the name itself");
    EXPECT_EQ(db.nearest(wanted).front().modelCompound, "the name itself");
    EXPECT_EQ(db.nearest(wanted).front().edits, 0);
}

TEST(NearestEntries, RingCodesStereoMarksAndChargesAreTermsOfTheirOwn) {
    NameCatalogue db;
    db.add("5-C#5c[#5c1h]#5c[#5c1h]1h", "five ring");
    db.add("6-C#6c[#6c1h]#6c[#6c1h]1h", "six ring");
    db.add("S-C1n1c1c1h", "S centre");
    db.add("R-C1n1c1c1h", "R centre");
    db.add("N1c1h1h1h", "neutral");
    db.add("N1c1h1h1h+1.0", "charged");
    EXPECT_EQ(db.nearest("6-C#6c[#6c1h]#6c[#6c1h]1h1h").front().name, "6-C#6c[#6c1h]#6c[#6c1h]1h");
    EXPECT_EQ(db.nearest("R-C1n1c1c1h1h").front().name, "R-C1n1c1c1h");
    EXPECT_EQ(db.nearest("N1c1h1h1h+0.5").front().name, "N1c1h1h1h");  // one edit either way: file order
    EXPECT_EQ(db.nearest("N1c1h1h1h1h+1.0").front().name, "N1c1h1h1h+1.0");
}

TEST(NearestEntries, NamesAndModelCompoundsAreReadFromTheDatabaseFile) {
    const char* text =
        "! comment line\n"
        "Model Compound Name:    benzene\n"
        "!Degree of planarity (1 is planar): 1.000\n"
        "6-C#6c[#6c1h]#6c[#6c1h]1h\n"
        "  4.1 0 0 0 0 0 0 0 0 0\n 0 0 0 0 0 0 0 0 0 0\n 0 0 0 0 0 0\n"
        "Symmetrie: mm2\nKS: X:C(1) Y:C(2) shift: 0.0 bond: 1.0\nKAPPA= 1.0; 0.9\n"
        "H@6c\n"
        "  -0.9 0 0 0 0 0 0 0 0 0\n 0 0 0 0 0 0 0 0 0 0\n 0 0 0 0 0 0\n"
        "Symmetrie: mz\nKS: Z:C(1) X:C(2) shift: 0.0 bond: 1.0\n"
        "Model Compound Name:    water\n"
        "H@6c\n"  // a second entry of the same name does not count
        "  0.9 0 0 0 0 0 0 0 0 0\n"
        "O1h1h\n"
        "  6.1 0 0 0 0 0 0 0 0 0\n"
        "K1o1o\n"  // a potassium name beginning with K, behind an entry without kappa line
        "  0.1 0 0 0 0 0 0 0 0 0\n";
    FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    std::fputs(text, f);
    NameCatalogue db;
    db.read(f);
    std::fclose(f);
    EXPECT_EQ(db.size(), 4u);
    const auto carbon = db.nearest("6-C#6c[#6c1h]#6c[#6c1h]1c");
    ASSERT_EQ(carbon.size(), 1u);
    EXPECT_EQ(carbon[0].modelCompound, "benzene");
    EXPECT_EQ(db.nearest("H@5c").at(0).modelCompound, "benzene");
    EXPECT_EQ(db.nearest("O1h1c").at(0).modelCompound, "water");
    EXPECT_EQ(db.nearest("K1o").at(0).name, "K1o1o");
}
