// The MoPro parameter file: keywords, the per-atom records, axis atoms and the stops.
#include <gtest/gtest.h>

#include <cstring>

#include "input/mopro.h"
#include "test_mopro_files.h"
#include "testutil.h"

using namespace mopro;

namespace {

std::string withoutStop(const std::string& text) { return text.substr(0, text.rfind("STOP\n")); }

}  // namespace

// ---------------------------------------------------------------------------------
// Keywords
// ---------------------------------------------------------------------------------

TEST(MoProKeywords, CellKappaAtomsAndStopFillTheModel) {
    ScratchDir dir;
    Reading r = readMoPro(dir, paramFile({atomSpec(1, "C1", "C")}));
    Quandrel& q = *r.q;
    const double cell[6] = {10, 10, 10, 90, 90, 90};
    for (int k = 0; k < 6; ++k) EXPECT_DOUBLE_EQ(q.structure.cell[k], cell[k]);
    ASSERT_EQ(q.structure.nKappa, 2);
    const double expected[2][6] = {{0.9882, 0.9210, 1, 1, 1, 1}, {1.16, 1.15, 1, 1, 1, 1}};
    for (int k = 0; k < 2; ++k)
        for (int v = 0; v < 6; ++v) EXPECT_DOUBLE_EQ(q.structure.kappaSet[v][k], expected[k][v]) << k << " " << v;
    EXPECT_EQ(q.structure.nAtoms, 1);
    EXPECT_EQ(q.structure.nDummy, 0);
    EXPECT_EQ(q.structure.atom.size(), 2u) << "the atom and DUM0";
    EXPECT_GE(q.structure.atom.capacity(), 3u) << "room for as many dummies as atoms, plus one";
    EXPECT_STREQ(q.structure.atom[0].label, "C1");
    EXPECT_EQ(q.structure.nScat, 1);
}

TEST(MoProKeywords, IgnoredKeywordsAndCommentsAreSkipped) {
    ScratchDir dir;
    std::string ignored =
        "ZERR   4  0.0004  0.0005  0.0004  0.000  0.002  0.000\n"
        "SCALE 1  0.92725\n"
        "! a comment between keywords\n"
        "UOVER 0.001\nSOLVT 0.3 50.0\nFMULT 1.0\nEXTIN 0  0.0000\nWSIG 0.1 0.0\n";
    Reading r = readMoPro(dir, paramFile(twoAtoms(), ignored));
    EXPECT_EQ(r.q->structure.nAtoms, 2);
    EXPECT_STREQ(r.q->structure.atom[1].label, "O1");
}

TEST(MoProKeywords, SymmSkipsAsManyLinesAsItsCountSays) {
    ScratchDir dir;
    // The operator lines are taken as operators, never as keywords; the comment line among
    // them is not counted. The last SYMM record counts.
    std::string symm =
        "SYMM 3 P21/n CENTRO\n  X, Y, Z\n! comment\n  1/2-X, 1/2+Y, 1/2-Z\n  x,y,z\n"
        "SYMM 2 C2/c CENTRO\n  X, Y, Z\n  -X, Y, 0.5-Z\n";
    Reading r = readMoPro(dir, paramFile(twoAtoms(), symm));
    EXPECT_DOUBLE_EQ(r.q->structure.cell[0], 10.0);
    EXPECT_EQ(r.q->structure.nAtoms, 2);
    EXPECT_EQ(r.q->structure.symmetry.lattice, 'C');
    EXPECT_EQ(r.q->structure.symmetry.centric, 'C');
    EXPECT_EQ(r.q->structure.symmetry.symm, (std::vector<std::string>{"X, Y, Z", "-X, Y, 0.5-Z"}));

    // a keyword where an operator is announced stops the run naming the line
    ScratchDir again;
    const std::string cellAsOperator = paramFile(twoAtoms(), "SYMM 2 P21/n CENTRO\n  X, Y, Z\n  CELL 1 1 1 90 90 90\n");
    EXPECT_TRUE(stopsWith([&] { readOnly(again, cellAsOperator); }, 1,
                          "the symmetry line \"CELL 1 1 1 90 90 90\" holds no operator"));
}

TEST(MoProKeywords, StopAtomOrAnUnknownWordEndTheReading) {
    for (const char* end : {"STOP\n", "ATOM 1\n", "SOMETHING else\n"}) {
        ScratchDir dir;
        // what follows the end would otherwise replace the kappa sets
        std::string text = withoutStop(paramFile(twoAtoms())) + end + "KAPPA 1\n 5.0 5.0\nSTOP\n";
        Reading r = readMoPro(dir, text);
        EXPECT_EQ(r.q->structure.nKappa, 2) << end;
        EXPECT_DOUBLE_EQ(r.q->structure.kappaSet[0][0], 0.9882) << end;
    }
}

TEST(MoProKeywords, DummyAtomsGoBehindTheAtomsWithCartesianCoordinates) {
    ScratchDir dir;
    std::string dummies = "DUMMY 2\nDUMY  0.5 0.25 0.125 DX1\nDUMY  0.1 0.2 0.3\n";
    Reading r = readMoPro(dir, paramFile(twoAtoms(), dummies));
    Quandrel& q = *r.q;
    ASSERT_EQ(q.structure.nDummy, 2);
    ASSERT_EQ(q.structure.atom.size(), 5u);
    EXPECT_STREQ(q.structure.atom[2].label, "DX1");
    EXPECT_STREQ(q.structure.atom[3].label, "DUM1") << "a dummy line without a label is named by its position";
    const double cart[2][3] = {{5.0, 2.5, 1.25}, {1.0, 2.0, 3.0}};
    for (int j = 0; j < 2; ++j)
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(q.structure.atom[2 + j].frac[c], cart[j][c] / 10.0, 1e-12);
            EXPECT_NEAR(q.structure.atom[2 + j].cart[c], cart[j][c], 1e-9);
        }
}

TEST(MoProKeywords, AnharSetsTheOrderAndTheTenThirdOrderTerms) {
    ScratchDir dir;
    std::string anhar = "ANHAR 1 3\n  2\n 1 2 3 4 5 6 7 8\n 9 10\n";
    Reading r = readMoPro(dir, paramFile(twoAtoms(), "", anhar));
    const AtomRecord& o = r.q->structure.atom[1];
    EXPECT_EQ(o.tp, 3);
    for (int v = 0; v < 10; ++v) EXPECT_DOUBLE_EQ(o.c3[v], v + 1.0);
    EXPECT_EQ(r.q->structure.atom[0].tp, 2) << "the other atom keeps its order";
}

// ---------------------------------------------------------------------------------
// Per-atom steps
// ---------------------------------------------------------------------------------

TEST(MoProAtom, AtomLineFieldsAndScatteringWordsInOrderOfFirstAppearance) {
    ScratchDir dir;
    std::vector<AtomSpec> atoms = {atomSpec(1, "N1", "N"), atomSpec(2, "H1", "H"), atomSpec(3, "C1", "C"),
                                   atomSpec(4, "H2", "H")};
    atoms[2].group = "ALA";
    atoms[2].groupNo = 7;
    atoms[2].frac[0] = 0.5;
    atoms[2].frac[1] = -0.25;
    atoms[2].frac[2] = 0.75;
    Reading r = readMoPro(dir, paramFile(atoms));
    Quandrel& q = *r.q;
    const AtomRecord& c = q.structure.atom[2];
    EXPECT_EQ(c.atom1, 3);
    EXPECT_STREQ(c.label, "C1");
    EXPECT_STREQ(c.group, "ALA");
    EXPECT_EQ(c.groupNo, 7);
    EXPECT_DOUBLE_EQ(c.frac[0], 0.5);
    EXPECT_DOUBLE_EQ(c.frac[1], -0.25);
    EXPECT_DOUBLE_EQ(c.frac[2], 0.75);
    EXPECT_DOUBLE_EQ(c.cart[1], -2.5);
    EXPECT_DOUBLE_EQ(c.occupancy, 1.0);
    ASSERT_EQ(q.structure.nScat, 3);
    const int tbl[4] = {1, 2, 3, 2};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(q.structure.atom[i].tbl, tbl[i]) << i;
    EXPECT_STREQ(q.structure.scatTable[0].symbol, "N");
    EXPECT_STREQ(q.structure.scatTable[1].symbol, "H");
    EXPECT_STREQ(q.structure.scatTable[2].symbol, "C");
    EXPECT_EQ(q.structure.elementOf(2), 5);
}

TEST(MoProAtom, AxisLineTypesKappaSetAndWords) {
    struct Row {
        const char* type;
        bool printed;  // "test<>axisstr=<...>" for a type with "-"
        int ax1, ax2;
        const char* letters;
    } rows[] = {
        {"XY", false, 1, 2, "XYZ"},
        {"-XY", true, 1, 2, "XYZ"},
        {"ZX", false, 0, 0, ""},
        {"-bZX", true, 0, 0, ""},
        {"mZY", false, 0, 0, ""},
    };
    for (const Row& row : rows) {
        ScratchDir dir;
        std::vector<AtomSpec> atoms = twoAtoms();
        atoms[0].axisType = row.type;
        atoms[0].kap = 2;
        atoms[0].axis1 = "1_O1";
        atoms[0].axis2 = "O1";
        Reading r = readMoPro(dir, paramFile(atoms));
        const AtomRecord& a = r.q->structure.atom[0];
        std::string bare = row.type[0] == '-' ? row.type + 1 : row.type;
        EXPECT_EQ(r.out.find("test<>axisstr=<" + bare + ">\n") != std::string::npos, row.printed) << row.type;
        EXPECT_EQ(a.ax1, row.ax1) << row.type;
        EXPECT_EQ(a.ax2, row.ax2) << row.type;
        EXPECT_EQ(std::string(a.axisChars, strnlen(a.axisChars, 3)), row.letters) << row.type;
        EXPECT_EQ(a.kap, 2);
        EXPECT_DOUBLE_EQ(a.kappa[0], 1.16) << "the atom takes the values of its kappa set";
        EXPECT_DOUBLE_EQ(a.kappa[5], 1.0);
        EXPECT_STREQ(a.axisAtom1, "1_O1");
        EXPECT_STREQ(a.axisAtom2, "O1");
    }
}

TEST(MoProAtom, MultipoleWordGivesTheLevelAndTheLinesRead) {
    struct Row {
        const char* word;
        int lmx;
        int values;
    } rows[] = {{"COR", -1, 0}, {"MON", 0, 2}, {"DIP", 1, 5}, {"QUA", 2, 10}, {"OCT", 3, 17}, {"HEX", 4, 26}};
    for (const Row& row : rows) {
        ScratchDir dir;
        std::vector<AtomSpec> atoms = twoAtoms();
        atoms[0].level = row.word;
        Reading r = readMoPro(dir, paramFile(atoms));
        const AtomRecord& a = r.q->structure.atom[0];
        EXPECT_EQ(a.lmx, row.lmx) << row.word;
        for (int m = 0; m < 26; ++m)
            EXPECT_DOUBLE_EQ(a.multipole[m], m < row.values ? (m + 1) / 100.0 : 0.0) << row.word << " " << m;
        EXPECT_STREQ(r.q->structure.atom[1].label, "O1") << row.word << ": the next record is read in step";
        EXPECT_EQ(r.q->structure.atom[1].lmx, 4);
    }
}

TEST(MoProAtom, UaniAndUisoLines) {
    ScratchDir dir;
    std::vector<AtomSpec> atoms = twoAtoms();
    atoms[1].displacement = "UISO   0.0293";
    Reading r = readMoPro(dir, paramFile(atoms));
    const AtomRecord& c = r.q->structure.atom[0];
    const AtomRecord& o = r.q->structure.atom[1];
    EXPECT_EQ(c.tp, 2);
    const double u[6] = {0.011, 0.012, 0.013, 0.001, 0.002, 0.003};
    for (int k = 0; k < 6; ++k) EXPECT_DOUBLE_EQ(c.u[k], u[k]);
    EXPECT_EQ(o.tp, 1);
    EXPECT_DOUBLE_EQ(o.u[0], 0.0293);
    EXPECT_DOUBLE_EQ(o.u[1], 0.0);
}

TEST(MoProAtom, PrintsCoordinatesAndTwentySixPopulations) {
    ScratchDir dir;
    AtomSpec h = atomSpec(1, "H1", "H");
    h.level = "QUA";
    h.frac[0] = 0.5;
    h.frac[1] = 0.25;
    h.frac[2] = 0.125;
    Reading r = readMoPro(dir, paramFile({h}));
    const char* expected =
        "H1          0.500000  0.250000  0.125000    5.000000  2.500000  1.250000\n"
        "  0.0100  0.0200  0.0300  0.0400  0.0500  0.0600  0.0700  0.0800  0.0900  0.1000\n"
        "  0.0000  0.0000  0.0000  0.0000  0.0000  0.0000  0.0000  0.0000  0.0000  0.0000\n"
        "  0.0000  0.0000  0.0000  0.0000  0.0000  0.0000\n";
    EXPECT_EQ(r.out, expected);
}

// ---------------------------------------------------------------------------------
// Axis atoms
// ---------------------------------------------------------------------------------

TEST(MoProAxisAtoms, ByNumberByLabelInTheGroupAndByGroupAndLabel) {
    ScratchDir dir;
    // C1 exists in group 1 and group 2; O1 only in group 2
    std::vector<AtomSpec> atoms = {atomSpec(1, "C1", "C"), atomSpec(2, "C1", "C"), atomSpec(3, "O1", "O"),
                                   atomSpec(4, "H1", "H"), atomSpec(5, "H2", "H")};
    for (int i = 1; i < 5; ++i) atoms[i].groupNo = 2;
    atoms[0].axis1 = "3";     // a number is the atom number itself
    atoms[0].axis2 = "O1";    // no O1 in group 1: the field stays as it was
    atoms[3].axis1 = "C1";    // the first C1 of the atom's own group (2): atom 2
    atoms[3].axis2 = "1_C1";  // the first C1 of group 1: atom 1
    atoms[4].axis1 = "2_O1";  // O1 of group 2: atom 3
    atoms[4].axis2 = "3_C1";  // no group 3
    Reading r = readMoPro(dir, paramFile(atoms));
    Quandrel& q = *r.q;
    struct Row {
        int atom, atom0, atom2;
    } rows[] = {{0, 3, 0}, {3, 2, 1}, {4, 3, 0}};
    for (const Row& row : rows) {
        EXPECT_EQ(q.structure.atom[row.atom].atom0, row.atom0) << q.structure.atom[row.atom].label;
        EXPECT_EQ(q.structure.atom[row.atom].atom2, row.atom2) << q.structure.atom[row.atom].label;
    }
}

TEST(MoProAxisAtoms, SymmetryInAnAxisDefinitionEndsWithCode32AndNoBanner) {
    ScratchDir dir;
    std::vector<AtomSpec> atoms = twoAtoms();
    atoms[1].axis2 = "C1_SYM2";
    dir.write("test.01", paramFile(atoms));
    dir.write("mopro.tab", TABLE);
    dir.write("qdltool.ini", moproSettings("test.01"));
    RunResult r = runTool();
    EXPECT_EQ(r.code, 32);
    EXPECT_NE(r.err.find("Symmetry in axisdefinition is not supported yet!\n(the axis atoms "), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find(" and C1_SYM2 of atom O1 in test.01)\n"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Error Code"), std::string::npos) << "no error banner";
}

TEST(MoProAxisAtoms, UnknownAxisTypeEndsWithCode1AndNoBanner) {
    ScratchDir dir;
    std::vector<AtomSpec> atoms = twoAtoms();
    atoms[1].axisType = "-QZ";
    dir.write("test.01", paramFile(atoms));
    dir.write("mopro.tab", TABLE);
    dir.write("qdltool.ini", moproSettings("test.01"));
    RunResult r = runTool();
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Unknown axis type 'QZ' ! I know only:\n XY, bXY, bZX, mXY, mZX, 3ZX, 3bZ, 3Zb,\n"
                         "\t\t\t\t\t\t\t    XZ, YX, YZ, ZY, bXZ, bYX, bYZ, mYX, mXZ, mYZ, mZY\nGoodbye!\n"
                         "(the axis line of atom O1 in test.01)\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("Error Code"), std::string::npos) << "no error banner";
}

TEST(MoProAxisAtoms, IstzahlAcceptsDigitsOnly) {
    struct Row {
        const char* text;
        int result;
    } rows[] = {{"3", 1}, {"0123", 1}, {"", 0}, {"C1", 0}, {"1_C1", 0}, {"-1", 0}, {"1 ", 0}};
    for (const Row& row : rows) EXPECT_EQ(istzahl(row.text), row.result) << "'" << row.text << "'";
}

// ---------------------------------------------------------------------------------
// Stops: the read errors of the format and the checks of this reader
// ---------------------------------------------------------------------------------

TEST(MoProStops, MalformedRecordsAreReadErrors) {
    struct Row {
        const char* what;
        std::string text;
        const char* message;
    };
    std::vector<AtomSpec> atoms = twoAtoms();
    std::string good = paramFile(atoms);
    auto replace = [&](const std::string& from, const std::string& to) {
        std::string t = good;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    AtomSpec noDisplacement = atoms[1];
    noDisplacement.displacement = "UNONE 0.1";
    std::string shortMultipoles = paramFile(atoms);
    shortMultipoles.replace(shortMultipoles.rfind("0.2600"), 6, "");
    const Row rows[] = {
        {"cell", replace("CELL 10.0 10.0 10.0 90.0 90.0 90.0", "CELL 10 10 10 90 90"), "READ ERRROR in test.01"},
        {"symm", replace("KAPPA 2", "SYMM 2\nKAPPA 2"), "READ ERRROR in test.01"},
        {"kappa", replace("KAPPA 2", "KAPPA two"), "READ ERRROR in test.01"},
        {"dummy", replace("KAPPA 2", "DUMMY\nKAPPA 2"), "READ ERRROR in test.01"},
        {"atoms", replace("ATOMS 2", "ATOMS x"), "READ ERRROR in test.01"},
        {"atom line", replace("1.0000   6 O", "1.0000   6"), "READ ERRROR in test.01 9 ATOM     2 O1"},
        {"axis line", replace("K1  V1  M1  Q0", "K1  V1  M1"), "READ ERRROR in test.01 7 XY   1"},
        {"displacement", paramFile({atoms[0], noDisplacement}), "READ ERRROR in test.01 0 UNONE 0.1"},
        {"multipoles", shortMultipoles, "READ ERRROR in test.01 8 "},
        {"dummy line", replace("KAPPA 2", "DUMMY 1\nDUMY 0.1 0.2\nKAPPA 2"), "READ ERRROR in test.01 2 DUMY"},
    };
    for (const Row& row : rows) {
        ScratchDir dir;
        EXPECT_TRUE(stopsWith([&] { readOnly(dir, row.text); }, 1, row.message, MOPRO_STAGE)) << row.what;
    }
}

TEST(MoProStops, TruncatedFilesAndCapacitiesStopWithAMessageNamingTheFile) {
    struct Row {
        const char* what;
        std::string text;
        const char* message;
    };
    std::vector<AtomSpec> atoms = twoAtoms();
    std::string good = paramFile(atoms);
    std::string stopless = withoutStop(good);
    auto replace = [&](const std::string& from, const std::string& to) {
        std::string t = good;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    std::vector<AtomSpec> many;
    for (int i = 0; i < 21; ++i) {
        AtomSpec a = atomSpec(i + 1, "X" + std::to_string(i), "C" + std::to_string(i));
        a.level = "COR";
        many.push_back(a);
    }
    AtomSpec longLabel = atoms[0];
    longLabel.label = "ABCDEFGHIJKLMNOPQRST";
    AtomSpec badKappa = atoms[0];
    badKappa.kap = 3;
    AtomSpec badLevel = atoms[0];
    badLevel.level = "PEN";
    AtomSpec badNumber = atoms[0];
    badNumber.axis2 = "9";
    AtomSpec longWord = atoms[0];
    longWord.scat = "Cxyz";
    const Row rows[] = {
        {"no STOP", stopless, "test.01 ends without a STOP line."},
        {"in an atom", stopless.substr(0, stopless.find("ATOM     2")),
         "test.01 ends before atom 2 of the 2 announced by ATOMS."},
        {"in the multipoles", stopless.substr(0, stopless.rfind(" 0.1800")),
         "test.01 ends before the multipole lines of atom O1."},
        {"in SYMM", std::string(CELL) + "SYMM 3 P1\n X,Y,Z\n", "test.01 ends before the 3 symmetry lines"},
        {"in ANHAR", stopless + "ANHAR 1 3\n 1\n 1 2 3 4 5 6 7 8\n", "test.01 ends before record 1 of the 1"},
        {"kappa sets", replace("KAPPA 2", "KAPPA 1000"), "KAPPA 1000 in test.01: at most 999 kappa sets"},
        {"atoms", replace("ATOMS 2", "ATOMS 100000"), "ATOMS 100000 in test.01: a structure holds 1 to 99999 atoms."},
        {"no atoms", replace("ATOMS 2", "ATOMS 0"), "ATOMS 0 in test.01"},
        {"scattering words", paramFile(many), "test.01 uses more than 20 scattering words ('C20' of atom X20"},
        {"anhar atom 0", good.substr(0, good.size() - 5) + "ANHAR 1 3\n 0\n", "ANHAR record 1 of test.01 names atom 0;"},
        {"anhar atom 3", good.substr(0, good.size() - 5) + "ANHAR 1 3\n 3\n", "names atom 3; the atoms are numbered 1 to 2."},
        {"anhar order", good.substr(0, good.size() - 5) + "ANHAR 1 5\n 1\n", "the order 5 is not 3 or 4."},
        {"long label", paramFile({longLabel, atoms[1]}), "Label 'ABCDEFGHIJKLMNOPQRST' of atom 1 in test.01 is longer"},
        {"long scattering word", paramFile({longWord}), "Scattering word 'Cxyz' of atom C1 in test.01 is longer than 3"},
        {"kappa set", paramFile({badKappa, atoms[1]}), "Atom C1 of test.01 uses kappa set K3, but the file has 2"},
        {"multipole word", paramFile({badLevel, atoms[1]}), "Unknown multipole level 'PEN' of atom C1 in test.01"},
        {"axis number", paramFile({badNumber, atoms[1]}), "Axis atom '9' of atom C1 in test.01 is no atom number"},
        {"dummies", replace("KAPPA 2", "DUMMY 3\nDUMY 0 0 0\nDUMY 0 0 0\nDUMY 0 0 0\nKAPPA 2"),
         "test.01 has 3 dummy atoms but only 2 atoms."},
        {"no cell", good.substr(good.find("KAPPA")), "test.01 has no CELL line."},
        {"no atoms section", std::string(CELL) + "STOP\n", "test.01 has no ATOMS section."},
    };
    for (const Row& row : rows) {
        ScratchDir dir;
        EXPECT_TRUE(stopsWith([&] { readOnly(dir, row.text); }, 1, row.message, MOPRO_STAGE)) << row.what;
    }
    // a line of 224 characters; a comment line of that length is skipped like any other
    ScratchDir dir;
    std::string longLine = "SCALE " + std::string(218, '1') + "\n";
    EXPECT_TRUE(stopsWith([&] { readOnly(dir, replace("KAPPA 2", longLine + "KAPPA 2")); }, 1,
                          "A line of test.01 is longer than 223 characters"));
    Reading r = readMoPro(dir, replace("KAPPA 2", "!" + longLine + "KAPPA 2"));
    EXPECT_EQ(r.q->structure.nAtoms, 2);
    Reading atLimit = readMoPro(dir, replace("KAPPA 2", "SCALE " + std::string(217, '1') + "\nKAPPA 2"));
    EXPECT_EQ(atLimit.q->structure.nAtoms, 2) << "223 characters are allowed";
}
