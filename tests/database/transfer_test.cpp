// Transfer of an entry onto an atom: populations, site symmetry, model compound, kappa,
// the hydrogen bond reset and the reports for atoms the database does not hold.
#include <cmath>

#include "chem/elements.h"
#include "dbtest.h"

using namespace dbtest;

namespace {

const char* const KS_C_C = "KS: Z:C(1) X:C(2) R: 0.000 : 1.000";

// A methyl-like carbon C1 with C2 and H1 as neighbours, far from everything else.
struct Methyl {
    ScratchDir dir;
    std::unique_ptr<Quandrel> q;
    Methyl() {
        StructureBuilder b;
        b.add("C1", "C", 10.0, 10.0, 10.0);
        b.add("C2", "C", 11.54, 10.0, 10.0);
        b.add("H1", "H", 9.64, 11.03, 10.0);
        q = b.build();
        connect(*q, 0, {1, 2});
        connect(*q, 1, {0});
        connect(*q, 2, {0});
        name(*q, 0, "C1c1h");
        name(*q, 1, "C1c");
        name(*q, 2, "H1c");
    }
};

}  // namespace

TEST(DatabaseTransfer, FoundEntryGivesPopulationsSymmetryModelCompoundAndKappa) {
    Methyl m;
    const std::string db = "Model Compound Name:    ethane crystal\n"
                           "!Degree of planarity (1 is planar): 0.123\n" +
                           entry("C1c1h", "mz", KS_C_C, "KAPPA= 0.98 ; 0.97", 4.25) + entry("C1c", "1", KS_C_C) +
                           entry("H1c", "3m", KS_C_C, "K=1.15") + "END\n";
    StageRun run = runStage(*m.q, db);
    const AtomRecord& c = m.q->transfer.model.atom[0];
    EXPECT_EQ(m.q->transfer.inDatabase, (std::vector<int>{1, 1, 1}));
    EXPECT_DOUBLE_EQ(c.multipole[0], 4.25);
    for (int k = 1; k < 26; ++k) EXPECT_NEAR(c.multipole[k], 0.01 * k, 1e-12) << k;
    EXPECT_STREQ(c.siteSym, "mz");
    EXPECT_EQ(c.modelCompound, "ethane crystal");
    EXPECT_DOUBLE_EQ(c.planarity, 0.123);
    EXPECT_DOUBLE_EQ(c.kappa[0], 0.98);
    EXPECT_DOUBLE_EQ(c.kappa[1], 0.97);
    EXPECT_EQ(c.ax1, 3);
    EXPECT_EQ(c.ax2, 1);
    EXPECT_EQ(c.atom0, 2);
    EXPECT_EQ(c.atom1, 1);
    EXPECT_EQ(m.q->transfer.model.nDummy, 1);
    EXPECT_TRUE(m.q->structure.atom.empty()) << "the run hands its structure over to the model";
    EXPECT_EQ(m.q->transfer.model.nAtoms, 3);

    EXPECT_NE(run.err.find("Database path: DABA.txt\n"), std::string::npos);
    EXPECT_EQ(run.out.find("Reading database...\n"), 0u);
    EXPECT_EQ(run.descent, "C1: C1c1h from: ethane crystal\nC2: C1c from: ethane crystal\n"
                           "H1: H1c from: ethane crystal\n");
    EXPECT_NE(run.symmetry.find("Atom C1 has mz-symmetry \n"), std::string::npos);
    EXPECT_NE(run.symmetry.find("Atom H1 has 3m-symmetry \n"), std::string::npos);
    EXPECT_EQ(run.log.find("The following lines contain the local coordinate systems. Please do not Edit!\n" +
                           std::string(77, '=') +
                           "\nATOM     ATOM0    AX1 ATOM1    ATOM2   AX2 R/L TP TBL KAP LMX SITESYM  CHEMCON\n"),
              0u);
}

TEST(DatabaseTransfer, PopulationsAreReadAsNumbersWhateverTheirLineBreaks) {
    Methyl m;
    std::string numbers;
    for (int k = 0; k < 26; ++k) numbers += std::to_string(0.5 + k) + ((k % 4 == 3) ? "\n" : "  ");
    const std::string db = "C1c1h\n" + numbers + "\nSymmetrie: 1\n" + KS_C_C + "\nK=1.0\nEND\n";
    runStage(*m.q, db);
    for (int k = 0; k < 26; ++k) EXPECT_DOUBLE_EQ(m.q->transfer.model.atom[0].multipole[k], 0.5 + k);
    EXPECT_STREQ(m.q->transfer.model.atom[0].siteSym, "1");
}

TEST(DatabaseTransfer, KappaLineCases) {
    struct Case {
        const char* what;
        const char* kappaLine;  // "" = the entry has none
        int atom;               // 0: carbon C1, 2: hydrogen H1
        std::vector<double> want;
    };
    const std::vector<Case> cases = {
        {"two values set the first two, the rest stay", "K= 1.1 ; 1.2", 0, {1.1, 1.2, 9, 9, 9, 9}},
        {"empty pieces do not count", "KAPPA==1.05;;0.95;", 0, {1.05, 0.95, 9, 9, 9, 9}},
        {"at most six values", "K=1;2;3;4;5;6;7;8", 0, {1, 2, 3, 4, 5, 6}},
        {"a kappa line without values gives the carbon default", "K 1.1 1.2", 0, {1, 1, 1, 1, 1, 1}},
        {"no kappa line: carbon default", "", 0, {1, 1, 1, 1, 1, 1}},
        {"no kappa line: hydrogen default", "", 2, {1.2, 1.2, 1.2, 1.2, 1.2, 1.2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Methyl m;
        for (double& k : m.q->structure.atom[static_cast<std::size_t>(c.atom)].kappa) k = 9;
        const std::string key = m.q->perception.quandrelName[c.atom];
        // Another entry follows, so without a kappa line its name and first numbers are read.
        const std::string db = entry(key, "1", KS_C_C, c.kappaLine) + entry("Q1q", "1", KS_C_C, "K=0.5") + "END\n";
        runStage(*m.q, db);
        for (int k = 0; k < 6; ++k) EXPECT_DOUBLE_EQ(m.q->transfer.model.atom[static_cast<std::size_t>(c.atom)].kappa[k], c.want[k]) << k;
    }
}

TEST(DatabaseTransfer, LastEntryWithoutKappaLineAtTheEndOfTheFileGetsTheDefaults) {
    Methyl m;
    runStage(*m.q, entry("C1c1h", "1", KS_C_C));
    EXPECT_EQ(m.q->transfer.inDatabase[0], 1);
    for (double k : m.q->transfer.model.atom[0].kappa) EXPECT_DOUBLE_EQ(k, 1.0);
}

TEST(DatabaseTransfer, MissingAtomIsReportedAndKeepsItsValues) {
    Methyl m;
    m.q->structure.atom[1].multipole[0] = 3.75;
    std::snprintf(m.q->structure.atom[1].siteSym, sizeof m.q->structure.atom[1].siteSym, "old");
    m.q->structure.atom[1].ax1 = 2;
    m.q->structure.atom[1].atom0 = 7;
    StageRun run = runStage(*m.q, entry("C1c1h", "mz", KS_C_C, "K=1") + entry("H1c", "1", KS_C_C, "K=1") + "END\n");
    EXPECT_EQ(m.q->transfer.inDatabase, (std::vector<int>{1, 0, 1}));
    EXPECT_NE(run.err.find("Quandrel[1] C1c was NOT found in Database DABA.txt!\n"), std::string::npos);
    EXPECT_NE(run.descent.find("C2: C1c IS NOT IN THE DATABASE YET!\n"), std::string::npos);
    EXPECT_NE(run.symmetry.find("Symmetry has not yet been assigned to atom C2\n"), std::string::npos);
    const AtomRecord& c2 = m.q->transfer.model.atom[1];
    EXPECT_DOUBLE_EQ(c2.multipole[0], 3.75);
    EXPECT_STREQ(c2.siteSym, "old");
    EXPECT_EQ(c2.ax1, 2);
    EXPECT_EQ(c2.atom0, 7);
    EXPECT_EQ(tableLines(run.log).size(), 3u);  // C1, H1 and the DUM0 line
}

TEST(DatabaseTransfer, RescanRulesHoldThroughTheStage) {
    // C1c1h stands only on the last line, C1c twice (the first counts), and H1c only with a
    // trailing blank.
    Methyl m;
    const std::string db = "Model Compound Name:    first\n" + entry("C1c", "1", KS_C_C, "K=1", 1.0) +
                           "\n\n   Model Compound Name:    second\n" + entry("C1c", "1", KS_C_C, "K=1", 2.0) +
                           entry("H1c ", "1", KS_C_C, "K=1") + "C1c1h\n";
    StageRun run = runStage(*m.q, db);
    EXPECT_EQ(m.q->transfer.inDatabase, (std::vector<int>{0, 1, 0}));
    EXPECT_DOUBLE_EQ(m.q->transfer.model.atom[1].multipole[0], 1.0);
    EXPECT_EQ(m.q->transfer.model.atom[1].modelCompound, "first");
    // C2's search stops before the second model compound; the failed search for H1c that
    // follows reads the whole file and leaves the last one.
    EXPECT_EQ(m.q->transfer.databaseSeen.modelLine, "Model Compound Name:    second");
}

TEST(DatabaseTransfer, EntryBeforeAnyModelCompoundInheritsTheLastOneSeen) {
    Methyl m;
    // C1c1h (atom 0) fails and reads the whole file, leaving "late"; C1c stands before
    // any model-compound line and inherits it.
    const std::string db = entry("C1c", "1", KS_C_C, "K=1") + "Model Compound Name:    late\n" +
                           "!Degree of planarity (1 is planar): 0.75\n" + entry("H1c", "1", KS_C_C, "K=1") + "END\n";
    StageRun run = runStage(*m.q, db);
    EXPECT_EQ(m.q->transfer.model.atom[1].modelCompound, "late");
    EXPECT_DOUBLE_EQ(m.q->transfer.model.atom[1].planarity, 0.75);
    EXPECT_NE(run.descent.find("C2: C1c from: late\n"), std::string::npos);
}

TEST(DatabaseTransfer, HydrogenBondResetNamesTheFirstAtomInReach) {
    Methyl m;
    const double d = (radiusOf(5) + radiusOf(0)) / 100.0 - 0.08 * std::abs(elNegOf(5) - elNegOf(0)) / 100.0 - 0.01;
    const double length = std::sqrt(0.36 * 0.36 + 1.03 * 1.03);
    runStage(*m.q, entry("H1c", "3m", "KS: Z:C(1) X:C(2) R: 0.010 : 1.09", "K=1") + "END\n");
    char want[200];
    std::snprintf(want, sizeof want, "! RESET BOND C1 H1 %f! it was %f A before.\n", d, length);
    EXPECT_EQ(slurp("resetbond.txt"), want);

    // Shortened beyond reach: nothing is written.
    Methyl far;
    runStage(*far.q, entry("H1c", "3m", "KS: Z:C(1) X:C(2) R: 0.300 : 1.09", "K=1") + "END\n");
    EXPECT_EQ(slurp("resetbond.txt"), "");
}

TEST(DatabaseTransfer, BondResetIsForHydrogenOnlyNotForNamesBeginningWithH) {
    ScratchDir dir;
    StructureBuilder b;
    b.add("HG1", "Hg", 10.0, 10.0, 10.0);
    b.add("C1", "C", 12.1, 10.0, 10.0);
    auto q = b.build();
    connect(*q, 0, {1});
    connect(*q, 1, {0});
    name(*q, 0, "Hg1c");
    name(*q, 1, "C1hg");
    runStage(*q, entry("Hg1c", "1", "KS: Z:C(1) X:C(2) R: 0.000 : 1.0", "K=1") + "END\n");
    EXPECT_EQ(q->transfer.inDatabase[0], 1);
    EXPECT_EQ(slurp("resetbond.txt"), "");
}

TEST(DatabaseTransfer, BadEntriesGiveClearWarningsAndNoCrash) {
    {
        SCOPED_TRACE("numbers that do not parse");
        Methyl m;
        for (double& p : m.q->structure.atom[0].multipole) p = -1;
        StageRun run = runStage(*m.q, "C1c1h\n4.5 0.25 abc\nSymmetrie: mz\n" + std::string(KS_C_C) + "\nK=1\nEND\n");
        EXPECT_DOUBLE_EQ(m.q->transfer.model.atom[0].multipole[1], 0.25);
        EXPECT_DOUBLE_EQ(m.q->transfer.model.atom[0].multipole[2], -1);  // the rest keep their values
        EXPECT_NE(run.err.find("Warning: database entry C1c1h: only 2 of the 26 populations could be read."),
                  std::string::npos);
    }
    {
        SCOPED_TRACE("an entry cut off by the end of the file");
        Methyl m;
        std::snprintf(m.q->structure.atom[0].siteSym, sizeof m.q->structure.atom[0].siteSym, "old");
        StageRun run = runStage(*m.q, "C1c1h\n4.5 0.25\n");
        EXPECT_EQ(m.q->transfer.inDatabase[0], 1);
        EXPECT_STREQ(m.q->transfer.model.atom[0].siteSym, "old");
        EXPECT_NE(run.err.find("the file ends before the entry is complete."), std::string::npos);
        EXPECT_EQ(tableLines(run.log).size(), 1u);  // DUM0 only
    }
    {
        SCOPED_TRACE("a KS: line that does not parse keeps the input frame");
        Methyl m;
        m.q->structure.atom[0].ax1 = 2;
        m.q->structure.atom[0].ax2 = 1;
        StageRun run = runStage(*m.q, entry("C1c1h", "mz", "KS: bad line", "K=1") + "END\n");
        EXPECT_EQ(m.q->transfer.model.atom[0].ax1, 2);
        EXPECT_EQ(m.q->transfer.model.atom[0].ax2, 1);
        EXPECT_NE(run.err.find("its KS: line could not be read"), std::string::npos);
        EXPECT_EQ(run.symmetry.find("Atom C1"), std::string::npos);
    }
    {
        SCOPED_TRACE("an unknown element in the KS: line");
        Methyl m;
        StageRun run = runStage(*m.q, entry("C1c1h", "mz", "KS: Z:Qq(1) X:C(2) R: 0.0 : 1.0", "K=1") + "END\n");
        EXPECT_NE(run.err.find("unknown element \"Qq\" in its KS: line."), std::string::npos);
        EXPECT_NE(run.err.find("Warning: atom C1 has no Qq neighbour"), std::string::npos);
        EXPECT_EQ(tableLines(run.log).size(), 1u);
    }
}

TEST(DatabaseTransfer, AtomsSharingAnEntryEachKeepWhatTheEntryDoesNotGive) {
    // The entry is read once for both atoms; each keeps its own values where the entry has
    // none, and each warning comes once.
    Methyl m;
    name(*m.q, 1, "C1c1h");
    for (int a = 0; a < 2; ++a) {
        for (double& p : m.q->structure.atom[a].multipole) p = -1.0 - a;
        std::snprintf(m.q->structure.atom[a].siteSym, sizeof m.q->structure.atom[a].siteSym, "old%d", a);
    }
    StageRun run = runStage(*m.q, "C1c1h\n4.5 0.25 abc\n");
    for (int a = 0; a < 2; ++a) {
        SCOPED_TRACE("atom " + std::to_string(a));
        EXPECT_EQ(m.q->transfer.inDatabase[a], 1);
        EXPECT_DOUBLE_EQ(m.q->transfer.model.atom[a].multipole[0], 4.5);
        EXPECT_DOUBLE_EQ(m.q->transfer.model.atom[a].multipole[1], 0.25);
        EXPECT_DOUBLE_EQ(m.q->transfer.model.atom[a].multipole[2], -1.0 - a);
        EXPECT_DOUBLE_EQ(m.q->transfer.model.atom[a].multipole[25], -1.0 - a);
        EXPECT_EQ(std::string(m.q->transfer.model.atom[a].siteSym), "old" + std::to_string(a));
    }
    for (const char* warning : {"only 2 of the 26 populations could be read.", "the file ends before the entry"}) {
        const std::size_t first = run.err.find(warning);
        EXPECT_NE(first, std::string::npos) << warning;
        EXPECT_EQ(run.err.find(warning, first + 1), std::string::npos) << warning;
    }
}

TEST(DatabaseTransfer, OversizedTextsAreReadWithoutOverflow) {
    Methyl m;
    const std::string longSym(60, 'm');
    const std::string ks = "KS: Z:C(1" + std::string(300, ' ') + ") X:C(2)" + std::string(300, 'r') + ": " +
                           std::string(300, 'w') + " 0.0 " + std::string(200, 't') + ": 1.0";
    runStage(*m.q, entry("C1c1h", longSym, ks, "K=1") + "END\n");
    EXPECT_EQ(std::string(m.q->transfer.model.atom[0].siteSym), std::string(29, 'm'));
    EXPECT_EQ(m.q->transfer.model.atom[0].atom0, 2);
}

TEST(DatabaseTransfer, UnreadableDatabaseStopsWithItsPath) {
    Methyl m;
    std::snprintf(m.q->opt.databasePath, sizeof m.q->opt.databasePath, "no/such/DABA.txt");
    const Stopped s = failureOf([&] { m.q->findInDataBase(); });
    EXPECT_EQ(s.code, 1);
    EXPECT_TRUE(s.banner);
    EXPECT_EQ(s.message, "can't open no/such/DABA.txt. : No such file or directory\n");
}

TEST(KsLine, FieldsOfTheScanFormat) {
    struct Case {
        const char* line;
        int fields;
        const char *axis1, *element1, *axis2, *element2;
        double number1;
    };
    const std::vector<Case> cases = {
        {"KS: Z:C(1) X:H(2) R: -0.05 bond: 1.09", 9, "Z", "C", "X", "H", -0.05},
        {"KS: X:DUM1 Y:Cl(3) R: 0.0 : 1", 8,  // no text before the second colon
         "X", "DUM", "Y", "Cl", 0.0},
        {"KS: Z:N(1) X:C(2) R: 0.02", 8, "Z", "N", "X", "C", 0.02},
        {"KS: Z:N(1) X:C(2) R:0.02 : 1", 6, "Z", "N", "X", "C", 0.0},  // no text before the number
        {"KS: Q:N(1)", 0, "", "", "", "", 0.0},
        {"Symmetrie: 1", 0, "", "", "", "", 0.0},
    };
    for (const Case& c : cases) {
        KsLine ks = parseKsLine(c.line);
        EXPECT_EQ(ks.fields, c.fields) << c.line;
        EXPECT_EQ(ks.axis1, c.axis1) << c.line;
        EXPECT_EQ(ks.element1, c.element1) << c.line;
        EXPECT_EQ(ks.axis2, c.axis2) << c.line;
        EXPECT_EQ(ks.element2, c.element2) << c.line;
        EXPECT_DOUBLE_EQ(ks.number1, c.number1) << c.line;
    }
    EXPECT_EQ(axisCode("X"), 1);
    EXPECT_EQ(axisCode("YZ"), 2);
    EXPECT_EQ(axisCode("Z"), 3);
    EXPECT_EQ(axisCode(""), 0);
}
