// The program as a user runs it: switches, banners, exit codes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "testutil.h"

namespace {

const char* const BANNER =
    "\n"
    " ____________________________________________________________________________________\n"
    "|The Programm ends with an Error Code! Error was in function readIni                  |\n"
    "|_____________________________________________________________________________________|\n";

// A working directory with a complete small structure.
void prepareStructure(const ScratchDir& dir) { dir.copyFolder("fixtures/benzene"); }

}  // namespace

TEST(Program, VersionPrintsOnlyTheVersionLineAndCreatesNoFile) {
    for (const char* args : {"-Version", "-planar 0.5 -Version", "-INIPfad nowhere.ini -Version",
                             "-Version -INIPfad nowhere.ini"}) {
        ScratchDir dir;
        RunResult r = runTool(args);
        EXPECT_EQ(r.code, 0) << args;
        EXPECT_EQ(r.out.rfind("Versions Id: ''", 0), 0u) << args;
        EXPECT_EQ(r.out.substr(r.out.size() - 3), "''\n");
        EXPECT_EQ(countOf(r.out, "\n"), 1);
        EXPECT_NE(r.err.find("\n\nQuandrelTool"), std::string::npos) << "closing banner";
        EXPECT_EQ(r.err.find("succesfully opened"), std::string::npos) << "no settings read";
        EXPECT_FALSE(dir.exists("Quandrele.out"));
        EXPECT_FALSE(dir.exists("Quandrele.log"));
        EXPECT_FALSE(dir.exists("example4qdltool.ini"));
    }
}

TEST(Program, MissingSettingsFileWritesTheExampleAndEndsWithTheErrorBanner) {
    ScratchDir dir;
    RunResult r = runTool();
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("qdltool.ini: No such file or directory\n"), std::string::npos);
    EXPECT_NE(r.err.find("'example4qdltool.ini' succesfully written.\n"), std::string::npos);
    std::size_t banner = r.err.find(BANNER);
    ASSERT_NE(banner, std::string::npos) << r.err;
    std::size_t closing = r.err.find("\n\nQuandrelTool");
    ASSERT_NE(closing, std::string::npos);
    EXPECT_LT(banner, closing) << "the error banner comes before the closing banner";
    std::string example = dir.read("example4qdltool.ini");
    EXPECT_EQ(example.rfind("einfach_meso=0.084700\nmeso_zweifach=0.184000\nzweifach_dreifach=0.270000\n", 0), 0u);
    EXPECT_EQ(linesOf(example).size(), 12u);
    EXPECT_TRUE(dir.exists("Quandrele.out"));
    EXPECT_TRUE(dir.exists("Quandrele.log"));
}

TEST(Program, MissingIniPathFallsBackToQdltoolIni) {
    ScratchDir dir;
    prepareStructure(dir);
    RunResult r = runTool("-INIPfad missing.ini -findSymm");
    EXPECT_NE(r.err.find("missing.ini: No such file or directory\nqdltool.ini succesfully opened.\n"),
              std::string::npos)
        << r.err;
}

TEST(Program, FindSymmAndPlanarValues) {
    struct Row {
        const char* args;
        const char* expected;
    } rows[] = {
        {"-findSymm", "(main)SYMMTOL = 0.010000\n"},
        {"-findSymm 0.05 -planar 0.5", "(main)SYMMTOL = 0.050000\nPLANARIS = 0.500000\n"},
        // a switch after -findSymm is no tolerance: the default stays
        {"-findSymm -planar 0.5", "(main)SYMMTOL = 0.010000\nPLANARIS = 0.500000\n"},
        {"-planar 0.7 -findSymm 1e-3", "PLANARIS = 0.700000\n(main)SYMMTOL = 0.001000\n"},
        {"-findSymm 0.02 -planar", "(main)SYMMTOL = 0.020000\nPLANARIS = 0.800000\n"},
    };
    for (const Row& row : rows) {
        ScratchDir dir;
        prepareStructure(dir);
        RunResult r = runTool(row.args);
        EXPECT_EQ(r.code, 0) << row.args << "\n" << r.err;
        EXPECT_NE(r.out.find(row.expected), std::string::npos) << row.args << "\n" << r.out;
        EXPECT_NE(r.out.find("____________________________________\nBond axis symmetry analysis is done.\n"
                             "____________________________________\n"),
                  std::string::npos);
        EXPECT_FALSE(dir.exists("xd.res.quandreltool")) << "no writer stage after -findSymm";
    }
}

TEST(Program, DatabasePathSwitchDoesNotChangeTheExampleSettingsFile) {
    ScratchDir dir;
    prepareStructure(dir);
    runTool("-findSymm -DBPfad /elsewhere/db.txt");
    EXPECT_NE(dir.read("example4qdltool.ini").find("DABA_PATH=DABA.txt\n"), std::string::npos);
}

TEST(Program, DatabasePathSwitchAsLastArgumentIsIgnored) {
    ScratchDir dir;
    prepareStructure(dir);
    RunResult r = runTool("-findSymm 0.01 -DBPfad");
    EXPECT_EQ(r.code, 0) << r.err;
}

TEST(Program, OverlongSwitchValueIsRefused) {
    ScratchDir dir;
    RunResult r = runTool("-INIPfad " + std::string(300, 'x'));
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("The value of -INIPfad is longer than 219 characters."), std::string::npos);
}

TEST(Program, SegmentationFaultEndsWithTheMessageBothBannersAndExitOne) {
    ScratchDir dir;
    prepareStructure(dir);
    // A name override asks a question on standard input; the program waits there for the signal.
    dir.write("Quandrele.in", "6-C-changed\n");
    std::string script = "mkfifo answers && (" + std::string(QUANDRELTOOL_BIN) +
                         " < answers > out 2> err & pid=$!; exec 3> answers; sleep 1; kill -SEGV $pid; wait $pid;"
                         " echo $? > rc)";
    ASSERT_EQ(std::system(("sh -c '" + script + "'").c_str()), 0);
    EXPECT_EQ(dir.read("rc"), "1\n");
    std::string err = dir.read("err");
    EXPECT_NE(err.find("SIGSEGV: "), std::string::npos) << err;
    std::size_t message = err.find("A segmentation fault was detected. \n");
    std::size_t banner = err.find("|The Programm ends with an Error Code! Error was in function ");
    std::size_t closing = err.find("\n\nQuandrelTool");
    ASSERT_NE(message, std::string::npos) << err;
    ASSERT_NE(banner, std::string::npos) << err;
    ASSERT_NE(closing, std::string::npos) << err;
    EXPECT_LT(message, banner);
    EXPECT_LT(banner, closing);
}

TEST(Program, HelpPrintsTheUsageAndTouchesNothing) {
    for (const char* args : {"-help", "-h", "--help", "-planar 0.5 -h"}) {
        ScratchDir dir;
        prepareStructure(dir);
        dir.write("DABA.txt", "! nothing\n");
        RunResult r = runTool(args);
        EXPECT_EQ(r.code, 0) << args;
        EXPECT_EQ(r.out.rfind("Usage: quandreltool", 0), 0u) << args;
        for (const char* mentioned : {"-INIPfad", "-DBPfad", "-findSymm", "-planar", "-symmBonds", "-asymOnly",
                                      "-Version", "qdltool.ini",
                                      "xd.res.quandreltool", "Quandrele.json", "Quandrele.html", "DABA_PATH=",
                                      "achieve_neutrality[0-3]=", "Hydrogen-Constrain[Uiso|riding|both|none]="})
            EXPECT_NE(r.out.find(mentioned), std::string::npos) << mentioned;
        EXPECT_FALSE(dir.exists("Quandrele.out")) << args;
        EXPECT_FALSE(dir.exists("Quandrele.log"));
        EXPECT_FALSE(dir.exists("example4qdltool.ini"));
        EXPECT_FALSE(dir.exists("Quandrele.json"));
    }
}

TEST(Program, AFailingRunEndsWithItsMessageTheErrorBannerAndTheClosingBannerInThisOrder) {
    const std::string end =
        "can't open xd.res.quandreltool. : Is a directory\n"
        "\n"
        " ____________________________________________________________________________________\n"
        "|The Programm ends with an Error Code! Error was in function setupNewInp_and_MasFile  |\n"
        "|_____________________________________________________________________________________|\n"
        "\n\n"
        "QuandrelTool - transfer of aspherical-atom multipole parameters; check every transferred value before you "
        "refine.\n"
        "\n\n";
    // without report files, the report goes to the standard streams, which must stay open up to the end
    for (bool withoutReportFiles : {false, true}) {
        SCOPED_TRACE(withoutReportFiles ? "report on the standard streams" : "report files");
        ScratchDir dir;
        dir.copyFolder(examplePath("l_alanine"));
        std::string folders = "xd.res.quandreltool";
        if (withoutReportFiles) folders += " Quandrele.out Quandrele.log";
        ASSERT_EQ(std::system(("mkdir " + folders).c_str()), 0);
        RunResult r = runTool();
        EXPECT_EQ(r.code, 1);
        ASSERT_GE(r.err.size(), end.size()) << r.err;
        EXPECT_EQ(r.err.substr(r.err.size() - end.size()), end);

        // both streams into one file: standard output not yet written goes out after the banners
        const int status = std::system((std::string(QUANDRELTOOL_BIN) + " < /dev/null > both 2>&1").c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 1);
        const std::string both = dir.read("both");
        const std::size_t at = both.find(end);
        ASSERT_NE(at, std::string::npos) << both;
        const std::string rest = both.substr(at + end.size());
        EXPECT_FALSE(rest.empty());
        ASSERT_GE(r.out.size(), rest.size());
        EXPECT_EQ(r.out.substr(r.out.size() - rest.size()), rest);
    }
}
