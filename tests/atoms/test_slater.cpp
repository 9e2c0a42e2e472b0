// The reader of Slater-type orbital tables: a small table written here, damaged variants,
// and every published neutral atom H to Xe.
#include <gtest/gtest.h>

#include <cmath>

#include "atomtest.h"

using namespace atoms;

namespace {

// Two blocks of single normalised functions, laid out like the published files.
const char* const TABLE =
    "      TEST   1S(2)2P(1), 2P\n"
    "\n"
    "   E =    -1.250000000\n"
    "   T =     1.250000000     V =    -2.500000000     V/T =    -2.000000000\n"
    "  ORBITAL ENERGIES AND EXPANSION COEFFICIENTS\n"
    "        S                    1S\n"
    "  BASIS/ORB.ENERGY       -0.5000000\n"
    "              CUSP        1.0000000\n"
    "  1S        1.50000       1.0000000\n"
    "        P                    2P\n"
    "  BASIS/ORB.ENERGY       -0.1250000\n"
    "              CUSP        1.0000000\n"
    "  2P        0.50000       0.6000000\n"
    "  2P        0.50000       0.4000000\n";

std::string replaced(const std::string& from, const std::string& to) {
    std::string t = TABLE;
    const std::size_t at = t.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return t.replace(at, from.size(), to);
}

}  // namespace

TEST(SlaterReader, ReadsBlocksOrbitalsAndEnergy) {
    const SlaterAtom a = parseSlater(TABLE, "test.slater");
    EXPECT_EQ(a.totalEnergy, -1.25);
    ASSERT_EQ(a.orbitals.size(), 2u);
    EXPECT_EQ(a.orbitals[0].n, 1);
    EXPECT_EQ(a.orbitals[0].l, 0);
    EXPECT_EQ(a.orbitals[1].n, 2);
    EXPECT_EQ(a.orbitals[1].l, 1);
    EXPECT_EQ(a.orbitals[1].zeta.size(), 2u);
    EXPECT_NEAR(slaterNorm(a.orbitals[0]), 1, 1e-12);
    EXPECT_NEAR(slaterNorm(a.orbitals[1]), 1, 1e-12);
    // 1S with zeta 1.5: r R = 2 zeta^1.5 r exp(-zeta r)
    for (double r : {0.01, 0.7, 3.0})
        EXPECT_NEAR(slaterU(a.orbitals[0], r), 2 * std::pow(1.5, 1.5) * r * std::exp(-1.5 * r), 1e-14);
}

TEST(SlaterReader, DamagedTablesEndWithAMessage) {
    const struct {
        std::string text;
        const char* message;
    } cases[] = {
        {"", "no total energy"},
        {replaced("E =    -1.250000000", "E =    x"), "is no number"},
        {replaced("  1S        1.50000       1.0000000\n", ""), "has no basis functions"},
        {replaced("1S        1.50000       1.0000000", "1S        1.50000       1.0 2.0"), "expected a basis row"},
        {replaced("1S        1.50000", "1S       -1.50000"), "exponent"},
        {replaced("1S        1.50000", "1S        nan"), "exponent"},
        {replaced("1S        1.50000", "1S        1e99"), "exponent"},
        {replaced("1.50000       1.0000000", "1.50000       1e300"), "coefficient"},
        {replaced("1.50000       1.0000000", "1.50000       2.0"), "not normalised"},
        {replaced("2P        0.50000       0.6000000", "3D        0.50000       0.6000000"), "expected a basis row"},
        {replaced("P                    2P", "P                    1P"), "is no P orbital"},
        {replaced("P                    2P", "P                    2P 2P"), "appears twice"},
        {replaced("S                    1S", "S                    1S 2S 3S 4S 5S 6S 7S 8S 9S"), "more than 8 orbitals"},
        {std::string(TABLE) + "  2P        0.50000\n", "expected a basis row"},
        {std::string(2u << 20, ' '), "longer than"},
    };
    for (const auto& c : cases) {
        try {
            parseSlater(c.text, "bad.slater");
            ADD_FAILURE() << "accepted: " << c.message;
        } catch (const Failure& f) {
            EXPECT_NE(f.message().find(c.message), std::string::npos) << f.message();
        }
    }
    std::string many = TABLE;
    for (int i = 0; i < 70; ++i) many += "  2P        0.50000       0.0000000\n";
    EXPECT_THROW(parseSlater(many, "many.slater"), Failure);
}

// Every published neutral atom the solver covers reads, with normalised orbitals whose
// shells hold the element's electrons.
TEST(SlaterReader, ReadsEveryPublishedNeutralAtom) {
    const std::string dir = atomtest::neutralWavefunctions();
    for (int z = 1; z <= 54; ++z) {
        const SlaterAtom a = readSlater(dir, symbolOf(z));
        EXPECT_LT(a.totalEnergy, 0) << symbolOf(z);
        for (const auto& o : a.orbitals) EXPECT_NEAR(slaterNorm(o), 1, 1e-4) << symbolOf(z) << o.n << o.l;
        for (const auto& s : groundStateConfiguration(z)) {
            bool found = false;
            for (const auto& o : a.orbitals) found = found || (o.n == s.n && o.l == s.l);
            EXPECT_TRUE(found) << symbolOf(z) << " " << s.n << s.l;
        }
    }
}
