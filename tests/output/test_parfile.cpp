// The new parameter file "xd.res.quandreltool" and the rebuilt kappa sets.
#include <gtest/gtest.h>

#include <string>

#include "output/writer.h"
#include "testutil.h"

namespace {

void setKappa(AtomRecord& a, double first, double rest) {
    a.kappa[0] = first;
    for (int v = 1; v < 6; ++v) a.kappa[v] = rest;
}

// A carbon and a half-occupied hydrogen with one dummy behind them.
std::unique_ptr<Quandrel> twoAtoms() {
    StructureBuilder b;
    b.add("C1", "C", 1, 1, 1);
    b.add("H1", "H", 2, 1, 1);
    auto q = b.build();
    std::snprintf(q->transfer.model.title, sizeof q->transfer.model.title, "test");
    const int rest[10] = {2, 0, 1, 4, 0, 1, 0, 1, 0, 0};
    for (int k = 0; k < 10; ++k) q->transfer.model.usageRest[k] = rest[k];
    q->transfer.model.multipoleLevel = 2;
    q->transfer.model.nDummy = 1;
    q->transfer.model.atom[2].frac[0] = 0.1;
    q->transfer.model.atom[2].frac[1] = 0.2;
    q->transfer.model.atom[2].frac[2] = 0.3;
    struct {
        int ax1, ax2, atom0, atom1, atom2, tbl, kap;
        double frac[3], occupancy, u[6], pv;
    } rows[] = {
        {3, 2, 2, 1, 3, 1, 1, {0.536955, 0.253269, 0.459459}, 1.0,
         {0.01446, 0.013653, 0.02044, -0.001454, 0.000277, -0.001733}, 4.0},
        {3, 1, 1, 2, 3, 2, 2, {0.415257, 0.227736, 0.436485}, 0.5, {0.0243, 0.0243, 0.0243, 0, 0, 0}, 0.8},
    };
    for (int i = 0; i < 2; ++i) {
        AtomRecord& a = q->transfer.model.atom[i];
        a.ax1 = rows[i].ax1;
        a.ax2 = rows[i].ax2;
        a.atom0 = rows[i].atom0;
        a.atom1 = rows[i].atom1;
        a.atom2 = rows[i].atom2;
        a.tbl = rows[i].tbl;
        a.kap = rows[i].kap;
        for (int k = 0; k < 3; ++k) a.frac[k] = rows[i].frac[k];
        a.occupancy = rows[i].occupancy;
        for (int k = 0; k < 6; ++k) a.u[k] = rows[i].u[k];
        a.multipole[0] = rows[i].pv;
        for (int k = 1; k < 26; ++k) a.multipole[k] = 0.01 * k;
    }
    q->transfer.model.nKappa = 1;
    q->transfer.model.kappaNo[0] = 1;
    for (int v = 0; v < 6; ++v) q->transfer.model.kappaSet[v][0] = 1.0;
    q->transfer.model.nTrailing = 2;
    q->transfer.model.trailingValues[0] = 0.5;
    q->transfer.model.trailingValues[1] = -1.25e-3;
    return q;
}

}  // namespace

TEST(KappaSets, OneSetPerFirstKappaAndScatteringType) {
    ScratchDir dir;
    StructureBuilder b;
    b.add("C1", "C", 1, 1, 1);
    b.add("N1", "N", 2, 1, 1);
    b.add("C2", "C", 3, 1, 1);
    b.add("C3", "C", 4, 1, 1);
    b.add("C4", "C", 5, 1, 1);
    auto q = b.build();
    setKappa(q->transfer.model.atom[0], 1.0, 0.9);
    setKappa(q->transfer.model.atom[1], 1.0, 0.9);        // same first kappa, other tbl: a set of its own
    setKappa(q->transfer.model.atom[2], 1.0, 0.8);        // same tbl and first kappa: shares the set of C1
    setKappa(q->transfer.model.atom[3], 1.0000001, 0.9);  // differs in the last digit: a set of its own
    setKappa(q->transfer.model.atom[4], 1.0, 0.7);
    q->transfer.model.nKappa = 7;
    for (int k = 0; k < 7; ++k) q->transfer.model.kappaNo[k] = k + 1;
    rebuildKappaSets(writing(*q));
    EXPECT_EQ(q->transfer.model.nKappa, 3);
    const int kap[] = {1, 2, 1, 3, 1};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(q->transfer.model.atom[i].kap, kap[i]) << q->transfer.model.atom[i].label;
    EXPECT_EQ(q->transfer.model.kappaNo[0], 1);
    EXPECT_EQ(q->transfer.model.kappaNo[1], 2);
    EXPECT_EQ(q->transfer.model.kappaNo[2], 1);
    EXPECT_DOUBLE_EQ(q->transfer.model.kappaSet[1][0], 0.9) << "the set keeps the values of its first atom";
    EXPECT_DOUBLE_EQ(q->transfer.model.kappaSet[0][2], 1.0000001);
    EXPECT_EQ(q->transfer.model.kappaNo[3], -1) << "old sets are cleared";
    EXPECT_DOUBLE_EQ(q->transfer.model.kappaSet[0][3], 0.0);
}

TEST(KappaSets, NoAtomsNoSets) {
    ScratchDir dir;
    StructureBuilder b;
    auto q = b.build();
    q->transfer.model.nKappa = 4;
    rebuildKappaSets(writing(*q));
    EXPECT_EQ(q->transfer.model.nKappa, 0);
}

TEST(KappaSets, CapacityOf999SetsIsKept) {
    ScratchDir dir;
    StructureBuilder b(100);
    for (int i = 0; i < MAX_KAPPA + 1; ++i) b.add("C" + std::to_string(i), "C", 0.05 * i, 1, 1);
    auto q = b.build();
    for (int i = 0; i <= MAX_KAPPA; ++i) setKappa(q->transfer.model.atom[i], 1.0 + 0.001 * (i % MAX_KAPPA), 1.0);
    rebuildKappaSets(writing(*q));
    EXPECT_EQ(q->transfer.model.nKappa, MAX_KAPPA) << "999 distinct sets fit; the 1000th atom shares the first set";
    EXPECT_EQ(q->transfer.model.atom[MAX_KAPPA].kap, 1);

    setKappa(q->transfer.model.atom[MAX_KAPPA], 2.5, 1.0);
    EXPECT_TRUE(stopsWith([&] { rebuildKappaSets(writing(*q)); }, 1, "more than 999 kappa sets"));
}

TEST(ParameterFile, LayoutOfTheWholeFile) {
    ScratchDir dir;
    auto q = twoAtoms();
    auto s = capture(*q, [&] { writeParameterFile(writing(*q), MonopoleCorrection()); });
    EXPECT_EQ(dir.read("xd.res.quandreltool"),
              "!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!\n"
              "!                 <<< QUANDREL-TRANSFER Multipole file >>>                    !\n"
              "!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!\n"
              "XDPARFILE VERSION  2\n"
              "test   MODEL  4  2  1  0\n"
              "LIMITS nat  2000 ntx  31 lmx  4 nzz  30 nto  0 nsc  20 ntb  20 nov   2500\n"
              "USAGE    2   2   4   1   0   1   4   0   1   0   1   0   0   1\n"
              "  0.000000  0.000000  0.000000  0.000000  0.000000  0.000000  0.000000 0.000E+00\n"
              " -2.000000  0.000000  0.000000  0.000000  0.000000  0.333333\n"
              "       0.100000       0.200000       0.300000\n"
              "C1        3 2    2    1    3 2  1  1 4  0   0  0.536955  0.253269  0.459459 1.0000\n"
              "  0.014460  0.013653  0.020440 -0.001454  0.000277 -0.001733\n"
              "  4.0000  0.0100  0.0200  0.0300  0.0400  0.0500  0.0600  0.0700  0.0800  0.0900\n"
              "  0.1000  0.1100  0.1200  0.1300  0.1400  0.1500  0.1600  0.1700  0.1800  0.1900\n"
              "  0.2000  0.2100  0.2200  0.2300  0.2400  0.2500\n"
              "H1        3 1    1    2    3 2  2  2 4  0   0  0.415257  0.227736  0.436485 0.5000\n"
              "  0.024300  0.024300  0.024300  0.000000  0.000000  0.000000\n"
              "  0.4000  0.0050  0.0100  0.0150  0.0200  0.0250  0.0300  0.0350  0.0400  0.0450\n"
              "  0.0500  0.0550  0.0600  0.0650  0.0700  0.0750  0.0800  0.0850  0.0900  0.0950\n"
              "  0.1000  0.1050  0.1100  0.1150  0.1200  0.1250\n"
              "  1  1.000000  1.000000  1.000000  1.000000  1.000000  1.000000\n"
              " 0.0000E+00 0.0000E+00 0.0000E+00  0.0000E+00  0.0000E+00  0.0000E+00 0.0000E+00\n"
              " 0.0000E+00\n"
              " 5.000000E-01-1.250000E-03\n");
    EXPECT_EQ(s.out, "");
}

TEST(ParameterFile, AnharmonicRecordsByTp) {
    ScratchDir dir;
    auto q = twoAtoms();
    AtomRecord& c = q->transfer.model.atom[0];
    c.atom0 = 12;
    c.atom1 = 123;
    c.atom2 = 1234;
    for (int k = 0; k < 10; ++k) c.c3[k] = 0.001 * (k + 1);
    for (int k = 0; k < 15; ++k) c.d4[k] = -0.0001 * (k + 1);
    q->transfer.model.atom[1].tp = 5;

    c.tp = 3;
    capture(*q, [&] { writeParameterFile(writing(*q), MonopoleCorrection()); });
    auto lines = linesOf(dir.read("xd.res.quandreltool"));
    EXPECT_EQ(lines[10], "C1        3 2   12 1231234 3  1  1 4  0   0  0.536955  0.253269  0.459459 1.0000");
    EXPECT_EQ(lines[12], "       0.001000       0.002000       0.003000       0.004000       0.005000");
    EXPECT_EQ(lines[13], "       0.006000       0.007000       0.008000       0.009000       0.010000");
    EXPECT_EQ(lines[14].substr(0, 8), "  4.0000");
    // tp above 4: no first lines, only the populations
    EXPECT_EQ(lines[17].substr(0, 8), "  0.4000");

    c.tp = 4;
    capture(*q, [&] { writeParameterFile(writing(*q), MonopoleCorrection()); });
    lines = linesOf(dir.read("xd.res.quandreltool"));
    EXPECT_EQ(lines[10].substr(0, 36), "C1        3 2   12 1231234 4  1  1 4");
    EXPECT_EQ(lines[14], "      -0.000100      -0.000200      -0.000300      -0.000400      -0.000500");
    EXPECT_EQ(lines[16], "      -0.001100      -0.001200      -0.001300      -0.001400      -0.001500");
    EXPECT_EQ(lines[17].substr(0, 8), "  4.0000") << "seven lines before the populations";
}

TEST(ParameterFile, MonopoleCarriesOccupancyAndCorrection) {
    ScratchDir dir;
    auto q = twoAtoms();
    q->perception.molecule[0] = q->perception.molecule[1] = 1;
    MonopoleCorrection c;
    c.mode = 0;
    c.corrAverage = {0.25};
    c.applies = {1};
    capture(*q, [&] { writeParameterFile(writing(*q), c); });
    auto lines = linesOf(dir.read("xd.res.quandreltool"));
    EXPECT_EQ(lines[12].substr(0, 16), "  4.2500  0.0100");
    EXPECT_EQ(lines[17].substr(0, 16), "  0.6500  0.0050") << "0.5 x 0.8 + 0.25";
}

TEST(ParameterFile, UncreatableFileStops) {
    ScratchDir dir;
    auto q = twoAtoms();
    std::string cmd = "mkdir " + dir.path() + "/xd.res.quandreltool";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const Stopped s = failureOf([&] { writeParameterFile(writing(*q), MonopoleCorrection()); });
    EXPECT_EQ(s.code, 1);
    EXPECT_TRUE(s.banner);
    EXPECT_EQ(s.message, "can't open xd.res.quandreltool. : Is a directory\n");
}

TEST(ParameterFile, PopulationTooWideForItsColumnsStopsBeforeTheFileIsWritten) {
    const double values[] = {1000.0, -100.0};
    for (double value : values) {
        ScratchDir dir;
        auto q = twoAtoms();
        q->transfer.model.atom[1].multipole[7] = value / 0.5;  // the hydrogen is half occupied
        const Stopped s = failureOf([&] { writeParameterFile(writing(*q), MonopoleCorrection()); });
        EXPECT_EQ(s.code, 1);
        EXPECT_EQ(s.message.rfind("Population 8 of atom H1 is ", 0), 0u) << s.message;
        EXPECT_NE(s.message.find(" does not fit the 8 columns"), std::string::npos) << s.message;
        EXPECT_FALSE(dir.exists("xd.res.quandreltool"));
    }
    ScratchDir dir;
    auto q = twoAtoms();
    q->transfer.model.atom[0].multipole[7] = 999.9999;
    q->transfer.model.atom[1].multipole[7] = -2 * 99.9999;
    capture(*q, [&] { writeParameterFile(writing(*q), MonopoleCorrection()); });
    EXPECT_TRUE(dir.exists("xd.res.quandreltool")) << "the widest values that fit are written";
}

TEST(ParameterFile, AnharmonicFrameAtomsBeyondFourColumnsStopBeforeAnyFileIsWritten) {
    ScratchDir dir;
    auto q = twoAtoms();
    q->transfer.model.atom[0].tp = 3;
    q->transfer.model.atom[0].atom2 = 10000;
    const Stopped s = failureOf([&] { q->setupNewInpAndMasFile(); });
    EXPECT_EQ(s.code, 1);
    EXPECT_NE(s.message.find("has frame atoms "), std::string::npos) << s.message;
    EXPECT_NE(s.message.find(" and 10000: its line in the parameter file has four columns"), std::string::npos)
        << s.message;
    EXPECT_FALSE(dir.exists("xd.res.quandreltool"));
}

TEST(ParameterFile, ChemconBeyondFourColumnsStopsBeforeAnyFileIsWritten) {
    for (int chemCon : {10000, -1000}) {
        ScratchDir dir;
        auto q = twoAtoms();
        q->transfer.model.atom[1].chemCon = chemCon;
        const Stopped s = failureOf([&] { q->setupNewInpAndMasFile(); });
        EXPECT_EQ(s.code, 1) << chemCon;
        EXPECT_NE(s.message.find("has CHEMCON " + std::to_string(chemCon) + ": its line in the parameter file has "
                                 "four columns for it"),
                  std::string::npos)
            << s.message;
        EXPECT_FALSE(dir.exists("xd.res.quandreltool"));
    }
}
