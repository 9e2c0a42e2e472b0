// An atom of no part between atoms of several disorder parts: bonded to one part (the
// lowest positive, else the one of largest occupancy); to the others the bond is one-sided,
// so their atoms keep it as a neighbour, in their names and in the molecule.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "testutil.h"

namespace {

bool inNode(const Quandrel& q, int a, int b) {
    const Knopf& node = q.perception.knopf[a];
    return std::find(node.nachbar, node.nachbar + node.anzahl, b) != node.nachbar + node.anzahl;
}

// A phosphate: P at the centre, two sets of four oxygen atoms 1.52 A away (the second set
// turned by 60 degrees about z), of the given parts and occupancies.
struct Phosphate {
    const char* what;
    int partA, partB;
    double occupancyA, occupancyB;
    int keptPart;  // the part P is bonded to
};

std::unique_ptr<Quandrel> phosphate(const Phosphate& p) {
    StructureBuilder s(30.0);
    s.add("P1", "P", 10, 10, 10);
    const double t[4][3] = {{1, 1, 1}, {1, -1, -1}, {-1, 1, -1}, {-1, -1, 1}};
    for (int set = 0; set < 2; ++set)
        for (int k = 0; k < 4; ++k) {
            const double turn = set == 0 ? 0 : M_PI / 3;
            const double x = t[k][0] * std::cos(turn) - t[k][1] * std::sin(turn);
            const double y = t[k][0] * std::sin(turn) + t[k][1] * std::cos(turn);
            const double f = 1.52 / std::sqrt(3.0);
            s.add(std::string("O") + std::to_string(k + 1) + (set == 0 ? "A" : "B"), "O", 10 + f * x, 10 + f * y,
                  10 + f * t[k][2]);
        }
    auto q = s.build();
    for (int k = 1; k <= 8; ++k) {
        q->structure.atom[k].part = k <= 4 ? p.partA : p.partB;
        q->structure.atom[k].occupancy = k <= 4 ? p.occupancyA : p.occupancyB;
    }
    return q;
}

}  // namespace

TEST(OneSidedBonds, TheOrderedAtomIsNamedForOnePartAndTheOthersKeepIt) {
    const Phosphate rows[] = {
        {"parts 1 and 2: the lowest positive", 1, 2, 0.5, 0.5, 1},
        {"parts 3 and 2: the lowest positive", 3, 2, 0.7, 0.3, 2},
        {"parts -1 and 1: a positive part first", -1, 1, 0.8, 0.2, 1},
        {"parts -1 and -2: the largest occupancy", -1, -2, 0.3, 0.7, -2},
        {"parts -1 and -2 of equal occupancy: the higher part number", -2, -1, 0.5, 0.5, -1},
        {"parts 2 and 1: the lower one wherever it stands", 2, 1, 0.6, 0.4, 1},
    };
    for (const Phosphate& p : rows) {
        SCOPED_TRACE(p.what);
        ScratchDir dir;
        auto q = phosphate(p);
        int bonds = 0, molecules = 0;
        captureStdout([&] {
            bonds = findBonds(perceiving(*q));
            verknopfung(perceiving(*q), bonds);
            getNames(perceiving(*q), bonds);
            molecules = countMols(perceiving(*q));
        });
        EXPECT_EQ(bonds, 8);  // the bond list keeps every bond
        EXPECT_EQ(molecules, 1);
        EXPECT_EQ(q->perception.knopf[0].anzahl, 4);
        int hidden = 0;
        for (const Bond& b : q->perception.bonds) hidden += b.hiddenFrom == 0;
        EXPECT_EQ(hidden, 4);
        for (int k = 1; k <= 8; ++k) {
            EXPECT_EQ(inNode(*q, 0, k), q->structure.atom[k].part == p.keptPart) << q->structure.atom[k].label;
            EXPECT_TRUE(inNode(*q, k, 0)) << q->structure.atom[k].label;
            // every oxygen sees a phosphorus with its own three partners
            EXPECT_STREQ(q->perception.quandrelName[k], "O1.5p[1.5o1.5o1.5o]") << q->structure.atom[k].label;
        }
        EXPECT_STREQ(q->perception.quandrelName[0], "P1.5o1.5o1.5o1.5o");
    }
}
