// Rings and planarity: ring codes, masks and printed lines on real molecules, membership
// by atom (labels that are prefixes of others), the digit sort, the degree of planarity with
// its cache, and what happens beyond the ring capacities.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "chem/rings.h"
#include "testutil.h"

namespace {

constexpr double PI = 3.141592653589793;

// Bonds, nodes and rings; returns what ringlord printed on the standard streams.
Streams perceiveRings(Quandrel& q) {
    verknopfung(perceiving(q), findBonds(perceiving(q)));
    return capture([&] { ringlord(perceiving(q)); });
}

// A flat regular ring of n carbons (no hydrogens), bond 1.40 A, around (x, y, z).
void addFlatRing(StructureBuilder& s, const std::string& prefix, int n, double x, double y, double z) {
    const double radius = 1.40 / (2 * std::sin(PI / n));
    for (int k = 0; k < n; ++k)
        s.add(prefix + std::to_string(k + 1), "C", x + radius * std::cos(2 * PI * k / n),
              y + radius * std::sin(2 * PI * k / n), z);
}

// A benzene with hydrogens in the xy plane around (x, y, z); carbons and hydrogens are
// labelled with the given numbers, without parentheses.
void addBenzene(StructureBuilder& s, int firstNumber, double x, double y, double z) {
    for (int k = 0; k < 6; ++k) {
        const double c = std::cos(k * PI / 3), sn = std::sin(k * PI / 3);
        s.add("C" + std::to_string(firstNumber + k), "C", x + 1.39 * c, y + 1.39 * sn, z);
        s.add("H" + std::to_string(firstNumber + k), "H", x + 2.473 * c, y + 2.473 * sn, z);
    }
}

}  // namespace

TEST(RingCodes, BenzeneIsOneSixRingAnnouncedOnce) {
    ScratchDir dir;
    auto q = readFixture(dir, "benzene");
    const std::string out = perceiveRings(*q).out;
    EXPECT_EQ(out, "Ring No: 1 consists of C(1)C(2)C(3)C(4)C(5)C(6)\n");
    for (int i = 0; i < q->structure.nAtoms; ++i) {
        const bool carbon = q->structure.atom[i].label[0] == 'C';
        EXPECT_EQ(q->perception.ringCode[i], carbon ? 6 : 0) << q->structure.atom[i].label;
        EXPECT_EQ(q->perception.ringMask[i], carbon ? 1 : 0) << q->structure.atom[i].label;
    }
}

TEST(RingCodes, NaphthaleneBridgeheadsAreInBothRings) {
    ScratchDir dir;
    auto q = readFixture(dir, "naphthalene");
    const std::string out = perceiveRings(*q).out;
    EXPECT_EQ(out,
              "Ring No: 1 consists of C(1)C(2)C(3)C(4)C(9)C(10)\n"
              "Ring No: 2 consists of C(4)C(5)C(6)C(7)C(8)C(9)\n");
    for (int i = 0; i < q->structure.nAtoms; ++i) {
        const std::string label = q->structure.atom[i].label;
        int code = 0, mask = 0;
        if (label == "C(4)" || label == "C(9)") code = 66, mask = 3;
        else if (label == "C(1)" || label == "C(2)" || label == "C(3)" || label == "C(10)") code = 6, mask = 1;
        else if (label[0] == 'C') code = 6, mask = 2;
        EXPECT_EQ(q->perception.ringCode[i], code) << label;
        EXPECT_EQ(q->perception.ringMask[i], mask) << label;
    }
}

TEST(RingCodes, CyclopropaneIsFoundFromTheBondGraph) {
    ScratchDir dir;
    auto q = readFixture(dir, "cyclopropane");
    const std::string out = perceiveRings(*q).out;
    EXPECT_EQ(out, "C(1)C(2)C(3) 2\n");
    for (int i = 0; i < q->structure.nAtoms; ++i) {
        const bool carbon = q->structure.atom[i].label[0] == 'C';
        EXPECT_EQ(q->perception.ringCode[i], carbon ? 3 : 0) << q->structure.atom[i].label;
        EXPECT_EQ(q->perception.ringMask[i], carbon ? 1 : 0) << q->structure.atom[i].label;
    }
}

TEST(RingCodes, ATolylRingBesideADisorderedTrifluoromethylGroup) {
    ScratchDir dir;
    auto q = readFixture(dir, "disorder_cf3");
    const std::string out = perceiveRings(*q).out;
    EXPECT_EQ(out, "Ring No: 1 consists of C(2)C(3)C(4)C(5)C(7)C(8)\n");
    const struct {
        const char* label;
        int ringCode;
    } atoms[] = {{"C(2)", 6}, {"C(3)", 6}, {"C(4)", 6}, {"C(5)", 6}, {"C(7)", 6}, {"C(8)", 6},
                 {"C(1)", 0}, {"C(6)", 0}, {"F(1A)", 0}, {"F(1B)", 0}, {"H(3)", 0}};
    for (const auto& a : atoms) {
        const int i = atomNamed(q->structure, a.label);
        ASSERT_GE(i, 0);
        EXPECT_EQ(q->perception.ringCode[i], a.ringCode) << a.label;
    }
}

TEST(RingCodes, AChairCyclohexaneIsNotPlanarAndHasNoRing) {
    ScratchDir dir;
    StructureBuilder s;
    const double radius = 1.45, h = 0.25, ch = 1.09;
    double c[6][3];
    for (int k = 0; k < 6; ++k) {
        c[k][0] = 10 + radius * std::cos(k * PI / 3);
        c[k][1] = 10 + radius * std::sin(k * PI / 3);
        c[k][2] = 10 + (k % 2 == 0 ? h : -h);
        s.add("C(" + std::to_string(k + 1) + ")", "C", c[k][0], c[k][1], c[k][2]);
    }
    for (int k = 0; k < 6; ++k) {
        const double up = k % 2 == 0 ? 1 : -1;
        const double axial[3] = {0, 0, up};
        // Equatorial: away from the two ring neighbours and the axial hydrogen.
        double e[3];
        for (int a = 0; a < 3; ++a) e[a] = -axial[a];
        for (int n : {(k + 1) % 6, (k + 5) % 6}) {
            double u[3], len = 0;
            for (int a = 0; a < 3; ++a) u[a] = c[n][a] - c[k][a], len += u[a] * u[a];
            for (int a = 0; a < 3; ++a) e[a] -= u[a] / std::sqrt(len);
        }
        const double le = std::sqrt(e[0] * e[0] + e[1] * e[1] + e[2] * e[2]);
        s.add("H(" + std::to_string(k + 1) + "A)", "H", c[k][0], c[k][1], c[k][2] + up * ch);
        s.add("H(" + std::to_string(k + 1) + "B)", "H", c[k][0] + ch * e[0] / le, c[k][1] + ch * e[1] / le,
              c[k][2] + ch * e[2] / le);
    }
    auto q = s.build();
    const std::string out = perceiveRings(*q).out;
    EXPECT_EQ(out, "");
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(q->perception.knopf[k].anzahl, 4);
        EXPECT_LT(q->perception.planarCache[k], 0.8);
    }
    for (int i = 0; i < q->structure.nAtoms; ++i) {
        EXPECT_EQ(q->perception.ringCode[i], 0);
        EXPECT_EQ(q->perception.ringMask[i], 0);
    }
}

TEST(RingMembership, IsDecidedByAtomNotByLabelText) {
    ScratchDir dir;
    // Labels without parentheses: C1 is a prefix of C10, C11 and C12 of the second ring.
    StructureBuilder s;
    addBenzene(s, 1, 8, 8, 8);
    addBenzene(s, 7, 8, 16, 8);
    auto q = s.build();
    const std::string out = perceiveRings(*q).out;
    EXPECT_EQ(out,
              "Ring No: 1 consists of C1C2C3C4C5C6\n"
              "Ring No: 2 consists of C7C8C9C10C11C12\n");
    for (int n = 1; n <= 12; ++n) {
        const int c = atomNamed(q->structure, ("C" + std::to_string(n)).c_str());
        const int h = atomNamed(q->structure, ("H" + std::to_string(n)).c_str());
        ASSERT_GE(c, 0);
        ASSERT_GE(h, 0);
        EXPECT_EQ(q->perception.ringCode[c], 6) << "C" << n;
        EXPECT_EQ(q->perception.ringMask[c], n <= 6 ? 1 : 2) << "C" << n;
        EXPECT_EQ(q->perception.ringCode[h], 0) << "H" << n;
    }
}

TEST(RingMasks, ThreeMemberedRingsTakeTheFirstBitsAndAreNeverStoredAgain) {
    ScratchDir dir;
    StructureBuilder s;
    addFlatRing(s, "T", 3, 8, 8, 8);  // carbons with two neighbours each: planar candidates
    addBenzene(s, 1, 8, 16, 8);
    auto q = s.build();
    const std::string out = perceiveRings(*q).out;
    EXPECT_EQ(out, "T1T2T3 2\nRing No: 1 consists of C1C2C3C4C5C6\n");
    EXPECT_EQ(q->perception.ringCode[0], 3);
    EXPECT_EQ(q->perception.ringMask[0], 1);
    const int c4 = atomNamed(q->structure, "C4");
    ASSERT_GE(c4, 0);
    EXPECT_EQ(q->perception.ringMask[c4], 2);
}

TEST(RingCodes, StayZeroWhenRingPerceptionDoesNotRun) {
    ScratchDir dir;
    auto q = readFixture(dir, "naphthalene");
    verknopfung(perceiving(*q), findBonds(perceiving(*q)));
    for (int i = 0; i < q->structure.nAtoms; ++i) {
        EXPECT_EQ(q->perception.ringCode[i], 0);
        EXPECT_EQ(q->perception.ringMask[i], 0);
    }
    EXPECT_EQ(static_cast<int>(q->perception.knopf.size()), q->structure.nAtoms);
}

TEST(RingCodeSort, PutsTheLargestDigitFirst) {
    const struct {
        int code, sorted;
    } cases[] = {
        {536, 653}, {56, 65}, {363, 633}, {7, 7}, {66, 66}, {3, 3}, {3456, 6543},
        {333333333, 333333333}, {345678934, 987654433}, {1000, 1000}, {0, 0}, {2147483647, 2147483647},
    };
    for (const auto& c : cases) EXPECT_EQ(ringCodeSort(c.code), c.sorted) << c.code;
}

// ---------------------------------------------------------------------------------
// Degree of planarity
// ---------------------------------------------------------------------------------

namespace {

// A carbon at (16,16,16) with hydrogens in the given directions (lengths 1.0 .. 1.09).
std::unique_ptr<Quandrel> centreWith(const std::vector<std::vector<double>>& directions) {
    StructureBuilder s(32.0);
    s.add("C", "C", 16, 16, 16);
    int n = 0;
    for (const auto& d : directions) {
        const double len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        const double bond = 1.0 + 0.01 * n;  // distinct margins fix the neighbour order
        s.add("H" + std::to_string(++n), "H", 16 + bond * d[0] / len, 16 + bond * d[1] / len, 16 + bond * d[2] / len);
    }
    auto q = s.build();
    verknopfung(perceiving(*q), findBonds(perceiving(*q)));
    return q;
}

}  // namespace

TEST(Planarity, TrigonalIsPlanarAndTetrahedralIsNot) {
    ScratchDir dir;
    const double r3 = std::sqrt(3.0) / 2;
    auto trigonal = centreWith({{1, 0, 0}, {-0.5, r3, 0}, {-0.5, -r3, 0}});
    ASSERT_EQ(trigonal->perception.knopf[0].anzahl, 3);
    EXPECT_NEAR(planar(perceiving(*trigonal), trigonal->perception.knopf[0], 0), 1.0, 1e-12);
    auto tetrahedral = centreWith({{1, 1, 1}, {1, -1, -1}, {-1, 1, -1}, {-1, -1, 1}});
    ASSERT_EQ(tetrahedral->perception.knopf[0].anzahl, 4);
    EXPECT_NEAR(planar(perceiving(*tetrahedral), tetrahedral->perception.knopf[0], 0), 0.0, 1e-12);
    auto pyramidal = centreWith({{1, 0, -0.35}, {-0.5, r3, -0.35}, {-0.5, -r3, -0.35}});
    const double p = planar(perceiving(*pyramidal), pyramidal->perception.knopf[0], 0);
    EXPECT_GT(p, 0.1);
    EXPECT_LT(p, 0.8);
}

TEST(Planarity, FewerThanThreeNeighboursAreAlwaysPlanar) {
    ScratchDir dir;
    auto none = centreWith({});
    EXPECT_EQ(planar(perceiving(*none), none->perception.knopf[0], 0), 1.0);
    auto one = centreWith({{1, 0, 0}});
    EXPECT_EQ(planar(perceiving(*one), one->perception.knopf[0], 0), 1.0);
    auto bent = centreWith({{1, 0, 0}, {-0.3, 1, 0.2}});
    EXPECT_NEAR(planar(perceiving(*bent), bent->perception.knopf[0], 0), 1.0, 1e-12);
    auto linear = centreWith({{1, 0, 0}, {-1, 0, 0}});  // the two directions span no plane
    EXPECT_EQ(planar(perceiving(*linear), linear->perception.knopf[0], 0), 1.0);
}

TEST(Planarity, SquarePlanarWithTransNeighboursInARowIsPlanar) {
    ScratchDir dir;
    // Node order +x, -x, +y, -y: the normals of the collinear pairs are left out.
    auto square = centreWith({{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}});
    ASSERT_EQ(square->perception.knopf[0].nachbar[0], 1);
    ASSERT_EQ(square->perception.knopf[0].nachbar[1], 2);
    EXPECT_NEAR(planar(perceiving(*square), square->perception.knopf[0], 0), 1.0, 1e-12);
}

TEST(Planarity, TheFirstValueIsCachedWhateverNodeComesLater) {
    ScratchDir dir;
    auto q = centreWith({{1, 1, 1}, {1, -1, -1}, {-1, 1, -1}, {-1, -1, 1}});
    EXPECT_EQ(q->perception.planarCache[0], -1.0);
    const double first = planar(perceiving(*q), q->perception.knopf[0], 0);
    EXPECT_EQ(q->perception.planarCache[0], first);
    Knopf other = q->perception.knopf[0];
    other.anzahl = 2;
    EXPECT_EQ(planar(perceiving(*q), other, 0), first);
    q->perception.planarCache[1] = 0.25;  // a value set before is returned as it is
    EXPECT_EQ(planar(perceiving(*q), q->perception.knopf[1], 1), 0.25);
}

// ---------------------------------------------------------------------------------
// Beyond the capacities: the ring is not recorded and a warning names it.
// ---------------------------------------------------------------------------------

TEST(RingCapacity, EveryLargerRingIsRecordedWhateverTheirNumber) {
    ScratchDir dir;
    StructureBuilder s(80.0);
    for (int r = 0; r < 31; ++r)
        addFlatRing(s, "R" + std::to_string(r + 1) + "_", 6, 5 + 7 * (r % 10), 5 + 7 * (r / 10), 5);
    auto q = s.build();
    const auto [out, err, log] = perceiveRings(*q);
    EXPECT_EQ(countOf(out, "Ring No: "), 31);
    EXPECT_NE(out.find("Ring No: 31 consists of R31_1R31_2R31_3R31_4R31_5R31_6\n"), std::string::npos);
    EXPECT_EQ(err, "");
    for (int i = 0; i < 186; ++i) EXPECT_EQ(q->perception.ringCode[i], 6);
    EXPECT_EQ(q->perception.ringMask[179], 1 << 29);
    EXPECT_EQ(q->perception.ringMask[185].size(), 1);
    EXPECT_EQ(q->perception.ringMask[185].ring(0), 30);
    EXPECT_TRUE(q->perception.ringMask[185].shares(q->perception.ringMask[180]));
    EXPECT_FALSE(q->perception.ringMask[185].shares(q->perception.ringMask[179]));
}

// Ring 31 is the sign bit of the first 32 rings' mask, as it always was; the rings behind
// it are announced with their bit (2 to the power of their number) all the same.
TEST(RingCapacity, RingsBeyondThirtyTwoAreRecordedAndAnnouncedWithTheirBit) {
    ScratchDir dir;
    StructureBuilder s(100.0);
    for (int r = 0; r < 70; ++r)
        addFlatRing(s, "T" + std::to_string(r + 1) + "_", 3, 5 + 7 * (r % 10), 5 + 7 * (r / 10), 5);
    auto q = s.build();
    const auto [out, err, log] = perceiveRings(*q);
    EXPECT_EQ(countOf(out, "\n"), 70);
    EXPECT_NE(out.find("T31_1T31_2T31_3 2147483648\n"), std::string::npos);
    EXPECT_NE(out.find("T32_1T32_2T32_3 4294967296\n"), std::string::npos);
    EXPECT_NE(out.find("T33_1T33_2T33_3 8589934592\n"), std::string::npos);
    EXPECT_NE(out.find("T63_1T63_2T63_3 9223372036854775808\n"), std::string::npos);
    EXPECT_NE(out.find("T64_1T64_2T64_3 2^64\n"), std::string::npos);
    EXPECT_EQ(err, "");
    EXPECT_EQ(q->perception.ringMask[31 * 3], static_cast<int>(0x80000000u));
    EXPECT_EQ(q->perception.ringMask[31 * 3].bits(), static_cast<int>(0x80000000u));
    for (int r = 32; r < 70; ++r) {
        EXPECT_EQ(q->perception.ringCode[r * 3], 3);
        EXPECT_EQ(q->perception.ringMask[r * 3].bits(), 0);  // beyond the first 32 rings
        EXPECT_TRUE(q->perception.ringMask[r * 3].shares(q->perception.ringMask[r * 3 + 2]));
        EXPECT_FALSE(q->perception.ringMask[r * 3].shares(q->perception.ringMask[r * 3 - 1]));
    }
}

// Forty benzene molecules, translated copies: every one of the 40 rings is recorded, and
// every carbon and every hydrogen gets the name of the first molecule's.
TEST(RingCapacity, FortyBenzenesAllGetTheirRingCodeInTheirNames) {
    ScratchDir dir;
    StructureBuilder s(100.0);
    for (int r = 0; r < 40; ++r) addBenzene(s, 1 + 6 * r, 5 + 9 * (r % 10), 5 + 9 * (r / 10), 5);
    auto q = s.build();
    const auto [out, err, log] = capture([&] {
        const int bonds = findBonds(perceiving(*q));
        verknopfung(perceiving(*q), bonds);
        ringlord(perceiving(*q));
        getNames(perceiving(*q), bonds);
        asymm(perceiving(*q));  // names in their canonical order
    });
    EXPECT_EQ(countOf(out, "Ring No: "), 40);
    EXPECT_EQ(err.find("not recorded"), std::string::npos) << err;
    const std::string carbon = q->perception.quandrelName[0], hydrogen = q->perception.quandrelName[1];
    EXPECT_EQ(carbon, "6-C#6c[#6c1h]#6c[#6c1h]1h");
    EXPECT_EQ(hydrogen, "H@6c");
    for (int i = 0; i < q->structure.nAtoms; ++i) EXPECT_STREQ(q->perception.quandrelName[i], i % 2 == 0 ? carbon.c_str() : hydrogen.c_str()) << i;
}

TEST(RingCapacity, ANineRingIsRecordedAndATenRingIsNot) {
    ScratchDir dir;
    StructureBuilder s(40.0);
    addFlatRing(s, "N", 9, 8, 8, 8);
    addFlatRing(s, "D", 10, 8, 20, 8);
    auto q = s.build();
    const auto [out, err, log] = perceiveRings(*q);
    EXPECT_EQ(out, "Ring No: 1 consists of N1N2N3N4N5N6N7N8N9\n");
    EXPECT_EQ(err,
              "Warning: ring D1D2D3D4D5D6D7D8D9D10 of 10 atoms is not recorded: rings of up to 9 atoms are handled\n");
    EXPECT_EQ(q->perception.ringCode[0], 9);
    EXPECT_EQ(q->perception.ringCode[9], 0);
}
