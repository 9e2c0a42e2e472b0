// The new master files: copied from "xd.mas" with SELECT, ATOM, GROUP, KEY and KAPPA
// replaced, the ATOM lines taken from the coordinate-system table in the log.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "output/writer.h"
#include "testutil.h"

namespace {

const char* const HEADER = "ATOM     ATOM0    AX1 ATOM1    ATOM2   AX2 R/L TP TBL KAP LMX SITESYM  CHEMCON";

// One line of the coordinate-system table as the database stage writes it.
std::string tableLine(const char* label, const char* atom0, const char* ax1, const char* atom2, const char* ax2,
                      int tbl, int kap, int lmx, const char* sym) {
    char first[64], second[128];
    std::snprintf(first, sizeof first, "%-9s%-9s%2s", label, atom0, ax1);
    std::snprintf(second, sizeof second, "  %-9s%-8s%2s   R %3d%3d%4d%4d  %s\n", label, atom2, ax2, 2, tbl, kap, lmx,
                  sym);
    return std::string(first) + second;
}

// The coordinate-system table as the database stage leaves it for the writer.
void writeTable(Quandrel& q, const std::vector<std::string>& lines, int dummies = 1) {
    q.transfer.frameTable.clear();
    for (const std::string& line : lines) q.transfer.frameTable.push_back(line.substr(0, line.find('\n')));
    for (int k = 0; k < dummies; ++k) {
        char dummy[64];
        std::snprintf(dummy, sizeof dummy, "DUM%-2d     %9.6f %9.6f %9.6f", k, 0.1 * k, 0.5, 0.25);
        q.transfer.frameTable.push_back(dummy);
    }
    q.transfer.frameTable.push_back("END ATOM");
}

// l-alanine with the master file of tests/data/output/masters.
struct Alanine {
    ScratchDir dir;
    std::unique_ptr<Quandrel> q;
    struct Atom {
        const char* label;
        const char* element;
        const char* atom0;
        const char* ax1;
        const char* atom2;
        const char* ax2;
        int tbl, kap;
        const char* sym;
        const char* sameAs;
    };
    std::vector<Atom> atoms = {
        {"C(1)", "C", "C(2)", "X", "H(1B)", "Y", 1, 1, "1", ""},
        {"H(1A)", "H", "C(1)", "Z", "C(2)", "X", 4, 2, "mz", ""},
        {"H(1B)", "H", "C(1)", "Z", "C(2)", "X", 4, 2, "mz", "H(1A)"},
        {"H(1C)", "H", "C(1)", "Z", "C(2)", "X", 4, 2, "mz", "H(1A)"},
        {"C(2)", "C", "C(1)", "X", "N(1)", "Y", 1, 1, "1", ""},
        {"H(2)", "H", "", "", "", "", 4, 2, "", ""},
        {"N(1)", "N", "C(2)", "Z", "H(N1B)", "X", 2, 3, "3m", ""},
        {"H(N1A)", "H", "N(1)", "Z", "C(2)", "X", 4, 2, "mz", ""},
        {"H(N1B)", "H", "N(1)", "Z", "C(2)", "X", 4, 2, "mz", "H(N1A)"},
        {"H(N1C)", "H", "N(1)", "Z", "C(2)", "X", 4, 2, "mz", "H(N1A)"},
        {"C(3)", "C", "O(1)", "X", "O(2)", "Y", 1, 1, "mm2", ""},
        {"O(1)", "O", "C(3)", "Z", "O(2)", "X", 3, 4, "mz", ""},
        {"O(2)", "O", "", "", "", "", 3, 4, "4mm", ""},
    };

    Alanine() {
        dir.copyIn("output/masters/l_alanine.mas", "xd.mas");
        StructureBuilder b(10);
        for (std::size_t i = 0; i < atoms.size(); ++i) b.add(atoms[i].label, atoms[i].element, 0.5 * i, 1, 1);
        q = b.build();
        for (std::size_t i = 0; i < atoms.size(); ++i) {
            AtomRecord& a = q->transfer.model.atom[i];
            a.kap = atoms[i].kap;
            a.lmx = 4;
            q->perception.molecule[i] = 1;
            std::snprintf(a.siteSym, sizeof a.siteSym, "%s", atoms[i].sym);
            q->perception.sameNameAs[i] = atoms[i].sameAs;
        }
        q->transfer.model.nKappa = 4;
        q->transfer.model.nDummy = 1;
    }

    // The log table of every atom except those named.
    void table(std::set<std::string> missing = {"H(2)", "O(2)"}) {
        std::vector<std::string> lines;
        for (const Atom& a : atoms)
            if (missing.count(a.label) == 0)
                lines.push_back(tableLine(a.label, a.atom0, a.ax1, a.atom2, a.ax2, a.tbl, a.kap, 4, a.sym));
        writeTable(*q, lines);
    }

    Streams write(int molecules = 1) {
        return capture(*q, [&] { writeMasterFiles(writing(*q), molecules); });
    }
};

// Lines of xd.mas from the first that begins with `from` up to, without, the first that
// begins with `to` (to = "" for the end).
std::vector<std::string> section(const std::string& text, const std::string& from, const std::string& to) {
    std::vector<std::string> out;
    bool in = false;
    for (const std::string& line : linesOf(text)) {
        if (!in && line.rfind(from, 0) == 0) in = true;
        if (in && !to.empty() && line.rfind(to, 0) == 0 && !out.empty()) break;
        if (in) out.push_back(line);
    }
    return out;
}

}  // namespace

TEST(MasterFile, AtomTableComesFromTheKeptTableAndMissingAtomsKeepTheirOldLine) {
    Alanine t;
    t.table();
    auto s = t.write();
    std::string first = t.dir.read("xd.mas.quandreltool");
    EXPECT_EQ(section(first, "ATOM ", "GROUP2"),
              (std::vector<std::string>{
                  HEADER,
                  "C(1)     C(2)      X  C(1)     H(1B)    Y   R   2  1   1   4  _1",
                  "H(1A)    C(1)      Z  H(1A)    C(2)     X   R   2  4   2   4  _mz",
                  "H(1B)    C(1)      Z  H(1B)    C(2)     X   R   2  4   2   4  _mz",
                  "H(1C)    C(1)      Z  H(1C)    C(2)     X   R   2  4   2   4  _mz",
                  "C(2)     C(1)      X  C(2)     N(1)     Y   R   2  1   1   4  _1",
                  "H(2)     C(2)      Z  H(2)     C(1)     X   R   2  4   2   4  _",  // old line of xd.mas
                  "N(1)     C(2)      Z  N(1)     H(N1B)   X   R   2  2   3   4  _3m",
                  "H(N1A)   N(1)      Z  H(N1A)   C(2)     X   R   2  4   2   4  _mz",
                  "H(N1B)   N(1)      Z  H(N1B)   C(2)     X   R   2  4   2   4  _mz",
                  "H(N1C)   N(1)      Z  H(N1C)   C(2)     X   R   2  4   2   4  _mz",
                  "C(3)     O(1)      X  C(3)     O(2)     Y   R   2  1   1   4  _mm2",
                  "O(1)     C(3)      Z  O(1)     O(2)     X   R   2  3   4   4  _mz",
                  "O(2)     C(3)      Z  O(2)     O(1)     X   R   2  3   4   4  _4mm",  // last atom, old line
                  "DUM0       0.000000  0.500000  0.250000",
                  "END ATOM",
              }));
    std::string second = t.dir.read("xd.mas.HasSameSymm");
    auto atoms = section(second, "ATOM ", "GROUP2");
    ASSERT_EQ(atoms.size(), 16u);
    EXPECT_EQ(atoms[1], "C(1)     C(2)      X  C(1)     H(1B)    Y   R   2  1   1   4  _1         ");
    EXPECT_EQ(atoms[3], "H(1B)    C(1)      Z  H(1B)    C(2)     X   R   2  4   2   2  _mz H(1A)   ")
        << "a hydrogen has LMX 2 in the second file";
    EXPECT_EQ(atoms[6], "H(2)     C(2)      Z  H(2)     C(1)     X   R   2  4   2   2  _         ");
    EXPECT_EQ(atoms[14], "DUM0       0.000000  0.500000  0.250000");
}

TEST(MasterFile, EverythingElseIsCopiedWithTheSelectLineReplaced) {
    Alanine t;
    t.table();
    t.write();
    const std::string mas = t.dir.read("xd.mas");
    for (const char* name : {"xd.mas.quandreltool", "xd.mas.HasSameSymm"}) {
        std::string out = t.dir.read(name);
        auto in = section(mas, "!<<<", "SELECT  *model");
        auto head = section(out, "!<<<", "SELECT  *model");
        EXPECT_EQ(head, in) << name;
        EXPECT_EQ(section(out, "SELECT  *model", "SELECT  cycle"),
                  (std::vector<std::string>{"SELECT  *model 4 2 1 0 based_on F test "}))
            << name;
        EXPECT_EQ(section(out, "SELECT  cycle", "ATOM "), section(mas, "SELECT  cycle", "ATOM ")) << name;
        EXPECT_EQ(section(out, "GROUP2", "KEY "),
                  (std::vector<std::string>{
                      "GROUP2  C(1) H(1A) H(1B) H(1C) C(2) H(2) N(1) H(N1A) H(N1B) H(N1C) C(3) O(1) O(2)",
                      "KEEP CHARGE GROUP2"}))
            << name;
        EXPECT_EQ(section(out, "KAPPA", "EXTCN"), std::vector<std::string>(4, "KAPPA   000000")) << name;
        EXPECT_EQ(section(out, "EXTCN", ""), section(mas, "EXTCN", "")) << name;
        EXPECT_EQ(out.back(), '\n');
    }
}

TEST(MasterFile, KeyLinesOfBothFiles) {
    Alanine t;
    t.table();
    auto s = t.write();
    EXPECT_EQ(section(t.dir.read("xd.mas.quandreltool"), "C(1)    111", "KAPPA"),
              (std::vector<std::string>{
                  "C(1)    111 111111 0000000000 000000000000000 00 000 00000 0000000 000000000",
                  "H(1A)   111 100000 0000000000 000000000000000 00 000 00000 0000000 000000000",
                  "H(1B)   111 100000 0000000000 000000000000000 00 000 00000 0000000 000000000",
                  "H(1C)   111 100000 0000000000 000000000000000 00 000 00000 0000000 000000000",
                  "C(2)    111 111111 0000000000 000000000000000 00 000 00000 0000000 000000000",
                  "H(2)    111 100000 0000000000 000000000000000 00 000 00000 0000000 000000000",
                  "N(1)    111 111111 0000000000 000000000000000 00 000 00000 0000000 000000000",
                  "H(N1A)  111 100000 0000000000 000000000000000 00 000 00000 0000000 000000000",
                  "H(N1B)  111 100000 0000000000 000000000000000 00 000 00000 0000000 000000000",
                  "H(N1C)  111 100000 0000000000 000000000000000 00 000 00000 0000000 000000000",
                  "C(3)    111 111111 0000000000 000000000000000 00 000 00000 0000000 000000000",
                  "O(1)    111 111111 0000000000 000000000000000 00 000 00000 0000000 000000000",
                  "O(2)    111 111111 0000000000 000000000000000 00 000 00000 0000000 000000000",
              }));
    EXPECT_EQ(section(t.dir.read("xd.mas.HasSameSymm"), "C(1)    111", "KAPPA"),
              (std::vector<std::string>{
                  "C(1)    111 111111 0000000000 000000000000000 10 111 11111 1111111 111111111",
                  "H(1A)   111 100000 0000000000 000000000000000 10 001 00000 0000000 000000000",
                  "H(1B)   111 100000 0000000000 000000000000000 00 000 00000 0000000 000000000! chemically "
                  "constrained to H(1A)",
                  "H(1C)   111 100000 0000000000 000000000000000 00 000 00000 0000000 000000000! chemically "
                  "constrained to H(1A)",
                  "C(2)    111 111111 0000000000 000000000000000 10 111 11111 1111111 111111111",
                  "H(2)    111 100000 0000000000 000000000000000 10 001 00000 0000000 000000000",
                  "N(1)    111 111111 0000000000 000000000000000 10 001 10000 1000010 100001000",
                  "H(N1A)  111 100000 0000000000 000000000000000 10 001 00000 0000000 000000000",
                  "H(N1B)  111 100000 0000000000 000000000000000 00 000 00000 0000000 000000000! chemically "
                  "constrained to H(N1A)",
                  "H(N1C)  111 100000 0000000000 000000000000000 00 000 00000 0000000 000000000! chemically "
                  "constrained to H(N1A)",
                  "C(3)    111 111111 0000000000 000000000000000 10 001 10010 1001000 100100010",
                  "O(1)    111 111111 0000000000 000000000000000 10 110 10011 0110011 100110011",
                  // "4mm" is not in the key table: the flags last looked up (those of O(1))
                  "O(2)    111 111111 0000000000 000000000000000 10 110 10011 0110011 100110011",
              }));
    EXPECT_EQ(s.err, "The site symmetry \"4mm\" of atom O(2) is not in the key table: its KEY line in "
                     "xd.mas.HasSameSymm repeats the multipole flags last looked up.\n");
}

TEST(MasterFile, HydrogenIsTheElementNotTheFirstLetterOfTheLabel) {
    ScratchDir dir;
    dir.write("xd.mas", std::string("TITLE t\nCELL 10 10 10 90 90 90\nMODULE *XDLSM\nSELECT old\n") + HEADER +
                            "\n"
                            "Hg1      Cl1       Z  Hg1      Cl2      X   R   2  1   1   4  NO\n"
                            "Cl1      Hg1       Z  Cl1      Cl2      X   R   2  2   2   4  NO\n"
                            "X1       Cl1       Z  X1       Hg1      X   R   2  3   3   4  NO\n"
                            "END ATOM\n"
                            "KEY     XYZ --U2-- ----U3---- ------U4------- M- -D- --Q-- ---O--- ----H----\n"
                            "Hg1 old\nCl1 old\nX1 old\nKAPPA   000000\nEXTCN   1111111 0 00\nEND KEY\n");
    StructureBuilder b(10);
    b.add("Hg1", "Hg", 1, 1, 1);
    b.add("Cl1", "Cl", 3, 1, 1);
    b.add("X1", "H", 5, 1, 1);
    auto q = b.build();
    for (int i = 0; i < 3; ++i) {
        q->transfer.model.atom[i].kap = i + 1;
        q->transfer.model.atom[i].lmx = 4;
        q->perception.molecule[i] = 1;
        std::snprintf(q->transfer.model.atom[i].siteSym, sizeof q->transfer.model.atom[i].siteSym, "%s", i == 0 ? "-1" : "m");
    }
    q->transfer.model.nKappa = 3;
    writeTable(*q, {});
    capture(*q, [&] { writeMasterFiles(writing(*q), 1); });
    auto keys = section(dir.read("xd.mas.quandreltool"), "Hg1     111", "KAPPA");
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0], "Hg1     111 111111 0000000000 000000000000000 00 000 00000 0000000 000000000");
    EXPECT_EQ(keys[2], "X1      111 100000 0000000000 000000000000000 00 000 00000 0000000 000000000");
    auto second = dir.read("xd.mas.HasSameSymm");
    keys = section(second, "Hg1     111", "KAPPA");
    EXPECT_EQ(keys[0], "Hg1     111 111111 0000000000 000000000000000 10 000 11111 0000000 111111111");
    EXPECT_EQ(keys[2], "X1      111 100000 0000000000 000000000000000 10 001 00000 0000000 000000000");
    auto atoms = section(second, "Hg1 ", "END ATOM");
    EXPECT_EQ(atoms[0].substr(52, 8), "   1   4") << "mercury keeps LMX 4";
    EXPECT_EQ(atoms[2].substr(52, 8), "   3   2") << "the hydrogen X1 gets LMX 2";
}

TEST(MasterFile, GroupLinesWrapPast113Characters) {
    ScratchDir dir;
    StructureBuilder b(100);
    for (int i = 0; i < 31; ++i) b.add("C(" + std::to_string(10 + i) + ")", "C", 1.5 * i, 1, 1);
    auto q = b.build();
    for (int i = 0; i < 31; ++i) q->perception.molecule[i] = i == 30 ? 2 : 1;  // C(40) alone in molecule 2
    std::string row18;
    for (int i = 0; i < 18; ++i) row18 += " C(" + std::to_string(10 + i) + ")";
    std::string row12;
    for (int i = 18; i < 30; ++i) row12 += " C(" + std::to_string(10 + i) + ")";
    // 7 + 18 x 6 = 115 > 113 after the eighteenth label
    EXPECT_EQ(groupLines(writing(*q), 1), "GROUP2 " + row18 + "\nGROUP2 " + row12 + "\nKEEP CHARGE GROUP2\n");
    EXPECT_EQ((std::string("GROUP2 ") + row18).size(), 115u);
    EXPECT_EQ(groupLines(writing(*q), 2), "GROUP3  C(40)\nKEEP CHARGE GROUP3\n");

    // a wrap after the last label leaves an empty GROUP line
    for (int i = 18; i < 30; ++i) q->perception.molecule[i] = 2;
    EXPECT_EQ(groupLines(writing(*q), 1), "GROUP2 " + row18 + "\nGROUP2 \nKEEP CHARGE GROUP2\n");
    // 113 exactly does not wrap: 7 + 17 x 6 + (3 + 1) = 113
    ScratchDir dir2;
    StructureBuilder b2(100);
    for (int i = 0; i < 17; ++i) b2.add("C(" + std::to_string(10 + i) + ")", "C", 1.5 * i, 1, 1);
    b2.add("N11", "N", 40, 1, 1);
    auto q2 = b2.build();
    for (int i = 0; i < 18; ++i) q2->perception.molecule[i] = 1;
    std::string text = groupLines(writing(*q2), 1);
    EXPECT_EQ(linesOf(text).size(), 2u) << text;
    EXPECT_EQ(linesOf(text)[0].size(), 113u);
}

TEST(MasterFile, WithoutQdlexpOnlyOneFile) {
    Alanine t;
    t.q->opt.qdlexp = 0;
    t.table();
    t.write();
    EXPECT_TRUE(t.dir.exists("xd.mas.quandreltool"));
    EXPECT_FALSE(t.dir.exists("xd.mas.HasSameSymm"));
}

TEST(MasterFile, MissingSectionStopsBeforeAnyMasterFileIsWritten) {
    struct Row {
        const char* drop;  // lines beginning with this are removed from xd.mas
        const char* message;
    } rows[] = {
        {"MODULE *XDLSM", "xd.mas has no line \"MODULE *XDLSM\": the new master files are not written"},
        {"ATOM     ATOM0", "xd.mas has no ATOM table header behind \"MODULE *XDLSM\""},
        {"END ATOM", "xd.mas has no line \"END ATOM\" behind the ATOM table header"},
        {"KEY     XYZ", "xd.mas has no line containing \"KEY     XYZ\" behind \"END ATOM\""},
        {"EXTCN", "xd.mas has no line containing \"EXTCN\" behind the KEY table"},
    };
    for (const Row& row : rows) {
        Alanine t;
        t.table();
        std::string mas;
        for (const std::string& line : linesOf(t.dir.read("xd.mas")))
            if (line.rfind(row.drop, 0) != 0) mas += line + "\n";
        t.dir.write("xd.mas", mas);
        EXPECT_TRUE(stopsWith([&] { writeMasterFiles(writing(*t.q), 1); }, 1, row.message)) << row.drop;
        EXPECT_FALSE(t.dir.exists("xd.mas.quandreltool")) << row.drop;
        EXPECT_FALSE(t.dir.exists("xd.mas.HasSameSymm")) << row.drop;
    }
}

TEST(MasterFile, AtomLinesComeFromTheKeptTableWhateverTheLogHolds) {
    Alanine t;
    t.table();
    std::fprintf(t.q->logFile, "%s\n%s\nEND ATOM\n", HEADER,
                 tableLine("C(1)", "LOGONLY", "X", "H(1B)", "Y", 1, 1, 4, "1").c_str());
    t.write();
    const std::string first = t.dir.read("xd.mas.quandreltool");
    EXPECT_EQ(first.find("LOGONLY"), std::string::npos);
    EXPECT_NE(first.find("C(1)     C(2)      X  C(1)     H(1B)    Y   R   2  1   1   4  _1\n"), std::string::npos);
}

TEST(MasterFile, LogWithoutTableStops) {
    Alanine t;
    std::fprintf(t.q->logFile, "no table in this log\n");
    EXPECT_TRUE(stopsWith([&] { writeMasterFiles(writing(*t.q), 1); }, 1,
                          "Quandrele.log holds no complete coordinate-system table"));
    EXPECT_FALSE(t.dir.exists("xd.mas.quandreltool"));
}

TEST(MasterFile, AtomMissingFromBothLogAndOldTableStops) {
    Alanine t;
    t.table({"O(2)"});
    std::string mas;
    for (const std::string& line : linesOf(t.dir.read("xd.mas")))
        if (line.rfind("O(2)     C(3)", 0) != 0) mas += line + "\n";
    t.dir.write("xd.mas", mas);
    EXPECT_TRUE(stopsWith([&] { writeMasterFiles(writing(*t.q), 1); }, 1,
                          "The ATOM table of xd.mas has no line for atom O(2) (number 13)"));
}

TEST(MasterFile, ShortTableLineIsFilledToTheKapColumn) {
    Alanine t;
    std::vector<std::string> lines;
    lines.push_back("C(1)     C(2)      X\n");  // only the first half
    writeTable(*t.q, lines);
    t.write();
    auto atoms = section(t.dir.read("xd.mas.quandreltool"), "C(1) ", "H(1A)");
    ASSERT_EQ(atoms.size(), 1u);
    EXPECT_EQ(atoms[0], "C(1)     C(2)      X" + std::string(32, ' ') + "   1   4  _1");
}

// The old ATOM table is read by fields and by label: the same table however it is spaced,
// ordered or interrupted by comments gives the same lines, in the table's column layout.
TEST(MasterFile, OldAtomTableIsReadByFieldsAndLabelWhateverItsLayout) {
    std::vector<std::string> want;
    {
        Alanine t;
        t.table({"C(1)", "H(1A)", "H(2)", "N(1)", "O(2)"});
        t.write();
        want = section(t.dir.read("xd.mas.quandreltool"), "ATOM ", "GROUP2");
        ASSERT_EQ(want.size(), 16u);
        EXPECT_EQ(want[1], "C(1)     C(2)      Z  C(1)     H(1A)    Y   R   2  1   1   4  _1");
    }
    auto reversed = [](const std::string& mas) {
        std::vector<std::string> lines = linesOf(mas), atoms;
        std::string out;
        bool inside = false;
        for (const std::string& line : lines) {
            if (line == "END ATOM") {
                for (auto a = atoms.rbegin(); a != atoms.rend(); ++a) out += *a + "\n";
                inside = false;
            }
            if (inside)
                atoms.push_back(line);
            else
                out += line + "\n";
            if (line.rfind("ATOM     ATOM0", 0) == 0) inside = true;
        }
        return out;
    };
    auto withComments = [](const std::string& mas) {
        std::string out;
        for (const std::string& line : linesOf(mas)) {
            if (line.rfind("H(", 0) == 0 && line.find("   R   ") != std::string::npos) out += "! hydrogen\n";
            out += line + "\n";
        }
        return out;
    };
    const struct Row {
        const char* what;
        const char* master;  // file of tests/data/output/masters
        std::string (*edit)(const std::string&);
    } rows[] = {
        {"freely spaced: blanks, tabs, leading blanks", "l_alanine_free.mas", nullptr},
        {"atoms in another order", "l_alanine.mas", +reversed},
        {"freely spaced and in another order", "l_alanine_free.mas", +reversed},
        {"comment lines among the atom lines", "l_alanine.mas", +withComments},
    };
    for (const Row& row : rows) {
        Alanine t;
        t.dir.copyIn(std::string("output/masters/") + row.master, "xd.mas");
        if (row.edit != nullptr) t.dir.write("xd.mas", row.edit(t.dir.read("xd.mas")));
        t.table({"C(1)", "H(1A)", "H(2)", "N(1)", "O(2)"});
        const Streams s = t.write();
        EXPECT_EQ(section(t.dir.read("xd.mas.quandreltool"), "ATOM ", "GROUP2"), want) << row.what;
        const auto second = section(t.dir.read("xd.mas.HasSameSymm"), "ATOM ", "GROUP2");
        ASSERT_EQ(second.size(), want.size()) << row.what;
        EXPECT_EQ(second[7], "N(1)     C(2)      Z  N(1)     H(N1B)   X   R   2  2   3   4  _3m         ") << row.what;
        EXPECT_EQ(s.err.find("ATOM table"), std::string::npos) << row.what;
    }
}

TEST(MasterFile, FrameLinesWithLongLabelsKeepEveryLaterAtomsFrame) {
    // The kept table as the database stage writes it: a label of 9 or more characters is
    // followed by a blank, and every later atom still finds its line.
    Alanine t;
    std::snprintf(t.q->transfer.model.atom[0].label, sizeof t.q->transfer.model.atom[0].label, "%s", "C(1)methyl_group_1");
    std::vector<std::string> lines;
    lines.push_back("C(1)methyl_group_1 C(2) X C(1)methyl_group_1 H(1B) Y R 2 1 1 4 1");
    lines.push_back("H(1A)    C(1)methyl_group_1 Z  H(1A)    C(2)     X   R   2  4   2   4  mz");
    lines.push_back(tableLine("H(1B)", "C(1)", "Z", "C(2)", "X", 4, 2, 4, "mz"));
    writeTable(*t.q, lines);
    const Streams s = t.write();
    const auto atoms = section(t.dir.read("xd.mas.quandreltool"), "ATOM ", "GROUP2");
    ASSERT_GE(atoms.size(), 4u);
    EXPECT_EQ(atoms[1], "C(1)methyl_group_1 C(2) X C(1)methyl_group_1 H(1B) Y R 2 1   1   4  _1");
    EXPECT_EQ(atoms[2], "H(1A)    C(1)methyl_group_1 Z H(1A) C(2) X  R   2  4   2   4  _mz");
    EXPECT_EQ(atoms[3], "H(1B)    C(1)      Z  H(1B)    C(2)     X   R   2  4   2   4  _mz");
    EXPECT_EQ(s.err.find("belongs to no atom"), std::string::npos) << s.err;
}

TEST(MasterFile, AnAtomTheOldTableLacksTakesTheTemplatesLineOrStops) {
    // H(2) and O(2) have no frame from the database; xd.mas lists H(2) under another label
    // and lacks O(2). Read from a crystal file (a template of its own), they take their
    // default frames from the template; read from XD files, the run stops.
    const struct Row {
        const char* what;
        bool crystalTemplate;
        const char* message;  // start of the failure; nullptr: written
    } rows[] = {
        {"crystal file with an xd.mas of another structure", true, nullptr},
        {"XD files whose xd.mas does not fit", false,
         "The ATOM table of xd.mas has no line for atom H(2) (number 6): the new master files are not written."},
    };
    for (const Row& row : rows) {
        Alanine t;
        const std::string mas = t.dir.read("xd.mas");
        if (row.crystalTemplate) {
            t.q->transfer.model.masTemplate = linesOf(mas);
            t.q->transfer.model.source = "alanine.cif";
        }
        std::string edited;
        for (const std::string& line : linesOf(mas)) {
            if (line.rfind("O(2)     C(3)", 0) == 0) continue;
            edited += (line.rfind("H(2)     C(2)", 0) == 0 ? "H(9)" + line.substr(4) : line) + "\n";
        }
        t.dir.write("xd.mas", edited);
        t.table();
        if (row.message != nullptr) {
            EXPECT_TRUE(stopsWith([&] { writeMasterFiles(writing(*t.q), 1); }, 1, row.message)) << row.what;
            EXPECT_FALSE(t.dir.exists("xd.mas.quandreltool")) << row.what;
            continue;
        }
        const Streams s = t.write();
        const auto atoms = section(t.dir.read("xd.mas.quandreltool"), "ATOM ", "GROUP2");
        ASSERT_EQ(atoms.size(), 16u) << row.what;
        EXPECT_EQ(atoms[6], "H(2)     C(2)      Z  H(2)     C(1)     X   R   2  4   2   4  _") << row.what;
        EXPECT_EQ(atoms[13], "O(2)     C(3)      Z  O(2)     O(1)     X   R   2  3   4   4  _4mm") << row.what;
        EXPECT_NE(s.err.find("The ATOM table of xd.mas has no line for 2 atoms of alanine.cif (H(2) O(2)): the new "
                             "master files give them their default frames.\n"),
                  std::string::npos)
            << s.err;
    }
}
