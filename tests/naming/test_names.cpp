// Quandrel names as built from the bond list, the nodes and the ring fields.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "naming/molecule.h"
#include "testutil.h"

namespace {

std::string logOf(Quandrel& q) {
    fflush(q.logFile);
    return slurp("Quandrele.log");
}

}  // namespace

TEST(QuandrelNames, AromaticCarbonAndItsHydrogenWithoutRings) {
    ScratchDir dir;
    Molecule m;
    benzene(m, false);
    m.named();
    EXPECT_EQ(m.name(1), "C1.5c[1.5c1h]1.5c[1.5c1h]1h");
    EXPECT_EQ(m.name(7), "H1c[1.5c1.5c]");
}

TEST(QuandrelNames, CarbonylOxygenHasNoBracket) {
    ScratchDir dir;
    Molecule m;
    int c = m.add("C1", "C");
    int o = m.add("O1", "O");
    int h1 = m.add("H1", "H");
    int h2 = m.add("H2", "H");
    m.bond(c, o, 0.21);
    m.bond(c, h1, 0.03);
    m.bond(c, h2, 0.03);
    m.named();
    EXPECT_EQ(m.name(o), "O2c");
    EXPECT_EQ(m.name(c), "C2o1h1h");
    EXPECT_EQ(m.name(h1), "H1c[2o1h]");
}

TEST(QuandrelNames, BenzeneCarbonAndHydrogenWithRings) {
    ScratchDir dir;
    Molecule m;
    benzene(m, true);
    const std::string out = captureStdout([&] { m.named(); });
    EXPECT_EQ(m.name(1), "6-C#6c[#6c1h]#6c[#6c1h]1h");
    EXPECT_EQ(m.name(7), "H@6c");
    // every hydrogen stands behind its carbon: the bracket note is never due
    EXPECT_EQ(countOf(out, "AT ist ohne [] bei H!"), 0);
}

TEST(QuandrelNames, HydrogenBeforeItsRingCarbonPrintsTheBracketNote) {
    ScratchDir dir;
    Molecule m;
    int h = m.add("H1", "H");
    int c1 = m.add("C1", "C");
    int c2 = m.add("C2", "C");
    int c3 = m.add("C3", "C");
    m.bond(h, c1, 0.03);
    m.bond(c1, c2, 0.15);
    m.bond(c1, c3, 0.15);
    m.bond(c2, c3, 0.15);
    for (int c : {c1, c2, c3}) m.ring(c, 3, 1);
    const std::string out = captureStdout([&] { m.named(); });
    EXPECT_EQ(m.name(h), "H@3c");
    EXPECT_EQ(out, "AT ist ohne [] bei H!\n");
    // seen from the carbon the hydrogen has a lower index: no note, and the H term has no bracket
    EXPECT_EQ(m.name(c1), "3-C1h#3c[#3c]#3c[#3c]");
}

TEST(QuandrelNames, EpoxideCarbon) {
    ScratchDir dir;
    Molecule m;
    int c1 = m.add("C1", "C");
    int c2 = m.add("C2", "C");
    int o = m.add("O1", "O");
    int h[4];
    for (int k = 0; k < 4; ++k) h[k] = m.add("H" + std::to_string(k + 1), "H");
    m.bond(c1, c2, 0.07);
    m.bond(c1, o, -0.03);
    m.bond(c2, o, -0.03);
    m.bond(c1, h[0], 0.03);
    m.bond(c1, h[1], 0.03);
    m.bond(c2, h[2], 0.03);
    m.bond(c2, h[3], 0.03);
    for (int a : {c1, c2, o}) m.ring(a, 3, 1);
    m.named();
    // head 3-C; the ring C term with its own second shell (margin order: H, H, then O);
    // the O term #3o with the other ring carbon seen from O
    EXPECT_EQ(m.name(c1), "3-C#3c[1h1h#3o]#3o[#3c]1h1h");
    EXPECT_EQ(m.name(o), "3-O#3c[#3c1h1h]#3c[#3c1h1h]");
}

TEST(QuandrelNames, AtomWithoutBondsIsItsHead) {
    ScratchDir dir;
    Molecule m;
    m.add("C1", "C");
    int n = m.add("N1", "N");
    m.ring(n, 65, 3);
    m.named();
    EXPECT_EQ(m.name(0), "C");
    EXPECT_EQ(m.name(1), "65-N");
}

// Bond classes at and around the thresholds 0.0847, 0.184 and 0.27.
TEST(QuandrelNames, BondClassBoundaries) {
    struct Row {
        double margin;
        const char* name;
    };
    const Row rows[] = {
        {-0.2, "C1c"},  {0.0847, "C1c"}, {0.0848, "C1.5c"}, {0.1839, "C1.5c"},
        {0.184, "C2c"}, {0.2699, "C2c"}, {0.27, "C3c"},     {0.39, "C3c"},
    };
    for (const Row& r : rows) {
        ScratchDir dir;
        Molecule m;
        m.add("C1", "C");
        m.add("C2", "C");
        m.bond(0, 1, r.margin);
        m.named();
        EXPECT_EQ(m.name(0), r.name) << "margin " << r.margin;
    }
}

TEST(QuandrelNames, BondsToHydrogenAreSingleInBothShells) {
    ScratchDir dir;
    Molecule m;
    int c1 = m.add("C1", "C");
    int c2 = m.add("C2", "C");
    int h = m.add("H1", "H");
    m.bond(c1, c2, 0.15);
    m.bond(c2, h, 0.25);
    m.named();
    EXPECT_EQ(m.name(c1), "C1.5c[1h]");
    EXPECT_EQ(m.name(h), "H1c[1.5c]");
}

TEST(QuandrelNames, OxygenOnRingAtomIsDoubleFromEinfachMesoOnInTheFirstShellOnly) {
    ScratchDir dir;
    Molecule m;
    int c = m.add("C1", "C");    // ring atom
    int o1 = m.add("O1", "O");   // margin exactly einfachMeso: "2" in the first shell
    int c2 = m.add("C2", "C");   // chain carbon with two oxygens behind it
    int o2 = m.add("O2", "O");   // exactly einfachMeso behind C2: stays "1" in the second shell
    int o3 = m.add("O3", "O");   // 0.1 behind C2: "2" in the second shell
    m.bond(c, o1, 0.0847);
    m.bond(c, c2, 0.15);
    m.bond(c2, o3, 0.1);
    m.bond(c2, o2, 0.0847);
    m.ring(c, 6, 1);
    m.named();
    EXPECT_EQ(m.name(c), "6-C2o1.5c[2o1o]");
    // the same oxygen rule does not hold for a chain atom
    EXPECT_EQ(m.name(c2), "C@6c1o1.5o");
}

TEST(QuandrelNames, HeavyNeighbourGetsBracketOnlyWithFurtherNeighbours) {
    ScratchDir dir;
    Molecule m;
    int c1 = m.add("C1", "C");
    int s1 = m.add("S1", "S");
    int c2 = m.add("C2", "C");
    int c3 = m.add("C3", "C");
    int s2 = m.add("S2", "S");
    int c4 = m.add("C4", "C");
    int al = m.add("Al1", "Al");
    int mg = m.add("Mg1", "Mg");
    m.bond(c1, s1, 0.0);
    m.bond(s1, c2, 0.0);
    m.bond(c3, s2, 0.0);   // S2 has no further neighbour
    m.bond(c4, al, 0.0);
    m.bond(al, c1, -0.1);
    m.bond(c4, mg, 0.0);
    m.bond(mg, c3, -0.1);
    m.named();
    EXPECT_EQ(m.name(c1), "C1s[1c]1al[1c]");
    EXPECT_EQ(m.name(c3), "C1s1mg");
    EXPECT_EQ(m.name(c4), "C1al[1c]1mg");  // magnesium itself is not heavier than magnesium
}

TEST(QuandrelNames, SecondShellFollowsTheNodeOrderAndSkipsTheCentre) {
    ScratchDir dir;
    Molecule m;
    int c1 = m.add("C1", "C");
    int c2 = m.add("C2", "C");
    int n = m.add("N1", "N");
    int o = m.add("O1", "O");
    m.bond(c1, c2, 0.12);
    m.bond(c2, n, 0.0);
    m.bond(c2, o, 0.2);
    m.named();
    EXPECT_EQ(m.name(c1), "C1.5c[2o1n]");
}

TEST(QuandrelNames, PlanarityListingAndHeading) {
    ScratchDir dir;
    Molecule m;
    m.add("C(1)", "C");
    m.add("O(1)", "O");
    m.bond(0, 1, 0.2);
    Quandrel& q = m.named();
    // the listing follows the angle table of the node stage
    const std::vector<std::string> log = linesOf(logOf(q));
    const auto heading =
        std::find(log.begin(), log.end(), "How Planar is the coordinate sphere of the following atoms: (1 is planar)");
    ASSERT_GE(log.end() - heading, 4);
    EXPECT_EQ(heading[1], std::string(73, '='));
    EXPECT_EQ(heading[2], "C(1)" + std::string(26, ' ') + " 1.000000 0/2");
    EXPECT_EQ(heading[3], "O(1)" + std::string(26, ' ') + " 1.000000 1/2");
}

TEST(QuandrelNames, SameNameAsNamesTheFirstAtomWithThatName) {
    ScratchDir dir;
    Molecule m;
    benzene(m, true);
    Quandrel& q = m.named();
    EXPECT_EQ(q.perception.sameNameAs[0], "");
    for (int k = 1; k < 6; ++k) EXPECT_EQ(q.perception.sameNameAs[k], "C1") << k;
    EXPECT_EQ(q.perception.sameNameAs[6], "");
    for (int k = 7; k < 12; ++k) EXPECT_EQ(q.perception.sameNameAs[k], "H1") << k;
}

// Beyond the old capacity of 3,200 atoms; the speed at scale is measured by bench_scale.
TEST(QuandrelNames, SameNameAsPointsToTheFirstAtomOfTheNameInALargeStructure) {
    ScratchDir dir;
    Molecule m;
    const int MAX_ATOMS = 12800;
    for (int i = 0; i < MAX_ATOMS; ++i) m.add("X" + std::to_string(i), i % 2 ? "C" : "N", 1 + (i % 50) * 0.5, 1 + (i / 50) * 0.4, 1);
    for (int i = 0; i + 1 < MAX_ATOMS; i += 2) m.bond(i, i + 1, 0.0);
    Quandrel& q = m.named();
    EXPECT_STREQ(q.perception.quandrelName[0], "N1c");
    EXPECT_EQ(q.perception.sameNameAs[0], "");
    EXPECT_EQ(q.perception.sameNameAs[1], "");
    EXPECT_EQ(q.perception.sameNameAs[MAX_ATOMS - 2], "X0");
    EXPECT_EQ(q.perception.sameNameAs[MAX_ATOMS - 1], "X1");
}

// A carbon with 11 neighbours far in rings, each with two more such neighbours: the name
// would be about 400 characters. The message keeps its first line, then gives the likely
// cause and what to do: two neighbours of one atom far closer than atoms can be are
// alternative sites; else the neighbourhood is taken for a framework that never closes.
TEST(QuandrelNames, NameLongerThan279CharactersStopsTheRunNamingTheAtomAndTheCause) {
    const struct Row {
        const char* what;
        bool overlap;  // X0_1 is put 0.5 A from X0_0
        const char* cause;
    } rows[] = {
        {"a framework", false,
         "\nLikely cause: a framework or ionic solid, whose bonded neighbourhood never closes (34 atoms are reached "
         "through bonds from C0; no two neighbours of one atom are closer than 1.0 A).\nWhat to do: run with "
         "-asymOnly (or without -symmBonds) to name the input atoms alone, or give the atom its name in "
         "Quandrele.in.\n"},
        {"overlapping alternative sites", true,
         "\nLikely cause: overlapping alternative sites of a disorder; X0_0 and X0_1, both bonded to one atom of its "
         "neighbourhood, are 0.500 A apart.\nWhat to do: give the alternative sites disorder groups (SHELX PART, "
         "the CIF's _atom_site_disorder_group or xd_part.aux), or leave out all but one of them.\n"},
    };
    for (const Row& row : rows) {
        ScratchDir dir;
        Molecule m;
        int c = m.add("C0", "C");
        for (int k = 0; k < 11; ++k) {
            int s = m.add("S" + std::to_string(k), "S");
            m.bond(c, s, 0.0);
            m.ring(s, 987654321, 0);
            for (int j = 0; j < 2; ++j) {
                const bool close = row.overlap && k == 0;
                int x = close ? m.add("X0_" + std::to_string(j), "S", 20.0 + 0.5 * j, 20.0, 20.0)
                              : m.add("X" + std::to_string(k) + "_" + std::to_string(j), "S");
                m.bond(s, x, 0.0);
                m.ring(x, 987654321, 0);
            }
        }
        Quandrel& q = m.build();
        const std::string first = "The quandrel name of atom C0 would be longer than 279 characters:\n";
        const Stopped s = failureOf([&] { getNames(perceiving(q), m.bondCount()); });
        EXPECT_TRUE(s.stopped && s.code == 1) << row.what;
        const std::size_t at = s.err.find(first);
        ASSERT_NE(at, std::string::npos) << s.err;
        EXPECT_EQ(s.err.find(row.cause), s.err.find('\n', at + first.size()) ) << row.what << "\n" << s.err;
    }
}

// ---- charges ("Ions" 1 and 2); an ion is an atom type whose electron count differs from
// its atomic number ----

namespace {

// Na (one electron short) and Cl (one electron over), unbonded; a carbon with three
// delocalised bonds carries half a charge.
struct IonPair {
    Molecule m;
    int na = -1, cl = -1;
    IonPair(int ions, bool withChloride = true) {
        na = m.add("Na1", "Na");
        if (withChloride) cl = m.add("Cl1", "Cl");
        Quandrel& q = m.build();
        q.opt.ions = ions;
        for (int t = 0; t < q.structure.nScat; ++t) {
            if (std::string(q.structure.scatTable[t].symbol) == "Na") q.structure.scatTable[t].electrons = 10;
            if (std::string(q.structure.scatTable[t].symbol) == "Cl") q.structure.scatTable[t].electrons = 18;
        }
    }
};

}  // namespace

TEST(QuandrelNameCharges, IonsOneAppendsSignAndValue) {
    ScratchDir dir;
    IonPair p(1);
    Quandrel& q = p.m.q();
    q.perception.totalOxi = 0.0;
    const std::string err = captureStderr([&] { getNames(perceiving(q), 0); });
    EXPECT_EQ(p.m.name(p.na), "Na+1.0");
    EXPECT_EQ(p.m.name(p.cl), "Cl-1.0");
    std::string log = logOf(q);
    EXPECT_NE(log.find("New Quandrelname = Na+1.0\n"), std::string::npos);
    EXPECT_NE(log.find("New Quandrelname = Cl-1.0\n"), std::string::npos);
    EXPECT_NE(log.find("total charge is  0.0 and sum over Oxidation numbers is 0.000000. This is OK!\n"),
              std::string::npos);
    EXPECT_EQ(err, "total charge is  0.0. This is OK!\n");
}

TEST(QuandrelNameCharges, IonsTwoAppendsTheSignOnly) {
    ScratchDir dir;
    IonPair p(2);
    getNames(perceiving(p.m.q()), 0);
    EXPECT_EQ(p.m.name(p.na), "Na+");
    EXPECT_EQ(p.m.name(p.cl), "Cl-");
}

TEST(QuandrelNameCharges, UnbalancedChargeIsReportedAsAProblem) {
    ScratchDir dir;
    IonPair p(1, false);
    const std::string err = captureStderr([&] { getNames(perceiving(p.m.q()), 0); });
    EXPECT_EQ(err, "total charge is  1.0. This is probably a problem please check!\n");
}

TEST(QuandrelNameCharges, HalfChargeIsWrittenWithIonsOneAndDroppedWithIonsTwo) {
    for (int ions : {1, 2}) {
        ScratchDir dir;
        Molecule m;
        int c = m.add("C1", "C");
        for (int k = 0; k < 3; ++k) {
            int o = m.add("C" + std::to_string(k + 2), "C");
            m.bond(c, o, 0.15);
        }
        Quandrel& q = m.build();
        q.opt.ions = ions;
        getNames(perceiving(q), m.bondCount());
        std::string log = logOf(q);
        if (ions == 1) {
            EXPECT_EQ(m.name(c), "C1.5c1.5c1.5c-0.5");
            EXPECT_NE(log.find("New Quandrelname = C1.5c1.5c1.5c-0.5\n"), std::string::npos);
        } else {
            EXPECT_EQ(m.name(c), "C1.5c1.5c1.5c");
            EXPECT_NE(log.find("New Quandrelname = C1.5c1.5c1.5c\n"), std::string::npos);
        }
    }
}

TEST(QuandrelNameCharges, WithoutIonsNoChargeLines) {
    ScratchDir dir;
    IonPair p(0);
    const std::string err = captureStderr([&] { getNames(perceiving(p.m.q()), 0); });
    EXPECT_EQ(p.m.name(p.na), "Na");
    EXPECT_EQ(err, "");
    EXPECT_EQ(logOf(p.m.q()).find("total charge"), std::string::npos);
}
