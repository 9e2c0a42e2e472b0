// The SHELX reader: the grammar of .res/.ins files as far as a structure needs it, free
// variables, riding U values, labels, Q-peaks, every bad input, and the real files.
#include <gtest/gtest.h>

#include <cmath>
#include <dirent.h>
#include <functional>
#include <string>
#include <vector>

#include "core/failure.h"
#include "input/crystal.h"
#include "symmetry/spacegroup.h"
#include "testutil.h"

namespace {

constexpr double PI = 3.14159265358979323846;

// Runs code that stops; returns the exit code it stopped with (-1 when it did not stop)
// and the standard error of the run up to the banners, and checks that it left no file
// open.
int stopCodeOf(const std::function<void()>& code, std::string* err = nullptr) {
    const int before = openFiles();
    const Stopped s = failureOf(code);
    if (err != nullptr) *err = s.err;
    EXPECT_EQ(openFiles(), before) << "the reader left a file open";
    return s.code;
}

// A small .res of our own: the head (up to FVAR), the atoms, the tail.
struct ResText {
    std::string head =
        "TITL test in P2(1)/c\n"
        "CELL 0.71073 10.0 11.0 12.0 90 100 90\n"
        "ZERR 4 0.001 0.002 0.003 0 0.01 0\n"
        "LATT 1\n"
        "SYMM -X, 0.5+Y, 0.5-Z\n"
        "SFAC C H N O\n"
        "UNIT 4 8 4 4\n"
        "L.S. 10\n"
        "WGHT 0.05 0.1\n"
        "FVAR 1.2 0.7 0.4\n";
    std::string atoms =
        "C1    1    0.100000    0.200000    0.300000    11.00000    0.02000    0.03000 =\n"
        "         0.04000    0.00300    0.00200    0.00100\n"
        "H1    2    0.150000    0.250000    0.350000    11.00000   -1.20000\n";
    std::string tail = "HKLF 4\nEND\n";

    std::string text() const { return head + atoms + tail; }
};

CrystalInput readText(const ScratchDir& dir, const std::string& text, std::string* out = nullptr) {
    dir.write("t.res", text);
    if (out == nullptr) return readShelxInput("t.res");
    CrystalInput in;
    *out = captureStdout([&] { in = readShelxInput("t.res"); });
    return in;
}

CrystalInput readAtoms(const ScratchDir& dir, const std::string& atoms) {
    ResText res;
    res.atoms = atoms;
    return readText(dir, res.text());
}

// The equivalent isotropic U of a monoclinic (b unique) tensor, worked out by hand.
double monoclinicUeq(double beta, double u11, double u22, double u33, double u13) {
    const double b = beta * PI / 180;
    const double s2 = std::sin(b) * std::sin(b);
    return (u11 / s2 + u22 + u33 / s2 + 2 * u13 * std::cos(b) / s2) / 3;
}

TEST(ShelxReader, ReadsTitleCellSymmetryAndAtomsWithUInOurOrder) {
    ScratchDir dir;
    const CrystalInput in = readText(dir, ResText().text());
    EXPECT_EQ(in.source, "t.res");
    EXPECT_EQ(in.title, "test in P2(1)/c");
    const double cell[6] = {10, 11, 12, 90, 100, 90};
    const double sd[6] = {0.001, 0.002, 0.003, 0, 0.01, 0};
    for (int k = 0; k < 6; ++k) {
        EXPECT_DOUBLE_EQ(in.cell[k], cell[k]) << k;
        EXPECT_DOUBLE_EQ(in.cellSd[k], sd[k]) << k;
    }
    EXPECT_DOUBLE_EQ(in.wavelength, 0.71073);
    EXPECT_TRUE(in.symmetry.known);
    EXPECT_EQ(in.symmetry.centric, 'C');
    EXPECT_EQ(in.symmetry.lattice, 'P');
    EXPECT_EQ(in.symmetry.symm, std::vector<std::string>{"-X,1/2+Y,1/2-Z"});
    ASSERT_EQ(in.sites.size(), 2u);
    const CrystalSite& c = in.sites[0];
    EXPECT_EQ(c.label, "C1");
    EXPECT_EQ(c.element, 5);
    EXPECT_DOUBLE_EQ(c.frac[0], 0.1);
    EXPECT_DOUBLE_EQ(c.frac[2], 0.3);
    EXPECT_DOUBLE_EQ(c.occupancy, 1.0);
    EXPECT_TRUE(c.aniso);
    // the file gives U11 U22 U33 U23 U13 U12
    const double u[6] = {0.02, 0.03, 0.04, 0.001, 0.002, 0.003};
    for (int k = 0; k < 6; ++k) EXPECT_DOUBLE_EQ(c.u[k], u[k]) << k;
    EXPECT_EQ(in.sites[1].element, 0);
    EXPECT_FALSE(in.sites[1].aniso);
}

TEST(ShelxReader, LattAndSymmCardsBecomeTheMasterFileSymmetry) {
    struct Case {
        const char* what;
        std::string cards;
        char centric, lattice;
        std::vector<std::string> symm;
    } cases[] = {
        {"no LATT: centric P", "SYMM -X, 1/2+Y, 1/2-Z\n", 'C', 'P', {"-X,1/2+Y,1/2-Z"}},
        {"SHELXL-2018 decimals with blanks inside terms",
         "LATT -1\nSYMM     0.50000 - X ,            - Y ,    0.50000 + Z\n"
         "SYMM     0.50000 + X ,    0.50000 - Y ,            - Z\nSYMM             - X ,    0.50000 + Y ,    0.50000 - Z\n",
         'A', 'P', {"1/2-X,-Y,1/2+Z", "1/2+X,1/2-Y,-Z", "-X,1/2+Y,1/2-Z"}},
        {"quarters and translations after the axis", "LATT -4\nSYMM 0.25+Y, 0.25+X, 0.25+Z\nSYMM -X+0.75, Y, -Z+ 0.5\n",
         'A', 'F', {"1/4+Y,1/4+X,1/4+Z", "3/4-X,Y,1/2-Z"}},
        {"rhombohedral, thirds as decimals", "LATT 3\nSYMM - Y,   X - Y,   Z\nSYMM -X+Y, -X, Z+0.33333\n", 'C', 'R',
         {"-Y,X-Y,Z", "-X+Y,-X,1/3+Z"}},
        {"negative translations wrapped, identity left out", "LATT -2\nSYMM x, y, z\nSYMM -x, -0.5-y, z\n", 'A', 'I',
         {"-X,1/2-Y,Z"}},
        {"lattice letters", "LATT 7\n", 'C', 'C', {}},
        {"A centring", "LATT -5\n", 'A', 'A', {}},
        {"B centring", "LATT 6\n", 'C', 'B', {}},
    };
    ScratchDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResText res;
        res.head = "TITL t\nCELL 0.71073 10 10 10 90 90 90\n" + c.cards + "SFAC C H\n";
        res.atoms = "C1 1 0.1 0.2 0.3 11.0 0.02\n";
        const CrystalInput in = readText(dir, res.text());
        EXPECT_EQ(in.symmetry.centric, c.centric);
        EXPECT_EQ(in.symmetry.lattice, c.lattice);
        EXPECT_EQ(in.symmetry.symm, c.symm);
    }
}

TEST(ShelxReader, FreeVariablesFixCoupleAndCoupleNegatively) {
    // FVAR 1.2 0.7 0.4: free variable 2 is 0.7, 3 is 0.4
    struct Case {
        const char* what;
        std::string value;
        double occupancy;
    } cases[] = {
        {"refined", "0.85", 0.85},
        {"fixed at 1", "11.00000", 1.0},
        {"fixed at 0.5", "10.50000", 0.5},
        {"fixed at 0.25", "10.25", 0.25},
        {"free variable 2", "21.00000", 0.7},
        {"half free variable 2", "20.50000", 0.35},
        {"one minus free variable 2", "-21.00000", 0.3},
        {"half of one minus free variable 2", "-20.50000", 0.15},
        {"free variable 3 on a three-fold axis", "30.33333", 0.33333 * 0.4},
        {"one minus free variable 3", "-31.00000", 0.6},
    };
    ScratchDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const CrystalInput in = readAtoms(dir, "O1 4 0.1 0.2 0.3 " + c.value + " 0.02\n");
        EXPECT_NEAR(in.sites[0].occupancy, c.occupancy, 1e-12);
    }
    // coordinates and U values are coded the same way
    const CrystalInput in = readAtoms(dir,
                                      "O1 4 9.75 10.5 21.0 11.0 10.06\n"
                                      "O2 4 0.1 0.2 0.3 11.0 10.02 31.0 0.03 -30.5 10.0 10.0\n");
    EXPECT_NEAR(in.sites[0].frac[0], -0.25, 1e-12);
    EXPECT_NEAR(in.sites[0].frac[1], 0.5, 1e-12);
    EXPECT_NEAR(in.sites[0].frac[2], 0.7, 1e-12);
    EXPECT_NEAR(in.sites[0].uiso, 0.06, 1e-12);
    const double u[6] = {0.02, 0.4, 0.03, 0, 0, 0.3};  // U23 = -0.5 (0.4 - 1)
    for (int k = 0; k < 6; ++k) EXPECT_NEAR(in.sites[1].u[k], u[k], 1e-12) << k;
}

TEST(ShelxReader, NegativeUIsAMultipleOfTheUeqOfThePreviousAtomThatIsNoHydrogen) {
    ScratchDir dir;
    const double ueqC1 = monoclinicUeq(100, 0.02, 0.03, 0.04, 0.002);
    const CrystalInput in = readAtoms(dir,
                                      "C1 1 0.1 0.2 0.3 11.0 0.02 0.03 0.04 0.001 0.002 0.003\n"
                                      "AFIX 137\n"
                                      "H1A 2 0.1 0.2 0.4 11.0 -1.5\n"
                                      "H1B 2 0.1 0.3 0.4 11.0 -1.5\n"
                                      "AFIX 0\n"
                                      "H9 2 0.3 0.3 0.4 11.0 0.05\n"
                                      "H1C 2 0.2 0.3 0.4 11.0 -1.2\n"
                                      "N1 3 0.5 0.5 0.5 11.0 0.025\n"
                                      "AFIX 43\n"
                                      "H1 2 0.5 0.6 0.5 11.0 -1.2\n"
                                      "AFIX 0\n");
    ASSERT_EQ(in.sites.size(), 7u);
    EXPECT_NEAR(in.sites[1].uiso, 1.5 * ueqC1, 1e-12);
    EXPECT_NEAR(in.sites[2].uiso, 1.5 * ueqC1, 1e-12);
    EXPECT_NEAR(in.sites[3].uiso, 0.05, 1e-12);
    EXPECT_NEAR(in.sites[4].uiso, 1.2 * ueqC1, 1e-12) << "an isotropic hydrogen atom is no pivot";
    EXPECT_NEAR(in.sites[6].uiso, 1.2 * 0.025, 1e-12) << "an isotropic pivot";
    EXPECT_FALSE(in.sites[1].aniso);
}

TEST(ShelxReader, SpecialPositionsKeepTheCrystallographicOccupancyAndPartsTheirSign) {
    ScratchDir dir;
    const CrystalInput in = readAtoms(dir,
                                      "FE1 1 0 0 0.5 10.16667 0.02\n"
                                      "O4 4 0.333333 0.478579 0.416667 10.50000 0.02\n"
                                      "N1 3 0.333333 0.666667 0.1 10.33333 0.02\n"
                                      "PART 1\n"
                                      "CL1 4 0.333333 0.254 0.416667 20.50000 0.02\n"
                                      "PART -2\n"
                                      "CL2 4 0.333333 0.255 0.416667 -20.50000 0.02\n"
                                      "PART 0\n"
                                      "O9 4 0.1 0.1 0.1 11 0.02\n");
    const double occupancy[] = {0.16667, 0.5, 0.33333, 0.35, 0.15, 1.0};
    const int part[] = {0, 0, 0, 1, -2, 0};
    ASSERT_EQ(in.sites.size(), 6u);
    for (std::size_t k = 0; k < 6; ++k) {
        EXPECT_NEAR(in.sites[k].occupancy, occupancy[k], 1e-12) << in.sites[k].label;
        EXPECT_EQ(in.sites[k].part, part[k]) << in.sites[k].label;
    }
    EXPECT_EQ(in.sites[0].label, "FE1") << "labels as the file gives them";
}

TEST(ShelxReader, ContinuationLinesCommentsAndLinesThatAreNoCards) {
    ScratchDir dir;
    ResText res;
    res.head =
        "TITL continued\n"
        "    a second title line that begins with a blank is ignored\n"
        "CELL 0.71073 10 11 12 =\n"
        "   90 100 90 ! the angles\n"
        "REM a remark that ends with =\n"
        "   and a blank-led line after it\n"
        "LIST 4! glued comment\n"
        "\n"
        "SFAC C  1.0 2.0 3.0 4.0 5.0 6.0 7.0 8.0 0.2 =\n"
        "    0.003 0.002 1.0 0.77 12.011\n"
        "SFAC cl D\n"
        "FVAR 1.0\n";
    res.atoms =
        "C1 1 0.1 0.2 0.3 11.0 =\n"
        "  0.02 0.03 =   ! comment after the mark\n"
        "  0.04 0.001 0.002 0.003\n"
        "CL1 2 0.4 0.5 0.6 11.0 0.03\n"
        "D1 3 0.4 0.5 0.7 11.0 0.03\n";
    const CrystalInput in = readText(dir, res.text());
    EXPECT_EQ(in.title, "continued");
    EXPECT_DOUBLE_EQ(in.cell[5], 90);
    ASSERT_EQ(in.sites.size(), 3u);
    EXPECT_DOUBLE_EQ(in.sites[0].u[0], 0.02);
    EXPECT_DOUBLE_EQ(in.sites[0].u[3], 0.003);
    EXPECT_EQ(in.sites[0].element, 5) << "long SFAC form";
    EXPECT_EQ(in.sites[1].element, 16) << "SFAC names in any case";
    EXPECT_EQ(in.sites[2].element, 0) << "deuterium is hydrogen";
}

TEST(ShelxReader, DispersionOfTheLongSfacFormAndOfDispCards) {
    ScratchDir dir;
    ResText res;
    res.head =
        "TITL t\nCELL 0.71073 10 10 10 90 90 90\n"
        "SFAC C  1.0 2.0 3.0 4.0 5.0 6.0 7.0 8.0 0.2 0.0033 0.0016 1.0 0.77 12.011\n"
        "SFAC H O Cl\n"
        "DISP Cl 0.148 0.159 10.0\n"
        "DISP $O 1 2\n";
    res.atoms = "C1 1 0.1 0.2 0.3 11.0 0.02\n";
    std::string err;
    EXPECT_EQ(stopCodeOf([&] { readText(dir, res.text()); }, &err), 1);
    EXPECT_NE(err.find("line 6: DISP $O names no SFAC type"), std::string::npos) << err;
    res.head.erase(res.head.find("DISP $O"));
    const CrystalInput in = readText(dir, res.text());
    ASSERT_EQ(in.atomTypes.size(), 2u) << "types without stated dispersion are left to the loader";
    EXPECT_EQ(in.atomTypes[0].element, 5);
    EXPECT_DOUBLE_EQ(in.atomTypes[0].fp, 0.0033);
    EXPECT_DOUBLE_EQ(in.atomTypes[0].fpp, 0.0016);
    EXPECT_EQ(in.atomTypes[1].element, 16);
    EXPECT_DOUBLE_EQ(in.atomTypes[1].fp, 0.148);
    EXPECT_DOUBLE_EQ(in.atomTypes[1].fpp, 0.159);
}

TEST(ShelxReader, QPeaksFragmentsAndLinesAfterHklfAreNoAtoms) {
    ScratchDir dir;
    ResText res;
    res.atoms =
        "C1 1 0.1 0.2 0.3 11.0 0.02\n"
        "FRAG 17 1 1 1 90 90 90\n"
        "C2 1 1.2 -0.7 0.0\n"
        "FEND\n"
        "Q1 1 0.2 0.2 0.2 11.0 0.05 1.20\n"
        "O1 4 0.3 0.2 0.3 11.0 0.02\n";
    res.tail =
        "HKLF 4\n"
        "L1      2    0.32950    0.63509    0.31426  !    0.18094    0.21368  S1\n"
        "REM statistics\nEND\nWGHT 0.1\n"
        "Q1 1 0.5 0.5 0.5 11.0 0.05 0.50\nQ2 1 0.5 0.5 0.6 11.0 0.05 0.40\n";
    std::string out;
    const CrystalInput in = readText(dir, res.text(), &out);
    ASSERT_EQ(in.sites.size(), 2u);
    EXPECT_EQ(in.sites[1].label, "O1");
    EXPECT_NE(out.find("3 Q-peak(s) left out"), std::string::npos) << out;
}

TEST(ShelxReader, PlaceholdersOfOccupancyZeroAreLeftOutButCarryTheirRidingHydrogenAtoms) {
    // EXYZ/EADP partners of a disordered atom are fixed at occupancy 0; a CIF leaves them out
    ScratchDir dir;
    ResText res;
    res.head = "+restraints.dfix\n" + res.head;
    res.atoms =
        "PART 1\n"
        "C12 1 0.6 0.7 0.1 11.0 0.05\n"
        "PART 2\n"
        "C12' 1 0.6 0.7 0.1 10.0 0.04\n"
        "AFIX 23\n"
        "H12C 2 0.7 0.6 0.2 -21.0 -1.2\n"
        "AFIX 0\n";
    std::string out;
    const CrystalInput in = readText(dir, res.text(), &out);
    ASSERT_EQ(in.sites.size(), 2u);
    EXPECT_EQ(in.sites[1].label, "H12C");
    EXPECT_NEAR(in.sites[1].uiso, 1.2 * 0.04, 1e-12);
    EXPECT_NEAR(in.sites[1].occupancy, 0.3, 1e-12);
    EXPECT_NE(out.find("1 atom(s) of occupancy 0 left out (C12')"), std::string::npos) << out;
    EXPECT_NE(out.find("the included file restraints.dfix is not read"), std::string::npos) << out;
}

TEST(ShelxReader, LabelsThatRecurInResiduesCarryTheResidueNumber) {
    ScratchDir dir;
    const CrystalInput in = readAtoms(dir,
                                      "RESI 4 CCF3\n"
                                      "O1 4 0.1 0.2 0.3 11.0 0.02\n"
                                      "F1 4 0.1 0.2 0.4 11.0 0.02\n"
                                      "RESI CF3 5\n"
                                      "O1 4 0.2 0.2 0.3 11.0 0.02\n"
                                      "RESI 0\n"
                                      "O1 4 0.3 0.2 0.3 11.0 0.02\n");
    ASSERT_EQ(in.sites.size(), 4u);
    EXPECT_EQ(in.sites[0].label, "O1_4");
    EXPECT_EQ(in.sites[1].label, "F1");
    EXPECT_EQ(in.sites[2].label, "O1_5");
    EXPECT_EQ(in.sites[3].label, "O1");
}

TEST(ShelxReader, BadInputStopsWithTheFileAndTheLine) {
    const std::string good = ResText().text();
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        const std::size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos) text.replace(at, from.size(), to);
        return text;
    };
    ResText noAtoms;
    noAtoms.atoms = "";
    struct Case {
        const char* what;
        std::string text;
        const char* message;
    } cases[] = {
        {"unknown SFAC number", replaced("H1    2", "H1    5"), "t.res, line 13: atom H1: the SFAC number 5 is unknown"},
        {"SFAC number 0", replaced("H1    2", "H1    0"), "line 13: atom H1: the SFAC number 0 is unknown"},
        {"missing CELL", replaced("CELL 0.71073 10.0 11.0 12.0 90 100 90\n", ""),
         "line 10: atom C1: no CELL instruction"},
        {"missing SFAC", replaced("SFAC C H N O\n", ""), "line 10: atom C1: no SFAC instruction"},
        {"atom line with too few numbers", replaced("11.00000   -1.20000", "11.00000"),
         "line 13: atom H1 has too few numbers (5)"},
        {"anisotropic atom that lost a U", replaced("0.00200    0.00100", "0.00200"), "line 11: atom C1 has 10 numbers"},
        {"free variable that does not exist", replaced("H1    2    0.150000    0.250000    0.350000    11.00000",
                                                       "H1    2    0.150000    0.250000    0.350000    41.00000"),
         "line 13: atom H1: the site occupation factor 41 refers to free variable 4, which does not exist"},
        {"continuation at the end of the file", good.substr(0, good.find("H1 ")) + "H1 2 0.1 0.2 0.3 11.0 =\n",
         "line 13: the line ends with \" =\""},
        {"continuation line that does not begin with a blank", replaced("         0.04000", "0.04000"),
         "line 12: line 11 ends with \" =\""},
        {"a word that is no number", replaced("0.200000", "0.2O0000"), "line 11: C1: y \"0.2O0000\" is not a number"},
        {"a number too large", replaced("0.200000", "1e300"), "line 11: C1: y 1e300 is no usable number"},
        {"occupancy above 1", replaced("H1    2    0.150000    0.250000    0.350000    11.00000",
                                       "H1    2    0.150000    0.250000    0.350000    12.00000"),
         "line 13: atom H1 has the occupancy 2"},
        {"LATT 0", replaced("LATT 1", "LATT 0"), "line 4: LATT 0 is no lattice type"},
        {"SYMM that is no operator", replaced("-X, 0.5+Y, 0.5-Z", "-X, 0.5+Y"), "line 5: SYMM -X,0.5+Y is no symmetry"},
        {"SYMM with a translation off the 24ths", replaced("0.5+Y", "0.37+Y"), "line 5: SYMM -X,0.37+Y,0.5-Z is no symmetry operator: the translation 0.37"},
        {"SYMM that is no rotation", replaced("-X, 0.5+Y, 0.5-Z", "X, X, Z"), "line 5: SYMM X,X,Z is no symmetry operator"},
        {"SYMM with a coefficient of 2", replaced("-X, 0.5+Y, 0.5-Z", "X+X, Y, Z"),
         "line 5: SYMM X+X,Y,Z is no symmetry operator"},
        {"SYMM with many terms", replaced("-X, 0.5+Y, 0.5-Z", "X+X-X+X, Y, Z"),
         "line 5: SYMM X+X-X+X,Y,Z is no symmetry operator (more than three terms"},
        {"SFAC that names no element", replaced("SFAC C H N O", "SFAC C H N Xx"), "line 6: SFAC Xx names no element"},
        {"CELL with a number missing", replaced(" 90 100 90\n", " 90 100\n"), "line 2: CELL needs 7 numbers"},
        {"CELL that is no cell", replaced(" 90 100 90\n", " 90 200 90\n"), "line 2: CELL 10 11 12 90 200 90 is no cell"},
        {"label used twice", replaced("H1    2", "C1    2"), "line 13: the atom name C1 is used already in line 11"},
        {"riding U without a pivot", replaced("C1    1", "H2    2"), "line 13: atom H1: the U -1.2"},
        {"line that is neither", replaced("L.S. 10", "1.5 10"), "line 8: \"1.5\" is neither an instruction nor an atom"},
        {"no atoms", noAtoms.text(), "line 11: the file gives no atoms"},
        {"no CELL and no atoms", "TITL x\nSFAC C\nHKLF 4\n", "line 3: the file gives no CELL"},
    };
    ScratchDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string err;
        EXPECT_EQ(stopCodeOf([&] { readText(dir, c.text); }, &err), 1);
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
    }
    std::string err;
    EXPECT_EQ(stopCodeOf([&] { readShelxInput("missing.res"); }, &err), 1);
    EXPECT_NE(err.find("missing.res cannot be opened"), std::string::npos) << err;
}

// The real SHELXL files beside the checkout: each reads cleanly, with its atoms and its
// Q-peaks counted as the file lists them.
TEST(ShelxReader, EveryRealFileReadsCleanly) {
    struct Case {
        const char* file;
        std::size_t atoms;
        int peaks;
        char centric, lattice;
        std::size_t symm, operators;  // SYMM cards, operators of the space group
    } cases[] = {
        {"l_alanine_23K_xharpy/iam.res", 13, 20, 'A', 'P', 3, 4},
        {"cod2240189_fe_perchlorate/2240189.res", 12, 5, 'C', 'R', 5, 36},
        {"cod2238212_zn_dithiolene/2238212_from_cif.res", 91, 20, 'C', 'P', 0, 2},
        {"p21n_jkd77/jkd77.res", 44, 20, 'C', 'P', 1, 4},
        {"p212121_thio_flack/test_bedelone.res", 24, 20, 'A', 'P', 3, 4},
        {"p21c_alga_cf3_disorder/p21c.res", 128, 20, 'C', 'P', 1, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        testing::internal::CaptureStdout();
        std::string err;
        CrystalInput in;
        EXPECT_EQ(stopCodeOf([&] { in = readShelxInput(sharedFixture(std::string("shelx/") + c.file)); }, &err), -1)
            << err;
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(in.sites.size(), c.atoms);
        EXPECT_GT(in.sites.size(), 0u);
        EXPECT_NE(out.find(std::to_string(c.peaks) + " Q-peak(s) left out"), std::string::npos) << out;
        EXPECT_EQ(in.symmetry.centric, c.centric);
        EXPECT_EQ(in.symmetry.lattice, c.lattice);
        EXPECT_EQ(in.symmetry.symm.size(), c.symm);
        EXPECT_EQ(expandSymmetry(in.symmetry, c.file).size(), c.operators);
        for (const CrystalSite& s : in.sites) {
            EXPECT_TRUE(s.occupancy > 0 && s.occupancy <= 1) << s.label;
            EXPECT_GE(s.element, 0) << s.label;
            EXPECT_TRUE(s.aniso || s.uiso > 0) << s.label;
        }
    }
}

}  // namespace
