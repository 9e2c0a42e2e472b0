// The CIF reader and the loader that turns a crystal file into the structure model.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "input/input.h"
#include "cif_text.h"
#include "core/failure.h"
#include "chem/bonds.h"
#include "input/crystal.h"
#include "core/atomtable.h"
#include "testutil.h"

namespace {

// Runs code that stops; returns the exit code it stopped with (-1 when it did not stop)
// and the standard error of the run up to the banners.
int stopCodeOf(const std::function<void()>& code, std::string* err = nullptr) {
    const Stopped s = failureOf(code);
    if (err != nullptr) *err = s.err;
    return s.code;
}

CrystalInput readText(const ScratchDir& dir, const std::string& text, const std::string& block = "") {
    dir.write("t.cif", text);
    return readCifInput("t.cif", block);
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

TEST(CifReader, ReadsCellSitesDisplacementsAndSymmetry) {
    ScratchDir dir;
    const CrystalInput in = readText(dir, CifText().text());
    EXPECT_EQ(in.title, "test");
    EXPECT_DOUBLE_EQ(in.cell[0], 10.0);
    EXPECT_DOUBLE_EQ(in.cell[4], 100.0);
    EXPECT_NEAR(in.cellSd[0], 0.2, 1e-12);
    EXPECT_NEAR(in.cellSd[4], 0.1, 1e-12);
    EXPECT_EQ(in.cellSd[1], 0.0);
    EXPECT_DOUBLE_EQ(in.wavelength, 0.71073);
    ASSERT_EQ(in.sites.size(), 4u);
    const CrystalSite& o = in.sites[0];
    EXPECT_EQ(o.label, "O1");
    EXPECT_EQ(o.element, 7);
    EXPECT_TRUE(o.aniso);
    const double u[6] = {0.021, 0.022, 0.023, 0.001, 0.002, 0.003};
    for (int k = 0; k < 6; ++k) EXPECT_DOUBLE_EQ(o.u[k], u[k]) << k;
    EXPECT_FALSE(in.sites[1].aniso);
    EXPECT_DOUBLE_EQ(in.sites[1].uiso, 0.030);
    EXPECT_EQ(in.sites[3].element, 16) << "Cl- is chlorine";
    EXPECT_DOUBLE_EQ(in.sites[3].occupancy, 1.0);
    EXPECT_TRUE(in.symmetry.known);
    EXPECT_EQ(in.symmetry.centric, 'C');
    EXPECT_EQ(in.symmetry.lattice, 'P');
    EXPECT_EQ(in.symmetry.symm, std::vector<std::string>{"-X,1/2+Y,1/2-Z"});
}

TEST(CifReader, SymmetryFromTheSymopLoopTheHallOrTheHmSymbol) {
    struct Case {
        const char* what;
        std::string symmetry;
        char centric, lattice;
        std::vector<std::string> symm;
    } cases[] = {
        {"H-M symbol", "_symmetry_space_group_name_H-M 'P 1 21/c 1'\n", 'C', 'P', {"-X,1/2+Y,1/2-Z"}},
        {"H-M with parentheses", "_symmetry_space_group_name_H-M 'P2(1)/c'\n", 'C', 'P', {"-X,1/2+Y,1/2-Z"}},
        {"H-M with tildes", "_space_group_name_H-M_alt 'P2~1~/c'\n", 'C', 'P', {"-X,1/2+Y,1/2-Z"}},
        {"Hall symbol", "_space_group_name_Hall '-P 2ybc'\n", 'C', 'P', {"-X,1/2+Y,1/2-Z"}},
        {"symop loop beats a wrong symbol",
         "_symmetry_space_group_name_H-M 'P 1'\nloop_\n_symmetry_equiv_pos_as_xyz\nx,y,z\n-x,-y,-z\n", 'C', 'P', {}},
        {"acentric, SYMM card per operator", "_symmetry_space_group_name_H-M 'P n a 21'\n", 'A', 'P',
         {"-X,-Y,1/2+Z", "1/2-X,1/2+Y,1/2+Z", "1/2+X,1/2-Y,Z"}},
        {"C-centred, centric", "_symmetry_space_group_name_H-M 'C 1 2/c 1'\n", 'C', 'C', {"-X,Y,1/2-Z"}},
        {"rhombohedral centring from the symop loop",
         "loop_\n_space_group_symop_operation_xyz\nx,y,z\n-y,x-y,z\n-x+y,-x,z\nx+2/3,y+1/3,z+1/3\n"
         "-y+2/3,x-y+1/3,z+1/3\n-x+y+2/3,-x+1/3,z+1/3\nx+1/3,y+2/3,z+2/3\n-y+1/3,x-y+2/3,z+2/3\n"
         "-x+y+1/3,-x+2/3,z+2/3\n",
         'A', 'R', {"-Y,X-Y,Z", "-X+Y,-X,Z"}},
        {"P 1", "_symmetry_space_group_name_H-M 'P 1'\n", 'A', 'P', {}},
    };
    ScratchDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CifText cif;
        cif.symmetry = c.symmetry;
        const CrystalInput in = readText(dir, cif.text());
        EXPECT_EQ(in.symmetry.centric, c.centric);
        EXPECT_EQ(in.symmetry.lattice, c.lattice);
        EXPECT_EQ(in.symmetry.symm, c.symm);
    }
}

TEST(CifReader, CentricGroupWithItsInversionCentreOffTheOriginListsEveryOperator) {
    ScratchDir dir;
    CifText cif;
    cif.cell = "_cell_length_a 10\n_cell_length_b 11\n_cell_length_c 12\n"
               "_cell_angle_alpha 90\n_cell_angle_beta 90\n_cell_angle_gamma 90\n";
    cif.symmetry = "_symmetry_space_group_name_H-M 'P n n n :1'\n";
    const CrystalInput in = readText(dir, cif.text());
    EXPECT_EQ(in.symmetry.centric, 'A');
    EXPECT_EQ(in.symmetry.symm.size(), 7u);
}

TEST(CifReader, OccupancyIsCrystallographicAndGroupsKeepTheirSign) {
    ScratchDir dir;
    CifText cif;
    cif.symmetry = "_symmetry_space_group_name_H-M 'C 1 2/c 1'\n";
    cif.atoms =
        "O1 O 0.10 0.20 0.30 0.020 1 .\n"      // general position
        "O2 O 0 0 0 0.020 1 .\n"               // inversion centre: order 2
        "O3 O 0 0.3 0.25 0.020 1 .\n"          // two-fold axis: order 2
        "O4 O 0.2 0.1 0.4 0.020 0.5 1\n"       // disordered, general position
        "O5 O 0.3 0.1 0.4 0.020 0.5 2\n"
        "O6 O 0 0.35 0.25 0.020 0.5 -1\n";     // special-position disorder: the order is not computed
    const CrystalInput in = readText(dir, cif.text());
    const double occupancy[] = {1.0, 0.5, 0.5, 0.5, 0.5, 0.5};
    const int part[] = {0, 0, 0, 1, 2, -1};
    ASSERT_EQ(in.sites.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        EXPECT_DOUBLE_EQ(in.sites[i].occupancy, occupancy[i]) << in.sites[i].label;
        EXPECT_EQ(in.sites[i].part, part[i]) << in.sites[i].label;
    }
}

TEST(CifReader, FirstBlockWithAtomSitesUnlessABlockIsNamed) {
    ScratchDir dir;
    CifText second, third;
    second.block = "second";
    third.block = "third";
    third.atoms = "N1 N 0.1 0.1 0.1 0.02 1 .\n";
    third.aniso = "";
    const std::string text = "data_global\n_journal_year 2024\n" + second.text() + third.text();
    EXPECT_EQ(readText(dir, text).title, "second");
    const CrystalInput named = readText(dir, text, "third");
    EXPECT_EQ(named.title, "third");
    ASSERT_EQ(named.sites.size(), 1u);
    EXPECT_EQ(named.sites[0].label, "N1");

    std::string err;
    EXPECT_EQ(stopCodeOf([&] { readText(dir, text, "fourth"); }, &err), 1);
    EXPECT_NE(err.find("no data block named fourth (its blocks: global second third)"), std::string::npos) << err;
    EXPECT_EQ(stopCodeOf([&] { readText(dir, text, "global"); }, &err), 1);
    EXPECT_NE(err.find("data block global lists no atom sites"), std::string::npos) << err;
}

namespace {

// An atom-type loop stating the anomalous dispersion of the elements.
std::string atomTypes(const std::string& rows) {
    return "loop_\n_atom_type_symbol\n_atom_type_scat_dispersion_real\n_atom_type_scat_dispersion_imag\n" + rows +
           "\n";
}

}  // namespace

TEST(CifReader, StatedDispersionIsTakenAndUnknownDispersionComputed) {
    ScratchDir dir;
    const CrystalInput in = readText(dir, CifText().text() + atomTypes("O 0.0110 0.0060\nH ? .\nCl 0.1484 0.1585"));
    Quandrel q(Quandrel::NoInput{});
    loadCrystal(q.structure, in);
    ASSERT_EQ(q.structure.nScat, 3);
    EXPECT_EQ(std::string(q.structure.scatTable[0].symbol) + " " + std::to_string(q.structure.scatTable[0].values[0]), "O 0.011000");
    EXPECT_DOUBLE_EQ(q.structure.scatTable[0].values[1], 0.006);
    EXPECT_DOUBLE_EQ(q.structure.scatTable[2].values[1], 0.1585);
    EXPECT_NEAR(q.structure.scatTable[1].values[0], 0.0, 1e-3) << "hydrogen: computed for the wavelength";
}

TEST(CifReader, BadInputStopsWithAMessageNamingTheFileAndTheProblem) {
    const CifText base;
    const std::string good = base.text();
    struct Case {
        const char* what;
        std::string text;
        const char* message;
    } cases[] = {
        {"not a CIF", "This is a letter, not a crystal structure.\n", "t.cif is no CIF that can be read"},
        {"empty file", "", "t.cif is no CIF"},
        {"syntax error with its line", replaced(good, "'x, y, z'", "'x, y, z"), "t.cif:"},
        {"no block with atom sites", "data_a\n_cell_length_a 5\n", "no data block with atom sites"},
        {"no cell", replaced(good, "_cell_length_b 11.0\n", ""), "no cell: _cell_length_b is missing"},
        {"cell unknown", replaced(good, "_cell_length_b 11.0", "_cell_length_b ?"), "no cell: _cell_length_b is not a number"},
        {"cell without volume", replaced(good, "_cell_length_a 10.0(2)", "_cell_length_a -10"), "is no cell"},
        {"no symmetry", replaced(good, base.symmetry, ""), "no symmetry is stated"},
        {"unknown space-group symbol", replaced(good, base.symmetry, "_symmetry_space_group_name_H-M 'X c'\n"),
         "names no space group"},
        {"unreadable operator", replaced(good, "'-x, -y, -z'", "'-x, -y'"), "the symmetry operator \"-x, -y\""},
        {"operator with a huge number", replaced(good, "'-x, -y, -z'", "'-x, -y, 99999999999999999999z'"),
         "a number is too long"},
        {"operator with a coefficient 2", replaced(good, "'-x, -y, -z'", "'-x, -y, -z-z'"),
         "has coefficients other than -1, 0 and 1"},
        {"no element", replaced(good, "H2 H ", "H2 Qq "), "site H2: the type symbol \"Qq\" names no element"},
        {"unknown coordinate", replaced(good, "0.08 0.28", "? 0.28"), "site H2 has no usable coordinate x"},
        {"inapplicable coordinate", replaced(good, "0.28 0.30", "0.28 ."), "site H2 has no usable coordinate z"},
        {"no fractional coordinates", replaced(good, "_atom_site_fract_y\n", "_atom_site_Cartn_y\n"),
         "_atom_site_fract_y is missing"},
        {"occupancy above 1", replaced(good, "0.030 1 .\nH2", "0.030 1.5 .\nH2"), "site H1 has the occupancy 1.5"},
        {"negative occupancy", replaced(good, "0.030 1 .\nH2", "0.030 -0.2 .\nH2"), "site H1 has the occupancy -0.2"},
        {"label twice", replaced(good, "H2 H ", "H1 H "), "the atom label H1 occurs twice"},
        {"label with a blank", replaced(good, "H2 H ", "'H 2' H "), "is empty or holds a blank"},
        {"dispersion NaN", good + atomTypes("O nan 0.0060"),
         "atom type O: _atom_type_scat_dispersion_real is \"nan\", no finite number"},
        {"dispersion infinite", good + atomTypes("O 0.0110 0.0060\nCl 0.1484 -inf"),
         "atom type Cl: _atom_type_scat_dispersion_imag is \"-inf\", no finite number"},
        {"dispersion beyond any number", good + atomTypes("H 1e999 0"),
         "atom type H: _atom_type_scat_dispersion_real is \"1e999\", no finite number"},
        {"dispersion no number", good + atomTypes("H 0 x0.1"),
         "atom type H: _atom_type_scat_dispersion_imag is \"x0.1\", no finite number"},
    };
    ScratchDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string err;
        EXPECT_EQ(stopCodeOf([&] { readText(dir, c.text); }, &err), 1);
        EXPECT_NE(err.find("t.cif"), std::string::npos) << err;
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
    }
}

TEST(CifReader, StatedSiteSymmetryOrderOrMultiplicityWinsOverTheComputedOne) {
    ScratchDir dir;
    struct Row {
        const char* what;
        const char* columns;  // extra loop columns behind the disorder group
        const char* general;  // their values for the site O1 in a general position
        const char* values;   // their values for the site O2 on the inversion centre
        double occupancy;
    } rows[] = {
        {"computed (inversion centre)", "", "", "", 0.5},
        {"order stated", "_atom_site_site_symmetry_order\n", " 1", " 2", 0.5},
        {"order 1 stated wins", "_atom_site_site_symmetry_order\n", " 1", " 1", 1.0},
        {"order unknown: computed", "_atom_site_site_symmetry_order\n", " 1", " ?", 0.5},
        {"multiplicity 4 of 8 operators (C2/c)", "_atom_site_symmetry_multiplicity\n", " 8", " 4", 0.5},
        {"the order under the multiplicity's name (1 for general sites), not 8 / 2", "_atom_site_symmetry_multiplicity\n",
         " 1", " 2", 0.5},
        {"a column of neither meaning is not used", "_atom_site_symmetry_multiplicity\n", " 3", " 8", 0.5},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        CifText cif;
        cif.symmetry = "_symmetry_space_group_name_H-M 'C 1 2/c 1'\n";
        cif.atomHeader += r.columns;
        cif.atoms = std::string("O1 O 0.10 0.20 0.30 0.020 1 .") + r.general + "\nO2 O 0 0 0 0.020 1 ." + r.values +
                    "\n";
        const CrystalInput in = readText(dir, cif.text());
        ASSERT_EQ(in.sites.size(), 2u);
        EXPECT_DOUBLE_EQ(in.sites[1].occupancy, r.occupancy);
    }
    // an atom of a negative group across the two-fold axis: the stated order, never a computed one
    CifText cif;
    cif.symmetry = "_symmetry_space_group_name_H-M 'C 1 2/c 1'\n";
    cif.atomHeader += "_atom_site_site_symmetry_order\n";
    cif.atoms = "O1 O 0 0.3 0.25 0.020 0.5 -1 2\nO2 O 0 0.35 0.25 0.020 0.5 -1 .\n";
    const CrystalInput in = readText(dir, cif.text());
    EXPECT_DOUBLE_EQ(in.sites[0].occupancy, 0.25);
    EXPECT_DOUBLE_EQ(in.sites[1].occupancy, 0.5);
}

TEST(CifReader, DecimalOperatorsAndHmSymbolsWithBlanksAreRead) {
    ScratchDir dir;
    struct Row {
        const char* what;
        std::string symmetry;
        const char* firstCard;  // the first SYMM card the reader makes
        std::size_t cards;
    } rows[] = {
        {"decimal before the letter", "loop_\n_space_group_symop_operation_xyz\n'x,y,z'\n'0.5-x,-y,0.5+z'\n",
         "1/2-X,-Y,1/2+Z", 1},
        {"leading dot, upper case", "loop_\n_symmetry_equiv_pos_as_xyz\nX,Y,Z\n-X,.5+Y,-Z\n", "-X,1/2+Y,-Z", 1},
        {"a third in four digits", "loop_\n_symmetry_equiv_pos_as_xyz\nx,y,z\n-y,x-y,z+0.3333\n"
                                   "-x+y,-x,z+0.6667\n", "-Y,X-Y,1/3+Z", 2},
        {"blank before the slash", "_symmetry_space_group_name_H-M 'P 21 /m'\n", "-X,1/2+Y,-Z", 1},
        {"blank inside the subscript", "_symmetry_space_group_name_H-M 'P 2 1 /c'\n", "-X,1/2+Y,1/2-Z", 1},
        {"cubic without the bar", "_symmetry_space_group_name_H-M 'P m 3 m'\n", nullptr, 23},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        CifText cif;
        cif.symmetry = r.symmetry;
        if (r.cards == 23) cif.cell = replaced(replaced(cif.cell, "11.0", "10.0"), "12.0", "10.0");
        if (r.cards == 23) cif.cell = replaced(cif.cell, "100.0(1)", "90");
        if (r.cards == 2) cif.cell = replaced(replaced(cif.cell, "11.0", "10.0"), "_cell_angle_gamma 90", "_cell_angle_gamma 120");
        if (r.cards == 2) cif.cell = replaced(cif.cell, "100.0(1)", "90");
        const CrystalInput in = readText(dir, cif.text());
        ASSERT_EQ(in.symmetry.symm.size(), r.cards);
        if (r.firstCard != nullptr) {
            EXPECT_EQ(in.symmetry.symm[0], r.firstCard);
        }
    }
    std::string err;
    CifText cif;
    cif.symmetry = "loop_\n_space_group_symop_operation_xyz\n'x,y,z'\n'0.1-x,-y,z'\n";
    EXPECT_EQ(stopCodeOf([&] { readText(dir, cif.text()); }, &err), 1);
    EXPECT_NE(err.find("\"0.1-x,-y,z\" (_space_group_symop_operation_xyz) cannot be read: a decimal translation"),
              std::string::npos)
        << err;
}

TEST(CifReader, ElementsFromLabelsGuidedByTheFormula) {
    ScratchDir dir;
    struct Row {
        const char* label;
        const char* type;     // nullptr: no type-symbol column
        const char* formula;  // nullptr: no _chemical_formula_sum
        int element;          // element index, -1: refused
    } rows[] = {
        {"HO1", nullptr, "'C6 H12 O6'", 0},  {"HO1", nullptr, nullptr, 66},  // holmium without a formula
        {"Ow1", nullptr, nullptr, 7},        {"OW2", nullptr, "'H2 O'", 7},   {"Hw", nullptr, nullptr, 0},
        {"Wat1", nullptr, nullptr, 7},       {"D1", nullptr, "'C D4'", 0},    {"Cl1", nullptr, "'C Cl4'", 16},
        {"CL1", nullptr, "'C Cl4'", 16},     {"Ca1", nullptr, "'C Ca O3'", 19}, {"CA1", nullptr, "'C H4'", 5},
        {"O1", "?", nullptr, 7},             {"Ho1", ".", "'C H O'", 0},      {"Cu1", "Cu2+", "'C H O'", 28},
        {"Qx1", nullptr, nullptr, -1},       {"9A", "?", nullptr, -1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.label) + (r.formula ? r.formula : ""));
        CifText cif;
        if (r.formula != nullptr) cif.extra += std::string("_chemical_formula_sum ") + r.formula + "\n";
        if (r.type == nullptr) cif.atomHeader = replaced(cif.atomHeader, "_atom_site_type_symbol\n", "");
        cif.atoms = std::string(r.label) + (r.type ? std::string(" ") + r.type : "") + " 0.1 0.2 0.3 0.02 1 .\n";
        cif.aniso = "";
        if (r.element < 0) {
            std::string err;
            EXPECT_EQ(stopCodeOf([&] { readText(dir, cif.text()); }, &err), 1);
            EXPECT_NE(err.find(std::string("site ") + r.label), std::string::npos) << err;
            EXPECT_NE(err.find("the label names no element (tried"), std::string::npos) << err;
            EXPECT_EQ(err.find(std::string("type symbol \"") + r.label), std::string::npos) << err;
            continue;
        }
        const CrystalInput in = readText(dir, cif.text());
        ASSERT_EQ(in.sites.size(), 1u);
        EXPECT_EQ(in.sites[0].element, r.element);
    }
}

TEST(CifReader, UnknownOccupancyWarnsPlaceholdersAreLeftOutAndNegativeUStops) {
    ScratchDir dir;
    CifText cif;
    cif.atoms = replaced(cif.atoms, "0.030 1 .\nH2", "0.030 ? .\nH2");
    CrystalInput in;
    const std::string err = captureStderr([&] { in = readText(dir, cif.text()); });
    EXPECT_NE(err.find("Warning: t.cif, data block test: site H1 states no occupancy (\"?\"); it is taken as 1."),
              std::string::npos)
        << err;
    EXPECT_DOUBLE_EQ(in.sites[1].occupancy, 1.0);
    // a placeholder at occupancy 0 is left out with a warning
    const std::string placeholder = captureStderr(
        [&] { in = readText(dir, replaced(CifText().text(), "0.030 1 .\nH2", "0.030 0 .\nH2")); });
    EXPECT_NE(placeholder.find("Warning: t.cif, data block test: site H1 has the occupancy 0 (a placeholder); it is "
                               "left out."),
              std::string::npos)
        << placeholder;
    ASSERT_EQ(in.sites.size(), 3u);
    EXPECT_EQ(in.sites[1].label, "H2");
    struct Case {
        std::string text;
        const char* message;
    } cases[] = {
        {replaced(CifText().text(), "H2 H 0.08 0.28 0.30 0.030", "H2 H 0.08 0.28 0.30 -0.030"),
         "site H2 has a negative displacement parameter (U iso -0.03)"},
        {replaced(CifText().text(), "O1 0.021 0.022", "O1 0.021 -0.022"),
         "site O1 has a negative displacement parameter (U11, U22, U33 -0.022)"},
    };
    for (const Case& c : cases) {
        std::string message;
        EXPECT_EQ(stopCodeOf([&] { readText(dir, c.text); }, &message), 1);
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
    }
}

TEST(CifReader, MissingFileStops) {
    ScratchDir dir;
    std::string err;
    EXPECT_EQ(stopCodeOf([&] { readCifInput("nowhere.cif", ""); }, &err), 1);
    EXPECT_NE(err.find("nowhere.cif"), std::string::npos) << err;
}

// ---------------------------------------------------------------------------------
// Loader
// ---------------------------------------------------------------------------------

std::unique_ptr<Quandrel> loaded(const ScratchDir& dir, const CifText& cif) {
    std::unique_ptr<Quandrel> q(new Quandrel(Quandrel::NoInput{}));
    q->opt.crystalInput = 1;
    loadCrystal(q->structure, readText(dir, cif.text()));
    return q;
}

TEST(CrystalLoader, GivesTheAtomsAnXdParameterFileWouldGive) {
    ScratchDir dir;
    auto q = loaded(dir, CifText());
    EXPECT_STREQ(q->structure.title, "test");
    ASSERT_EQ(q->structure.nAtoms, 4);
    ASSERT_EQ(q->structure.nScat, 3);
    const char* symbols[] = {"O", "H", "Cl"};
    const int valence[] = {6, 1, 7};
    for (int k = 0; k < 3; ++k) {
        EXPECT_STREQ(q->structure.scatTable[k].symbol, symbols[k]);
        EXPECT_EQ(q->structure.scatTable[k].valenceElectrons, valence[k]);
        EXPECT_EQ(q->structure.kappaNo[k], k + 1);
        for (int v = 0; v < 6; ++v) EXPECT_EQ(q->structure.kappaSet[v][k], 1.0);
    }
    EXPECT_EQ(q->structure.nKappa, 3);
    const int tbl[] = {1, 2, 2, 3};
    for (int i = 0; i < 4; ++i) {
        const AtomRecord& a = q->structure.atom[i];
        EXPECT_EQ(a.tbl, tbl[i]) << a.label;
        EXPECT_EQ(a.kap, tbl[i]) << a.label;
        EXPECT_EQ(a.tp, 2);
        EXPECT_EQ(a.multipole[0], valence[tbl[i] - 1]) << a.label;
        for (int v = 1; v < 26; ++v) EXPECT_EQ(a.multipole[v], 0.0);
        EXPECT_EQ(a.atom1, i + 1);
        EXPECT_NE(a.atom0, i + 1) << a.label;
    }
    // the hydrogen atoms take the oxygen atom as their first frame atom
    EXPECT_EQ(q->structure.atom[1].atom0, 1);
    EXPECT_EQ(q->structure.atom[2].atom0, 1);
    // anisotropic U as stated; isotropic U as the tensor of the monoclinic cell
    EXPECT_DOUBLE_EQ(q->structure.atom[0].u[5], 0.003);
    const double cosBetaStar = -std::cos(100.0 * M_PI / 180.0);
    const AtomRecord& h = q->structure.atom[1];
    EXPECT_DOUBLE_EQ(h.u[0], 0.03);
    EXPECT_DOUBLE_EQ(h.u[2], 0.03);
    EXPECT_EQ(h.u[3], 0.0);
    EXPECT_NEAR(h.u[4], 0.03 * cosBetaStar, 1e-12);
    EXPECT_EQ(h.u[5], 0.0);
    EXPECT_EQ(q->structure.symmetry.symm, std::vector<std::string>{"-X,1/2+Y,1/2-Z"});
}

TEST(CrystalLoader, GroundStateOccupationsOfTheScatteringRows) {
    // columns 1S 2S 3S 4S 2P 3P 4P 3D 4D 4F 5S 5P; the rest are 0 for these elements
    struct Row {
        int element;
        int occ[12];
    } rows[] = {
        {0, {-1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},    {5, {2, -2, 0, 0, -2, 0, 0, 0, 0, 0, 0, 0}},
        {6, {2, -2, 0, 0, -3, 0, 0, 0, 0, 0, 0, 0}},   {7, {2, -2, 0, 0, -4, 0, 0, 0, 0, 0, 0, 0}},
        {8, {2, -2, 0, 0, -5, 0, 0, 0, 0, 0, 0, 0}},   {14, {2, 2, -2, 0, 6, -3, 0, 0, 0, 0, 0, 0}},
        {15, {2, 2, -2, 0, 6, -4, 0, 0, 0, 0, 0, 0}},  {16, {2, 2, -2, 0, 6, -5, 0, 0, 0, 0, 0, 0}},
        {34, {2, 2, 2, -2, 6, 6, -5, 10, 0, 0, 0, 0}}, {52, {2, 2, 2, 2, 6, 6, 6, 10, 10, 0, -2, -5}},
        {25, {2, 2, 2, -2, 6, 6, 0, -6, 0, 0, 0, 0}},  {29, {2, 2, 2, -2, 6, 6, 0, -10, 0, 0, 0, 0}},
        {28, {2, 2, 2, -1, 6, 6, 0, -10, 0, 0, 0, 0}},
    };
    for (const Row& r : rows) {
        int occ[18];
        groundStateOccupations(r.element, occ);
        SCOPED_TRACE(xdElementSymbol(r.element));
        int total = 0;
        for (int k = 0; k < 18; ++k) {
            total += std::abs(occ[k]);
            if (k < 12) {
                EXPECT_EQ(occ[k], r.occ[k]) << "column " << k;
            }
        }
        EXPECT_EQ(total, r.element + 1);
    }
    int occ[18];
    for (int e = 0; e < 108; ++e) {  // every element is neutral
        groundStateOccupations(e, occ);
        int total = 0;
        for (int o : occ) total += std::abs(o);
        EXPECT_EQ(total, e + 1) << xdElementSymbol(e);
    }
}

TEST(CrystalLoader, TemplateIsAMasterFileOurReaderTakes) {
    ScratchDir dir;
    auto q = loaded(dir, CifText());
    std::string text;
    for (const std::string& line : q->structure.masTemplate) text += line + "\n";
    EXPECT_NE(text.find("\nLATT  C P\nSYMM     -X,1/2+Y,1/2-Z\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nCELLSD    0.2000    0.0000    0.0000    0.0000    0.1000    0.0000\n"), std::string::npos);
    EXPECT_NE(text.find("\nH1       O1        Z  H1       "), std::string::npos) << text;
    EXPECT_EQ(countOf(text, "111 111111 0000000000"), 4);
    EXPECT_EQ(countOf(text, "\nKAPPA   000000"), 3);
    dir.write("xd.mas", text);

    Quandrel again(Quandrel::NoInput{});
    readMasterFile(again.structure);
    EXPECT_STREQ(again.structure.title, "test");
    for (int k = 0; k < 6; ++k) EXPECT_NEAR(again.structure.cell[k], q->structure.cell[k], 1e-4);
    ASSERT_EQ(again.structure.nScat, q->structure.nScat);
    for (int k = 0; k < q->structure.nScat; ++k) {
        EXPECT_EQ(again.structure.scatTable[k].element, q->structure.scatTable[k].element);
        EXPECT_EQ(again.structure.scatTable[k].valenceElectrons, q->structure.scatTable[k].valenceElectrons);
        for (int o = 0; o < 18; ++o) EXPECT_EQ(again.structure.scatTable[k].occupations[o], q->structure.scatTable[k].occupations[o]);
    }
}

TEST(CrystalLoader, TemplateAtomLinesKeepLongLabelsApart) {
    // labels of 9 to 19 characters stand one blank before the next field, so every line
    // reads back field for field
    ScratchDir dir;
    CifText cif;
    cif.atoms = replaced(replaced(cif.atoms, "H1 H ", "H1_hydroxyl H "), "O1 O ", "O1_water_oxygen_19 O ");
    cif.aniso = replaced(cif.aniso, "O1 ", "O1_water_oxygen_19 ");
    auto q = loaded(dir, cif);
    std::vector<std::vector<std::string>> rows;
    bool inside = false;
    for (const std::string& line : q->structure.masTemplate) {
        if (line == "END ATOM") break;
        if (inside) {
            rows.emplace_back();
            for (std::string_view f : atomTableFields(line)) rows.back().emplace_back(f);
        }
        inside = inside || line.rfind("ATOM     ATOM0", 0) == 0;
    }
    ASSERT_EQ(rows.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(rows[i].size(), 12u) << q->structure.atom[i].label;
        EXPECT_EQ(rows[i][0], q->structure.atom[i].label);
        EXPECT_EQ(rows[i][1], q->structure.atom[q->structure.atom[i].atom0 - 1].label);
        EXPECT_EQ(rows[i][3], q->structure.atom[i].label);
        EXPECT_EQ(rows[i][4], q->structure.atom[q->structure.atom[i].atom2 - 1].label);
    }
}

TEST(CrystalLoader, NoHydrogenWarnsOnceAndFramesKeepToTheirPart) {
    ScratchDir dir;
    CifText cif;
    cif.atoms =
        "C1 C 0.10 0.10 0.10 0.02 1 .\n"
        "O1 O 0.20 0.10 0.10 0.02 0.6 1\n"
        "O2 O 0.20 0.11 0.10 0.02 0.4 2\n"
        "N1 N 0.10 0.20 0.10 0.02 1 .\n";
    cif.aniso = "";
    std::unique_ptr<Quandrel> q;
    std::string err;
    EXPECT_EQ(stopCodeOf([&] { q = loaded(dir, cif); }, &err), -1);
    EXPECT_EQ(countOf(err, "holds no hydrogen atoms"), 1) << err;
    ASSERT_EQ(q->structure.nAtoms, 4);
    // O1 and O2 are 0.11 A apart but in different parts: neither frames the other
    EXPECT_NE(q->structure.atom[1].atom0, 3);
    EXPECT_NE(q->structure.atom[1].atom2, 3);
    EXPECT_NE(q->structure.atom[2].atom0, 2);
    EXPECT_NE(q->structure.atom[2].atom2, 2);
}

// The default frame as a scan of every atom gives it: the nearest atom of a part that may
// bond, then among the eight nearest the first one off the line through both, else the
// second nearest; ties go to the lower index.
void scannedFrame(const Quandrel& q, int i, int& atom0, int& atom2) {
    std::vector<std::pair<double, int>> near;
    const double* c = q.structure.atom[i].cart;
    for (int j = 0; j < q.structure.nAtoms; ++j) {
        if (j == i || !partsMayBond(q.structure.atom[i].part, q.structure.atom[j].part)) continue;
        const double* p = q.structure.atom[j].cart;
        near.push_back({(p[0] - c[0]) * (p[0] - c[0]) + (p[1] - c[1]) * (p[1] - c[1]) + (p[2] - c[2]) * (p[2] - c[2]),
                        j});
    }
    std::sort(near.begin(), near.end());
    atom0 = near.empty() ? i : near[0].second;
    atom2 = near.size() > 1 ? near[1].second : atom0;
    for (std::size_t k = 1; k < near.size() && k < 8; ++k) {
        const double* p = q.structure.atom[atom0].cart;
        const double* r = q.structure.atom[near[k].second].cart;
        double uv = 0, uu = 0;
        for (int m = 0; m < 3; ++m) {
            uv += (p[m] - c[m]) * (r[m] - c[m]);
            uu += (p[m] - c[m]) * (p[m] - c[m]);
        }
        if (std::fabs(uv) / std::sqrt(uu * near[k].first) < std::cos(5.0 * M_PI / 180.0)) {
            atom2 = near[k].second;
            break;
        }
    }
}

// P1 structures whose nearest atoms lie close, far (the search must reach out), in rows,
// at equal distances and in parts: the frames the loader gives are those of a full scan.
TEST(CrystalLoader, DefaultFramesAreThoseOfAScanOfEveryAtom) {
    struct Row {
        const char* what;
        double cell;
        std::vector<std::array<double, 4>> sites;  // Cartesian x y z, part
    };
    std::vector<Row> rows;
    unsigned seed = 12345;
    auto random = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<double>((seed >> 8) % 100000) / 100000.0;
    };
    Row cloud{"a random cloud", 20.0, {}};
    while (cloud.sites.size() < 300) {
        const std::array<double, 4> p{20 * random(), 20 * random(), 20 * random(), 0};
        bool apart = true;
        for (const auto& o : cloud.sites)
            apart = apart && std::hypot(p[0] - o[0], p[1] - o[1], p[2] - o[2]) > 0.5;
        if (apart) cloud.sites.push_back(p);
    }
    rows.push_back(cloud);
    Row sparse{"lone atoms 17 A apart", 80.0, {}};
    for (int k = 0; k < 12; ++k) sparse.sites.push_back({1.0 + 17.0 * (k % 4), 1.0 + 17.0 * (k / 4), 5.0, 0});
    rows.push_back(sparse);
    // in the row, the atom off it is among the eight nearest but beyond the first reach
    Row line{"a row, one atom 4.2 A off it and one far off it", 60.0, {}};
    for (int k = 0; k < 10; ++k) line.sites.push_back({5.0 + 1.5 * k, 5.0, 5.0, 0});
    line.sites.push_back({11.0, 9.2, 5.0, 0});
    line.sites.push_back({12.0, 40.0, 5.0, 0});
    rows.push_back(line);
    Row lattice{"a cubic lattice: equal distances", 20.0, {}};
    for (int k = 0; k < 64; ++k)
        lattice.sites.push_back({2.0 + 1.5 * (k % 4), 2.0 + 1.5 * (k / 4 % 4), 2.0 + 1.5 * (k / 16), 0});
    rows.push_back(lattice);
    Row parts{"two parts and atoms of no part", 20.0, {}};
    for (int k = 0; k < 40; ++k)
        parts.sites.push_back({3.0 + 1.2 * (k % 5) + 0.3 * (k % 2), 3.0 + 1.3 * (k / 5), 4.0 + 0.4 * (k % 3),
                               static_cast<double>(k % 3)});
    rows.push_back(parts);
    rows.push_back({"two atoms", 10.0, {{1, 1, 1, 0}, {2, 1, 1, 0}}});
    rows.push_back({"one atom", 10.0, {{1, 1, 1, 0}}});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ScratchDir dir;
        CifText cif;
        cif.cell = "_cell_length_a " + std::to_string(row.cell) + "\n_cell_length_b " + std::to_string(row.cell) +
                   "\n_cell_length_c " + std::to_string(row.cell) +
                   "\n_cell_angle_alpha 90\n_cell_angle_beta 90\n_cell_angle_gamma 90\n";
        cif.symmetry = "loop_\n_space_group_symop_operation_xyz\n'x, y, z'\n";
        cif.aniso = "";
        cif.atoms.clear();
        for (std::size_t k = 0; k < row.sites.size(); ++k) {
            const auto& p = row.sites[k];
            char line[160];
            std::snprintf(line, sizeof line, "C%zu C %.8f %.8f %.8f 0.02 %s %s\n", k + 1, p[0] / row.cell,
                          p[1] / row.cell, p[2] / row.cell, p[3] == 0 ? "1" : "0.5",
                          p[3] == 0 ? "." : p[3] == 1 ? "1" : "2");
            cif.atoms += line;
        }
        std::unique_ptr<Quandrel> q;
        captureStderr([&] { q = loaded(dir, cif); });
        ASSERT_EQ(q->structure.nAtoms, static_cast<int>(row.sites.size()));
        for (int i = 0; i < q->structure.nAtoms; ++i) {
            int atom0, atom2;
            scannedFrame(*q, i, atom0, atom2);
            EXPECT_EQ(q->structure.atom[i].atom0, atom0 + 1) << q->structure.atom[i].label;
            EXPECT_EQ(q->structure.atom[i].atom2, atom2 + 1) << q->structure.atom[i].label;
        }
    }
}

TEST(CrystalLoader, RefusesMoreAtomsThanTheCapacityAndLongLabels) {
    ScratchDir dir;
    CrystalInput in = readText(dir, CifText().text());
    CrystalInput many = in;
    many.sites.assign(static_cast<std::size_t>(MAX_ATOMS) + 1, in.sites[0]);
    std::string err;
    Quandrel q(Quandrel::NoInput{});
    EXPECT_EQ(stopCodeOf([&] { loadCrystal(q.structure, many); }, &err), 1);
    EXPECT_NE(err.find("t.cif: the structure holds " + std::to_string(MAX_ATOMS + 1) + " atoms"), std::string::npos)
        << err;
    // a full atom table leaves no record for the dummy atom DUM0: refused when read
    many.sites.resize(static_cast<std::size_t>(MAX_ATOMS));
    EXPECT_EQ(stopCodeOf([&] { loadCrystal(q.structure, many); }, &err), 1);
    EXPECT_NE(err.find("one kept for the dummy atom DUM0"), std::string::npos) << err;

    CrystalInput longLabel = in;
    longLabel.sites[0].label = std::string(LABEL_CAP, 'C');
    EXPECT_EQ(stopCodeOf([&] { loadCrystal(q.structure, longLabel); }, &err), 1);
    EXPECT_NE(err.find("is longer than"), std::string::npos) << err;
}

}  // namespace

namespace {

// Partly occupied sites of no disorder group in P1 (cell edge a = 10 A, so 0.05 along x is
// 0.5 A): the parts the loader gives them, and its warning.
TEST(CrystalLoader, UnmarkedAlternativeSitesGoIntoDifferentParts) {
    struct Row {
        const char* what;
        std::string atoms;
        std::vector<int> parts;
        int warnings;
    } rows[] = {
        {"far closer than a bond", "C1 C 0.10 0.2 0.3 0.02 0.5 .\nC2 C 0.15 0.2 0.3 0.02 0.5 .\n", {1, 2}, 1},
        {"at bond distance, occupancies adding to 1",
         "C1 C 0.10 0.2 0.3 0.02 0.6 .\nC2 C 0.25 0.2 0.3 0.02 0.4 .\n", {1, 2}, 1},
        {"at bond distance, both there", "C1 C 0.10 0.2 0.3 0.02 0.6 .\nC2 C 0.25 0.2 0.3 0.02 0.6 .\n", {0, 0}, 0},
        {"full sites are never alternatives", "C1 C 0.10 0.2 0.3 0.02 1 .\nC2 C 0.14 0.2 0.3 0.02 0.5 .\n", {0, 0}, 0},
        {"marked groups are kept", "C1 C 0.10 0.2 0.3 0.02 0.5 1\nC2 C 0.15 0.2 0.3 0.02 0.5 2\n", {1, 2}, 0},
        {"an ethyl in two orientations keeps each orientation together",
         "C1A C 0.10 0.20 0.3 0.02 0.6 .\nC2A C 0.25 0.20 0.3 0.02 0.6 .\n"
         "C1B C 0.10 0.245 0.3 0.02 0.4 .\nC2B C 0.25 0.245 0.3 0.02 0.4 .\n",
         {1, 1, 2, 2}, 4},
        {"new parts follow the highest part given",
         "C1 C 0.10 0.2 0.3 0.02 0.5 .\nC2 C 0.15 0.2 0.3 0.02 0.5 .\nO1 O 0.6 0.6 0.6 0.02 0.5 3\n", {4, 5, 3}, 1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        ScratchDir dir;
        CifText cif;
        cif.symmetry = "loop_\n_space_group_symop_operation_xyz\n'x, y, z'\n";
        cif.cell = replaced(cif.cell, "100.0(1)", "90");
        cif.atoms = r.atoms;
        cif.aniso = "";
        std::unique_ptr<Quandrel> q;
        const std::string err = captureStderr([&] { q = loaded(dir, cif); });
        ASSERT_EQ(q->structure.nAtoms, static_cast<int>(r.parts.size()));
        for (int i = 0; i < q->structure.nAtoms; ++i) EXPECT_EQ(q->structure.atom[i].part, r.parts[i]) << q->structure.atom[i].label;
        EXPECT_EQ(countOf(err, "are alternative sites without a disorder group"), r.warnings) << err;
    }
    // the warning names both atoms, their occupancies, distance and parts
    ScratchDir dir;
    CifText cif;
    cif.symmetry = "loop_\n_space_group_symop_operation_xyz\n'x, y, z'\n";
    cif.cell = replaced(cif.cell, "100.0(1)", "90");
    cif.atoms = "C1 C 0.10 0.2 0.3 0.02 0.5 .\nC2 C 0.15 0.2 0.3 0.02 0.5 .\n";
    cif.aniso = "";
    const std::string err = captureStderr([&] { loaded(dir, cif); });
    EXPECT_NE(err.find("Warning: t.cif: atoms C1 and C2 (occupancies 0.500 and 0.500, 0.500 A apart) are alternative "
                       "sites without a disorder group: they are put in parts 1 and 2 and never bonded."),
              std::string::npos)
        << err;
}

}  // namespace

namespace {

// Input no structure can have: each case is refused when the file is read, with a message
// naming the item.
TEST(CrystalLoader, HostileValuesAreRefusedNamingTheItem) {
    ScratchDir dir;
    const CrystalInput good = readText(dir, CifText().text());
    struct Case {
        const char* what;
        std::function<void(CrystalInput&)> damage;
        const char* message;
    } cases[] = {
        {"infinite cell s.u.", [](CrystalInput& in) { in.cellSd[1] = INFINITY; },
         "the standard uncertainty of cell parameter 2 (inf) is not a finite number"},
        {"NaN cell s.u.", [](CrystalInput& in) { in.cellSd[3] = NAN; }, "cell parameter 4 (nan)"},
        {"wavelength far too short", [](CrystalInput& in) { in.wavelength = 1e-300; }, "is no X-ray wavelength"},
        {"infinite coordinate", [](CrystalInput& in) { in.sites[1].frac[2] = INFINITY; }, "atom H1, coordinates"},
        {"NaN U", [](CrystalInput& in) { in.sites[2].uiso = NAN; }, "atom H2, displacement parameters"},
        {"a NUL in a label", [](CrystalInput& in) { in.sites[1].label = std::string("H\0X", 3); },
         "the atom label \"H?X\" (atom 2) holds a control character (byte 0)"},
        {"a tab in a label", [](CrystalInput& in) { in.sites[0].label = "O\t1"; }, "holds a control character (byte 9)"},
        {"one atom twice", [](CrystalInput& in) { in.sites[2].frac[0] = in.sites[1].frac[0] + 0.005;
                                                  in.sites[2].frac[1] = in.sites[1].frac[1];
                                                  in.sites[2].frac[2] = in.sites[1].frac[2]; },
         "atoms H1 and H2 lie 0.050 A apart in the same disorder part"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CrystalInput in = good;
        c.damage(in);
        Quandrel q(Quandrel::NoInput{});
        std::string err;
        EXPECT_EQ(stopCodeOf([&] { loadCrystal(q.structure, in); }, &err), 1);
        EXPECT_NE(err.find("t.cif"), std::string::npos) << err;
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
    }
    // the same position in two disorder parts is a disordered atom, not an error
    CrystalInput in = good;
    in.sites[2].frac[0] = in.sites[1].frac[0];
    in.sites[2].frac[1] = in.sites[1].frac[1];
    in.sites[2].frac[2] = in.sites[1].frac[2];
    in.sites[1].part = 1;
    in.sites[2].part = 2;
    Quandrel q(Quandrel::NoInput{});
    EXPECT_EQ(stopCodeOf([&] { loadCrystal(q.structure, in); }), -1);
}

}  // namespace
