// Bond-axis symmetry analysis: axes, orders, descriptors and the report lines.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "testutil.h"

namespace {

// What one analysis printed.
struct Report {
    std::string out;  // standard output
    std::string log;  // Quandrele.log
};

// Every test works in a scratch directory of its own.
class BondAxis : public testing::Test {
protected:
    ScratchDir dir_;
};

// Bonds the centre to its neighbours, in this order, and each neighbour back to the
// centre; names every atom "<label>q" unless it has a name already.
void bondToCentre(Quandrel& q, int centre, const std::vector<int>& neighbours) {
    q.perception.knopf.resize(q.structure.nAtoms);
    Knopf& c = q.perception.knopf[centre];
    for (int nb : neighbours) {
        c.nachbar[c.anzahl++] = nb;
        Knopf& back = q.perception.knopf[nb];
        back.nachbar[back.anzahl++] = centre;
    }
    for (int i = 0; i < q.structure.nAtoms; ++i)
        if (q.perception.quandrelName[i][0] == '\0') std::snprintf(q.perception.quandrelName[i], NAME_CAP, "%sq", q.structure.atom[i].label);
}

Report analyse(Quandrel& q) {
    Report r;
    r.out = captureStdout([&] { findSomeSymm(perceiving(q)); });
    std::fflush(q.logFile);
    r.log = slurp("Quandrele.log");
    return r;
}

// The descriptor printed on standard output for the atom with this label.
std::string descriptorOf(const Report& r, const std::string& label) {
    for (const std::string& line : linesOf(r.out)) {
        const std::string head = label + "'s local symmetry ";
        if (line.compare(0, head.size(), head) != 0) continue;
        std::size_t bar = line.rfind(" |(");
        return line.substr(head.size(), bar - head.size());
    }
    return "<no line for " + label + ">";
}

std::vector<std::string> wordsOf(const std::string& text) {
    std::vector<std::string> words;
    std::size_t p = 0;
    while (p < text.size()) {
        std::size_t e = text.find(' ', p);
        if (e == std::string::npos) e = text.size();
        if (e > p) words.push_back(text.substr(p, e - p));
        p = e + 1;
    }
    return words;
}

// Ideal methane, bonds of 1.09 Å along (+-1, +-1, +-1), rotated by the matrix rows
// (identity when rot is null), the carbon at centre; atoms 0 to 4 of the structure.
std::unique_ptr<Quandrel> methane(StructureBuilder& b, const double* centre, const double (*rot)[3] = nullptr,
                                  const char* isolated = nullptr) {
    const double s = 1.09 / std::sqrt(3.0);
    const double dirs[4][3] = {{1, 1, 1}, {1, -1, -1}, {-1, 1, -1}, {-1, -1, 1}};
    b.add("C", "C", centre[0], centre[1], centre[2]);
    for (int h = 0; h < 4; ++h) {
        double d[3];
        for (int r = 0; r < 3; ++r)
            d[r] = rot ? rot[r][0] * dirs[h][0] + rot[r][1] * dirs[h][1] + rot[r][2] * dirs[h][2] : dirs[h][r];
        b.add("H" + std::to_string(h + 1), "H", centre[0] + s * d[0], centre[1] + s * d[1], centre[2] + s * d[2]);
    }
    if (isolated) b.add(isolated, isolated, 1, 1, 1);
    auto q = b.build();
    bondToCentre(*q, 0, {1, 2, 3, 4});
    return q;
}

const char* const METHANE_DESCRIPTOR =
    "3-H1 3-H2 3-H3 3-H4 "
    "2-H1.lc.H2 -4-H1.lc.H2 2-H1.lc.H3 -4-H1.lc.H3 2-H1.lc.H4 -4-H1.lc.H4 "
    "2-H2.lc.H3 -4-H2.lc.H3 2-H2.lc.H4 -4-H2.lc.H4 2-H3.lc.H4 -4-H3.lc.H4 "
    "m/H1.X.H2 m/H1.X.H3 m/H1.X.H4 m/H2.X.H3 m/H2.X.H4 m/H3.X.H4 ";

}  // namespace

TEST_F(BondAxis, HeadingAndToleranceLineOpenTheListing) {
    StructureBuilder b;
    b.add("C", "C", 1, 1, 1);
    auto q = b.build();
    bondToCentre(*q, 0, {});
    q->opt.symmTol = 0.05;
    Report r = analyse(*q);
    EXPECT_EQ(r.out,
              "________________________________________________\n"
              "Bond axis symmetry analysis: (Do not trust it!!)\n"
              "________________________________________________\n"
              "SYMMTOL = 0.050000\n"
              "C's local symmetry is linear |(Cq)\n");
}

TEST_F(BondAxis, MethaneHasThreeFoldBondAxesTwoFoldAndFourBarSumAxesAndMirrorPlanes) {
    StructureBuilder b(10.0);
    const double centre[3] = {5, 5, 5};
    auto q = methane(b, centre);
    std::snprintf(q->perception.quandrelName[0], NAME_CAP, "C1h1h1h1h");
    Report r = analyse(*q);

    EXPECT_NE(r.out.find(std::string("C's local symmetry ") + METHANE_DESCRIPTOR + " |(C1h1h1h1h)\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.log.find(std::string("C's local symmetry ") + METHANE_DESCRIPTOR + " \n\n"), std::string::npos);

    // The dummy point lies one ångström along the axis, in fractional coordinates.
    for (const char* line : {
             "Symmetry 3 Axis points to DUMMY at 0.557735 0.557735 0.557735 and is the bond to H1\n",
             "Symmetry 2 Axis points to DUMMY at 0.600000 0.500000 0.500000 and is the linear combination of H1.lc.H2\n",
             "Symmetry -4 Axis points to DUMMY at 0.600000 0.500000 0.500000 and is the linear combination of H1.lc.H2\n",
             "Symmetry -4 Axis points to DUMMY at 0.400000 0.500000 0.500000 and is the linear combination of H3.lc.H4\n",
             "Symmetry -2 Axis points to DUMMY at 0.500000 0.570711 0.429289 and is the cross product of H1.X.H2\n",
         })
        EXPECT_NE(r.log.find(line), std::string::npos) << line << r.log;
    // 4 bond axes, 6 sums with a 2-fold and a 4-bar, 6 normals with a mirror
    EXPECT_EQ(countOf(r.log, "Symmetry "), 4 + 12 + 6);
}

TEST_F(BondAxis, MethaneInAnyOrientationAndCellGivesTheSameDescriptor) {
    StructureBuilder b;
    b.setCell(7.1, 8.3, 9.7, 81.5, 97.2, 113.4);
    // rotation by 40 degrees about (1, 2, 2)/3
    const double u[3] = {1.0 / 3, 2.0 / 3, 2.0 / 3}, phi = 40.0 / 57.29577951308232;
    const double c = std::cos(phi), s = std::sin(phi), t = 1 - c;
    const double rot[3][3] = {{c + t * u[0] * u[0], t * u[0] * u[1] - s * u[2], t * u[0] * u[2] + s * u[1]},
                              {t * u[1] * u[0] + s * u[2], c + t * u[1] * u[1], t * u[1] * u[2] - s * u[0]},
                              {t * u[2] * u[0] - s * u[1], t * u[2] * u[1] + s * u[0], c + t * u[2] * u[2]}};
    const double centre[3] = {2.3, -1.7, 4.1};
    auto q = methane(b, centre, rot);
    Report r = analyse(*q);
    EXPECT_EQ(descriptorOf(r, "C"), METHANE_DESCRIPTOR);
}

TEST_F(BondAxis, TerminalAndIsolatedAtomsAreReportedAsLinear) {
    StructureBuilder b(10.0);
    const double centre[3] = {5, 5, 5};
    auto q = methane(b, centre, nullptr, "Ne");  // an isolated atom behind the methane
    std::snprintf(q->perception.quandrelName[1], NAME_CAP, "H1c");
    Report r = analyse(*q);
    EXPECT_NE(r.out.find("SYMMTOL = 0.010000\nC's local symmetry"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nH1's local symmetry is linear |(H1c)\nH2's local symmetry is linear |(H2q)\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\nNe's local symmetry is linear |(Neq)\n"), std::string::npos);
    EXPECT_NE(r.log.find("H1's local symmetry is linear \nH2's local symmetry is linear \n"), std::string::npos);
    EXPECT_NE(r.log.find("Ne's local symmetry is linear \n"), std::string::npos);
    EXPECT_EQ(countOf(r.out, "local symmetry is linear"), 5);
}

TEST_F(BondAxis, LinearTriatomicHasOneInversionEntryHoweverManyAxesShowIt) {
    StructureBuilder b(10.0);
    b.add("C", "C", 5, 5, 5);
    b.add("O1", "O", 6.16, 5, 5);
    b.add("O2", "O", 3.84, 5, 5);
    auto q = b.build();
    bondToCentre(*q, 0, {1, 2});
    Report r = analyse(*q);
    EXPECT_EQ(descriptorOf(r, "C"),
              "-1 2-O1 m/O1 3-O1 -3-O1 4-O1 -4-O1 5-O1 -5-O1 6-O1 -6-O1 "
              "2-O2 m/O2 3-O2 -3-O2 4-O2 -4-O2 5-O2 -5-O2 6-O2 -6-O2 ");
    // both bond axes show the inversion in the log, the descriptor holds it once
    EXPECT_NE(r.log.find("Symmetry -1 Axis points to DUMMY at 0.600000 0.500000 0.500000 and is the bond to O1\n"),
              std::string::npos)
        << r.log;
    EXPECT_NE(r.log.find("Symmetry -1 Axis points to DUMMY at 0.400000 0.500000 0.500000 and is the bond to O2\n"),
              std::string::npos);
}

TEST_F(BondAxis, OppositeAndParallelBondsGiveNoAxisEvenWithRoundingNoise) {
    // a straight O-C-O along a skew direction, one end off by 1e-13 Å: the sum and the
    // cross product of the two bonds are rounding noise, not directions
    StructureBuilder b;
    b.setCell(7.1, 8.3, 9.7, 81.5, 97.2, 113.4);
    const double d[3] = {1.16 / std::sqrt(14.0), 2.32 / std::sqrt(14.0), 3.48 / std::sqrt(14.0)};
    const double c[3] = {1.234567, 2.345678, 3.456789};
    b.add("C", "C", c[0], c[1], c[2]);
    b.add("O1", "O", c[0] + d[0], c[1] + d[1], c[2] + d[2]);
    b.add("O2", "O", c[0] - d[0], c[1] - d[1] + 1e-13, c[2] - d[2]);
    auto q = b.build();
    bondToCentre(*q, 0, {1, 2});
    Report r = analyse(*q);
    EXPECT_EQ(countOf(r.log, ".lc."), 0) << r.log;
    EXPECT_EQ(countOf(r.log, ".X."), 0);
    EXPECT_EQ(countOf(r.log, "nan"), 0);
    const std::vector<std::string> words = wordsOf(descriptorOf(r, "C"));
    EXPECT_EQ(words.size(), 21u);
    EXPECT_EQ(words.front(), "-1");
}

TEST_F(BondAxis, ImproperOperationsNeedEqualElementsOnBothSides) {
    // F-C-Cl in a straight line with equal bond lengths: the geometry has the inversion
    // and the mirror planes, the elements do not
    StructureBuilder b(10.0);
    b.add("C", "C", 5, 5, 5);
    b.add("F1", "F", 5, 6.5, 5);
    b.add("Cl1", "Cl", 5, 3.5, 5);
    auto q = b.build();
    bondToCentre(*q, 0, {1, 2});
    Report r = analyse(*q);
    EXPECT_EQ(descriptorOf(r, "C"), "2-F1 3-F1 4-F1 5-F1 6-F1 2-Cl1 3-Cl1 4-Cl1 5-Cl1 6-Cl1 ");
    EXPECT_EQ(countOf(r.log, "Symmetry -"), 0);
}

TEST_F(BondAxis, AnAtomWithoutSymmetryIsReportedAsOne) {
    StructureBuilder b(10.0);
    b.add("C1", "C", 5, 5, 5);
    b.add("H1", "H", 5.63, 5.63, 5.63);
    b.add("F1", "F", 5.79, 4.21, 4.21);
    b.add("Cl1", "Cl", 3.97, 6.03, 3.97);
    b.add("Br1", "Br", 3.88, 3.88, 6.12);
    auto q = b.build();
    bondToCentre(*q, 0, {1, 2, 3, 4});
    std::snprintf(q->perception.quandrelName[0], NAME_CAP, "R-C1h1f1cl1br");
    Report r = analyse(*q);
    EXPECT_NE(r.out.find("\nC1's local symmetry 1 |(R-C1h1f1cl1br)\n"), std::string::npos) << r.out;
    EXPECT_NE(r.log.find("C1's local symmetry 1 \n\n"), std::string::npos);
    EXPECT_EQ(countOf(r.log, "Symmetry "), 0);
}

TEST_F(BondAxis, TwoPointsWithinToleranceOfOneRotatedPointSpoilTheAxis) {
    // Cl2 and Cl3 stand 0.005 Å apart on the axis through Cl1
    auto build = [] {
        StructureBuilder b(10.0);
        b.add("C", "C", 5, 5, 5);
        b.add("Cl1", "Cl", 6.8, 5, 5);
        b.add("Cl2", "Cl", 3.2, 5, 5);
        b.add("Cl3", "Cl", 3.195, 5, 5);
        auto q = b.build();
        bondToCentre(*q, 0, {1, 2, 3});
        return q;
    };
    {
        auto q = build();
        q->opt.symmTol = 0.01;  // each rotated point on the axis meets two points: 6 pairs for 4 points
        Report r = analyse(*q);
        EXPECT_EQ(descriptorOf(r, "C"), "1");
    }
    {
        auto q = build();
        q->opt.symmTol = 0.001;  // the two points are told apart: the axis holds, the inversion does not
        Report r = analyse(*q);
        const std::string d = descriptorOf(r, "C");
        EXPECT_EQ(d.compare(0, 30, "2-Cl1 3-Cl1 4-Cl1 5-Cl1 6-Cl1 "), 0) << d;
        EXPECT_NE(d.find("2-Cl1.lc.Cl3 "), std::string::npos) << d;
        EXPECT_EQ(d.find("-1 "), std::string::npos) << d;
        EXPECT_EQ(d.find("m/"), std::string::npos) << d;
    }
}

TEST_F(BondAxis, ToleranceIsStrict) {
    // with a tolerance of 0 not even the atom itself matches its image
    StructureBuilder b(10.0);
    b.add("C", "C", 5, 5, 5);
    b.add("O1", "O", 6.16, 5, 5);
    b.add("O2", "O", 3.84, 5, 5);
    auto q = b.build();
    bondToCentre(*q, 0, {1, 2});
    q->opt.symmTol = 0.0;
    Report r = analyse(*q);
    EXPECT_NE(r.out.find("SYMMTOL = 0.000000\n"), std::string::npos);
    EXPECT_EQ(descriptorOf(r, "C"), "1");
}

TEST(FindSymmRun, ExampleEndsAfterTheAnalysisWithoutDatabaseOrWriter) {
    ScratchDir dir;
    dir.copyFolder(examplePath("l_alanine"));
    RunResult r = runTool("-findSymm");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("(main)SYMMTOL = 0.010000\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("________________________________________________\n"
                         "Bond axis symmetry analysis: (Do not trust it!!)\n"
                         "________________________________________________\n"
                         "SYMMTOL = 0.010000\n"),
              std::string::npos)
        << r.out;
    const std::string closing =
        "____________________________________\n"
        "Bond axis symmetry analysis is done.\n"
        "____________________________________\n";
    ASSERT_GE(r.out.size(), closing.size());
    EXPECT_EQ(r.out.substr(r.out.size() - closing.size()), closing);
    EXPECT_EQ(r.out.find("Reading database..."), std::string::npos);
    EXPECT_FALSE(dir.exists("xd.res.quandreltool"));
    EXPECT_FALSE(dir.exists("xd.mas.quandreltool"));

    // one line per atom, in atom order; hydrogens and carboxylate oxygens are terminal
    std::vector<std::string> lines;
    for (const std::string& line : linesOf(r.out))
        if (line.find("'s local symmetry ") != std::string::npos) lines.push_back(line);
    const char* const labels[] = {"C(1)", "H(1A)", "H(1B)", "H(1C)", "C(2)", "H(2)", "N(1)",
                                  "H(N1A)", "H(N1B)", "H(N1C)", "C(3)", "O(1)", "O(2)"};
    ASSERT_EQ(lines.size(), std::size(labels)) << r.out;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        EXPECT_EQ(lines[k].compare(0, std::strlen(labels[k]) + 18, std::string(labels[k]) + "'s local symmetry "), 0)
            << lines[k];
        const bool terminal = labels[k][0] == 'H' || labels[k][0] == 'O';
        EXPECT_EQ(lines[k].find("is linear |(") != std::string::npos, terminal) << lines[k];
    }
    // the methyl group's hydrogens ride on ideal positions: a mirror through C(2), C(1), H(1A)
    EXPECT_EQ(lines[0].compare(0, 40, "C(1)'s local symmetry m/C(2).X.H(1A)  |("), 0) << lines[0];
    const std::string log = dir.read("Quandrele.log");
    EXPECT_NE(log.find("Symmetry -2 Axis points to DUMMY at 0.509571 0.348528 0.544910 and is the cross product "
                       "of C(2).X.H(1A)\nC(1)'s local symmetry m/C(2).X.H(1A)  \n\n"),
              std::string::npos)
        << log;
}
