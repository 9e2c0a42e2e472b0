// The reader of the XD parameter file ("xd.res", else "xd.inp") and of "xd_part.aux".
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#include "input/input.h"
#include "testutil.h"

namespace {

// Reads "xd.mas" and then the parameter file of the current directory into a fresh
// object; what the readers print is captured into out and err.
std::unique_ptr<Quandrel> readXdHere(std::string* out = nullptr, std::string* err = nullptr) {
    std::unique_ptr<Quandrel> q;
    const Streams s = capture([&] {
        q = std::make_unique<Quandrel>(Quandrel::NoInput{});
        readMasterFile(q->structure);
        readParameterFile(q->structure);
    });
    if (out) *out = s.out;
    if (err) *err = s.err;
    return q;
}

const std::string VARIETY_USAGE =
    "USAGE      4     2     2     3     0     1     3     0     1     0     1     0     0     3";

std::string varietyRes() { return slurp(dataPath("xd/variety/xd.res")); }

// The variety parameter file with one text replaced (the original must occur).
std::string varietyResWith(const std::string& from, const std::string& to) {
    std::string res = varietyRes();
    std::size_t at = res.find(from);
    if (at == std::string::npos) throw std::runtime_error("not in xd.res: " + from);
    return res.replace(at, from.size(), to);
}

// The variety parameter file up to (without) the first occurrence of a text.
std::string varietyResUpTo(const std::string& marker) {
    std::string res = varietyRes();
    std::size_t at = res.find(marker);
    if (at == std::string::npos) throw std::runtime_error("not in xd.res: " + marker);
    return res.substr(0, at);
}

// The variety parameter file with other counts on its USAGE line.
std::string varietyResWithUsage(int atoms, int kappas, int dummies) {
    char usage[128];
    snprintf(usage, sizeof usage,
             "USAGE  %5d     2     2 %5d     0     1     3     0     1     0     1     0     0 %5d", atoms, kappas,
             dummies);
    return varietyResWith(VARIETY_USAGE, usage);
}

void readXdOrDie() {
    Quandrel q{Quandrel::NoInput{}};
    readMasterFile(q.structure);
    readParameterFile(q.structure);
}

}  // namespace

TEST(XdResReader, CountsLabelsAndSummary) {
    ScratchDir dir;
    dir.copyFolder("xd/variety");
    std::string err;
    auto q = readXdHere(nullptr, &err);
    EXPECT_EQ(q->structure.nAtoms, 4);
    EXPECT_EQ(q->structure.nDummy, 3);
    EXPECT_EQ(q->structure.nKappa, 3);
    EXPECT_EQ(q->structure.multipoleLevel, 2);
    const int rest[10] = {2, 0, 1, 3, 0, 1, 0, 1, 0, 0};
    for (int k = 0; k < 10; ++k) EXPECT_EQ(q->structure.usageRest[k], rest[k]) << k;
    // atoms, the file's dummies and DUM0; room for as many dummies as atoms, plus one
    EXPECT_EQ(q->structure.atom.size(), 8u);
    EXPECT_GE(q->structure.atom.capacity(), 9u);
    const char* labels[] = {"O(1)", "C(1)", "C(2)", "H(1)", "DUM0", "DUM1", "DUM2"};
    for (int i = 0; i < 7; ++i) EXPECT_STREQ(q->structure.atom[i].label, labels[i]) << i;
    EXPECT_NE(err.find("Reading xd.res was successfull!\n4 Atoms, 3 Dummys and 3 Kappas read\n\n"),
              std::string::npos);
}

TEST(XdResReader, AtomLineFieldsAndLmxAlwaysFour) {
    ScratchDir dir;
    dir.copyFolder("xd/variety");
    auto q = readXdHere();
    const AtomRecord& c1 = q->structure.atom[1];
    EXPECT_EQ(c1.ax1, 1);
    EXPECT_EQ(c1.ax2, 3);
    EXPECT_EQ(c1.atom0, 1);
    EXPECT_EQ(c1.atom1, 2);
    EXPECT_EQ(c1.atom2, 3);
    EXPECT_EQ(c1.tp, 4);
    EXPECT_EQ(c1.tbl, 1);
    EXPECT_EQ(c1.kap, 2);
    EXPECT_EQ(c1.symCode, 5);
    EXPECT_EQ(c1.chemCon, 7);
    EXPECT_DOUBLE_EQ(c1.occupancy, 0.5);
    EXPECT_DOUBLE_EQ(c1.frac[2], 0.5);
    // H(1) says 2 in its multipole-level column
    for (int i = 0; i < 4; ++i) EXPECT_EQ(q->structure.atom[i].lmx, 4) << i;
}

TEST(XdResReader, DisplacementLinesFollowTheOrderOfEachAtom) {
    ScratchDir dir;
    dir.copyFolder("xd/variety");
    auto q = readXdHere();
    const AtomRecord& o1 = q->structure.atom[0];  // tp 2: one line
    EXPECT_DOUBLE_EQ(o1.u[0], 0.011);
    EXPECT_DOUBLE_EQ(o1.u[5], 0.003);
    EXPECT_DOUBLE_EQ(o1.c3[0], 0.0);

    const AtomRecord& c1 = q->structure.atom[1];  // tp 4: six lines, a comment line among them
    EXPECT_DOUBLE_EQ(c1.u[5], 0.0023);
    for (int k = 0; k < 10; ++k) EXPECT_DOUBLE_EQ(c1.c3[k], 0.000031 + 1e-6 * k) << k;
    for (int k = 0; k < 15; ++k) EXPECT_DOUBLE_EQ(c1.d4[k], 0.000041 + 1e-6 * k) << k;
    EXPECT_DOUBLE_EQ(c1.multipole[0], 4.0);  // the six lines were consumed before the populations

    const AtomRecord& c2 = q->structure.atom[2];  // tp 3: three lines
    EXPECT_DOUBLE_EQ(c2.c3[9], 0.000140);
    EXPECT_DOUBLE_EQ(c2.d4[0], 0.0);
    EXPECT_DOUBLE_EQ(c2.multipole[0], 4.1);
}

TEST(XdResReader, MultipoleLevelTwoReadsOneLineOfTen) {
    ScratchDir dir;
    dir.copyFolder("xd/variety");
    auto q = readXdHere();
    for (int i = 0; i < 4; ++i) {
        const double base[] = {6.0, 4.0, 4.1, 0.9};
        for (int k = 0; k < 10; ++k) EXPECT_DOUBLE_EQ(q->structure.atom[i].multipole[k], base[i] + 0.01 * k) << i << " " << k;
        for (int k = 10; k < 26; ++k) EXPECT_EQ(q->structure.atom[i].multipole[k], 0.0) << i << " " << k;
    }
}

TEST(XdResReader, MultipoleLevelFourReadsTwentySixValuesOnThreeLines) {
    ScratchDir dir;
    dir.copyFolder("fixtures/l_alanine");
    auto q = readXdHere();
    EXPECT_EQ(q->structure.multipoleLevel, 4);
    const AtomRecord& c1 = q->structure.atom[0];
    EXPECT_DOUBLE_EQ(c1.multipole[0], 4.190714);
    EXPECT_DOUBLE_EQ(c1.multipole[9], -0.020511);
    EXPECT_DOUBLE_EQ(c1.multipole[10], -0.089591);
    EXPECT_DOUBLE_EQ(c1.multipole[20], -0.027357);
    EXPECT_DOUBLE_EQ(c1.multipole[25], 0.030748);
    const AtomRecord& o2 = q->structure.atom[12];
    EXPECT_STREQ(o2.label, "O(2)");
    EXPECT_DOUBLE_EQ(o2.multipole[0], 5.821156);
    EXPECT_DOUBLE_EQ(o2.multipole[25], -0.007822);
    EXPECT_DOUBLE_EQ(q->structure.trailingValues[0], 0.8892739);
    EXPECT_EQ(q->structure.nTrailing, 1);
}

TEST(XdResReader, KappaSetIsChosenByPositionNotByItsNumberColumn) {
    ScratchDir dir;
    dir.copyFolder("xd/variety");
    auto q = readXdHere();
    EXPECT_EQ(q->structure.kappaNo[0], 2);
    EXPECT_EQ(q->structure.kappaNo[1], 3);
    EXPECT_EQ(q->structure.kappaNo[2], 1);
    EXPECT_DOUBLE_EQ(q->structure.kappaSet[0][2], 1.2);
    EXPECT_DOUBLE_EQ(q->structure.kappaSet[5][1], 0.92);
    // O(1) and H(1) take set 1, the first line (numbered 2); C(1) and C(2) set 2, the second line (numbered 3)
    const double first[4] = {1.01, 1.02, 1.02, 1.01};
    const double rest[4] = {0.91, 0.92, 0.92, 0.91};
    for (int i = 0; i < 4; ++i) {
        EXPECT_DOUBLE_EQ(q->structure.atom[i].kappa[0], first[i]) << i;
        for (int v = 1; v < 6; ++v) EXPECT_DOUBLE_EQ(q->structure.atom[i].kappa[v], rest[i]) << i;
    }
}

TEST(XdResReader, AxisLettersNameFirstSecondAndRemainingAxis) {
    ScratchDir dir;
    dir.copyFolder("xd/variety");
    auto q = readXdHere();
    const char* letters[4] = {"ZXY", "XZY", "XYZ", "YZX"};  // codes 3 1, 1 3, 1 2, 2 3
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(std::string(q->structure.atom[i].axisChars, 3), letters[i]) << q->structure.atom[i].label;
}

TEST(XdResReader, AxisCodesOutsideOneToThreeLeaveLettersUnset) {
    ScratchDir dir;
    dir.copyFolder("xd/variety");
    dir.write("xd.res", varietyResWith("O(1)      3 1", "O(1)      0 2"));
    auto q = readXdHere();
    EXPECT_EQ(q->structure.atom[0].axisChars[0], '\0');
    EXPECT_EQ(q->structure.atom[0].axisChars[1], 'Y');
    EXPECT_EQ(q->structure.atom[0].axisChars[2], '\0');
}

TEST(XdResReader, DummiesAndAtomsGetCartesianCoordinates) {
    ScratchDir dir;
    dir.copyFolder("xd/variety");
    auto q = readXdHere();  // cell 10 12 14, right angles
    struct Row {
        int index;
        double x, y, z;
    };
    const Row rows[] = {
        {0, 1.0, 2.4, 4.2},    // O(1)
        {3, 4.0, 7.2, 11.2},   // H(1)
        {4, 1.0, 2.4, 4.2},    // DUM0
        {5, 5.0, 3.0, 1.75},   // DUM1, after a comment line
        {6, 0.0, 6.0, 14.0},   // DUM2
    };
    for (const Row& r : rows) {
        const AtomRecord& a = q->structure.atom[r.index];
        EXPECT_NEAR(a.cart[0], r.x, 1e-9) << a.label;
        EXPECT_NEAR(a.cart[1], r.y, 1e-9) << a.label;
        EXPECT_NEAR(a.cart[2], r.z, 1e-9) << a.label;
    }
    EXPECT_DOUBLE_EQ(q->structure.atom[5].frac[2], 0.125);
}

TEST(XdResReader, TrailingValuesAreTheNumbersOfTheLastLine) {
    ScratchDir dir;
    dir.copyFolder("xd/variety");
    auto q = readXdHere();
    ASSERT_EQ(q->structure.nTrailing, 3);
    EXPECT_DOUBLE_EQ(q->structure.trailingValues[0], 0.8892739);
    EXPECT_DOUBLE_EQ(q->structure.trailingValues[1], 1.5);
    EXPECT_DOUBLE_EQ(q->structure.trailingValues[2], 0.25);
}

TEST(XdResReader, TenTrailingNumbersAndNineteenCharacterLabelsFit) {
    ScratchDir dir;
    dir.copyFolder("xd/variety");
    std::string res = varietyResWith(" 8.892739E-01  1.5  2.5E-01", "1 2 3 4 5 6 7 8 9 10   ");
    dir.write("xd.res", res.replace(res.find("O(1)      3 1"), 13, "O(1)abcdefghijklmno 3 1"));
    auto q = readXdHere();
    EXPECT_EQ(q->structure.nTrailing, 10);
    EXPECT_DOUBLE_EQ(q->structure.trailingValues[9], 10.0);
    EXPECT_STREQ(q->structure.atom[0].label, "O(1)abcdefghijklmno");
}

TEST(XdResReader, FilesAtEveryCapacityAreRead) {
    // 49999 atoms, as many dummies (together one below the five columns of atom numbers),
    // 999 kappa sets, 20 scattering entries, level 0
    const int atoms = (MAX_ATOMS - 1) / 2, kappas = MAX_KAPPA;
    std::string mas = "TITLE full\nCELL 40 40 40 90 90 90\nSCAT CORE\n";
    for (int t = 0; t < MAX_SCAT; ++t) mas += "C    CHFW CHFW CSZD    2  -2   0   0  -2\n";
    mas += "END SCAT\n";
    std::string res = "XDPARFILE VERSION  2\nfull   MODEL  4  2  1  0\n";
    char line[128];
    snprintf(line, sizeof line, "USAGE %d 2 0 %d 0 1 3 0 1 0 1 0 0 %d\n", atoms, kappas, atoms);
    res += line;
    res += "0 0 0\n0 0 0\n";
    for (int j = 0; j < atoms; ++j) res += "0.5 0.5 0.5\n";
    for (int i = 0; i < atoms; ++i) {
        snprintf(line, sizeof line, "C(%d) 1 2 1 2 3 2 %d %d 4 0 0 %.6f 0.1 0.2 1.0\n0.01 0.01 0.01 0 0 0\n4.0\n",
                 i + 1, 1 + i % MAX_SCAT, 1 + i % kappas, i / double(atoms));
        res += line;
    }
    for (int k = 0; k < kappas; ++k) {
        snprintf(line, sizeof line, "%d 1.0 1.0 1.0 1.0 1.0 %d\n", k + 1, k + 1);
        res += line;
    }
    res += "0 0 0\n0\n0.9\n";
    ScratchDir dir;
    dir.write("xd.mas", mas);
    dir.write("xd.res", res);
    auto q = readXdHere();
    EXPECT_EQ(q->structure.nScat, MAX_SCAT);
    EXPECT_EQ(q->structure.nAtoms, atoms);
    EXPECT_EQ(q->structure.nDummy, atoms);
    EXPECT_EQ(q->structure.atom.size(), 2u * atoms + 1);
    EXPECT_STREQ(q->structure.atom[2 * atoms - 1].label, "DUM49998");
    EXPECT_STREQ(q->structure.atom[atoms - 1].label, "C(49999)");
    EXPECT_DOUBLE_EQ(q->structure.atom[atoms - 1].kappa[5], double(1 + (atoms - 1) % kappas));
    EXPECT_DOUBLE_EQ(q->structure.atom[atoms - 1].multipole[0], 4.0);
}

TEST(XdResReader, FallsBackToXdInpWithItsMessages) {
    ScratchDir dir;
    dir.copyFolder("xd/inp_only");
    std::string err;
    auto q = readXdHere(nullptr, &err);
    EXPECT_NE(err.find("can't open xd.res  : No such file or directory\n->so I try xd.inp\n"), std::string::npos)
        << err;
    EXPECT_NE(err.find("Reading xd.inp was successfull!\n4 Atoms, 1 Dummys and 3 Kappas read\n\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(q->structure.nAtoms, 4);
    EXPECT_STREQ(q->structure.atom[3].label, "Cl(1)");
    EXPECT_STREQ(q->structure.atom[4].label, "DUM0");
    EXPECT_DOUBLE_EQ(q->structure.atom[4].frac[0], 0.666064);
}

TEST(XdResReader, RealisticParameterFiles) {
    struct Row {
        const char* molecule;
        int atoms, dummies, kappas;
        const char* first;
        const char* last;
    };
    const Row rows[] = {
        {"benzene", 12, 0, 2, "C(1)", "H(6)"},
        {"chfclbr_r", 5, 0, 5, "F(1)", "Br(1)"},
        {"cyclopropane", 9, 0, 2, "C(1)", "H(3B)"},
        {"disorder_cf3", 21, 0, 3, "F(3A)", "F(3B)"},
        {"l_alanine", 13, 0, 4, "C(1)", "O(2)"},
        {"naphthalene", 18, 0, 2, "C(1)", "H(10)"},
        {"phenol", 13, 0, 3, "O(1)", "H(6)"},
        {"urea_z2", 16, 0, 4, "N(1)", "H(N4B)"},
        {"water_chloride", 4, 1, 3, "O(1)", "Cl(1)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.molecule);
        ScratchDir dir;
        dir.copyFolder(std::string("fixtures/") + row.molecule);
        auto q = readXdHere();
        EXPECT_EQ(q->structure.nAtoms, row.atoms);
        EXPECT_EQ(q->structure.nDummy, row.dummies);
        EXPECT_EQ(q->structure.nKappa, row.kappas);
        EXPECT_STREQ(q->structure.atom[0].label, row.first);
        EXPECT_STREQ(q->structure.atom[row.atoms - 1].label, row.last);
        for (int i = 0; i < q->structure.nAtoms; ++i) {
            const AtomRecord& a = q->structure.atom[i];
            EXPECT_GE(q->structure.elementOf(i), 0) << a.label;
            EXPECT_EQ(a.kappa[0], q->structure.kappaSet[0][a.kap - 1]) << a.label;
            EXPECT_GT(a.multipole[0], 0.0) << a.label;  // every atom's valence population was read
        }
    }
}

TEST(XdResReader, BundledExampleIsRead) {
    ScratchDir dir;
    dir.copyIn(examplePath("l_alanine/xd.mas"), "xd.mas");
    dir.copyIn(examplePath("l_alanine/xd.res"), "xd.res");
    std::string out;
    auto q = readXdHere(&out);
    EXPECT_STREQ(q->structure.title, "l_alanine");
    EXPECT_EQ(q->structure.nScat, 4);
    EXPECT_EQ(q->structure.nAtoms, 13);
    EXPECT_EQ(q->structure.nKappa, 4);
    EXPECT_EQ(countOf(out, "Atom type "), 4);
    EXPECT_STREQ(q->structure.atom[7].label, "H(N1A)");
    EXPECT_EQ(q->structure.elementOf(7), 0);
    EXPECT_EQ(q->structure.elementOf(6), 6);  // N(1)
    EXPECT_NEAR(q->structure.atom[6].cart[0], 0.768922 * 8.7138, 1e-9);
}

TEST(XdPartAux, DisorderPartsByPosition) {
    ScratchDir dir;
    dir.copyFolder("fixtures/disorder_cf3");
    auto q = readXdHere();
    const struct {
        const char* label;
        int part;
    } atoms[] = {{"F(3A)", 1}, {"C(1)", 0}, {"F(1B)", 2}, {"F(3B)", 2}};
    for (const auto& a : atoms) {
        const int i = atomNamed(q->structure, a.label);
        ASSERT_GE(i, 0);
        EXPECT_EQ(q->structure.atom[i].part, a.part) << a.label;
    }
}

TEST(XdPartAux, AtomsBeyondAShortFileAndWithoutAFileGetPartZero) {
    ScratchDir dir;
    dir.copyFolder("fixtures/disorder_cf3");
    dir.copyIn("xd/part_short/xd_part.aux", "xd_part.aux");
    auto q = readXdHere();
    const int expected[5] = {1, 0, 1, 1, 0};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(q->structure.atom[i].part, expected[i]) << i;
    for (int i = 5; i < q->structure.nAtoms; ++i) EXPECT_EQ(q->structure.atom[i].part, 0) << q->structure.atom[i].label;

    std::remove("xd_part.aux");
    q->structure.atom[0].part = 7;
    readPartFile(q->structure);
    for (int i = 0; i < q->structure.nAtoms; ++i) EXPECT_EQ(q->structure.atom[i].part, 0) << q->structure.atom[i].label;
}

TEST(XdPartAux, RecordsMaySpanLines) {
    ScratchDir dir;
    dir.copyFolder("xd/variety");
    dir.write("xd_part.aux", "O(1) 1\n 2\nC(1)\n2 1 C(2) 3\n4");
    auto q = readXdHere();
    EXPECT_EQ(q->structure.atom[0].part, 2);
    EXPECT_EQ(q->structure.atom[1].part, 1);
    EXPECT_EQ(q->structure.atom[2].part, 4);
    EXPECT_EQ(q->structure.atom[3].part, 0);
}

// Every damaged or oversized parameter file stops with a message naming the file and the
// fault, the error banner naming readInp, and exit code 1.
TEST(XdResReaderStops, DamagedParameterFilesStopWithAMessage) {
    const std::string longAtomLine = "O(1)      3 1    2    1    3 2  2  1 4  0   0" + std::string(90, ' ') + "0.1";
    struct Row {
        const char* what;
        std::string res;
        std::string message;
    };
    const Row rows[] = {
        // files that end early
        {"empty file", "", "xd.res ends before its USAGE line"},
        {"no USAGE line", varietyResUpTo("USAGE"), "xd.res ends before its USAGE line"},
        {"ends after USAGE", varietyResUpTo("  0.021156"), "xd.res ends before the two lines after its USAGE line"},
        {"ends in the dummies", varietyResUpTo("! the second dummy"), "xd.res ends before dummy atom 2 of 3"},
        {"ends before an atom", varietyResUpTo("C(2)"), "xd.res ends before the record of atom 3 of 4"},
        {"ends in the U line", varietyResUpTo("    0.031000"),
         "xd.res ends before the displacement parameters of atom C(2)"},
        {"ends in the third order", varietyResUpTo("    0.000136"),
         "xd.res ends before the third-order displacement parameters of atom C(2)"},
        {"ends in the fourth order", varietyResUpTo("    0.000046"),
         "xd.res ends before the fourth-order displacement parameters of atom C(1)"},
        {"ends before the populations", varietyResUpTo("    0.900000"),
         "xd.res ends before the multipole populations of atom H(1)"},
        {"ends in the kappas", varietyResUpTo("! kappa lines"), "xd.res ends before kappa set 2 of 3"},
        {"ends before the last line", varietyResUpTo(" 8.892739E-01"), "xd.res ends before its last parameter line"},
        {"ends in comments", varietyResUpTo(" 8.892739E-01") + "! no more\n",
         "xd.res ends before its last parameter line"},
        // counts beyond the capacities
        {"100000 atoms", varietyResWithUsage(100000, 3, 3),
         "xd.res: the USAGE line announces 100000 atoms; between 0 and 99999 can be handled"},
        {"atoms and dummies beyond five columns", varietyResWithUsage(50000, 3, 50000),
         "xd.res: the USAGE line announces 50000 atoms and 50000 dummy atoms: XD's parameter file numbers atoms "
         "and dummy atoms in five columns, so at most 99999 of them together can be handled"},
        {"negative atoms", varietyResWithUsage(-1, 3, 0),
         "xd.res: the USAGE line announces -1 atoms; between 0 and 99999 can be handled"},
        {"1000 kappa sets", varietyResWithUsage(4, 1000, 3),
         "xd.res: the USAGE line announces 1000 kappa sets; between 0 and 999 can be handled"},
        {"more dummies than atoms", varietyResWithUsage(4, 3, 5),
         "xd.res: the USAGE line announces 5 dummy atoms for 4 atoms; between 0 and the number of atoms can be "
         "handled"},
        {"negative dummies", varietyResWithUsage(4, 3, -2),
         "xd.res: the USAGE line announces -2 dummy atoms for 4 atoms"},
        {"eleven trailing numbers", varietyResWith(" 8.892739E-01  1.5  2.5E-01", "1 2 3 4 5 6 7 8 9 10 11"),
         "xd.res: the last parameter line holds more than 10 numbers"},
        {"label of 20 characters", varietyResWith("O(1)      3 1", "O(1)abcdefghijklmnop 3 1"),
         "xd.res: the label of atom 1 \"O(1)abcdefghijklmnop\" is longer than 19 characters"},
        {"line of 176 characters", varietyResWith("O(1)      3 1    2    1    3 2  2  1 4  0   0", longAtomLine),
         "xd.res: a line is longer than 127 characters (176) at the record of atom 1 of 4: \"O(1)"},
        // references outside the file's tables
        {"kappa set beyond the file", varietyResWith("H(1)      2 3    3    4    2 2  3  1", "H(1)      2 3    3    4    2 2  3  4"),
         "xd.res: atom 4 (H(1)) refers to kappa set 4, but the file holds 3 kappa sets"},
        {"kappa set zero", varietyResWith("H(1)      2 3    3    4    2 2  3  1", "H(1)      2 3    3    4    2 2  3  0"),
         "xd.res: atom 4 (H(1)) refers to kappa set 0, but the file holds 3 kappa sets"},
        {"scattering entry beyond the table", varietyResWith("H(1)      2 3    3    4    2 2  3", "H(1)      2 3    3    4    2 2  5"),
         "xd.res: atom 4 (H(1)) refers to scattering entry 5, but xd.mas holds 4 entries"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ScratchDir dir;
        dir.copyIn("xd/variety/xd.mas", "xd.mas");
        dir.write("xd.res", row.res);
        EXPECT_TRUE(stopsWith(readXdOrDie, 1, row.message, "readInp"));
    }
}

TEST(XdResReaderStops, NeitherXdResNorXdInp) {
    ScratchDir dir;
    dir.copyIn("xd/variety/xd.mas", "xd.mas");
    const Stopped s = failureOf(readXdOrDie);
    EXPECT_EQ(s.code, 1);
    EXPECT_EQ(s.stage, "readInp");
    EXPECT_EQ(s.message, "can't open xd.inp : No such file or directory\n");
    EXPECT_NE(s.err.find("can't open xd.res  : No such file or directory\n->so I try xd.inp\n" + s.message),
              std::string::npos)
        << s.err;
}

TEST(XdPartAux, ARecordWithoutPartNumberStops) {
    ScratchDir dir;
    dir.copyFolder("xd/variety");
    dir.write("xd_part.aux", "O(1) 1 0\nC(1) 2 one\n");
    EXPECT_TRUE(stopsWith(readXdOrDie, 1, "xd_part.aux: record 2 (C(1) 2 one) has no part number as its third word",
                          "readPartAux"));
}

// Atom records as the writer lays them out are read by their columns, so a number that
// fills its field (an atom number above 9,999, a CHEMCON above 999, a frame atom above 999
// in the four-column fields of TP 3 and 4) is not run together with the number before it;
// a record in another layout is read word by word as before.
TEST(XdResReader, AtomRecordsInTheWritersColumnsAndFreeLayout) {
    const std::string original =
        "C(1)      1 3    1    2    3 4  1  2 4  5   7   0.200000  0.250000  0.500000 0.5000";
    struct Case {
        const char* record;
        int ax2, atom0, atom1, atom2, symCode, chemCon;
    } cases[] = {
        {"C(1)      1 310001    2    3 4  1  2 4  5   7  0.200000  0.250000  0.500000 0.5000", 3, 10001, 2, 3, 5, 7},
        {"C(1)      1 3    11000299999 4  1  2 4  5   7  0.200000  0.250000  0.500000 0.5000", 3, 1, 10002, 99999, 5, 7},
        {"C(1)      1 3    1    2    3 4  1  2 4  51234  0.200000  0.250000  0.500000 0.5000", 3, 1, 2, 3, 5, 1234},
        {"C(1)      1 3    199999998 4  1  2 4  5   7  0.200000  0.250000  0.500000 0.5000", 3, 1, 9999, 9998, 5, 7},
        {"C(1) 1 3 1 2 3 4 1 2 4 5 7 0.2 0.25 0.5 0.5", 3, 1, 2, 3, 5, 7},
        {"C(1)      1 3    1    2    3 4  1  2 4  5   7   0.200000  0.250000  0.500000 0.5000", 3, 1, 2, 3, 5, 7},
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        dir.copyFolder("xd/variety");
        dir.write("xd.res", varietyResWith(original, c.record));
        auto q = readXdHere();
        const AtomRecord& a = q->structure.atom[1];
        EXPECT_STREQ(a.label, "C(1)") << c.record;
        EXPECT_EQ(a.ax1, 1) << c.record;
        EXPECT_EQ(a.ax2, c.ax2) << c.record;
        EXPECT_EQ(a.atom0, c.atom0) << c.record;
        EXPECT_EQ(a.atom1, c.atom1) << c.record;
        EXPECT_EQ(a.atom2, c.atom2) << c.record;
        EXPECT_EQ(a.tp, 4) << c.record;
        EXPECT_EQ(a.symCode, c.symCode) << c.record;
        EXPECT_EQ(a.chemCon, c.chemCon) << c.record;
        EXPECT_DOUBLE_EQ(a.frac[1], 0.25) << c.record;
        EXPECT_DOUBLE_EQ(a.occupancy, 0.5) << c.record;
    }
}
