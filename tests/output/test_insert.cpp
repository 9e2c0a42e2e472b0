// Merging "resetbond.txt" and "H-Uiso-constrain.txt" into the new master files.
#include <gtest/gtest.h>

#include <string>

#include "testutil.h"

namespace {

const char* const RESETS = "! RESET BOND C(1) H(1A) 1.012000! it was 0.980000 A before.\n";
const char* const CONS = "!These are riding hydrogen constraints.\nCON 1.0 X/1  -1.0 X/2 = 0\n";

struct Merge {
    ScratchDir dir;
    std::unique_ptr<Quandrel> q;
    Merge(const std::string& master, bool riding = true) {
        StructureBuilder b;
        q = b.build();
        q->opt.ridingConstrain = riding;
        dir.write("xd.mas.quandreltool", master);
        dir.write("xd.mas.HasSameSymm", master);
        dir.write("resetbond.txt", RESETS);
        dir.write("H-Uiso-constrain.txt", riding ? CONS : "");
    }
    Streams run() {
        return capture(*q, [&] { q->insertFiles(); });
    }
};

}  // namespace

TEST(InsertFiles, FragmentsFollowTheirMarkerLinesAndAreRemoved) {
    Merge m("END KEY\nRESET   BOND  C(1)     H(1A)     1.092\n!CON  constraints follow\nWEIGHT  -2.0\n");
    auto s = m.run();
    const std::string expected = std::string("END KEY\nRESET   BOND  C(1)     H(1A)     1.092\n") + RESETS + "\n" +
                                 "!CON  constraints follow\n" + CONS + "\nWEIGHT  -2.0\n";
    EXPECT_EQ(m.dir.read("xd.mas.quandreltool"), expected);
    EXPECT_EQ(m.dir.read("xd.mas.HasSameSymm"), expected);
    EXPECT_FALSE(m.dir.exists("resetbond.txt"));
    EXPECT_FALSE(m.dir.exists("H-Uiso-constrain.txt"));
    EXPECT_EQ(s.err, "");
}

TEST(InsertFiles, WithoutConstraintsOnlyTheFirstFileGetsALineEndBehindCon) {
    Merge m("RESET x\n!CON  here\nEND\n", false);
    m.run();
    EXPECT_EQ(m.dir.read("xd.mas.quandreltool"), std::string("RESET x\n") + RESETS + "\n!CON  here\n\nEND\n");
    EXPECT_EQ(m.dir.read("xd.mas.HasSameSymm"), std::string("RESET x\n") + RESETS + "\n!CON  here\nEND\n");
}

TEST(InsertFiles, SecondResetLineGetsOnlyALineEnd) {
    Merge m("RESET one\nRESET two\n!CON  a\n!CON  b\n");
    m.run();
    EXPECT_EQ(m.dir.read("xd.mas.quandreltool"),
              std::string("RESET one\n") + RESETS + "\nRESET two\n\n!CON  a\n" + CONS + "\n!CON  b\n\n");
}

TEST(InsertFiles, MasterWithoutMarkersStaysAsItIsAndFragmentsAreRemoved) {
    const std::string text = "TITLE t\nWEIGHT 100% of it %s %d\nEND\n";
    Merge m(text);
    m.run();
    EXPECT_EQ(m.dir.read("xd.mas.quandreltool"), text);
    EXPECT_EQ(m.dir.read("xd.mas.HasSameSymm"), text);
    EXPECT_FALSE(m.dir.exists("resetbond.txt"));
    EXPECT_FALSE(m.dir.exists("H-Uiso-constrain.txt"));
}

TEST(InsertFiles, MarkersAreSoughtIn119CharacterPieces) {
    // "RESET" across the cut after 119 characters is not found
    const std::string across = std::string(116, 'a') + "RESET" + std::string(20, 'b') + "\n";
    // "!CON " in the first piece of a long line: the fragment follows the whole line
    const std::string longCon = "!CON " + std::string(200, 'c') + "\n";
    // a marker in the second piece is found as well
    const std::string second = std::string(130, 'd') + "RESET\n";
    Merge m(across + longCon + second + "END\n");
    m.run();
    EXPECT_EQ(m.dir.read("xd.mas.quandreltool"), across + longCon + CONS + "\n" + second + RESETS + "\n" + "END\n");
}

TEST(InsertFiles, LineOfExactly119CharactersGetsItsFragmentBehindTheLineEnd) {
    const std::string line = "RESET" + std::string(114, 'r') + "\n";
    ASSERT_EQ(line.size(), 120u);
    Merge m(line + "END\n");
    m.run();
    EXPECT_EQ(m.dir.read("xd.mas.quandreltool"), line + RESETS + "\nEND\n");
}

TEST(InsertFiles, MarkerOnALastLineWithoutLineEnd) {
    Merge m("END\n!CON  last");
    m.run();
    EXPECT_EQ(m.dir.read("xd.mas.quandreltool"), std::string("END\n!CON  last\n") + CONS + "\n");
}

TEST(InsertFiles, MissingFragmentLeavesEverythingAsItIs) {
    Merge m("RESET x\n!CON  y\n");
    std::remove("resetbond.txt");
    auto s = m.run();
    EXPECT_EQ(m.dir.read("xd.mas.quandreltool"), "RESET x\n!CON  y\n");
    EXPECT_TRUE(m.dir.exists("H-Uiso-constrain.txt"));
    EXPECT_EQ(s.err.rfind("In insert files: can't open resetbond.txt : No such file or directory\n", 0), 0u) << s.err;
}

TEST(InsertFiles, MissingMasterFileLeavesTheFragments) {
    Merge m("RESET x\n");
    std::remove("xd.mas.quandreltool");
    m.run();
    EXPECT_FALSE(m.dir.exists("xd.mas.quandreltool"));
    EXPECT_EQ(m.dir.read("xd.mas.HasSameSymm"), "RESET x\n");
    EXPECT_TRUE(m.dir.exists("resetbond.txt"));
}

TEST(InsertFiles, WithoutQdlexpAnOlderSecondFileIsLeftAlone) {
    Merge m("RESET x\n");
    m.q->opt.qdlexp = 0;
    m.run();
    EXPECT_EQ(m.dir.read("xd.mas.quandreltool"), std::string("RESET x\n") + RESETS + "\n");
    EXPECT_EQ(m.dir.read("xd.mas.HasSameSymm"), "RESET x\n");
    EXPECT_FALSE(m.dir.exists("resetbond.txt"));
    EXPECT_FALSE(m.dir.exists("H-Uiso-constrain.txt"));
}
