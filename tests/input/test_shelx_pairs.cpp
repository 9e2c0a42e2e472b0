// Every real pair of a SHELXL .res and the CIF that SHELXL wrote from the same model: the
// SHELX reader gives every atom of the CIF, with its coordinates, its crystallographic
// occupancy and its U values, to the precision the CIF prints. The CIF side is read with
// gemmi directly here; its chemical occupancy is divided by the order of the site symmetry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include <gemmi/unitcell.hpp>

#include "input/crystal.h"
#include "shelx_pairs.h"
#include "symmetry/spacegroup.h"
#include "testutil.h"

namespace {

using namespace shelxpairs;

// Number of operators that map the position onto itself (within 0.1 A).
int siteOrder(const CifModel& m, const double (&frac)[3]) {
    const gemmi::UnitCell cell(m.cell[0], m.cell[1], m.cell[2], m.cell[3], m.cell[4], m.cell[5]);
    int order = 0;
    for (const SymOp& op : m.operators) {
        double image[3];
        op.apply(frac, image);
        gemmi::Fractional d(image[0] - frac[0], image[1] - frac[1], image[2] - frac[2]);
        d.x -= std::round(d.x);
        d.y -= std::round(d.y);
        d.z -= std::round(d.z);
        if (cell.orthogonalize_difference(d).length() < 0.1) ++order;
    }
    return std::max(order, 1);
}

TEST(ShelxPairs, EveryRealResGivesTheAtomsOfItsCifToThePrintedPrecision) {
    for (const ResCifPair& pair : REAL_PAIRS) {
        SCOPED_TRACE(pair.res);
        CrystalInput in;
        captureStdout([&] { in = readShelxInput(sharedFixture(pair.res)); });
        const CifModel m = readCif(sharedFixture(pair.cif));
        ASSERT_GT(m.operators.size(), 0u);
        ASSERT_GT(m.sites.size(), 0u);
        EXPECT_EQ(in.sites.size(), m.sites.size());
        for (int k = 0; k < 6; ++k) EXPECT_NEAR(in.cell[k], m.cell[k], 1e-9) << "cell " << k;
        for (const CrystalSite& s : in.sites) {
            SCOPED_TRACE(s.label);
            const auto found = m.sites.find(upper(s.label));
            ASSERT_NE(found, m.sites.end()) << "not in the CIF";
            const CifSite& c = found->second;
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(s.frac[k], c.frac[k], c.fracPrecision[k] + 1e-9) << "xyz"[k];
            const int order = siteOrder(m, c.frac);
            EXPECT_NEAR(s.occupancy, c.occupancy / order, (c.occupancyPrecision + 1e-9) / order) << "occupancy";
            ASSERT_EQ(s.aniso, c.aniso);
            if (s.aniso) {
                for (int k = 0; k < 6; ++k) EXPECT_NEAR(s.u[k], c.u[k], c.uPrecision + 1e-9) << "U" << k;
            } else {
                // riding hydrogen atoms: the CIF states the U that SHELXL computed
                EXPECT_NEAR(s.uiso, c.uiso, c.uPrecision + 2e-5) << "U iso";
            }
        }
    }
}

}  // namespace
