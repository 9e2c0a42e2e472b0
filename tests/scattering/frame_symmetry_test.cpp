// Local frames from ATOM-table definitions, and the crystal sum over symmetry operations.
#include <gtest/gtest.h>

#include <cmath>

#include "helpers.h"
#include "scattering/engine.h"
#include "scattering/frame.h"
#include "testutil.h"

namespace sc = scattering;

namespace {

struct FrameCase {
    int ax1, ax2;
    char hand;
    sc::Mat3 expected;  // rows X, Y, Z
};

// The atom at the origin, ATOM0 along +x (2 A), ATOM2 in the xy plane towards +y.
TEST(LocalFrame, AxisCombinationsAndHandedness) {
    const sc::Vec3 atom = {0, 0, 0}, atom0 = {2, 0, 0}, atom2 = {0.5, 1.5, 0};
    const sc::Vec3 ex = {1, 0, 0}, ey = {0, 1, 0}, ez = {0, 0, 1}, mz = {0, 0, -1};
    const FrameCase cases[] = {
        {1, 2, 'R', {ex, ey, ez}}, {1, 2, 'L', {ex, ey, mz}},  // X to ATOM0, Y towards ATOM2
        {3, 2, 'R', {mz, ey, ex}}, {3, 2, 'L', {ez, ey, ex}},  // XD's usual Z, Y
        {3, 1, 'R', {ey, ez, ex}}, {2, 3, 'R', {ez, ex, ey}},
        {2, 1, 'R', {ey, ex, mz}}, {1, 3, 'L', {ex, ez, ey}},
    };
    for (const FrameCase& c : cases) {
        const sc::Mat3 f = sc::localFrame(atom, atom0, atom2, c.ax1, c.ax2, c.hand, "C1");
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                EXPECT_NEAR(f[i][j], c.expected[i][j], 1e-12) << c.ax1 << c.ax2 << c.hand << " row " << i;
    }
}

TEST(LocalFrame, RefusesDegenerateDefinitions) {
    const sc::Vec3 o = {0, 0, 0}, x = {1, 0, 0};
    EXPECT_TRUE(stopsWith([&] { sc::localFrame(o, o, x, 3, 2, 'R', "N7"); }, 1, "N7: ATOM0 stands on the atom"));
    EXPECT_TRUE(stopsWith([&] { sc::localFrame(o, x, {2, 0, 0}, 3, 2, 'R', "N7"); }, 1, "ATOM2 lies on the line"));
    EXPECT_TRUE(stopsWith([&] { sc::localFrame(o, x, {0, 1, 0}, 3, 3, 'R', "N7"); }, 1, "not two different axes"));
    EXPECT_TRUE(stopsWith([&] { sc::localFrame(o, x, {0, 1, 0}, 3, 2, 'Q', "N7"); }, 1, "neither R nor L"));
}

TEST(SymmetryOperations, ExpandLatticeAndCentring) {
    struct Case {
        std::vector<std::string> symm;
        char centric, lattice;
        std::size_t order;
    } cases[] = {
        {{}, 'A', 'P', 1},                             // P1
        {{}, 'C', 'P', 2},                             // P-1
        {{"-X,1/2+Y,1/2-Z"}, 'C', 'P', 4},             // P2(1)/c as XD writes it
        {{"-x, y, 0.5-z"}, 'C', 'C', 8},               // C2/c, a decimal translation
        {{"1/2-X,-Y,1/2+Z", "-X,1/2+Y,1/2-Z", "1/2+X,1/2-Y,-Z"}, 'C', 'P', 8},  // Pbca
        {{"-X,-Y,Z"}, 'A', 'F', 8},                    // F2..
    };
    for (const Case& c : cases) {
        const std::vector<gemmi::Op> ops = sc::symmetryOperations(c.symm, c.centric, c.lattice, "test");
        EXPECT_EQ(ops.size(), c.order) << c.lattice;
        EXPECT_EQ(ops[0], gemmi::Op::identity());
    }
    EXPECT_TRUE(stopsWith([] { sc::symmetryOperations({"X,Y"}, 'C', 'P', "xd.mas"); }, 1, "xd.mas: the symmetry card \"X,Y\""));
    EXPECT_TRUE(stopsWith([] { sc::symmetryOperations({}, 'C', 'Q', "xd.mas"); }, 1, "lattice letter 'Q'"));
}

// A P2(1)/c structure and the same expanded by hand into P1 give the same F; with
// multipoles in tilted frames, so that the operations must carry the frames along.
TEST(CrystalSum, SpaceGroupEqualsExpandedP1) {
    sc::Model group = scatteringtest::oneTypeModel(7, 2);
    group.types[0].fp = 0.006;
    group.types[0].fpp = 0.003;
    group.operations = sc::symmetryOperations({"-X,1/2+Y,1/2-Z"}, 'C', 'P', "test");
    sc::Atom a = scatteringtest::atomAt("N1", {0.13, 0.27, 0.41}, 5);
    for (int k = 0; k < sc::N_MULTIPOLES; ++k) a.plm[k] = 0.01 * ((k * 7) % 11 - 5);
    const double c = std::cos(0.7), s = std::sin(0.7);
    a.frame = {sc::Vec3{c, 0, -s}, sc::Vec3{0, 1, 0}, sc::Vec3{s, 0, c}};
    group.atoms = {a, scatteringtest::atomAt("N2", {0.61, 0.05, 0.83}, 5)};

    sc::Model p1 = group;
    p1.operations = {gemmi::Op::identity()};
    p1.atoms.clear();
    const gemmi::Mat33 orth = group.cell.orth.mat, frac = group.cell.frac.mat;
    for (const gemmi::Op& op : group.operations)
        for (const sc::Atom& atom : group.atoms) {
            sc::Atom image = atom;
            // x' = R x + t; the frame follows the Cartesian rotation M R M^-1 (an improper
            // operation mirrors the frame)
            gemmi::Mat33 r;
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j) r[i][j] = static_cast<double>(op.rot[i][j]) / gemmi::Op::DEN;
            for (int i = 0; i < 3; ++i)
                image.frac[i] = r[i][0] * atom.frac[0] + r[i][1] * atom.frac[1] + r[i][2] * atom.frac[2] +
                                static_cast<double>(op.tran[i]) / gemmi::Op::DEN;
            const gemmi::Mat33 cart = orth.multiply(r).multiply(frac);
            for (int axis = 0; axis < 3; ++axis) {
                const gemmi::Vec3 v = cart.multiply(gemmi::Vec3(atom.frame[axis][0], atom.frame[axis][1], atom.frame[axis][2]));
                image.frame[axis] = {v.x, v.y, v.z};
            }
            // U transforms as R U R^T in the reciprocal-axis-scaled basis
            const double ast[3] = {group.cell.ar, group.cell.br, group.cell.cr};
            double u[3][3], ut[3][3] = {};
            const int ij[6][2] = {{0, 0}, {1, 1}, {2, 2}, {0, 1}, {0, 2}, {1, 2}};
            for (int k = 0; k < 6; ++k) {
                u[ij[k][0]][ij[k][1]] = u[ij[k][1]][ij[k][0]] = atom.u[k] * ast[ij[k][0]] * ast[ij[k][1]];
            }
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j)
                    for (int k = 0; k < 3; ++k)
                        for (int l = 0; l < 3; ++l) ut[i][j] += r[i][k] * u[k][l] * r[j][l];
            for (int k = 0; k < 6; ++k) image.u[k] = ut[ij[k][0]][ij[k][1]] / (ast[ij[k][0]] * ast[ij[k][1]]);
            p1.atoms.push_back(image);
        }
    const std::vector<sc::Miller> hkl = scatteringtest::indicesUpTo(3);
    const auto fGroup = sc::structureFactors(group, hkl, 2);
    const auto fP1 = sc::structureFactors(p1, hkl, 1);
    for (std::size_t r = 0; r < hkl.size(); ++r) {
        EXPECT_NEAR(fGroup[r].real(), fP1[r].real(), 1e-9) << hkl[r][0] << hkl[r][1] << hkl[r][2];
        EXPECT_NEAR(fGroup[r].imag(), fP1[r].imag(), 1e-9) << hkl[r][0] << hkl[r][1] << hkl[r][2];
    }
}

// The sum written out for P1 from the atoms' own form factors, over more reflections than
// one block of the engine, with one and with three threads.
TEST(CrystalSum, P1IsTheSumOfTheAtoms) {
    sc::Model m = scatteringtest::oneTypeModel(8, 2);
    m.types[0].fp = 0.011;
    m.types[0].fpp = 0.006;
    sc::Atom a = scatteringtest::atomAt("O1", {0.21, 0.33, 0.12}, 6);
    for (int k = 0; k < sc::N_MULTIPOLES; ++k) a.plm[k] = 0.02 * ((k * 5) % 7 - 3);
    sc::Atom b = scatteringtest::atomAt("O2", {0.71, 0.93, 0.52}, 6.3);
    b.occupancy = 0.5;
    b.anisotropic = false;
    b.uIso = 0.03;
    m.atoms = {a, b};
    const std::vector<sc::Miller> hkl = scatteringtest::indicesUpTo(5);
    const auto f1 = sc::structureFactors(m, hkl, 1);
    const auto f3 = sc::structureFactors(m, hkl, 3);
    const auto own = sc::atomFormFactors(m, hkl, 2);
    const double ast[3] = {m.cell.ar, m.cell.br, m.cell.cr};
    for (std::size_t r = 0; r < hkl.size(); ++r) {
        const sc::Miller& h = hkl[r];
        const double stl = sc::sinThetaOverLambda(m.cell, h);
        std::complex<double> expected = 0;
        for (std::size_t j = 0; j < 2; ++j) {
            const sc::Atom& at = m.atoms[j];
            double q = 0;
            const int ij[6][2] = {{0, 0}, {1, 1}, {2, 2}, {0, 1}, {0, 2}, {1, 2}};
            for (int k = 0; k < 6; ++k)
                q += (k < 3 ? 1 : 2) * at.u[k] * h[ij[k][0]] * h[ij[k][1]] * ast[ij[k][0]] * ast[ij[k][1]];
            const double t = at.anisotropic ? std::exp(-2 * M_PI * M_PI * q) : std::exp(-8 * M_PI * M_PI * at.uIso * stl * stl);
            const double phase = 2 * M_PI * (h[0] * at.frac[0] + h[1] * at.frac[1] + h[2] * at.frac[2]);
            expected += at.occupancy * (own[2 * r + j] + std::complex<double>(0.011, 0.006)) * t * std::polar(1.0, phase);
        }
        EXPECT_NEAR(std::abs(f1[r] - expected), 0.0, 1e-10) << h[0] << " " << h[1] << " " << h[2];
        EXPECT_EQ(f1[r], f3[r]);
    }
}

TEST(CrystalSum, CentrosymmetricIsRealWithoutDispersion) {
    sc::Model m = scatteringtest::oneTypeModel(8, 2);
    m.operations = sc::symmetryOperations({"-X,1/2+Y,1/2-Z"}, 'C', 'P', "test");
    sc::Atom a = scatteringtest::atomAt("O1", {0.21, 0.33, 0.12}, 6);
    for (int k = 0; k < sc::N_MULTIPOLES; ++k) a.plm[k] = 0.02 * ((k * 5) % 7 - 3);
    m.atoms = {a};
    const std::vector<sc::Miller> hkl = scatteringtest::indicesUpTo(4);
    double largest = 0;
    for (const std::complex<double>& f : sc::structureFactors(m, hkl)) {
        EXPECT_NEAR(f.imag(), 0.0, 1e-9 * std::max(1.0, std::abs(f)));
        largest = std::max(largest, std::abs(f));
    }
    EXPECT_GT(largest, 1.0);
    // f'' makes it complex
    m.types[0].fpp = 0.05;
    double imaginary = 0;
    for (const std::complex<double>& f : sc::structureFactors(m, hkl)) imaginary = std::max(imaginary, std::fabs(f.imag()));
    EXPECT_GT(imaginary, 0.01);
}

}  // namespace
