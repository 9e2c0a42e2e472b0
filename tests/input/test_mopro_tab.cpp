// The MoPro table, the file-name prompts, the glycine fixture and whole runs from MoPro input.
#include <gtest/gtest.h>

#include <cstring>

#include "input/input.h"
#include "test_mopro_files.h"
#include "testutil.h"

using namespace mopro;

namespace {

// A parameter file with one atom of the scattering word.
std::string oneAtomOf(const std::string& word) { return paramFile({atomSpec(1, "X1", word)}); }

const char* const GLYCINE = "fixtures/mopro_glycine";

}  // namespace

// ---------------------------------------------------------------------------------
// The table
// ---------------------------------------------------------------------------------

TEST(MoProTable, OrbitalPiecesGiveOccupationsAndElectronCounts) {
    struct Row {
        const char* block;                           // lines of the entry "CHEM C"
        std::vector<std::pair<int, int>> occupied;   // orbital position, occupation
        int electrons, valence;
    } rows[] = {
        // 2s2 2p4 on a VALE WAVE line: occupations 2 and 4, six electrons, all valence
        {" VALE WAVE  2s2 2p4\n", {{1, 2}, {4, 4}}, 6, 6},
        {" CORE WAVE  1s2\n VALE WAVE  2s2 2p4\n", {{0, 2}, {1, 2}, {4, 4}}, 8, 6},
        // two-digit occupations are read whole
        {" CORE WAVE  1s2 2s2 2p6 3s2 3p6\n VALE WAVE  3d10 4s2\n",
         {{0, 2}, {1, 2}, {4, 6}, {2, 2}, {5, 6}, {7, 10}, {3, 2}}, 30, 12},
        {" CORE WAVE  4f14 5s2\n", {{9, 14}, {10, 2}}, 16, 0},
        // lines without WAVE, or without CORE and VALE, carry no orbitals
        {" VALE EXPO  2.2600\n NEUT WAVE 2s2\n VALE WAVE  1s1\n", {{0, 1}}, 1, 1},
    };
    for (const Row& row : rows) {
        ScratchDir dir;
        std::string table = "CHEM H\n VALE WAVE 1s1\nCHEM C\n" + std::string(row.block) + "CHEM N\n VALE WAVE 5f3\nEND\n";
        Reading r = readMoPro(dir, oneAtomOf("C"), table);
        const ScatEntry& e = r.q->structure.scatTable[0];
        int expected[18] = {};
        for (auto& o : row.occupied) expected[o.first] = o.second;
        for (int o = 0; o < 18; ++o) EXPECT_EQ(e.occupations[o], expected[o]) << row.block << " orbital " << o;
        EXPECT_EQ(e.electrons, row.electrons) << row.block;
        EXPECT_EQ(e.valenceElectrons, row.valence) << row.block;
    }
}

TEST(MoProTable, EntryIsTheChemBlockOfTheWholeWord) {
    ScratchDir dir;
    std::string table =
        "CHEM CL\n CORE WAVE 1s2 2s2 2p6\n VALE WAVE 3s2 3p5\n"
        "CHEM C\n CORE WAVE 1s2\n VALE WAVE 2s2 2p2\n";
    std::vector<AtomSpec> atoms = {atomSpec(1, "C1", "C"), atomSpec(2, "CL1", "CL")};
    Reading r = readMoPro(dir, paramFile(atoms), table);
    Quandrel& q = *r.q;
    ASSERT_EQ(q.structure.nScat, 2);
    struct Row {
        const char* symbol;
        int number, element, electrons, valence;
    } rows[] = {{"C", 1, 5, 6, 4}, {"CL", 2, 16, 17, 7}};
    for (int k = 0; k < 2; ++k) {
        const ScatEntry& e = q.structure.scatTable[k];
        EXPECT_STREQ(e.symbol, rows[k].symbol);
        EXPECT_EQ(e.number, rows[k].number);
        EXPECT_EQ(e.element, rows[k].element) << "the element of the word, whatever its case";
        EXPECT_EQ(e.electrons, rows[k].electrons) << e.symbol;
        EXPECT_EQ(e.valenceElectrons, rows[k].valence) << e.symbol;
    }
}

TEST(MoProTable, TableFromTheSettingsPathWhenTheWorkingDirectoryHasNone) {
    ScratchDir dir;
    dir.write("test.01", oneAtomOf("O"));
    dir.write("library.tab", TABLE);
    std::unique_ptr<Quandrel> q(new Quandrel(Quandrel::NoInput{}));
    std::snprintf(q->opt.inputFile, sizeof q->opt.inputFile, "test.01");
    std::snprintf(q->opt.moproTabPath, sizeof q->opt.moproTabPath, "library.tab");
    captureStdout([&] { readMoProFiles(q->structure, q->opt); });
    EXPECT_EQ(q->structure.scatTable[0].electrons, 8);
}

TEST(MoProTable, EntriesThatCannotBeUsedStopTheRun) {
    struct Row {
        const char* what;
        std::string param, table, message;
    } rows[] = {
        {"missing entry", oneAtomOf("Br"), TABLE, "The MoPro table mopro.tab has no entry \"CHEM Br\"."},
        {"no occupation", oneAtomOf("C"), "CHEM C\n VALE WAVE 2s 2p2\n",
         "Orbital '2s' of entry \"CHEM C\" in mopro.tab has no occupation."},
        {"no element", oneAtomOf("Qx"), "CHEM Qx\n VALE WAVE 1s1\n", "Scattering word 'Qx' of test.01 names no element."},
        {"long line", oneAtomOf("C"), "CHEM C\n VALE WAVE 2s2 2p2 " + std::string(210, 'x') + "\n",
         "A line of mopro.tab is longer than 223 characters"},
    };
    for (const Row& row : rows) {
        ScratchDir dir;
        EXPECT_TRUE(stopsWith([&] { readOnly(dir, row.param, row.table); }, 1, row.message, MOPRO_STAGE)) << row.what;
    }
}

// ---------------------------------------------------------------------------------
// The glycine fixture
// ---------------------------------------------------------------------------------

TEST(MoProGlycine, FixtureReadsAtomsKappaSetsAxisAtomsAndTable) {
    ScratchDir dir;
    dir.copyFolder(GLYCINE);
    std::unique_ptr<Quandrel> q(new Quandrel(Quandrel::NoInput{}));
    std::snprintf(q->opt.inputFile, sizeof q->opt.inputFile, "mopro_glycine.01");
    const std::string out = captureStdout([&] { readMoProFiles(q->structure, q->opt); });
    EXPECT_EQ(countOf(out, "\n"), 40) << "four printed lines per atom";

    ASSERT_EQ(q->structure.nAtoms, 10);
    EXPECT_EQ(q->structure.nKappa, 4);
    EXPECT_DOUBLE_EQ(q->structure.cell[4], 105.383);
    ASSERT_EQ(q->structure.nScat, 4);
    struct Entry {
        const char* symbol;
        int element, electrons, valence;
    } entries[] = {{"N", 6, 7, 5}, {"H", 0, 1, 1}, {"C", 5, 6, 4}, {"O", 7, 8, 6}};
    for (int k = 0; k < 4; ++k) {
        EXPECT_STREQ(q->structure.scatTable[k].symbol, entries[k].symbol);
        EXPECT_EQ(q->structure.scatTable[k].element, entries[k].element);
        EXPECT_EQ(q->structure.scatTable[k].electrons, entries[k].electrons);
        EXPECT_EQ(q->structure.scatTable[k].valenceElectrons, entries[k].valence);
    }
    // axis words: "1_C1 H1", "1 C1", "1_N1 5", "O1 1_O2", "8 O2", "8 1_O1"
    struct Atom {
        int index;
        const char* label;
        int atom0, atom2, tbl, kap, lmx, tp;
    } atoms[] = {{0, "N1", 5, 2, 1, 1, 4, 2}, {1, "H1", 1, 5, 2, 2, 2, 1}, {3, "H3", 1, 5, 2, 2, 2, 1},
                 {7, "C2", 9, 10, 3, 3, 4, 2}, {8, "O1", 8, 10, 4, 4, 4, 2}, {9, "O2", 8, 9, 4, 4, 4, 2}};
    for (const Atom& a : atoms) {
        const AtomRecord& r = q->structure.atom[a.index];
        EXPECT_STREQ(r.label, a.label);
        EXPECT_EQ(r.atom0, a.atom0) << a.label;
        EXPECT_EQ(r.atom2, a.atom2) << a.label;
        EXPECT_EQ(r.atom1, a.index + 1) << a.label;
        EXPECT_EQ(r.tbl, a.tbl) << a.label;
        EXPECT_EQ(r.kap, a.kap) << a.label;
        EXPECT_EQ(r.lmx, a.lmx) << a.label;
        EXPECT_EQ(r.tp, a.tp) << a.label;
    }
    EXPECT_DOUBLE_EQ(q->structure.atom[4].multipole[25], -0.0252);
    EXPECT_DOUBLE_EQ(q->structure.atom[9].kappa[1], 0.8601);
    EXPECT_STREQ(q->structure.atom[7].axisChars, "") << "mXY sets no axes here";
}

// ---------------------------------------------------------------------------------
// Prompts and whole runs of the program
// ---------------------------------------------------------------------------------

namespace {

const char* const PARAM_PROMPT = "please type in the name of MoProParameter file (eg /home/pjorsten/ideen/alamet.01 ): ";
const char* const TABLE_PROMPT =
    "please type in the name of MoProParameter file (eg /home/pjorsten/mops/LibMoPro/mopro.tab ): ";

// The example directory, with the given settings in place of its own.
void prepareExample(const ScratchDir& dir, const std::string& settings) {
    dir.copyFolder(examplePath("mopro_glycine"));
    dir.write("qdltool.ini", settings);
}

}  // namespace

TEST(MoProPrompts, EmptyInputfileAsksForTheParameterFileOnStandardInput) {
    ScratchDir dir;
    prepareExample(dir, moproSettings(""));
    RunResult r = runTool("", "mopro_glycine.01  \n");
    EXPECT_EQ(r.out.rfind(PARAM_PROMPT, 0), 0u) << r.out;
    EXPECT_NE(r.out.find("N1          0.409285  0.289019  0.430275"), std::string::npos) << "the typed name is read";
    EXPECT_EQ(countOf(r.out, TABLE_PROMPT), 0);
    EXPECT_EQ(r.code, 0) << r.err;
}

TEST(MoProPrompts, MissingTableAsksOnceForItsPath) {
    ScratchDir dir;
    prepareExample(dir, moproSettings("mopro_glycine.01"));
    dir.write("glycine.tab", dir.read("mopro.tab"));
    std::remove("mopro.tab");
    RunResult r = runTool("", "glycine.tab\n");
    EXPECT_EQ(countOf(r.out, TABLE_PROMPT), 1) << "the typed path serves every scattering word";
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(dir.exists("xd.res.quandreltool"));
}

TEST(MoProPrompts, BothNamesTypedAndAMissingTypedFile) {
    {
        ScratchDir dir;
        prepareExample(dir, moproSettings(""));
        dir.write("glycine.tab", dir.read("mopro.tab"));
        std::remove("mopro.tab");
        RunResult r = runTool("", "mopro_glycine.01\nglycine.tab\n");
        EXPECT_EQ(countOf(r.out, PARAM_PROMPT), 1);
        EXPECT_EQ(countOf(r.out, TABLE_PROMPT), 1);
        EXPECT_EQ(r.code, 0) << r.err;
    }
    {
        ScratchDir dir;
        prepareExample(dir, moproSettings(""));
        RunResult r = runTool("", "nothere.01\n");
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find("can't open 'nothere.01' : No such file or directory\n"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(std::string("Error was in function ") + MOPRO_STAGE), std::string::npos);
    }
    {
        ScratchDir dir;
        prepareExample(dir, moproSettings("mopro_glycine.01"));
        std::remove("mopro.tab");
        RunResult r = runTool("", "");  // nothing typed: no table
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find("can't open '' : No such file or directory\n"), std::string::npos) << r.err;
    }
}

TEST(MoProRun, ExampleRunsFromMoProInputToTheNewParameterAndMasterFiles) {
    ScratchDir dir;
    dir.copyFolder(examplePath("mopro_glycine"));
    RunResult r = runTool();
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err.find("NOT found"), std::string::npos) << "every name is in the example database\n" << r.err;

    std::string res = dir.read("xd.res.quandreltool");
    std::vector<std::string> lines = linesOf(res);
    EXPECT_NE(res.find("USAGE    10 "), std::string::npos);
    int records = 0;
    for (const char* label : {"N1 ", "H1 ", "H2 ", "H3 ", "C1 ", "H4 ", "H5 ", "C2 ", "O1 ", "O2 "})
        for (const std::string& line : lines)
            if (line.rfind(label, 0) == 0) ++records;
    EXPECT_EQ(records, 10) << res;
    EXPECT_NE(res.find("0.409285  0.289019  0.430275"), std::string::npos) << "N1 keeps its MoPro position";

    for (const char* name : {"xd.mas.quandreltool", "xd.mas.HasSameSymm"}) {
        std::string mas = dir.read(name);
        EXPECT_NE(mas.find("TITLE glycine"), std::string::npos) << name;
        EXPECT_NE(mas.find("END ATOM"), std::string::npos) << name;
        EXPECT_EQ(countOf(mas, "KAPPA   000000\n"), 4) << name;
        for (const char* label : {"N1 ", "C2 ", "O2 "})
            EXPECT_EQ(countOf(mas, std::string("\n") + label), 2) << name << ": ATOM and KEY line of " << label;
    }
    EXPECT_FALSE(dir.exists("resetbond.txt")) << "the fragment files are merged and removed";
}

TEST(MoProRun, WithoutAMasterFileTheParameterFileIsWrittenAndTheRunSaysWhy) {
    ScratchDir dir;
    dir.copyFolder(examplePath("mopro_glycine"));
    std::remove("xd.mas");
    RunResult r = runTool();
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(dir.exists("xd.res.quandreltool"));
    EXPECT_FALSE(dir.exists("xd.mas.quandreltool"));
    EXPECT_NE(r.err.find("A master file \"xd.mas\" in the working directory is needed for the new master files; "
                         "xd.res.quandreltool has been written, xd.mas.quandreltool has not.\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("SIGSEGV"), std::string::npos) << r.err;
}

TEST(MoProRun, TheNewParameterFileTakesItsTitleFromTheMasterFile) {
    ScratchDir dir;
    dir.copyFolder(examplePath("mopro_glycine"));
    RunResult r = runTool();
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(dir.read("xd.res.quandreltool").find("\nglycine   MODEL  4  2  1  0\n"), std::string::npos);
}
