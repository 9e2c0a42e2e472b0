// Bond search and neighbour nodes: the bond window, disorder parts, the bond list, the
// margin order of the neighbours, the angle table, the capacities, and a structure of
// 3,200 atoms run through perception.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "chem/elements.h"
#include "testutil.h"

namespace {

bool bonded(const Quandrel& q, int a, int b) {
    if (a < 0 || b < 0) return false;
    const Knopf& node = q.perception.knopf[a];
    return std::find(node.nachbar, node.nachbar + node.anzahl, b) != node.nachbar + node.anzahl;
}

std::string logOf(Quandrel& q) {
    fflush(q.logFile);
    return slurp("Quandrele.log");
}

// Number of bonds found between two atoms of the given elements at distance d. The cell
// edge 32 keeps the distance exact through the fractional coordinates.
int bondsAt(const std::string& a, const std::string& b, double d) {
    StructureBuilder s(32.0);
    s.add("X1", a, 0, 0, 0);
    s.add("X2", b, d, 0, 0);
    auto q = s.build();
    return findBonds(perceiving(*q));
}

}  // namespace

TEST(BondWindow, CarbonCarbonEdgesAreR085AndMarginBelow04) {
    ScratchDir dir;
    const double r = 1.54;  // 0.77 + 0.77, equal electronegativities
    // Upper edge: the largest distance with r >= 0.85 d is bonded, the next one is not.
    double edge = r / 0.85;
    while (0.85 * edge > r) edge = std::nextafter(edge, 0.0);
    while (0.85 * std::nextafter(edge, 10.0) <= r) edge = std::nextafter(edge, 10.0);
    EXPECT_EQ(bondsAt("C", "C", edge), 1);
    EXPECT_EQ(bondsAt("C", "C", std::nextafter(edge, 10.0)), 0);
    EXPECT_EQ(bondsAt("C", "C", 1.8117), 1);
    EXPECT_EQ(bondsAt("C", "C", 1.8118), 0);
    // Lower edge: a margin of 0.4 is not less than 0.4.
    EXPECT_EQ(bondsAt("C", "C", 1.14), 0);
    EXPECT_EQ(bondsAt("C", "C", 1.1401), 1);
    EXPECT_EQ(bondsAt("C", "C", 1.54), 1);
}

TEST(BondWindow, ElectronegativityDifferenceIsTakenOfTheIntegerTableValues) {
    ScratchDir dir;
    // S-H: 1.02 + 0.37 - 0.08 * |(244 - 220) / 100.0| = 1.3708. Taken as 2.44 - 2.20 the
    // difference would round differently and move the upper edge by one step.
    const double r = 102 / 100.0 + 37 / 100.0 - 0.08 * std::fabs((244 - 220) / 100.0);
    double edge = r / 0.85;
    while (0.85 * edge > r) edge = std::nextafter(edge, 0.0);
    while (0.85 * std::nextafter(edge, 10.0) <= r) edge = std::nextafter(edge, 10.0);
    EXPECT_EQ(bondsAt("S", "H", edge), 1);
    EXPECT_EQ(bondsAt("H", "S", edge), 1);
    EXPECT_EQ(bondsAt("S", "H", std::nextafter(edge, 10.0)), 0);
    EXPECT_EQ(bondsAt("H", "S", std::nextafter(edge, 10.0)), 0);
    // C-H: r = 1.116, window 0.716 .. 1.3129.
    EXPECT_EQ(bondsAt("C", "H", 0.716), 0);
    EXPECT_EQ(bondsAt("C", "H", 0.717), 1);
    EXPECT_EQ(bondsAt("C", "H", 1.3129), 1);
    EXPECT_EQ(bondsAt("C", "H", 1.3130), 0);
}

TEST(BondWindow, AtomsAtOnePositionAreBondedOnlyWhenTheirReferenceLengthIsBelow04) {
    ScratchDir dir;
    EXPECT_EQ(bondsAt("C", "C", 0.0), 0);  // margin 1.54: far too close
    EXPECT_EQ(bondsAt("H", "H", 0.0), 0);
    // Two helium atoms have radius 0 and equal electronegativity: r = 0 accepts d = 0.
    StructureBuilder s(32.0);
    s.add("He1", "He", 1, 1, 1);
    s.add("He2", "He", 1, 1, 1);
    auto q = s.build();
    ASSERT_EQ(findBonds(perceiving(*q)), 1);
    EXPECT_EQ(q->perception.bonds[0].length, 0.0);
    EXPECT_EQ(q->perception.bonds[0].margin, 0.0);
    verknopfung(perceiving(*q), 1);
    EXPECT_EQ(q->perception.knopf[0].anzahl, 1);
}

TEST(BondWindow, AnElementWithoutRadiusBondsThroughItsPartnersRadius) {
    ScratchDir dir;
    // Ar (radius 0, 3.20) with C (0.77, 2.50): r = 0.77 - 0.056 = 0.714, window 0.314 .. 0.84.
    EXPECT_EQ(bondsAt("Ar", "C", 0.8), 1);
    EXPECT_EQ(bondsAt("Ar", "C", 0.85), 0);
}

TEST(BondList, PairsInVisitOrderWithSmallerIndexFirstAndMargins) {
    ScratchDir dir;
    auto q = readFixture(dir, "benzene");
    const int count = findBonds(perceiving(*q));
    ASSERT_EQ(count, 12);  // six ring bonds, six C-H
    ASSERT_EQ(static_cast<int>(q->perception.bonds.size()), count);
    for (int b = 0; b < count; ++b) {
        EXPECT_LT(q->perception.bonds[b].first, q->perception.bonds[b].second);
        if (b > 0) {
            const bool ascending = q->perception.bonds[b - 1].first < q->perception.bonds[b].first ||
                                   (q->perception.bonds[b - 1].first == q->perception.bonds[b].first && q->perception.bonds[b - 1].second < q->perception.bonds[b].second);
            EXPECT_TRUE(ascending) << "bond " << b;
        }
        const bool ring = q->structure.elementOf(q->perception.bonds[b].second) == 5;
        EXPECT_NEAR(q->perception.bonds[b].length, ring ? 1.39 : 1.083, 0.02) << b;
        EXPECT_NEAR(q->perception.bonds[b].margin, (ring ? 1.54 : 1.116) - q->perception.bonds[b].length, 1e-12) << b;
    }
}

TEST(BondList, DifferentDisorderPartsAreNeverBondedAndPartZeroSeesOnlyTheFirst) {
    ScratchDir dir;
    auto q = readFixture(dir, "disorder_cf3");
    const int count = findBonds(perceiving(*q));
    verknopfung(perceiving(*q), count);
    const int c1 = atomNamed(q->structure, "C(1)");
    ASSERT_GE(c1, 0);
    // Six ring bonds, C(2)-C(1), C(5)-C(6), seven C-H and three C-F in each part.
    EXPECT_EQ(count, 21);
    // C(1) is bonded to the first part only; the fluorines of the second keep C(1) (one-sided)
    EXPECT_EQ(q->perception.knopf[c1].anzahl, 4);
    for (const char* a : {"F(1A)", "F(2A)", "F(3A)"}) {
        EXPECT_TRUE(bonded(*q, c1, atomNamed(q->structure, a))) << a;
        EXPECT_TRUE(bonded(*q, atomNamed(q->structure, a), c1)) << a;
        for (const char* b : {"F(1B)", "F(2B)", "F(3B)"}) {
            EXPECT_FALSE(bonded(*q, c1, atomNamed(q->structure, b))) << b;
            EXPECT_TRUE(bonded(*q, atomNamed(q->structure, b), c1)) << b;
            EXPECT_FALSE(bonded(*q, atomNamed(q->structure, a), atomNamed(q->structure, b))) << a << " " << b;
        }
    }
    // Without the parts the fluorines of the two orientations (about 1.3 A apart) bond.
    for (int i = 0; i < q->structure.nAtoms; ++i) q->structure.atom[i].part = 0;
    EXPECT_GT(findBonds(perceiving(*q)), 21);
}

// Parts keep their sign: two carbons 1.5 A apart bond within one part and to part 0, never
// across parts, and -1 and 1 are different parts.
TEST(BondList, PartsOfOppositeSignAreDifferentParts) {
    const struct {
        int a, b;
    } rows[] = {{1, -1}, {-1, -1}, {1, 1}, {0, -1}, {-2, 2}, {-1, -2}, {0, 0}};
    const int expected[] = {0, 1, 1, 1, 0, 0, 1};
    for (std::size_t k = 0; k < sizeof rows / sizeof rows[0]; ++k) {
        SCOPED_TRACE(std::to_string(rows[k].a) + " / " + std::to_string(rows[k].b));
        ScratchDir dir;
        StructureBuilder b(30.0);
        b.add("C1", "C", 10, 10, 10);
        b.add("C2", "C", 11.5, 10, 10);
        auto q = b.build();
        q->structure.atom[0].part = rows[k].a;
        q->structure.atom[1].part = rows[k].b;
        EXPECT_EQ(findBonds(perceiving(*q)), expected[k]);
    }
}

TEST(BondList, TheBondListHoldsTenBondsPerAtomAndNoMore) {
    ScratchDir dir;
    StructureBuilder s(32.0);
    for (int i = 0; i < 25; ++i) s.add("He" + std::to_string(i), "He", 5, 5, 5);  // 300 pairs
    auto q = s.build();
    EXPECT_TRUE(stopsWith([&] { findBonds(perceiving(*q)); }, 1,
                          "Too many bonds: the bond list holds at most 250 bonds (10 per atom) for 25 atoms\n",
                          "FindBonds"));
    q->structure.source = "helium.cif";  // a structure read from a file: the message names it
    q->perception.bonds.clear();
    EXPECT_TRUE(stopsWith([&] { findBonds(perceiving(*q)); }, 1,
                          "Too many bonds: the bond list holds at most 250 bonds (10 per atom) for 25 atoms\n"
                          "The structure is read from helium.cif.\n"));
}

TEST(NeighbourNodes, NeighboursAreSortedByMarginLargestFirstAndTiesKeepBondOrder) {
    ScratchDir dir;
    // Cell edge 32, atoms on the axes through the origin: C2 and C4 lie at exactly the
    // same distance, so their margins tie.
    StructureBuilder s(32.0);
    s.add("C0", "C", 0, 0, 0);
    s.add("H1", "H", 0, 1.10, 0);  // margin 0.016
    s.add("C2", "C", 1.5, 0, 0);   // margin 0.04
    s.add("C3", "C", 0, 0, 1.40);  // margin 0.14
    s.add("C4", "C", -1.5, 0, 0);  // margin 0.04, after C2 in the bond list
    auto q = s.build();
    const int count = findBonds(perceiving(*q));
    ASSERT_EQ(count, 4);
    verknopfung(perceiving(*q), count);
    ASSERT_EQ(static_cast<int>(q->perception.knopf.size()), 5);
    const Knopf& c0 = q->perception.knopf[0];
    ASSERT_EQ(c0.anzahl, 4);
    EXPECT_EQ(std::vector<int>(c0.nachbar, c0.nachbar + 4), (std::vector<int>{3, 2, 4, 1}));
    EXPECT_NEAR(c0.marge[0], 0.14, 1e-9);
    EXPECT_NEAR(c0.marge[1], 0.04, 1e-9);
    EXPECT_EQ(c0.marge[2], c0.marge[1]);
    EXPECT_NEAR(c0.marge[3], 1.116 - 1.10, 1e-9);
    EXPECT_EQ(q->perception.knopf[1].anzahl, 1);
    EXPECT_EQ(q->perception.knopf[1].nachbar[0], 0);
    // The angle table is symmetric and holds the angles at the atom.
    EXPECT_NEAR(c0.angle(0, 1), 90.0, 1e-9);
    EXPECT_NEAR(c0.angle(1, 2), 180.0, 1e-9);
    EXPECT_NEAR(c0.angle(1, 3), 90.0, 1e-9);
    EXPECT_EQ(c0.angle(1, 0), c0.angle(0, 1));
    EXPECT_EQ(c0.angle(3, 2), c0.angle(2, 3));
}

TEST(NeighbourNodes, AngleLinesComeInPairOrderUnderTheirHeading) {
    ScratchDir dir;
    StructureBuilder s;
    s.add("N(1)", "N", 10, 10, 10);
    s.add("H(1)", "H", 10 + 1.01, 10, 10);
    s.add("H(2)", "H", 10, 10 + 1.02, 10);
    s.add("H(3)", "H", 10, 10, 10 + 1.03);
    auto q = s.build();
    verknopfung(perceiving(*q), findBonds(perceiving(*q)));
    EXPECT_EQ(logOf(*q),
              "Angle calculation:\n"
              "==================\n"
              "90.00            H(1)=N(1)=H(2)\n"
              "90.00            H(1)=N(1)=H(3)\n"
              "90.00            H(2)=N(1)=H(3)\n");
}

TEST(NeighbourNodes, AStructureWithoutBondsHasEmptyNodesAndOnlyTheHeading) {
    ScratchDir dir;
    StructureBuilder s;
    s.add("O1", "O", 1, 1, 1);
    s.add("O2", "O", 5, 5, 5);
    auto q = s.build();
    EXPECT_EQ(findBonds(perceiving(*q)), 0);
    EXPECT_EQ(verknopfung(perceiving(*q), 0), 0);
    ASSERT_EQ(static_cast<int>(q->perception.knopf.size()), 2);
    EXPECT_EQ(q->perception.knopf[0].anzahl, 0);
    EXPECT_EQ(q->perception.knopf[1].anzahl, 0);
    EXPECT_EQ(logOf(*q), "Angle calculation:\n==================\n");
}

namespace {

// A carbon with n hydrogens at 1.0 A on the corners of an icosahedron; the hydrogens are
// 1.05 A apart, too far for H-H bonds.
std::unique_ptr<Quandrel> carbonWithHydrogens(int n) {
    const double p = (1 + std::sqrt(5.0)) / 2;
    const double corners[12][3] = {{0, 1, p},  {0, -1, p},  {0, 1, -p},  {0, -1, -p}, {1, p, 0},  {-1, p, 0},
                                   {1, -p, 0}, {-1, -p, 0}, {p, 0, 1},   {-p, 0, 1},  {p, 0, -1}, {-p, 0, -1}};
    const double scale = 1.0 / std::sqrt(1 + p * p);
    StructureBuilder s;
    s.add("C(0)", "C", 10, 10, 10);
    for (int k = 0; k < n; ++k)
        s.add("H(" + std::to_string(k + 1) + ")", "H", 10 + corners[k][0] * scale, 10 + corners[k][1] * scale,
              10 + corners[k][2] * scale);
    return s.build();
}

}  // namespace

TEST(NeighbourNodes, ElevenNeighboursAreHandledWithAllTheirAngles) {
    ScratchDir dir;
    auto q = carbonWithHydrogens(11);
    const int count = findBonds(perceiving(*q));
    ASSERT_EQ(count, 11);
    verknopfung(perceiving(*q), count);
    EXPECT_EQ(q->perception.knopf[0].anzahl, 11);
    EXPECT_EQ(countOf(logOf(*q), "=C(0)="), 55);
    EXPECT_NEAR(q->perception.knopf[0].angle(9, 10), perceiving(*q).angle(0, q->perception.knopf[0].nachbar[9], q->perception.knopf[0].nachbar[10]), 1e-12);
}

TEST(NeighbourNodes, ATwelfthNeighbourStopsTheRunNamingTheAtom) {
    ScratchDir dir;
    auto q = carbonWithHydrogens(12);
    EXPECT_TRUE(stopsWith([&] { verknopfung(perceiving(*q), findBonds(perceiving(*q))); }, 1,
                          "Atom C(0) has more than 11 bonded neighbours; at most 11 are handled", "Verknopfung"));
    // the message names the closest pair of neighbours and the likely cause
    const Stopped s = failureOf([&] { verknopfung(perceiving(*q), findBonds(perceiving(*q))); });
    EXPECT_NE(s.message.find("Its closest two neighbours,"), std::string::npos) << s.message;
    EXPECT_TRUE(s.message.find("likely alternative sites of a disorder") != std::string::npos ||
                s.message.find("likely an ionic or framework solid; run with -asymOnly") != std::string::npos)
        << s.message;
}

namespace {

constexpr double PI = 3.141592653589793;

struct PendingAtom {
    std::string label, symbol;
    double x, y, z;
};

void benzeneAt(std::vector<PendingAtom>& atoms, int n, double x, double y, double z) {
    for (int k = 0; k < 6; ++k) {
        const double c = std::cos(k * PI / 3), s = std::sin(k * PI / 3);
        const std::string tag = std::to_string(n) + "_" + std::to_string(k + 1);
        atoms.push_back({"C" + tag, "C", x + 1.39 * c, y + 1.39 * s, z});
        atoms.push_back({"H" + tag, "H", x + 2.473 * c, y + 2.473 * s, z});
    }
}

void waterAt(std::vector<PendingAtom>& atoms, int n, double x, double y, double z) {
    const std::string tag = std::to_string(n);
    atoms.push_back({"O" + tag, "O", x, y, z});
    atoms.push_back({"H" + tag + "A", "H", x + 0.967, y, z});
    atoms.push_back({"H" + tag + "B", "H", x - 0.242, y + 0.936, z});
}

}  // namespace

TEST(Capacity, ThreeThousandTwoHundredAtomsRunThroughPerception) {
    ScratchDir dir;
    // 25 benzene rings, 966 water molecules and two chloride ions on a grid 8 A apart.
    std::vector<PendingAtom> atoms;
    int slot = 0;
    auto next = [&slot](double (&p)[3]) {
        p[0] = 5 + 8 * (slot % 10), p[1] = 5 + 8 * (slot / 10 % 10), p[2] = 5 + 8 * (slot / 100);
        ++slot;
    };
    double p[3];
    for (int n = 0; n < 25; ++n) next(p), benzeneAt(atoms, n, p[0], p[1], p[2]);
    for (int n = 0; n < 966; ++n) next(p), waterAt(atoms, n, p[0], p[1], p[2]);
    for (int n = 0; n < 2; ++n) next(p), atoms.push_back({"Cl" + std::to_string(n), "Cl", p[0], p[1], p[2]});
    ASSERT_EQ(static_cast<int>(atoms.size()), 3200);
    std::shuffle(atoms.begin(), atoms.end(), std::mt19937(7));
    StructureBuilder s(100.0);
    for (const PendingAtom& a : atoms) s.add(a.label, a.symbol, a.x, a.y, a.z);
    auto q = s.build();

    const auto start = std::chrono::steady_clock::now();
    int count = 0, molecules = 0;
    const std::string out = captureStdout([&] {
        count = findBonds(perceiving(*q));
        verknopfung(perceiving(*q), count);
        ringlord(perceiving(*q));
        molecules = countMols(perceiving(*q));
        announceMolecules(q->perception);
    });
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    EXPECT_EQ(count, 25 * 12 + 966 * 2);
    EXPECT_EQ(countOf(out, "Ring No: "), 25);
    EXPECT_EQ(molecules, 25 + 966 + 2);
    EXPECT_EQ(countOf(out, " should contain "), molecules);
    int ringCarbons = 0;
    for (int i = 0; i < q->structure.nAtoms; ++i) ringCarbons += q->perception.ringCode[i] == 6;
    EXPECT_EQ(ringCarbons, 150);
    EXPECT_LT(seconds, 60.0);  // quadratic at worst: a few seconds even under the sanitizers
}

// The angle table keeps each pair of neighbours once: every pair has a slot of its own and
// reads the same in either order.
TEST(Nodes, EveryPairOfNeighboursHasItsOwnAngle) {
    Knopf node;
    for (int a = 0; a < MAX_NEIGHBOURS; ++a)
        for (int b = a + 1; b < MAX_NEIGHBOURS; ++b) node.setAngle(b, a, 100.0 * a + b);
    for (int a = 0; a < MAX_NEIGHBOURS; ++a) {
        EXPECT_EQ(node.angle(a, a), 0.0);
        for (int b = a + 1; b < MAX_NEIGHBOURS; ++b) {
            EXPECT_EQ(node.angle(a, b), 100.0 * a + b) << a << " " << b;
            EXPECT_EQ(node.angle(b, a), 100.0 * a + b) << a << " " << b;
        }
    }
}
