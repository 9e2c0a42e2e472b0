// The label override file "Quandrele.in" and its yes/no/all dialogue.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "testutil.h"

namespace {

const std::string HEADING = "\nReading \"Quandrele.in\"\n____________________\n";
const std::string SUCCESS = "Reading of \"Quandrele.in\" was successfull!\n";

// Atoms with given labels and names, built in memory.
std::unique_ptr<Quandrel> named(const std::vector<std::pair<std::string, std::string>>& atoms) {
    StructureBuilder b;
    double x = 1;
    for (const auto& a : atoms) b.add(a.first, a.first.substr(0, 1), x += 2, 1, 1);
    std::unique_ptr<Quandrel> q = b.build();
    for (std::size_t i = 0; i < atoms.size(); ++i)
        std::snprintf(q->perception.quandrelName[i], NAME_CAP, "%s", atoms[i].second.c_str());
    return q;
}

// Runs the override step with the answers as standard input; returns standard error.
std::string runOverrides(Quandrel& q, const std::string& answers) {
    FILE* in = tmpfile();
    fputs(answers.c_str(), in);
    rewind(in);
    std::string err = captureStderr([&] { readOverrides(perceiving(q), in); });
    fclose(in);
    return err;
}

std::string question(const char* kind, const std::string& from, const std::string& to) {
    return std::string("Do you want to change ") + kind + " " + from + " to " + to + "? [Y/N/A+return] {Y}:";
}

}  // namespace

TEST(OverrideFile, WithoutTheFileNothingHappens) {
    ScratchDir dir;
    auto q = named({{"C1", "C1h"}});
    EXPECT_EQ(runOverrides(*q, "N\n"), "");
    EXPECT_STREQ(q->perception.quandrelName[0], "C1h");
}

TEST(OverrideFile, PositionalLineAnsweredYesReplacesTheName) {
    ScratchDir dir;
    auto q = named({{"C1", "C1h"}, {"H1", "H1c"}});
    dir.write("Quandrele.in", "C2o\nH1c\n");
    std::string err = runOverrides(*q, "Y\n");
    EXPECT_EQ(err, HEADING + question("Quandrel", "C1h", "C2o") + "Changed!\nto !C2o! C2o\n" + SUCCESS);
    EXPECT_STREQ(q->perception.quandrelName[0], "C2o");
    EXPECT_STREQ(q->perception.quandrelName[1], "H1c");
}

TEST(OverrideFile, AnswerNoKeepsTheName) {
    for (const char* answer : {"N\n", "n\n", "no thanks\n"}) {
        ScratchDir dir;
        auto q = named({{"C1", "C1h"}});
        dir.write("Quandrele.in", "C2o\n");
        std::string err = runOverrides(*q, answer);
        EXPECT_EQ(err, HEADING + question("Quandrel", "C1h", "C2o") + "Not changed!\n" + SUCCESS) << answer;
        EXPECT_STREQ(q->perception.quandrelName[0], "C1h");
    }
}

TEST(OverrideFile, EmptyAnswerAndEndOfInputMeanYes) {
    for (const char* answers : {"\n\n", "", "\n"}) {
        ScratchDir dir;
        auto q = named({{"C1", "C1h"}, {"C2", "C1c"}});
        dir.write("Quandrele.in", "C2o\nC3c\n");
        std::string err = runOverrides(*q, answers);
        EXPECT_EQ(countOf(err, "Changed!\n"), 2) << '"' << answers << '"';
        EXPECT_STREQ(q->perception.quandrelName[0], "C2o");
        EXPECT_STREQ(q->perception.quandrelName[1], "C3c");
    }
}

TEST(OverrideFile, AnswerAllTakesEveryLaterChangeWithoutReading) {
    ScratchDir dir;
    auto q = named({{"C1", "C1h"}, {"C2", "C1c"}, {"O1", "O2c"}});
    dir.write("Quandrele.in", "C2o\nC3c\nO1c\n");
    std::string err = runOverrides(*q, "a\nN\nN\n");
    EXPECT_EQ(countOf(err, "Changed!\n"), 3);
    EXPECT_EQ(countOf(err, "Not changed!\n"), 0);
    EXPECT_STREQ(q->perception.quandrelName[1], "C3c");
    EXPECT_STREQ(q->perception.quandrelName[2], "O1c");
}

TEST(OverrideFile, LongAnswerIsOneAnswer) {
    ScratchDir dir;
    auto q = named({{"C1", "C1h"}, {"C2", "C1c"}});
    dir.write("Quandrele.in", "C2o\nC3c\n");
    std::string err = runOverrides(*q, std::string(70, 'n') + "\ny\n");
    EXPECT_STREQ(q->perception.quandrelName[0], "C1h");
    EXPECT_STREQ(q->perception.quandrelName[1], "C3c");
}

TEST(OverrideFile, LineEqualToTheNameAsksNothingAndExtraLinesAreIgnored) {
    ScratchDir dir;
    auto q = named({{"C1", "C1h"}});
    dir.write("Quandrele.in", "C1h\nC9x\nnonsense\n");
    EXPECT_EQ(runOverrides(*q, "N\n"), HEADING + SUCCESS);
    EXPECT_STREQ(q->perception.quandrelName[0], "C1h");
}

TEST(OverrideFile, LabelledLineBelongsOnlyToTheAtomWithThatLabel) {
    ScratchDir dir;
    auto q = named({{"C1", "C1h"}, {"H1", "H1c"}, {"C12", "C1c"}});
    // the line for C12 stands first; C1 and H1 lines keep their names
    dir.write("Quandrele.in", "C12: C2c\nH1c\nC1: C1h\n");
    std::string err = runOverrides(*q, "A\n");
    EXPECT_EQ(err, HEADING + question("quandrel", "C1c", "C2c") + "Changed!\nto !C2c! C12:\n" + SUCCESS);
    EXPECT_STREQ(q->perception.quandrelName[0], "C1h");
    EXPECT_STREQ(q->perception.quandrelName[2], "C2c");
}

TEST(OverrideFile, LabelledLineWithoutNewNameOrKnownLabelIsSkipped) {
    ScratchDir dir;
    auto q = named({{"C1", "C1h"}, {"C2", "C1c"}, {"C3", "C1o"}});
    dir.write("Quandrele.in", "C1:\nC7: C2o\nC2 :C2o\n");
    std::string err = runOverrides(*q, "");
    EXPECT_EQ(countOf(err, "Do you want"), 0);
    EXPECT_NE(err.find("\"C1:\" in \"Quandrele.in\" gives no new quandrel; line skipped.\n"), std::string::npos);
    EXPECT_NE(err.find("There is no atom C7 for \"C7: C2o\" in \"Quandrele.in\"; line skipped.\n"), std::string::npos);
    EXPECT_NE(err.find("\"C2 :C2o\" in \"Quandrele.in\" is neither a quandrel nor a label with a colon; line skipped.\n"),
              std::string::npos);
    EXPECT_NE(err.find(SUCCESS), std::string::npos);
    EXPECT_STREQ(q->perception.quandrelName[0], "C1h");
    EXPECT_STREQ(q->perception.quandrelName[1], "C1c");
}

TEST(OverrideFile, TooFewLinesEndWithCodeThree) {
    ScratchDir dir;
    auto q = named({{"C1", "C1h"}, {"C2", "C1c"}});
    dir.write("Quandrele.in", "C1h\n");
    FILE* answers = tmpfile();
    EXPECT_TRUE(stopsWith([&] { readOverrides(perceiving(*q), answers); }, 3,
                          "\"Quandrele.in\" must have exact as many lines as there are atoms in your molecule!!\n"
                          "I'm skipping reading of Quandrele.in!!\n"));
    fclose(answers);
}

TEST(OverrideFile, FirstCharacterMismatchEndsWithCodeThree) {
    ScratchDir dir;
    auto q = named({{"C1", "C1h"}, {"H(1)", "H1c"}});
    dir.write("Quandrele.in", "C1h\nO1c\n");
    FILE* answers = tmpfile();
    EXPECT_TRUE(stopsWith([&] { readOverrides(perceiving(*q), answers); }, 3,
                          "Quandrel O1c in \"Quandrele.in\" does not match to atom H(1)!\nI'm skipping reading of "
                          "Quandrele.in!!\n"));
    fclose(answers);
}

TEST(OverrideFile, NameLongerThan279CharactersEndsWithCodeThree) {
    ScratchDir dir;
    auto q = named({{"C1", "C1h"}});
    dir.write("Quandrele.in", "C1: C" + std::string(280, 'h') + "\n");
    FILE* answers = tmpfile();
    EXPECT_TRUE(stopsWith([&] { readOverrides(perceiving(*q), answers); }, 3, "is longer than 279 characters"));
    fclose(answers);
}

// ---- the dialogue through the standard input of the program ----

namespace {

// The R-bromochlorofluoromethane fixture with an empty database, so a run ends normally.
// Its names: F1c, R-C1br1cl1f1h, H1c[1br1cl1f], Cl1c, Br1c.
void halomethaneRun(const ScratchDir& dir, const std::string& overrides) {
    dir.copyFolder("fixtures/chfclbr_r");
    dir.write("DABA.txt", "");
    dir.write("Quandrele.in", overrides);
}

const char* const ALL_KEPT = "F1c\nR-C1br1cl1f1h\nH1c[1br1cl1f]\nCl1c\nBr1c\n";
const char* const TWO_CHANGED = "F1c\nR-C1br1cl1f1h\nH1x\nCl1c\nBr(1): Br1x\n";

}  // namespace

TEST(OverrideDialogue, NamesListedByTheProgramAreAcceptedUnchanged) {
    ScratchDir dir;
    halomethaneRun(dir, ALL_KEPT);
    RunResult r = runTool("", "N\nN\n");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find(HEADING + SUCCESS), std::string::npos) << r.err;
    // the listing written by the program is itself a valid override file
    dir.write("Quandrele.in", dir.read("Quandrele.out"));
    r = runTool("", "");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find(HEADING + SUCCESS), std::string::npos) << r.err;
}

TEST(OverrideDialogue, AnswersYesAndNo) {
    ScratchDir dir;
    halomethaneRun(dir, TWO_CHANGED);
    RunResult r = runTool("", "Y\nN\n");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find(question("Quandrel", "H1c[1br1cl1f]", "H1x") + "Changed!\nto !H1x! H1x\n" +
                         question("quandrel", "Br1c", "Br1x") + "Not changed!\n" + SUCCESS),
              std::string::npos)
        << r.err;
}

TEST(OverrideDialogue, AnswerAllAndEmptyAnswers) {
    for (const char* answers : {"A\nN\n", "\n\n", ""}) {
        ScratchDir dir;
        halomethaneRun(dir, TWO_CHANGED);
        RunResult r = runTool("", answers);
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_NE(r.err.find("Changed!\nto !H1x! H1x\n" + question("quandrel", "Br1c", "Br1x") +
                             "Changed!\nto !Br1x! Br(1):\n" + SUCCESS),
                  std::string::npos)
            << '"' << answers << "\"\n"
            << r.err;
    }
}

TEST(OverrideDialogue, TooFewLinesEndTheRunWithCodeThree) {
    ScratchDir dir;
    halomethaneRun(dir, "F1c\nR-C1br1cl1f1h\n");
    RunResult r = runTool("", "");
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.err.find("\"Quandrele.in\" must have exact as many lines as there are atoms in your molecule!!\n"
                         "I'm skipping reading of Quandrele.in!!\n"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("|The Programm ends with an Error Code!"), std::string::npos) << r.err;
    EXPECT_FALSE(dir.exists("xd.res.quandreltool"));
}

TEST(OverrideDialogue, FirstCharacterMismatchEndsTheRunWithCodeThree) {
    ScratchDir dir;
    halomethaneRun(dir, "F1c\nC1br1cl1f1h\nH1c\nCl1c\nBr1c\n");
    RunResult r = runTool("", "");
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.err.find("Quandrel C1br1cl1f1h in \"Quandrele.in\" does not match to atom C(1)!\n"
                         "I'm skipping reading of Quandrele.in!!\n"),
              std::string::npos)
        << r.err;
}
