// Stereocentres, the planar-nitrogen mark and the per-atom name listing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "naming/molecule.h"
#include "testutil.h"

namespace {

// Position at bond length r from the centre (10,10,10): azimuth in degrees, above the xy plane.
struct Pos {
    double x, y, z;
};
Pos upper(double azimuthDeg, double r) {
    double a = azimuthDeg * 3.14159265358979 / 180.0;
    return {10 + r * 0.943 * std::cos(a), 10 + r * 0.943 * std::sin(a), 10 + r * 0.333};
}

// C(F)(Cl)(Br)H with H pointing down (away from a viewer above); seen from above, Br, Cl
// and F follow each other clockwise: the R configuration. mirrored swaps F and Cl.
Quandrel& halomethane(Molecule& m, bool mirrored) {
    Pos f = upper(mirrored ? -30 : 210, 1.35);
    Pos cl = upper(mirrored ? 210 : -30, 1.77);
    Pos br = upper(90, 1.94);
    int c = m.add("C1", "C", 10, 10, 10);
    int fi = m.add("F1", "F", f.x, f.y, f.z);
    int cli = m.add("Cl1", "Cl", cl.x, cl.y, cl.z);
    int bri = m.add("Br1", "Br", br.x, br.y, br.z);
    int h = m.add("H1", "H", 10, 10, 10 - 1.09);
    m.bond(c, fi, 0.0);
    m.bond(c, cli, 0.0);
    m.bond(c, bri, 0.0);
    m.bond(c, h, 0.03);
    return m.named();
}

std::string runAsymm(Quandrel& q) {
    return captureStdout([&] { asymm(perceiving(q)); });
}

std::string listing(const char* label, int index, const char* name) {
    char line[400];
    std::snprintf(line, sizeof line, "%-30s is quandrel %5d: %s\n", label, index, name);
    return line;
}

}  // namespace

TEST(Chirality, BromochlorofluoromethaneIsR) {
    ScratchDir dir;
    Molecule m;
    Quandrel& q = halomethane(m, false);
    std::string out = runAsymm(q);
    EXPECT_EQ(m.name(0), "R-C1br1cl1f1h");
    EXPECT_EQ(out,
              "The quandrel of the atom C1 is chiral R \n" + listing("C1", 0, "R-C1br1cl1f1h") +
                  listing("F1", 1, "F1c") + listing("Cl1", 2, "Cl1c") + listing("Br1", 3, "Br1c") +
                  listing("H1", 4, "H1c[1br1cl1f]") + "1 chiral quandrel\n");
    EXPECT_EQ(dir.read("Quandrele.out"), "C1: R-C1br1cl1f1h\nF1: F1c\nCl1: Cl1c\nBr1: Br1c\nH1: H1c[1br1cl1f]\n");
    std::string log = dir.read("Quandrele.log");
    EXPECT_NE(log.find("The quandrel of the atom C1 is chiral R \n" + listing("C1", 0, "R-C1br1cl1f1h")),
              std::string::npos);
}

TEST(Chirality, MirrorImageIsS) {
    ScratchDir dir;
    Molecule m;
    Quandrel& q = halomethane(m, true);
    std::string out = runAsymm(q);
    EXPECT_EQ(m.name(0), "S-C1br1cl1f1h");
    EXPECT_NE(out.find("The quandrel of the atom C1 is chiral S \n"), std::string::npos);
    EXPECT_NE(dir.read("Quandrele.log").find("The quandrel of the atom C1 is chiral S \n"), std::string::npos);
}

TEST(Chirality, FourNeighboursAreReorderedByElectronCountButMarginsStay) {
    ScratchDir dir;
    Molecule m;
    Quandrel& q = halomethane(m, false);
    const Knopf before = q.perception.knopf[0];
    ASSERT_EQ(before.nachbar[0], 4);  // hydrogen has the largest margin
    runAsymm(q);
    const Knopf& after = q.perception.knopf[0];
    EXPECT_EQ(after.nachbar[0], 3);  // Br
    EXPECT_EQ(after.nachbar[1], 2);  // Cl
    EXPECT_EQ(after.nachbar[2], 1);  // F
    EXPECT_EQ(after.nachbar[3], 4);  // H
    for (int k = 0; k < 4; ++k) EXPECT_EQ(after.marge[k], before.marge[k]) << k;
}

TEST(Chirality, TwoEqualElectronCountsMakeNoStereocentre) {
    ScratchDir dir;
    Molecule m;
    int c = m.add("C1", "C", 10, 10, 10);
    Pos p1 = upper(90, 1.5), p2 = upper(210, 1.5), p3 = upper(-30, 1.47);
    int c2 = m.add("C2", "C", p1.x, p1.y, p1.z);
    int c3 = m.add("C3", "C", p2.x, p2.y, p2.z);
    int n = m.add("N1", "N", p3.x, p3.y, p3.z);
    int h = m.add("H1", "H", 10, 10, 8.91);
    for (int a : {c2, c3, n}) m.bond(c, a, 0.0);
    m.bond(c, h, 0.03);
    Quandrel& q = m.named();
    std::string out = runAsymm(q);
    EXPECT_EQ(m.name(c), "C1n1c1c1h");
    EXPECT_EQ(out.find("chiral R"), std::string::npos);
    EXPECT_EQ(out.find("chiral S"), std::string::npos);
    EXPECT_NE(out.find("\n0 chiral quandrels\n"), std::string::npos);
}

TEST(Chirality, ThreeNeighboursAreNeverExaminedButListed) {
    ScratchDir dir;
    Molecule m;
    int c = m.add("C1", "C", 10, 10, 10);
    Pos p1 = upper(90, 1.94), p2 = upper(210, 1.77), p3 = upper(-30, 1.35);
    m.add("Br1", "Br", p1.x, p1.y, p1.z);
    m.add("Cl1", "Cl", p2.x, p2.y, p2.z);
    m.add("F1", "F", p3.x, p3.y, p3.z);
    for (int a = 1; a <= 3; ++a) m.bond(c, a, 0.0);
    Quandrel& q = m.named();
    std::string out = runAsymm(q);
    EXPECT_EQ(m.name(c), "C1br1cl1f");
    EXPECT_NE(out.find(listing("C1", 0, "C1br1cl1f")), std::string::npos);
    EXPECT_NE(out.find("0 chiral quandrels\n"), std::string::npos);
}

TEST(Chirality, EveryNameIsBroughtIntoCanonicalOrder) {
    ScratchDir dir;
    Molecule m;
    m.add("C(7)", "C");
    Quandrel& q = m.build();
    std::snprintf(q.perception.quandrelName[0], NAME_CAP, "%s", "C1h@3c2o1.5c[1.5c1h]");
    std::string out = runAsymm(q);
    EXPECT_EQ(m.name(0), "C2o1.5c[1.5c1h]@3c1h");
    EXPECT_EQ(out, listing("C(7)", 0, "C2o1.5c[1.5c1h]@3c1h") + "0 chiral quandrels\n");
}

// A nitrogen on a foreign ring ("N@") is marked "=-" when its neighbourhood is planar
// beyond 0.9; a planarity never computed (-1.0) does not count.
TEST(Chirality, PlanarNitrogenOnARingIsMarked) {
    struct Row {
        double planarity;
        const char* name;
    };
    const Row rows[] = {{0.95, "=-N@6c1h1h"}, {0.91, "=-N@6c1h1h"}, {0.9, "N@6c1h1h"}, {-1.0, "N@6c1h1h"}};
    for (const Row& r : rows) {
        ScratchDir dir;
        Molecule m;
        int n = m.add("N1", "N");
        int c = m.add("C1", "C");
        int h1 = m.add("H1", "H");
        int h2 = m.add("H2", "H");
        m.bond(n, c, 0.0);
        m.bond(n, h1, 0.03);
        m.bond(n, h2, 0.03);
        m.ring(c, 6, 1);
        Quandrel& q = m.named();
        q.perception.planarCache[n] = r.planarity;
        runAsymm(q);
        EXPECT_EQ(m.name(n), r.name) << "planarity " << r.planarity;
    }
}

TEST(Chirality, PrefixThatFillsTheNameExactlyIsKept) {
    ScratchDir dir;
    Molecule m;
    m.add("N1", "N");
    Quandrel& q = m.build();
    std::string name = "N@65c";
    while (name.size() < 277) name += "1h";
    ASSERT_EQ(name.size(), 277u);
    std::snprintf(q.perception.quandrelName[0], NAME_CAP, "%s", name.c_str());
    q.perception.planarCache[0] = 1.0;
    runAsymm(q);
    EXPECT_EQ(m.name(0), "=-" + name);
}

TEST(Chirality, PrefixBeyond279CharactersStopsTheRunNamingTheAtom) {
    ScratchDir dir;
    Molecule m;
    m.add("N(17)", "N");
    Quandrel& q = m.build();
    std::string name = "N@6c";
    while (name.size() < 278) name += "1h";
    std::snprintf(q.perception.quandrelName[0], NAME_CAP, "%s", name.c_str());
    q.perception.planarCache[0] = 1.0;
    const Stopped s = failureOf([&] { asymm(perceiving(q)); });
    EXPECT_TRUE(s.stopped && s.code == 1 && s.banner);
    EXPECT_NE(s.err.find("The quandrel name of atom N(17) would be longer than 279 characters:\n"), std::string::npos)
        << s.err;
    EXPECT_NE(s.err.find(name + "\nLikely cause: a framework or ionic solid"), std::string::npos) << s.err;
}
