// The model built from today's structure object: a frame on a dummy atom, the scattering table.
#include <gtest/gtest.h>

#include <cmath>

#include "scattering/from_quandrel.h"
#include "scattering/radial.h"
#include "scattering/textfile.h"
#include "sources.h"
#include "testutil.h"

namespace sc = scattering;

namespace {

TEST(Adapter, FramesOnDummiesAndTheScatteringTable) {
    ScratchDir dir;
    const auto q = readFixture(dir, "water_chloride");
    sc::QuandrelInputs in;
    in.master = sc::parseMasterExtras(readTextFile("xd.mas"), "xd.mas");
    in.radial = sc::parseRadialText("O 9.0 2 2 2 3 4\n", "radial.txt");
    in.spherical = [](int z) { return testsources::it92Table(z, z > 2 ? 2 : 0); };
    const sc::QuandrelModel qm = sc::modelFromQuandrel(q->structure, in);
    const sc::Model& m = qm.model;
    ASSERT_EQ(m.atoms.size(), 4u);
    EXPECT_EQ(m.operations.size(), 4u);
    EXPECT_EQ(m.types[0].radial.zeta, 9.0);                        // from the file
    EXPECT_EQ(m.types[1].radial.zeta, sc::standardRadial(17).zeta);  // Cl- by the standard rule
    EXPECT_DOUBLE_EQ(m.types[1].fp, q->structure.scatTable[1].values[0]);
    EXPECT_DOUBLE_EQ(m.types[1].fpp, q->structure.scatTable[1].values[1]);
    EXPECT_GT(qm.scale, 0);

    // Cl(1): Z towards the dummy, X in the plane towards H(O1A)
    const sc::Atom& cl = m.atoms[3];
    const sc::Vec3 at = m.cartesian(cl.frac);
    const double* d = q->structure.atom[q->structure.nAtoms].frac;
    const sc::Vec3 dummy = m.cartesian({d[0], d[1], d[2]});
    const sc::Vec3 h = m.cartesian(m.atoms[1].frac);
    double toDummy[3], toH[3], len = 0;
    for (int i = 0; i < 3; ++i) {
        toDummy[i] = dummy[i] - at[i];
        toH[i] = h[i] - at[i];
        len += toDummy[i] * toDummy[i];
    }
    len = std::sqrt(len);
    double zDot = 0, xDotH = 0, yDotH = 0;
    for (int i = 0; i < 3; ++i) {
        zDot += cl.frame[2][i] * toDummy[i] / len;
        xDotH += cl.frame[0][i] * toH[i];
        yDotH += cl.frame[1][i] * toH[i];
    }
    EXPECT_NEAR(zDot, 1.0, 1e-12);
    EXPECT_GT(xDotH, 0.0);
    EXPECT_NEAR(yDotH, 0.0, 1e-12);
}

}  // namespace
