// Valences, charges and oxidation numbers read from names; molecules and their electrons.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "testutil.h"

namespace {

std::string logOf(Quandrel& q) {
    fflush(q.logFile);
    return slurp("Quandrele.log");
}

// Bonds and nodes, then the molecules: their number, and what the count printed into out
// when given.
int moleculesOf(Quandrel& q, std::string* out = nullptr) {
    verknopfung(perceiving(q), findBonds(perceiving(q)));
    int count = 0;
    const std::string printed = captureStdout([&] { count = countMols(perceiving(q));
        announceMolecules(q.perception);
    });
    if (out != nullptr) *out = printed;
    return count;
}

}  // namespace

TEST(Valences, ChargeAndOxidationNumberFromTheBondOrdersOfTheName) {
    const struct {
        const char* symbol;
        const char* name;
        double charge;
        const char* logLine;
    } cases[] = {
        // aromatic carbon: 1.5 + 1.5 + 1 = 4; the hydrogen counts -1
        {"C", "C1.5c1.5c1h", 0.0,
         "C1.5c1.5c1h has  4.0 Valences, I guess it has Charge  0.0 maybe the oxidation number is -1.0"},
        // second shells and what follows a sign carry no bond orders
        {"C", "C1.5c[1.5c1h]1.5c[1.5c1h]1h", 0.0,
         "C1.5c[1.5c1h]1.5c[1.5c1h]1h has  4.0 Valences, I guess it has Charge  0.0 "
         "maybe the oxidation number is -1.0"},
        {"C", "C1.5c[1.5c1h]1.5c-[2o]1h+1.5c", 0.0,
         "C1.5c[1.5c1h]1.5c-[2o]1h+1.5c has  4.0 Valences, I guess it has Charge  0.0 "
         "maybe the oxidation number is -1.0"},
        // ammonium nitrogen: four bonds on a trivalent atom, one too many: +1
        {"N", "N1c1h1h1h", 1.0,
         "N1c1h1h1h has  4.0 Valences, I guess it has Charge  1.0 maybe the oxidation number is -3.0"},
        {"N", "N1c1c1c1c", 1.0,
         "N1c1c1c1c has  4.0 Valences, I guess it has Charge  1.0 maybe the oxidation number is -3.0"},
        // nitrogen with five bonds: the even excess is taken as extra bonds, no charge
        {"N", "N2o2o1c", -0.0,
         "N2o2o1c has  5.0 Valences, I guess it has Charge -0.0 maybe the oxidation number is  3.0"},
        // alkoxide oxygen: one bond short of two
        {"O", "O1c", -1.0, "O1c has  1.0 Valences, I guess it has Charge -1.0 maybe the oxidation number is -2.0"},
        // a two-letter neighbour symbol in lower case is chlorine
        {"C", "C1cl1h1h1h", 0.0,
         "C1cl1h1h1h has  4.0 Valences, I guess it has Charge  0.0 maybe the oxidation number is -2.0"},
    };
    for (const auto& c : cases) {
        ScratchDir dir;
        StructureBuilder s;
        s.add("X", c.symbol, 1, 1, 1);
        auto q = s.build();
        std::snprintf(q->perception.quandrelName[0], NAME_CAP, "%s", c.name);
        q->perception.totalOxi = 0;
        const double charge = calcValeces(perceiving(*q), 0);
        EXPECT_EQ(charge, c.charge) << c.name;
        EXPECT_EQ(std::signbit(charge), std::signbit(c.charge)) << c.name;
        EXPECT_EQ(logOf(*q), std::string(c.logLine) + "\n");
        double oxidation = 0;
        std::sscanf(std::strstr(c.logLine, "number is") + 9, "%lf", &oxidation);
        EXPECT_EQ(q->perception.totalOxi, oxidation) << c.name;
    }
}

TEST(Valences, AnIonicScatteringTypeGivesItsChargeWithoutALogLine) {
    ScratchDir dir;
    auto q = readFixture(dir, "water_chloride");
    const int cl = 3;
    ASSERT_STREQ(q->structure.atom[cl].label, "Cl(1)");
    std::snprintf(q->perception.quandrelName[cl], NAME_CAP, "Cl");
    q->perception.totalOxi = 0.5;
    const std::string before = logOf(*q);
    EXPECT_EQ(calcValeces(perceiving(*q), cl), -1.0);
    EXPECT_EQ(q->perception.totalOxi, -0.5);
    EXPECT_EQ(logOf(*q), before);
}

// ---------------------------------------------------------------------------------
// Molecules
// ---------------------------------------------------------------------------------

TEST(Molecules, WaterAndChlorideAreTwoMoleculesWithTheirValenceElectrons) {
    ScratchDir dir;
    auto q = readFixture(dir, "water_chloride");
    std::string out;
    EXPECT_EQ(moleculesOf(*q, &out), 2);
    EXPECT_EQ(out,
              "The structure contains 2 molecules\n"
              "Molecule 1 should contain 8.000000 Electrons.\n"
              "Molecule 2 should contain 8.000000 Electrons.\n");
    EXPECT_EQ(q->perception.molecule[0], 1);
    EXPECT_EQ(q->perception.molecule[1], 1);
    EXPECT_EQ(q->perception.molecule[2], 1);
    EXPECT_EQ(q->perception.molecule[3], 2);
    EXPECT_EQ(q->perception.molElectrons, (std::vector<double>{8.0, 8.0}));
}

TEST(Molecules, AnIonBehindTheWaterIsMoleculeTwoWhateverTheWaterOrder) {
    const char* orders[] = {"OHH", "HOH", "HHO"};
    for (const char* order : orders) {
        ScratchDir dir;
        StructureBuilder s;
        int h = 0;
        for (const char* c = order; *c != '\0'; ++c) {
            if (*c == 'O') s.add("O1", "O", 5, 5, 5);
            else if (h++ == 0) s.add("H1", "H", 5.967, 5, 5);
            else s.add("H2", "H", 4.758, 5.936, 5);
        }
        s.add("Cl1", "Cl", 8, 8, 8);
        auto q = s.build();
        EXPECT_EQ(moleculesOf(*q), 2) << order;
        EXPECT_EQ(q->perception.molecule[3], 2) << order;
        EXPECT_EQ(q->perception.molecule[0], 1) << order;
    }
}

TEST(Molecules, OneAtomIsOneMolecule) {
    ScratchDir dir;
    StructureBuilder s;
    s.add("Na1", "Na", 1, 1, 1);
    auto q = s.build();
    std::string out;
    EXPECT_EQ(moleculesOf(*q, &out), 1);
    EXPECT_EQ(out, "The structure contains 1 molecules\nMolecule 1 should contain 1.000000 Electrons.\n");
}

TEST(Molecules, ElectronsAreWeightedByOccupancy) {
    ScratchDir dir;
    // Two orientations of the CF3 group at 0.62 and 0.38: 4*8 C, 7 H and 3*7 F electrons.
    auto q = readFixture(dir, "disorder_cf3");
    std::string out;
    EXPECT_EQ(moleculesOf(*q, &out), 1);
    EXPECT_EQ(out, "The structure contains 1 molecules\nMolecule 1 should contain 60.000000 Electrons.\n");
}

TEST(Molecules, TwoUreaMoleculesOfTheAsymmetricUnit) {
    ScratchDir dir;
    auto q = readFixture(dir, "urea_z2");
    EXPECT_EQ(moleculesOf(*q), 2);
    int first = 0;
    for (int i = 0; i < q->structure.nAtoms; ++i) {
        EXPECT_TRUE(q->perception.molecule[i] == 1 || q->perception.molecule[i] == 2) << q->structure.atom[i].label;
        first += q->perception.molecule[i] == 1;
    }
    EXPECT_EQ(first, 8);
}

namespace {

// The molecule numbers of repeated flood-fill passes: molecule 1 starts at atom 0; each
// pass over the atoms lets an atom join when a neighbour belongs to the current molecule;
// the lowest atom left over starts the next molecule.
std::vector<int> moleculesByPasses(const Quandrel& q) {
    std::vector<int> molecule(q.structure.nAtoms, 0);
    int current = 1;
    molecule[0] = 1;
    for (;;) {
        bool changed = true;
        while (changed) {
            changed = false;
            for (int i = 1; i < q.structure.nAtoms; ++i) {
                if (molecule[i] != 0) continue;
                const Knopf& node = q.perception.knopf[i];
                for (int k = 0; k < node.anzahl; ++k)
                    if (molecule[node.nachbar[k]] == current) {
                        molecule[i] = current;
                        changed = true;
                        break;
                    }
            }
        }
        const auto left = std::find(molecule.begin(), molecule.end(), 0);
        if (left == molecule.end()) return molecule;
        *left = ++current;
    }
}

}  // namespace

TEST(Molecules, TheSearchNumbersMoleculesLikeRepeatedFloodFillPasses) {
    ScratchDir dir;
    // Zigzag chains of 2 to 40 carbons, waters and lone ions, added in a shuffled order
    // so that the passes need many rounds.
    struct Pending {
        std::string label, symbol;
        double x, y, z;
    };
    std::vector<Pending> atoms;
    std::mt19937 random(11);
    for (int m = 0; m < 60; ++m) {
        const double y = 4 + 5 * (m % 12), z = 4 + 5 * (m / 12);
        const std::string tag = std::to_string(m) + "_";
        if (m % 3 == 0) {
            atoms.push_back({"O" + tag, "O", 4, y, z});
            atoms.push_back({"H" + tag + "A", "H", 4.967, y, z});
            atoms.push_back({"H" + tag + "B", "H", 3.758, y + 0.936, z});
        } else if (m % 7 == 1) {
            atoms.push_back({"Cl" + tag, "Cl", 4, y, z});
        } else {
            const int length = 2 + static_cast<int>(random() % 39);
            for (int k = 0; k < length; ++k)
                atoms.push_back({"C" + tag + std::to_string(k), "C", 4 + 1.26 * k, y + (k % 2) * 0.89, z});
        }
    }
    std::shuffle(atoms.begin(), atoms.end(), random);
    StructureBuilder s(80.0);
    for (const Pending& a : atoms) s.add(a.label, a.symbol, a.x, a.y, a.z);
    auto q = s.build();
    const int count = moleculesOf(*q);
    EXPECT_EQ(count, 60);
    const std::vector<int> expected = moleculesByPasses(*q);
    for (int i = 0; i < q->structure.nAtoms; ++i) ASSERT_EQ(q->perception.molecule[i], expected[i]) << q->structure.atom[i].label;
    EXPECT_EQ(static_cast<int>(q->perception.molElectrons.size()), count);
}
