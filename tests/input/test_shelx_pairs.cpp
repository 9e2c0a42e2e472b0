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

namespace {

// The quandrel names of a run, in atom order (labels left out: a CIF may spell them anew).
std::vector<std::string> namesOfRun(const std::string& input) {
    ScratchDir dir;
    dir.copyFolder(examplePath("l_alanine"));
    runTool("-input " + input);
    std::vector<std::string> names;
    for (const std::string& line : linesOf(dir.read("Quandrele.out"))) {
        const std::size_t colon = line.find(": ");
        if (colon != std::string::npos) names.push_back(line.substr(colon + 2));
    }
    return names;
}

}  // namespace

// A whole run of each .res and of its CIF names every atom alike, also where groups are
// disordered across a three-fold axis (PART -n, disorder group -n): there no hydrogen
// lands in a ring and the methyl carbon C26 keeps three hydrogens.
TEST(ShelxPairs, TheResAndItsCifGiveTheSameNames) {
    std::vector<ResCifPair> pairs(std::begin(REAL_PAIRS), std::end(REAL_PAIRS));
    pairs.push_back({"shelx/I-43d_ni_phosphine/I-43d.res", "shelx/I-43d_ni_phosphine/I-43d.cif"});
    for (const ResCifPair& pair : pairs) {
        SCOPED_TRACE(pair.res);
        const std::vector<std::string> fromRes = namesOfRun(sharedFixture(pair.res));
        const std::vector<std::string> fromCif = namesOfRun(sharedFixture(pair.cif));
        ASSERT_FALSE(fromRes.empty());
        EXPECT_EQ(fromRes, fromCif);
        for (const std::string& name : fromRes) EXPECT_NE(name.rfind("3-H", 0), 0u) << name;
    }
    ScratchDir dir;
    dir.copyFolder(examplePath("l_alanine"));
    runTool("-input " + sharedFixture("shelx/I-43d_ni_phosphine/I-43d.res"));
    const std::string out = dir.read("Quandrele.out");
    EXPECT_NE(out.find("\nC26: C3c1h1h1h\n"), std::string::npos) << out;
}
