// Hydrogen Uiso and riding constraints in "H-Uiso-constrain.txt".
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "output/writer.h"
#include "testutil.h"

namespace {

// Eleven atoms before a methyl hydrogen H(5) (number 12) bonded to C(3) (number 5).
struct Methyl {
    ScratchDir dir;
    std::unique_ptr<Records> r;
    int c3 = 4, h5 = 11;

    explicit Methyl(const double cell[6]) {
        StructureBuilder b;
        b.setCell(cell[0], cell[1], cell[2], cell[3], cell[4], cell[5]);
        for (int i = 0; i < 12; ++i) {
            const char* labels[] = {"O(1)", "O(2)", "C(1)", "C(2)", "C(3)", "N(1)",
                                    "C(4)", "C(5)", "C(6)", "C(7)", "C(8)", "H(5)"};
            std::string label = labels[i];
            b.add(label, i == 11 ? "H" : (label[0] == 'O' ? "O" : label[0] == 'N' ? "N" : "C"), 1.0 + i, 2.0, 3.0);
        }
        r.reset(new Records(b.structure()));
        connect(*r, h5, {c3});
        name(r->perception, h5, "H1c[1c1h1h]");
        setU(r->model().atom[c3], 0.03, 0.02, 0.04, 0.001, 0.002, 0.003);
        setU(r->model().atom[h5], 0.05, 0.05, 0.05);
        r->opt.uisoConstrain = true;
    }
};

const double CUBIC[6] = {10, 10, 10, 90, 90, 90};

// Equivalent isotropic U from the metric tensor, written independently of the stage.
double ueq(const double cell[6], const double u[6]) {
    const double d = M_PI / 180;
    double g[3][3] = {{cell[0] * cell[0], cell[0] * cell[1] * cos(cell[5] * d), cell[0] * cell[2] * cos(cell[4] * d)},
                      {0, cell[1] * cell[1], cell[1] * cell[2] * cos(cell[3] * d)},
                      {0, 0, cell[2] * cell[2]}};
    g[1][0] = g[0][1];
    g[2][0] = g[0][2];
    g[2][1] = g[1][2];
    double det = g[0][0] * (g[1][1] * g[2][2] - g[1][2] * g[2][1]) - g[0][1] * (g[1][0] * g[2][2] - g[1][2] * g[2][0]) +
                 g[0][2] * (g[1][0] * g[2][1] - g[1][1] * g[2][0]);
    double star[3] = {sqrt((g[1][1] * g[2][2] - g[1][2] * g[2][1]) / det),
                      sqrt((g[0][0] * g[2][2] - g[0][2] * g[2][0]) / det),
                      sqrt((g[0][0] * g[1][1] - g[0][1] * g[1][0]) / det)};
    double U[3][3] = {{u[0], u[3], u[4]}, {u[3], u[1], u[5]}, {u[4], u[5], u[2]}};
    double sum = 0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) sum += U[i][j] * star[i] * star[j] * g[i][j];
    return sum / 3;
}

}  // namespace

TEST(HydrogenConstraints, MethylHydrogenInAnOrthogonalCell) {
    Methyl m(CUBIC);
    auto s = capture(*m.r, [&] { huconstrain(m.r->transferring()); });
    EXPECT_EQ(s.out, "Hydrogen Uiso constrain!!\n");
    EXPECT_EQ(m.dir.read("H-Uiso-constrain.txt"),
              "!These are hydrogen Uiso constraints like in SHELXL \n"
              "CON 0.500000 U11/5  0.500000 U22/5  0.500000 U33/5   -1 U11/12 = 0\n"
              "! Atom 5 is C(3), atom 12 is H(5)\n");
    EXPECT_NEAR(m.r->model().atom[m.h5].u[0], 1.5 * 0.03, 1e-12);
    EXPECT_EQ(s.log, "Uiso of H(5) was 0.050000 and will be changed to 0.045000\n");
}

TEST(HydrogenConstraints, CellCaseFollowsExactComparisonWith90) {
    struct Row {
        double cell[6];
        const char* kind;
    } rows[] = {
        {{10, 11, 12, 90, 90, 90}, "orthogonal"},
        {{10, 11, 12, 90, 100, 90}, "monoclinic"},
        {{10, 11, 12, 90, 90.0001, 90}, "monoclinic"},
        {{10, 11, 12, 80, 100, 110}, "triclinic"},
        {{10, 11, 12, 90.0001, 90.0001, 90.0001}, "triclinic"},
        {{10, 10, 12, 90, 90, 120}, "orthogonal"},  // hexagonal
        {{10, 11, 12, 100, 90, 90}, "orthogonal"},
        {{10, 11, 12, 90, 100, 100}, "orthogonal"},
    };
    for (const Row& row : rows) {
        Methyl m(row.cell);
        capture(*m.r, [&] { huconstrain(m.r->transferring()); });
        std::string con = linesOf(m.dir.read("H-Uiso-constrain.txt")).at(1);
        const bool hasU12 = con.find("U12/5") != std::string::npos;
        const bool hasU13 = con.find("U13/5") != std::string::npos;
        std::string kind = hasU12 ? "triclinic" : hasU13 ? "monoclinic" : "orthogonal";
        EXPECT_EQ(kind, row.kind) << con;

        const double* up = m.r->model().atom[m.c3].u;
        double terms[6] = {up[0], up[1], up[2], 0, 0, 0};
        if (kind == "triclinic")
            for (int k = 3; k < 6; ++k) terms[k] = up[k];
        if (kind == "monoclinic") terms[4] = up[4];
        EXPECT_NEAR(m.r->model().atom[m.h5].u[0], 1.5 * ueq(row.cell, terms), 1e-12) << con;
    }
}

TEST(HydrogenConstraints, LineFormatsOfTheThreeCellCases) {
    const double tri[6] = {10, 10, 10, 90.0001, 90.0001, 90.0001};
    Methyl t(tri);
    capture(*t.r, [&] { huconstrain(t.r->transferring()); });
    // 1.5 x 2/3 x cos(90.0001 degrees) = -1.745e-6
    EXPECT_EQ(linesOf(t.dir.read("H-Uiso-constrain.txt")).at(1),
              "CON 0.500000 U11/5  0.500000 U22/5  0.500000 U33/5  -0.000002 U12/5  -0.000002 U13/5  -0.000002 "
              "U23/5 -1 U11/12 = 0");
    const double mono[6] = {10, 10, 10, 90, 120, 90};
    Methyl m(mono);
    capture(*m.r, [&] { huconstrain(m.r->transferring()); });
    // a* = c* = 2/sqrt(3)/10, so k11 = k33 = 4/9 and k13 = 2 (2/sqrt(3))^2 cos(120)/3 = -4/9
    EXPECT_EQ(linesOf(m.dir.read("H-Uiso-constrain.txt")).at(1),
              "CON 0.666667 U11/5  0.500000 U22/5  0.666667 U33/5   -0.666667 U13/5   -1 U11/12 = 0");
    const double hex[6] = {10, 10, 10, 90, 90, 120};
    Methyl h(hex);
    capture(*h.r, [&] { huconstrain(h.r->transferring()); });
    // hexagonal: only U11, U22, U33 enter, although k12 is not zero
    EXPECT_EQ(linesOf(h.dir.read("H-Uiso-constrain.txt")).at(1),
              "CON 0.666667 U11/5  0.666667 U22/5  0.500000 U33/5   -1 U11/12 = 0");
    EXPECT_NEAR(h.r->model().atom[h.h5].u[0], 1.5 * (4.0 / 9 * 0.03 + 4.0 / 9 * 0.02 + 1.0 / 3 * 0.04), 1e-12);
}

TEST(HydrogenConstraints, FactorIsOneAndAHalfOnlyForMethylHydroxylAndWater) {
    struct Row {
        const char* name;
        const char* coefficient;
    } rows[] = {
        {"H1c[1c1h1h]", "0.500000"}, {"H1o[1c]", "0.500000"},     {"H1o[1h]", "0.500000"},
        {"H1c[1c1c1h]", "0.400000"}, {"H1n[1c1h1h]", "0.400000"}, {"H1o[1c1h]", "0.400000"},
        {"H1o[1c] ", "0.400000"},    {"H1c", "0.400000"},
    };
    for (const Row& row : rows) {
        Methyl m(CUBIC);
        name(m.r->perception, m.h5, row.name);
        capture(*m.r, [&] { huconstrain(m.r->transferring()); });
        EXPECT_EQ(linesOf(m.dir.read("H-Uiso-constrain.txt")).at(1).substr(4, 8), row.coefficient) << row.name;
    }
}

TEST(HydrogenConstraints, RidingLinesPutTheCommentBehindTheThirdLine) {
    Methyl m(CUBIC);
    m.r->opt.uisoConstrain = false;
    m.r->opt.ridingConstrain = true;
    auto s = capture(*m.r, [&] { huconstrain(m.r->transferring()); });
    EXPECT_EQ(s.out, "Riding hydrogens!!\n");
    EXPECT_EQ(m.dir.read("H-Uiso-constrain.txt"),
              "!These are riding hydrogen constraints.\n"
              "CON 1.0 X/5  -1.0 X/12 = 0\n"
              "CON 1.0 Y/5 -1.0 Y/12 = 0\n"
              "CON 1.0 Z/5 -1.0 Z/12 = 0! Atom 5 is C(3), atom 12 is H(5)\n");
    EXPECT_DOUBLE_EQ(m.r->model().atom[m.h5].u[0], 0.05) << "riding alone leaves Uiso alone";
    EXPECT_EQ(s.log, "");
}

TEST(HydrogenConstraints, BothWritesTheUisoBlockFirst) {
    Methyl m(CUBIC);
    m.r->opt.ridingConstrain = true;
    auto s = capture(*m.r, [&] { huconstrain(m.r->transferring()); });
    EXPECT_EQ(s.out, "Hydrogen Uiso constrain!!\nRiding hydrogens!!\n");
    std::string text = m.dir.read("H-Uiso-constrain.txt");
    std::size_t uiso = text.find("!These are hydrogen Uiso constraints");
    std::size_t riding = text.find("!These are riding hydrogen constraints.");
    ASSERT_NE(riding, std::string::npos);
    EXPECT_EQ(uiso, 0u);
    EXPECT_EQ(linesOf(text).size(), 7u);
}

TEST(HydrogenConstraints, NoneLeavesAnEmptyFile) {
    Methyl m(CUBIC);
    m.r->opt.uisoConstrain = false;
    m.dir.write("H-Uiso-constrain.txt", "old lines\n");
    auto s = capture(*m.r, [&] { huconstrain(m.r->transferring()); });
    EXPECT_TRUE(m.dir.exists("H-Uiso-constrain.txt"));
    EXPECT_EQ(m.dir.read("H-Uiso-constrain.txt"), "");
    EXPECT_EQ(s.out, "");
    EXPECT_DOUBLE_EQ(m.r->model().atom[m.h5].u[0], 0.05);
}

TEST(HydrogenConstraints, HydrogenIsTheElementNotTheFirstLetterOfTheLabel) {
    ScratchDir dir;
    StructureBuilder b(10);
    int hg = b.add("Hg1", "Hg", 1, 1, 1);
    int cl = b.add("Cl1", "Cl", 3, 1, 1);
    int c = b.add("C1", "C", 5, 1, 1);
    int x = b.add("X1", "H", 6, 1, 1);  // a hydrogen whose label does not begin with H
    Records r(b.structure());
    connect(r, hg, {cl});
    connect(r, c, {x});
    connect(r, x, {c});
    setU(r.model().atom[hg], 0.02, 0.02, 0.02);
    setU(r.model().atom[cl], 0.03, 0.03, 0.03);
    setU(r.model().atom[c], 0.03, 0.03, 0.03);
    r.opt.uisoConstrain = r.opt.ridingConstrain = true;
    capture(r, [&] { huconstrain(r.transferring()); });
    EXPECT_DOUBLE_EQ(r.model().atom[hg].u[0], 0.02) << "the mercury atom keeps its U11";
    std::string text = dir.read("H-Uiso-constrain.txt");
    EXPECT_EQ(text.find("Hg1"), std::string::npos) << text;
    EXPECT_NE(text.find("! Atom 3 is C1, atom 4 is X1\n"), std::string::npos) << text;
    EXPECT_NEAR(r.model().atom[x].u[0], 1.2 * 0.03, 1e-12);
}

TEST(HydrogenConstraints, HydrogenWithoutNeighbourIsSkippedWithAWarning) {
    Methyl m(CUBIC);
    int lone = 0;
    {
        // one more hydrogen, without neighbours, in front of the methyl hydrogen
        StructureBuilder b;
        lone = b.add("H(9)", "H", 1, 1, 1);
        b.add("C(3)", "C", 2, 2, 2);
        b.add("H(5)", "H", 3, 3, 3);
        m.r.reset(new Records(b.structure()));
        connect(*m.r, 2, {1});
        setU(m.r->model().atom[1], 0.03, 0.03, 0.03);
        setU(m.r->model().atom[lone], 0.05, 0.05, 0.05);
        m.r->opt.uisoConstrain = m.r->opt.ridingConstrain = true;
    }
    auto s = capture(*m.r, [&] { huconstrain(m.r->transferring()); });
    // perception has named it already (tests/chem/test_lone_hydrogen.cpp): no second warning
    EXPECT_EQ(s.err, "");
    EXPECT_DOUBLE_EQ(m.r->model().atom[lone].u[0], 0.05);
    std::string text = m.dir.read("H-Uiso-constrain.txt");
    EXPECT_EQ(text.find("H(9)"), std::string::npos);
    EXPECT_EQ(countOf(text, "CON "), 1 + 3);
    EXPECT_EQ(text.find("nan"), std::string::npos);
}
