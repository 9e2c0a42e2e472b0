// The reader of the XD master file "xd.mas": title, cell and scattering table.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "input/input.h"
#include "testutil.h"

namespace {

// Reads "xd.mas" of the current directory into a fresh object; what the reader printed
// goes to streams when given.
std::unique_ptr<Quandrel> readMasHere(Streams* streams = nullptr) {
    std::unique_ptr<Quandrel> q;
    const Streams s = capture([&] {
        q = std::make_unique<Quandrel>(Quandrel::NoInput{});
        readMasterFile(q->structure);
    });
    if (streams != nullptr) *streams = s;
    return q;
}

// The variety master file with one text replaced (the original must occur).
std::string varietyMasWith(const std::string& from, const std::string& to) {
    std::string mas = slurp(dataPath("xd/variety/xd.mas"));
    std::size_t at = mas.find(from);
    if (at == std::string::npos) throw std::runtime_error("not in xd.mas: " + from);
    return mas.replace(at, from.size(), to);
}

// The variety master file up to (without) the first occurrence of a text.
std::string varietyMasUpTo(const std::string& marker) {
    std::string mas = slurp(dataPath("xd/variety/xd.mas"));
    return mas.substr(0, mas.find(marker));
}

// Reads xd.mas from the working directory on a fresh object.
void readMasOnly() {
    Quandrel q{Quandrel::NoInput{}};
    readMasterFile(q.structure);
}

const std::string ENTRY_C =
    "C    CHFW CHFW CSZD    2  -2   0   0  -2   0   0   0   0   0   0   0   0   0   0   0   0   0   0.0033   "
    "0.0016   0.6646\n";

}  // namespace

TEST(XdMasReader, ReadsTitleCellAndTableSkippingCommentsAnywhere) {
    ScratchDir dir;
    dir.copyIn("xd/variety/xd.mas", "xd.mas");
    Streams s;
    auto q = readMasHere(&s);
    const std::string& out = s.out;
    const std::string& err = s.err;

    EXPECT_STREQ(q->structure.title, "variety");
    const double cell[6] = {10, 12, 14, 90, 90, 90};
    for (int k = 0; k < 6; ++k) EXPECT_DOUBLE_EQ(q->structure.cell[k], cell[k]) << k;
    ASSERT_EQ(q->structure.nScat, 4);
    EXPECT_EQ(out,
              "Atom type 1 (C) has: 6 electrons and 4 valence elctrons.\n"
              "Atom type 2 (O1-) has: 8 electrons and 6 valence elctrons.\n"
              "Atom type 3 (H) has: 1 electrons and 1 valence elctrons.\n"
              "Atom type 4 (CL) has: 18 electrons and 0 valence elctrons.\n");
    EXPECT_EQ(err, "\nReading xd.mas was successfull!\n\n");
}

TEST(XdMasReader, ScatteringEntryFieldsAndElement) {
    ScratchDir dir;
    dir.copyIn("xd/variety/xd.mas", "xd.mas");
    auto q = readMasHere();

    struct Row {
        const char* symbol;
        int element;  // atomic number - 1
        int electrons;
        int valence;
    };
    // digits and charge signs end the element part; the case of the symbol is fixed
    const Row rows[] = {
        {"C", 5, 6, 4},
        {"O1-", 7, 8, 6},
        {"H", 0, 1, 1},
        {"CL", 16, 18, 0},  // all occupations positive: no valence electrons
    };
    for (int t = 0; t < 4; ++t) {
        const ScatEntry& e = q->structure.scatTable[t];
        SCOPED_TRACE(rows[t].symbol);
        EXPECT_EQ(e.number, t + 1);
        EXPECT_STREQ(e.symbol, rows[t].symbol);
        EXPECT_EQ(e.element, rows[t].element);
        EXPECT_EQ(e.electrons, rows[t].electrons);
        EXPECT_EQ(e.valenceElectrons, rows[t].valence);
        EXPECT_STREQ(e.word2, "CHFW");
        EXPECT_STREQ(e.word3, "CHFW");
        EXPECT_STREQ(e.word4, "CSZD");
    }
    EXPECT_EQ(q->structure.scatTable[1].occupations[4], -4);
    EXPECT_DOUBLE_EQ(q->structure.scatTable[3].values[0], 0.1484);
    EXPECT_DOUBLE_EQ(q->structure.scatTable[3].values[2], 0.9577);
}

TEST(XdMasReader, EndScatFollowedByABlankDoesNotEndTheTable) {
    ScratchDir dir;
    dir.copyIn("xd/endscat_blank/xd.mas", "xd.mas");
    Streams s;
    auto q = readMasHere(&s);
    const std::string& out = s.out;
    const std::string& err = s.err;
    // C N O H, then "END SCAT " read as an entry, then F up to the real "END SCAT"
    ASSERT_EQ(q->structure.nScat, 6);
    EXPECT_STREQ(q->structure.scatTable[4].symbol, "END");
    EXPECT_STREQ(q->structure.scatTable[5].symbol, "F");
    EXPECT_EQ(q->structure.scatTable[5].element, 8);
    EXPECT_NE(out.find("Atom type 6 (F) has: 9 electrons and 7 valence elctrons.\n"), std::string::npos);
    EXPECT_NE(err.find("xd.mas: the symbol END of scattering entry 5 names no element; it counts as helium\n"),
              std::string::npos);
}

TEST(XdMasReader, AFirstLineThatIsNoTitleLeavesTheTitleUnset) {
    ScratchDir dir;
    dir.write("xd.mas", varietyMasWith("TITLE variety", "REMARK variety"));
    auto q = readMasHere();
    EXPECT_STREQ(q->structure.title, "");
    EXPECT_EQ(q->structure.nScat, 4);
}

TEST(XdMasReader, RealisticMasterFilesGiveTheirTables) {
    struct Row {
        const char* molecule;
        const char* title;
        const char* symbols;  // table symbols, one blank between
    };
    const Row rows[] = {
        {"benzene", "benzene", "C H"},
        {"chfclbr_r", "chfclbr_r", "F C Cl Br H"},
        {"l_alanine", "l_alanine", "C N O H"},
        {"water_chloride", "water_chloride", "O Cl- H"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.molecule);
        ScratchDir dir;
        dir.copyIn(std::string("fixtures/") + row.molecule + "/xd.mas", "xd.mas");
        auto q = readMasHere();
        EXPECT_STREQ(q->structure.title, row.title);
        std::string symbols;
        for (int t = 0; t < q->structure.nScat; ++t) symbols += (t ? " " : "") + std::string(q->structure.scatTable[t].symbol);
        EXPECT_EQ(symbols, row.symbols);
    }
}

TEST(XdMasReader, ChlorideAndBromineCountTheirElectrons) {
    ScratchDir dir;
    dir.copyIn("fixtures/chfclbr_r/xd.mas", "xd.mas");
    auto q = readMasHere();
    EXPECT_EQ(q->structure.scatTable[2].element, 16);  // Cl
    EXPECT_EQ(q->structure.scatTable[2].electrons, 17);
    EXPECT_EQ(q->structure.scatTable[2].valenceElectrons, 7);
    EXPECT_EQ(q->structure.scatTable[3].element, 34);  // Br
    EXPECT_EQ(q->structure.scatTable[3].electrons, 35);
    EXPECT_EQ(q->structure.scatTable[3].valenceElectrons, 7);
}

// Every damaged master file stops with a message naming the file and the fault, the
// error banner naming readMas, and exit code 1.
TEST(XdMasReaderStops, DamagedMasterFilesStopWithAMessage) {
    std::string twentyOne;
    for (int t = 0; t < 21; ++t) twentyOne += ENTRY_C;
    const std::string longEntry = "C    CHFW CHFW CSZD" + std::string(120, ' ') + "2 -2 0 0 -2\n";
    struct Row {
        const char* what;
        std::string mas;
        std::string message;
    };
    const Row rows[] = {
        {"empty file", "", "xd.mas ends before the TITLE line"},
        {"only comments", "! nothing\n! here\n", "xd.mas ends before the TITLE line"},
        {"cell incomplete", varietyMasWith("14.0000   90.000   90.000   90.000", "14.0000"),
         "READ ERRROR in xd.mas"},
        {"cell line missing", "TITLE x\n", "READ ERRROR in xd.mas"},
        {"no SCAT line", "TITLE x\nCELL 1 2 3 90 90 90\nWAVE 0.7\n",
         "xd.mas ends before its SCAT line: the scattering table is missing"},
        {"ends right after SCAT", "TITLE x\nCELL 1 2 3 90 90 90\nSCAT CORE\n",
         "xd.mas ends before END SCAT: the scattering table is not closed (0 entries read)"},
        {"file ends in the table", varietyMasUpTo("END SCAT"),
         "xd.mas ends before END SCAT: the scattering table is not closed (4 entries read)"},
        {"no END SCAT before the atom table", varietyMasWith("END SCAT\n", ""),
         "xd.mas: scattering entry 5 begins with \"ATOM\", no symbol of at most 3 characters (is the END SCAT "
         "line missing?)"},
        {"only END SCAT with a blank", varietyMasUpTo("END SCAT") + "END SCAT \n",
         "xd.mas ends before END SCAT: the scattering table is not closed (5 entries read)"},
        {"21 entries", varietyMasWith(ENTRY_C, twentyOne),
         "xd.mas: the scattering table holds more than 20 entries"},
        {"symbol of four characters", varietyMasWith("O1-  CHFW", "O1--  CHFW"),
         "xd.mas: scattering entry 2 begins with \"O1--\", no symbol of at most 3 characters"},
        {"fourth word too long", varietyMasWith("O1-  CHFW CHFW CSZD", "O1-  CHFW CHFW CSZDXXXX"),
         "xd.mas: word 4 of scattering entry 2 \"CSZDXXXX\" is longer than 7 characters"},
        {"title word too long", varietyMasWith("TITLE variety", "TITLE " + std::string(50, 't')),
         "xd.mas: the title word \"" + std::string(50, 't') + "\" is longer than 49 characters"},
        {"entry line too long", varietyMasWith(ENTRY_C, longEntry),
         "xd.mas: a line is longer than 127 characters (150) at scattering entry 1: \"C    CHFW CHFW CSZD"},
        {"cell line too long", varietyMasWith("90.000   90.000   90.000", "90 90 90" + std::string(130, ' ')),
         "xd.mas: a line is longer than 127 characters (174) at the CELL line"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ScratchDir dir;
        dir.write("xd.mas", row.mas);
        EXPECT_TRUE(stopsWith(readMasOnly, 1, row.message, "readMas"));
    }
}

TEST(XdMasReaderStops, MissingMasterFile) {
    ScratchDir dir;
    const Stopped s = failureOf(readMasOnly);
    EXPECT_EQ(s.code, 1);
    EXPECT_EQ(s.stage, "readMas");
    EXPECT_EQ(s.message, "can't open xd.mas : No such file or directory\n");
}
