// Metal-ligand bonds (MetalBonds[0|1]=): the coordination-radius window, the default by the
// kind of input, the warning on metal-ligand contacts that are no bonds, a small complex
// that stays one molecule, and a CIF run end to end.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "chem/bonds.h"
#include "chem/elements.h"
#include "testutil.h"

namespace {

// One metal and one atom at distance d along x; the setting and the kind of input.
struct Pair {
    std::string what;
    const char* metal;
    const char* ligand;
    double d;
    int setting;       // MetalBonds[0|1]= value; -1 unset
    int crystalInput;  // 0 XD, 1 CIF
    bool bonded;
    bool warned;
};

// The bonds found and standard error of the pair.
int bondsOf(const Pair& p, std::string& err) {
    StructureBuilder s(32.0);
    s.add("M1", p.metal, 5, 5, 5);
    s.add("L1", p.ligand, 5 + p.d, 5, 5);
    Records r(s.structure());
    r.opt.metalBonds = p.setting;
    r.opt.crystalInput = p.crystalInput;
    int count = 0;
    err = captureStderr([&] { count = findBonds(r.perceiving()); });
    return count;
}

}  // namespace

// The radius sums (Cordero et al.): Fe-O 1.52 + 0.66 = 2.18 (bonds up to 2.616, contacts
// named up to 2.725), Co-N 1.50 + 0.71 = 2.21, Cd-O 1.44 + 0.66 = 2.10 (2.52, 2.625).
TEST(MetalBonds, CoordinationWindowDefaultAndContactWarning) {
    const Pair rows[] = {
        {"Fe-O 2.20, off: a contact", "Fe", "O", 2.20, 0, 0, false, true},
        {"Fe-O 2.20, on", "Fe", "O", 2.20, 1, 0, true, false},
        {"Fe-O 2.20, XD input by default: off", "Fe", "O", 2.20, -1, 0, false, true},
        {"Fe-O 2.20, CIF input by default: on", "Fe", "O", 2.20, -1, 1, true, false},
        {"Fe-O 2.20, CIF input switched off", "Fe", "O", 2.20, 0, 1, false, true},
        {"Fe-O 1.95 bonds by the covalent rule anyway", "Fe", "O", 1.95, 0, 0, true, false},
        {"Co-N 2.12, on", "Co", "N", 2.12, 1, 0, true, false},
        {"Co-N 2.12, off", "Co", "N", 2.12, 0, 0, false, true},
        {"Cd-O 2.50, on", "Cd", "O", 2.50, 1, 0, true, false},
        {"Cd-O 2.60, on: beyond 1.2 times the sum", "Cd", "O", 2.60, 1, 0, false, true},
        {"Cd-O 2.70: beyond 1.25 times the sum", "Cd", "O", 2.70, 1, 0, false, false},
        {"Cu-Cl 2.60, on", "Cu", "Cl", 2.60, 1, 0, true, false},
        {"Na-O 2.40, on", "Na", "O", 2.40, 1, 0, true, false},
        {"K-O 2.90, on", "K", "O", 2.90, 1, 0, true, false},
        {"Fe-O 1.00, on: far too close", "Fe", "O", 1.00, 1, 0, false, false},
        {"Fe-Fe 2.9: no ligand", "Fe", "Fe", 2.9, 1, 0, false, false},
        {"C-O 2.2: no metal", "C", "O", 2.2, 1, 0, false, false},
        {"Fe-H 2.0: hydrogen is no ligand atom here", "Fe", "H", 2.0, 1, 0, false, false},
    };
    for (const Pair& p : rows) {
        SCOPED_TRACE(p.what);
        ScratchDir dir;
        std::string err;
        EXPECT_EQ(bondsOf(p, err), p.bonded ? 1 : 0);
        EXPECT_EQ(countOf(err, "metal-ligand contact"), p.warned ? 1 : 0) << err;
        if (p.warned) {
            const std::string pair = std::string("M1-L1 ") + std::to_string(p.d).substr(0, 4);
            EXPECT_NE(err.find(pair), std::string::npos) << err;
            EXPECT_NE(err.find(p.setting == 1 || (p.setting < 0 && p.crystalInput != 0) ? "check the coordination"
                                                                                          : "MetalBonds[0|1]=1"),
                      std::string::npos)
                << err;
        }
    }
}

TEST(MetalBonds, RuleAndLongestBondAgree) {
    // the longest bond is the last distance bonded, for every metal-ligand pair of the table
    for (int m = 0; m < N_RADII; ++m)
        for (int l = 0; l < N_RADII; ++l) {
            if (!isMetalLigandPair(m, l)) continue;
            const double longest = longestBond(m, l, true);
            ASSERT_GT(longest, 0) << m << " " << l;
            EXPECT_TRUE(elementsBondedAt(m, l, longest * (1 - 1e-9), true)) << m << " " << l;
            EXPECT_FALSE(elementsBondedAt(m, l, longest * (1 + 1e-9), true)) << m << " " << l;
            // off, the rule is the covalent one
            EXPECT_EQ(longestBond(m, l, false), bondReferenceLength(m, l) / 0.85);
        }
    EXPECT_TRUE(isMetal(25) && isMetal(47) && isMetal(10) && isMetal(81));     // Fe Cd Na Pb
    EXPECT_FALSE(isMetal(5) || isMetal(0) || isMetal(13) || isMetal(31));     // C H Si Ge
    EXPECT_TRUE(isLigandAtom(7) && isLigandAtom(6) && isLigandAtom(52));      // O N I
    EXPECT_FALSE(isLigandAtom(0) || isLigandAtom(25) || isLigandAtom(1));     // H Fe He
}

namespace {

// Hexaaqua iron: Fe on the origin of the octahedron, six water oxygens at distance d, each
// with two hydrogen atoms pointing away.
Structure hexaaqua(double d) {
    StructureBuilder s(30.0);
    s.add("Fe1", "Fe", 10, 10, 10);
    const double axes[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (int k = 0; k < 6; ++k) {
        const double* e = axes[k];
        const double o[3] = {10 + d * e[0], 10 + d * e[1], 10 + d * e[2]};
        s.add("O" + std::to_string(k + 1), "O", o[0], o[1], o[2]);
        // the hydrogens in a plane holding the Fe-O axis, 0.96 A from O, 125 degrees from Fe
        const double side[3] = {e[1] != 0 || e[2] != 0 ? 1.0 : 0.0, e[0] != 0 ? 1.0 : 0.0, 0};
        const double along = 0.96 * std::cos(55.0 * M_PI / 180.0), across = 0.96 * std::sin(55.0 * M_PI / 180.0);
        for (int h = 0; h < 2; ++h) {
            const double sign = h == 0 ? 1 : -1;
            s.add("H" + std::to_string(k + 1) + (h == 0 ? "A" : "B"), "H", o[0] + along * e[0] + sign * across * side[0],
                  o[1] + along * e[1] + sign * across * side[1], o[2] + along * e[2] + sign * across * side[2]);
        }
    }
    return s.structure();
}

}  // namespace

TEST(MetalBonds, AHexaaquaComplexIsOneMoleculeOnlyWithTheRule) {
    for (int setting : {0, 1}) {
        SCOPED_TRACE(setting);
        ScratchDir dir;
        Records r(hexaaqua(2.13));
        r.opt.metalBonds = setting;
        int molecules = 0;
        const Streams s = capture([&] {
            const int count = findBonds(r.perceiving());
            verknopfung(r.perceiving(), count);
            molecules = countMols(r.perceiving());
        });
        const int fe = atomNamed(r.structure, "Fe1");
        EXPECT_EQ(r.perception.knopf[fe].count(), setting == 1 ? 6 : 0);
        EXPECT_EQ(molecules, setting == 1 ? 1 : 7);
        // one warning for the run, listing all six pairs
        EXPECT_EQ(countOf(s.err, "Warning: 6 metal-ligand contacts"), setting == 1 ? 0 : 1) << s.err;
        EXPECT_EQ(countOf(s.err, "Fe1-O"), setting == 1 ? 0 : 6) << s.err;
        ASSERT_EQ(r.perception.warnings.all().size(), setting == 1 ? 0u : 1u);
        if (setting == 0) {
            EXPECT_EQ(r.perception.warnings.all()[0].atoms.size(), 12u);
        }
    }
}

namespace {

const char* const FERROUS_CIF =
    "data_hexaaqua\n_cell_length_a 12\n_cell_length_b 12\n_cell_length_c 12\n"
    "_cell_angle_alpha 90\n_cell_angle_beta 90\n_cell_angle_gamma 90\n"
    "loop_\n_space_group_symop_operation_xyz\n'x, y, z'\n"
    "loop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_fract_x\n_atom_site_fract_y\n"
    "_atom_site_fract_z\n_atom_site_U_iso_or_equiv\n"
    "Fe1 Fe 0.5 0.5 0.5 0.02\n"
    "O1 O 0.6775 0.5 0.5 0.02\nH1A H 0.7233 0.5655 0.5 0.03\nH1B H 0.7233 0.4345 0.5 0.03\n"
    "O2 O 0.3225 0.5 0.5 0.02\nH2A H 0.2767 0.5655 0.5 0.03\nH2B H 0.2767 0.4345 0.5 0.03\n";

}  // namespace

// The program on a CIF: the iron is bonded by default, and a settings file can switch the
// rule off, which leaves the contacts named in a warning and in the report.
TEST(MetalBonds, CifInputBondsMetalsUnlessTheSettingsSayOtherwise) {
    for (int setting : {-1, 0}) {
        SCOPED_TRACE(setting);
        ScratchDir dir;
        dir.copyIn(examplePath("l_alanine/DABA.txt"), "DABA.txt");
        dir.write("c.cif", FERROUS_CIF);
        dir.write("qdltool.ini", std::string("DABA_PATH=DABA.txt\n") + (setting == 0 ? "MetalBonds[0|1]=0\n" : ""));
        const RunResult r = runTool("-input c.cif");
        ASSERT_EQ(r.code, 0) << r.err;
        const std::string names = dir.read("Quandrele.out");
        EXPECT_EQ(countOf(names, "Fe1: Fe1o1o\nO1: O1fe[1o]1h1h\nH1A: H1o[1fe1h]\n"), setting < 0 ? 1 : 0) << names;
        EXPECT_EQ(countOf(names, "fe"), setting < 0 ? 6 : 0) << names;
        EXPECT_EQ(countOf(r.err, "metal-ligand contacts"), setting < 0 ? 0 : 1) << r.err;
        EXPECT_EQ(countOf(dir.read("Quandrele.json"), "metal-ligand contact without a bond"), setting < 0 ? 0 : 1);
        // the key never enters the example settings file
        EXPECT_EQ(dir.read("example4qdltool.ini").find("MetalBonds"), std::string::npos);
    }
}
