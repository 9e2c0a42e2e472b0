// Local coordinate systems on real geometries: which neighbours become the reference
// atoms, where dummy atoms go, and the lines of the coordinate-system table.
#include <cmath>

#include "dbtest.h"

using namespace dbtest;

namespace {

const double TET = 1.0 / std::sqrt(3.0);

// Tetrahedral directions: a pyramidal atom takes the first three.
const double TETRAHEDRON[4][3] = {{TET, TET, TET}, {TET, -TET, -TET}, {-TET, TET, -TET}, {-TET, -TET, TET}};

struct Vec3 {
    double x, y, z;
};

Vec3 at(const Quandrel& q, int i) { return {q.transfer.model.atom[i].cart[0], q.transfer.model.atom[i].cart[1], q.transfer.model.atom[i].cart[2]}; }
Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
Vec3 unit(Vec3 a) {
    double l = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
    return {a.x / l, a.y / l, a.z / l};
}

void expectAt(const Quandrel& q, int d, Vec3 want, const std::string& what) {
    SCOPED_TRACE(what);
    EXPECT_NEAR(q.transfer.model.atom[d].cart[0], want.x, 1e-9);
    EXPECT_NEAR(q.transfer.model.atom[d].cart[1], want.y, 1e-9);
    EXPECT_NEAR(q.transfer.model.atom[d].cart[2], want.z, 1e-9);
    double frac[3];
    toFractional(q.transfer.model, q.transfer.model.atom[d].cart, frac);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(q.transfer.model.atom[d].frac[c], frac[c], 1e-12);
}

// A pyramidal nitrogen N1 (atom 0) with the neighbours given by their element, at
// tetrahedral directions, listed in its node in the given order.
struct Pyramid {
    ScratchDir dir;
    std::unique_ptr<Quandrel> q;
    Pyramid(const std::vector<std::string>& elements, const std::vector<std::string>& names) {
        StructureBuilder b;
        b.add("N1", "N", 10, 10, 10);
        for (std::size_t k = 0; k < elements.size(); ++k) {
            const double length = elements[k] == "H" ? 1.01 : 1.47;
            b.add(elements[k] + std::to_string(k + 1), elements[k], 10 + length * TETRAHEDRON[k][0],
                  10 + length * TETRAHEDRON[k][1], 10 + length * TETRAHEDRON[k][2]);
        }
        q = b.build();
        std::vector<int> nbs;
        for (std::size_t k = 0; k < elements.size(); ++k) {
            nbs.push_back(static_cast<int>(k) + 1);
            connect(*q, static_cast<int>(k) + 1, {0});
            name(*q, static_cast<int>(k) + 1, names[k]);
        }
        q->perception.knopf[0].anzahl = 0;
        for (int nb : nbs) q->perception.knopf[0].nachbar[q->perception.knopf[0].anzahl++] = nb;
        name(*q, 0, "N1c1h1h");
    }
};

}  // namespace

TEST(LocalFrame, SameElementOnBothAxesTakesTheFirstAndSecondSuchNeighbour) {
    ScratchDir dir;
    StructureBuilder b;
    b.add("N1", "N", 10, 10, 10);
    b.add("C1", "C", 11.47, 10, 10);
    b.add("H1", "H", 9.5, 10.9, 10);
    b.add("C2", "C", 9.5, 9.1, 10.9);
    auto q = b.build();
    connect(*q, 0, {1, 2, 3});
    name(*q, 0, "N1c1c1h");
    StageRun run = runStage(*q, entry("N1c1c1h", "1", "KS: Z:C(1) X:C(2) R: 0.0 d: 1.0", "K=1") + "END\n");
    ASSERT_GE(tableLines(run.log).size(), 1u);
    EXPECT_EQ(tableLines(run.log)[0], "N1       C1        Z  N1       C2       X   R   2  1   1   4  1");
    EXPECT_EQ(q->transfer.model.atom[0].atom0, 2);
    EXPECT_EQ(q->transfer.model.atom[0].atom1, 1);
    EXPECT_EQ(q->transfer.model.atom[0].atom2, 4);
    EXPECT_EQ(q->transfer.model.atom[0].ax1, 3);
    EXPECT_EQ(q->transfer.model.atom[0].ax2, 1);
}

TEST(LocalFrame, TerminalMirrorAtomTakesItsSecondAxisFromTheSecondShell) {
    // O1=C1 with C1 bound to N1 and C2: the entry's second element (H) is no neighbour of
    // O1, the second-shell rule gives the first neighbour of C1 that is not O1.
    ScratchDir dir;
    StructureBuilder b;
    b.add("O1", "O", 10, 11.23, 10);
    b.add("C1", "C", 10, 10, 10);
    b.add("N1", "N", 11.15, 9.3, 10);
    b.add("C2", "C", 8.7, 9.25, 10);
    auto q = b.build();
    connect(*q, 0, {1});
    connect(*q, 1, {0, 2, 3});
    connect(*q, 2, {1});
    connect(*q, 3, {1});
    name(*q, 0, "O2c");
    StageRun run = runStage(*q, entry("O2c", "mz", "KS: Z:C(1) X:H(2) R: 0.0 d: 1.0", "K=1") + "END\n");
    EXPECT_EQ(tableLines(run.log)[0], "O1       C1        Z  O1       N1       X   R   2  1   1   4  mz");
    EXPECT_EQ(q->transfer.model.atom[0].atom2, 3);
    EXPECT_EQ(run.out.find("~~~~"), std::string::npos);  // not the fallback
}

TEST(LocalFrame, IsolatedAtomPointsToDum0AndTheFirstConnectedAtom) {
    ScratchDir dir;
    StructureBuilder b;
    b.add("Cl1", "Cl", 2, 2, 2);
    b.add("O1", "O", 10, 10, 10);
    b.add("H1", "H", 10.96, 10, 10);
    auto q = b.build();
    connect(*q, 0, {});
    connect(*q, 1, {2});
    connect(*q, 2, {1});
    name(*q, 0, "Cl-1.0");
    StageRun run = runStage(*q, entry("Cl-1.0", "1", "KS: Z:DUM(1) X:DUM(2) R: 0.0 d: 1.0", "K=1") + "END\n");
    EXPECT_EQ(tableLines(run.log)[0], "Cl1      DUM0      Z  Cl1      O1       X   R   2  1   1   4  _1");
    EXPECT_EQ(q->transfer.model.atom[0].atom0, q->transfer.model.nAtoms + 1);  // the 1-based number of DUM0
    EXPECT_EQ(q->transfer.model.atom[0].atom2, 2);
    EXPECT_EQ(q->transfer.model.nDummy, 1);  // DUM0 is no new dummy
}

TEST(LocalFrame, TerminalAtomDummyIsNormalToThePlaneOfItsNeighboursNeighbours) {
    // H1-C1 with C1's second neighbour only 80 degrees from H1: the rule passes on to the
    // third neighbour.
    ScratchDir dir;
    StructureBuilder b;
    b.add("H1", "H", 11.09, 10, 10);
    b.add("C1", "C", 10, 10, 10);
    const double a = 80.0 * M_PI / 180.0;
    b.add("C2", "C", 10 + 1.5 * std::cos(a), 10 + 1.5 * std::sin(a), 10);
    b.add("O1", "O", 10 - 1.0, 10 + 0.3, 10 + 0.9);
    auto q = b.build();
    connect(*q, 0, {1});
    connect(*q, 1, {0, 2, 3});
    name(*q, 0, "H1c");
    StageRun run = runStage(*q, entry("H1c", "1", "KS: Z:DUM1 X:C(2) R: 0.0 d: 1.0", "K=1") + "END\n");
    const int d = q->transfer.model.nAtoms + 1;
    ASSERT_GE(static_cast<int>(q->transfer.model.atom.size()), d + 1);
    expectAt(*q, d, at(*q, 0) + unit(cross(at(*q, 0) - at(*q, 1), at(*q, 3) - at(*q, 1))), "third neighbour");
    EXPECT_STREQ(q->transfer.model.atom[d].label, "DUM1");
    EXPECT_EQ(q->transfer.model.atom[0].atom0, q->transfer.model.nAtoms + 2);
    EXPECT_EQ(tableLines(run.log)[0], "H1       DUM1      Z  H1       C1       X   R   2  1   1   4  1");

    // Tetrahedral C1: the second neighbour is more than 90 degrees away and counts.
    ScratchDir dir2;
    StructureBuilder t;
    t.add("H1", "H", 10 + 1.09 * TET, 10 + 1.09 * TET, 10 + 1.09 * TET);
    t.add("C1", "C", 10, 10, 10);
    t.add("C2", "C", 10 + 1.5 * TET, 10 - 1.5 * TET, 10 - 1.5 * TET);
    t.add("C3", "C", 10 - 1.5 * TET, 10 + 1.5 * TET, 10 - 1.5 * TET);
    auto q2 = t.build();
    connect(*q2, 0, {1});
    connect(*q2, 1, {0, 2, 3});
    name(*q2, 0, "H1c");
    runStage(*q2, entry("H1c", "1", "KS: Z:DUM1 X:C(2) R: 0.0 d: 1.0", "K=1") + "END\n");
    expectAt(*q2, q2->transfer.model.nAtoms + 1, at(*q2, 0) + unit(cross(at(*q2, 0) - at(*q2, 1), at(*q2, 2) - at(*q2, 1))),
             "second neighbour");
}

TEST(LocalFrame, PyramidalMirrorAtomFindsItsOddNeighbourInAnyOrder) {
    // The carbon is the odd neighbour wherever it stands; three equal names make position 0
    // the odd one.
    struct Case {
        std::vector<std::string> elements, names;
        int odd;  // node position of the odd neighbour
    };
    const std::vector<Case> cases = {
        {{"H", "H", "C"}, {"H1n", "H1n", "C1n"}, 2},
        {{"C", "H", "H"}, {"C1n", "H1n", "H1n"}, 0},
        {{"H", "C", "H"}, {"H1n", "C1n", "H1n"}, 1},
        {{"H", "H", "H"}, {"H1n", "H1n", "H1n"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.names[0] + " " + c.names[1] + " " + c.names[2]);
        for (const char* axis : {"Z", "X"}) {
            SCOPED_TRACE(axis);
            Pyramid p(c.elements, c.names);
            Quandrel& q = *p.q;
            ASSERT_LT(planar(perceiving(q), q.perception.knopf[0], 0), 0.8);
            const std::string ks = std::string("KS: ") + axis + ":DUM1 Y:H(2) R: 0.0 d: 1.0";
            StageRun run = runStage(q, entry("N1c1h1h", "mz", ks, "K=1") + "END\n");
            const int odd = c.odd + 1;
            Vec3 pSum = {0, 0, 0};
            for (int k = 1; k <= 3; ++k)
                if (k != odd) pSum = pSum + (at(q, k) - at(q, 0));
            const Vec3 want = axis[0] == 'Z' ? at(q, 0) + unit(cross(pSum, at(q, odd) - at(q, 0)))
                                             : at(q, 0) + unit(pSum);
            expectAt(q, q.transfer.model.nAtoms + 1, want, "dummy");
        }
    }
}

TEST(LocalFrame, Mm2DummyBisectsTheTwoNeighboursOfOneAtomType) {
    ScratchDir dir;
    StructureBuilder b;
    b.add("O1", "O", 10, 10, 10);
    b.add("H1", "H", 10.76, 10.59, 10);
    b.add("H2", "H", 9.24, 10.59, 10);
    auto q = b.build();
    connect(*q, 0, {1, 2});
    connect(*q, 1, {0});
    connect(*q, 2, {0});
    name(*q, 0, "O1h1h");
    StageRun run = runStage(*q, entry("O1h1h", "mm2", "KS: Z:DUM1 X:H(2) R: 0.0 d: 1.0", "K=1") + "END\n");
    const int d = q->transfer.model.nAtoms + 1;
    expectAt(*q, d, at(*q, 0) + unit((at(*q, 1) - at(*q, 0)) + (at(*q, 2) - at(*q, 0))), "bisector");
    EXPECT_NE(run.out.find("MM2!!! H1 H2 O1 \n"), std::string::npos);
    char line[120];
    std::snprintf(line, sizeof line, "0 MM2!!!DUM1 %f %f %f --- \n", q->transfer.model.atom[d].frac[0], q->transfer.model.atom[d].frac[1],
                  q->transfer.model.atom[d].frac[2]);
    EXPECT_NE(run.out.find(line), std::string::npos);
    EXPECT_EQ(tableLines(run.log)[0], "O1       DUM1      Z  O1       H1       X   R   2  1   1   4  mm2");
}

TEST(LocalFrame, ThreefoldDummyLiesOnTheAxisOfThePyramid) {
    Pyramid p({"H", "H", "H"}, {"H1n", "H1n", "H1n"});
    Quandrel& q = *p.q;
    StageRun run = runStage(q, entry("N1c1h1h", "3", "KS: Z:DUM1 X:H(2) R: 0.0 d: 1.0", "K=1") + "END\n");
    Vec3 sum = {0, 0, 0};
    for (int k = 0; k < 3; ++k)
        sum = sum + unit(cross(at(q, k + 1) - at(q, 0), at(q, (k + 1) % 3 + 1) - at(q, 0)));
    const Vec3 want = at(q, 0) + unit(sum);
    expectAt(q, q.transfer.model.nAtoms + 1, want, "axis");
    // The axis of the pyramid is the fourth tetrahedral direction (or its opposite).
    const Vec3 axis = want - at(q, 0);
    EXPECT_NEAR(std::fabs(axis.x * TETRAHEDRON[3][0] + axis.y * TETRAHEDRON[3][1] + axis.z * TETRAHEDRON[3][2]), 1.0,
                1e-9);
    EXPECT_NE(run.out.find("K0 H1       H2       (N1      )\nK1 H2       H3       (N1      )\n"
                           "K2 H3       H1       (N1      )\n"),
              std::string::npos);
}

TEST(LocalFrame, SecondAxisDummyOfAPyramidalMirrorAtom) {
    Pyramid p({"H", "H", "C"}, {"H1n", "H1n", "C1n"});
    Quandrel& q = *p.q;
    StageRun run = runStage(q, entry("N1c1h1h", "mz", "KS: Z:C(1) X:DUM(2) R: 0.0 d: 1.0", "K=1") + "END\n");
    expectAt(q, q.transfer.model.nAtoms + 1, at(q, 0) + unit((at(q, 1) - at(q, 0)) + (at(q, 2) - at(q, 0))), "dummy");
    EXPECT_EQ(tableLines(run.log)[0], "N1       C3        Z  N1       DUM1     X   R   2  1   1   4  _mz");
    EXPECT_EQ(q.transfer.model.atom[0].atom2, q.transfer.model.nAtoms + 2);
    char want[400];
    std::snprintf(want, sizeof want, "Kandidat fuer Tremons weg\n%-30s 3\n%-30s 3\n%-30s 3\n%-30s unterscheident sich von den anderen beiden\n",
                  "H1n", "H1n", "C1n", "C1n");
    EXPECT_NE(run.out.find(want), std::string::npos) << run.out;
}

TEST(LocalFrame, TwoDummiesAreDum1AndDum2AfterDum0InTheClosingLines) {
    // Water (mm2) and ammonia (3) in one structure; the atom array has no spare room.
    ScratchDir dir;
    StructureBuilder b;
    b.add("O1", "O", 10, 10, 10);
    b.add("H1", "H", 10.76, 10.59, 10);
    b.add("H2", "H", 9.24, 10.59, 10);
    b.add("N1", "N", 20, 20, 20);
    for (int k = 0; k < 3; ++k)
        b.add("H" + std::to_string(k + 3), "H", 20 + 1.01 * TETRAHEDRON[k][0], 20 + 1.01 * TETRAHEDRON[k][1],
              20 + 1.01 * TETRAHEDRON[k][2]);
    auto q = b.build();
    q->structure.atom.resize(static_cast<std::size_t>(q->structure.nAtoms));
    connect(*q, 0, {1, 2});
    connect(*q, 3, {4, 5, 6});
    name(*q, 0, "O1h1h");
    name(*q, 3, "N1h1h1h");
    const std::string db = entry("O1h1h", "mm2", "KS: Z:DUM1 X:H(2) R: 0.0 d: 1.0", "K=1") +
                           entry("N1h1h1h", "3", "KS: Z:DUM1 X:H(2) R: 0.0 d: 1.0", "K=1") + "END\n";
    StageRun run = runStage(*q, db);
    EXPECT_EQ(q->transfer.model.nDummy, 3);
    ASSERT_EQ(q->transfer.model.atom.size(), static_cast<std::size_t>(q->transfer.model.nAtoms + 3));
    EXPECT_EQ(q->transfer.model.atom[0].atom0, 9);
    EXPECT_EQ(q->transfer.model.atom[3].atom0, 10);
    const std::vector<std::string> table = tableLines(run.log);
    ASSERT_EQ(table.size(), 5u);
    EXPECT_EQ(table[0].substr(0, 20), "O1       DUM1      Z");
    EXPECT_EQ(table[1].substr(0, 20), "N1       DUM2      Z");
    char want[3][80];
    for (int k = 0; k < 3; ++k) {
        const double* f = q->transfer.model.atom[static_cast<std::size_t>(q->transfer.model.nAtoms + k)].frac;
        std::snprintf(want[k], sizeof want[k], "DUM%-2d     %9.6f %9.6f %9.6f", k, f[0], f[1], f[2]);
    }
    EXPECT_EQ(table[2], want[0]);
    EXPECT_EQ(table[2], "DUM0       0.000000  0.000000  0.000000");
    EXPECT_EQ(table[3], want[1]);
    EXPECT_EQ(table[4], want[2]);
    EXPECT_NE(run.log.find(std::string(want[2]) + "\nEND ATOM\n\n" + std::string(68, '=') + "\n"), std::string::npos);
}

TEST(LocalFrame, FallbackTakesTheNeighboursNeighbourAndFlagsNonHydrogens) {
    // C1 bound to O1 and H1; the entry asks for a nitrogen that C1 does not have.
    ScratchDir dir;
    StructureBuilder b;
    b.add("C1", "C", 10, 10, 10);
    b.add("O1", "O", 11.2, 10, 10);
    b.add("C2", "C", 11.9, 11.2, 10);
    b.add("H1", "H", 9.4, 10.9, 10);
    auto q = b.build();
    connect(*q, 0, {1, 3});
    connect(*q, 1, {0, 2});
    connect(*q, 3, {0});
    name(*q, 0, "C1o1h");
    name(*q, 3, "H1c");
    StageRun run = runStage(*q, entry("C1o1h", "1", "KS: Z:O(1) X:N(2) R: 0.0 d: 1.0", "K=1") +
                                    entry("H1c", "1", "KS: Z:C(1) X:N(2) R: 0.0 d: 1.0", "K=1") + "END\n");
    const std::vector<std::string> table = tableLines(run.log);
    EXPECT_EQ(table[0], "C1       O1        Z  C1       C2       X   R   2  1   1   4  _1");
    EXPECT_EQ(table[1], "H1       C1        Z  H1       O1       X   R   2  3   1   4  _1");
    EXPECT_NE(run.out.find("~~~~~~~o ~~~~~~~o (.C1.) o~~~~~~~ o~~~~~~~ \n"), std::string::npos);
    EXPECT_EQ(run.out.find("(.H1.)"), std::string::npos);
}

TEST(LocalFrame, DegenerateFramesStayInsideTheStructure) {
    // A two-atom fragment: the terminal-atom dummy stands at right angles to the bond, and
    // the second axis, which has no second-shell atom, takes another atom of the structure.
    ScratchDir dir;
    StructureBuilder b;
    b.add("Cl1", "Cl", 10, 10, 10);
    b.add("Cl2", "Cl", 10, 10, 12);
    auto q = b.build();
    connect(*q, 0, {1});
    connect(*q, 1, {0});
    name(*q, 0, "Cl1cl");
    name(*q, 1, "Cl1cl");
    StageRun run = runStage(*q, entry("Cl1cl", "1", "KS: Z:DUM1 X:O(2) R: 0.0 d: 1.0", "K=1") + "END\n");
    const Vec3 d1 = at(*q, q->transfer.model.nAtoms + 1) - at(*q, 0);
    EXPECT_NEAR(d1.x * d1.x + d1.y * d1.y + d1.z * d1.z, 1.0, 1e-9);
    EXPECT_NEAR(d1.z, 0.0, 1e-12);
    for (int i = 0; i < 2; ++i) {
        EXPECT_GE(q->transfer.model.atom[i].atom2, 1);
        EXPECT_LE(q->transfer.model.atom[i].atom2, q->transfer.model.nAtoms);
        EXPECT_NE(q->transfer.model.atom[i].atom2, i + 1);
    }
    EXPECT_NE(run.err.find("Warning: atom Cl1 has no second-shell atom"), std::string::npos);

    // A dummy no position rule covers keeps its place and is reported.
    ScratchDir dir2;
    StructureBuilder m;
    m.add("C1", "C", 10, 10, 10);
    m.add("O1", "O", 11.2, 10, 10);
    m.add("O2", "O", 9.4, 11, 10);
    auto q2 = m.build();
    connect(*q2, 0, {1, 2});
    name(*q2, 0, "C1o1o");
    StageRun run2 = runStage(*q2, entry("C1o1o", "m", "KS: Z:DUM1 X:O(2) R: 0.0 d: 1.0", "K=1") + "END\n");
    EXPECT_NE(run2.err.find("Warning: no position rule applies to dummy atom DUM1 of atom C1"), std::string::npos);
}

TEST(LocalFrame, TableKeptForTheMasterFilesIsTheLogTableLineForLine) {
    // A water with a dummy, an atom the database lacks, an atom whose KS: line cannot be
    // read and an atom that falls back to a second-shell atom: the kept table must hold what
    // the log holds, dummies and "END ATOM" included.
    ScratchDir dir;
    StructureBuilder b;
    b.add("O1", "O", 10, 10, 10);
    b.add("H1", "H", 10.76, 10.59, 10);
    b.add("H2", "H", 9.24, 10.59, 10);
    b.add("C1", "C", 20, 20, 20);
    b.add("O2", "O", 21.2, 20, 20);
    auto q = b.build();
    connect(*q, 0, {1, 2});
    connect(*q, 1, {0});
    connect(*q, 2, {0});
    connect(*q, 3, {4});
    connect(*q, 4, {3});
    name(*q, 0, "O1h1h");
    name(*q, 1, "H1o");
    name(*q, 2, "H1o");
    name(*q, 3, "C1o");
    name(*q, 4, "O1c");
    StageRun run = runStage(*q, entry("O1h1h", "mm2", "KS: Z:DUM1 X:H(2) R: 0.0 d: 1.0", "K=1") +
                                    entry("H1o", "1", "KS: unreadable", "K=1") +
                                    entry("C1o", "1", "KS: Z:O(1) X:N(2) R: 0.0 d: 1.0", "K=1") + "END\n");
    std::vector<std::string> want = tableLines(run.log);
    want.push_back("END ATOM");
    EXPECT_EQ(q->transfer.frameTable, want);
    EXPECT_EQ(want.size(), 5u);  // O1, C1, DUM0, DUM1, END ATOM
}
