// Whole runs from a CIF: the real pairs of a CIF and the same structure as XD files give the
// same names and values; the new XD files of a CIF run are valid input of a second run;
// the input selection and bad input end the run cleanly.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cif_text.h"
#include "run_output.h"
#include "testutil.h"

namespace {

// "label: quandrel name" of every atom, from the run's standard output.
std::vector<std::string> namesOf(const std::string& out) {
    std::vector<std::string> names;
    for (const auto& [label, name] : quandrelNames(out)) names.push_back(label + ": " + name);
    return names;
}

// Label, coordinates and occupancy, then the six U values, of every atom record of a new
// parameter file, as printed.
std::vector<std::string> atomValuesOf(const std::string& res) {
    std::vector<std::string> values;
    for (const AtomRecordText& r : atomRecords(res)) {
        const std::vector<std::string>& w = r.words;
        values.push_back(w[0] + " " + w[12] + " " + w[13] + " " + w[14] + " " + w[15] + " |" + r.uLine);
    }
    return values;
}

struct ToolRun {
    RunResult result;
    std::vector<std::string> names, values;
    std::string mas, res;
};

// Runs the program in dir (already filled) with the arguments.
ToolRun runIn(const ScratchDir& dir, const std::string& args = "") {
    ToolRun r;
    r.result = runTool(args);
    r.names = namesOf(r.result.out);
    r.res = dir.read("xd.res.quandreltool");
    r.mas = dir.read("xd.mas.quandreltool");
    r.values = atomValuesOf(r.res);
    return r;
}

std::vector<std::string> pairFolders() {
    const std::string root = sharedFixture("cif");
    std::vector<std::string> folders;
    DIR* d = opendir(root.c_str());
    if (d == nullptr) return folders;
    while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name[0] != '.' && !slurp(root + "/" + name + "/structure.cif").empty()) folders.push_back(name);
    }
    closedir(d);
    std::sort(folders.begin(), folders.end());
    return folders;
}

void expectSameNamesAndValues(const ToolRun& expected, const ToolRun& actual, std::size_t atoms) {
    EXPECT_EQ(actual.result.code, 0) << actual.result.err;
    EXPECT_EQ(actual.names.size(), atoms);
    EXPECT_EQ(actual.names, expected.names);
    EXPECT_EQ(actual.values.size(), atoms);
    EXPECT_EQ(actual.values, expected.values);
}

TEST(CifRuns, EveryRealPairGivesTheNamesAndValuesOfTheXdRunAndOurOutputReadsBack) {
    const std::vector<std::string> folders = pairFolders();
    ASSERT_GE(folders.size(), 5u);
    for (const std::string& folder : folders) {
        SCOPED_TRACE(folder);
        const std::string pair = sharedFixture("cif/" + folder);
        ToolRun fromXd;
        {
            ScratchDir dir;
            dir.copyFolder(pair + "/xd");
            fromXd = runIn(dir);
        }
        ASSERT_EQ(fromXd.result.code, 0) << fromXd.result.err;
        const std::size_t atoms = fromXd.values.size();
        ASSERT_GT(atoms, 0u);

        ToolRun fromCif;
        {
            ScratchDir dir;
            dir.copyIn(pair + "/xd/DABA.txt", "DABA.txt");
            dir.copyIn(pair + "/xd/qdltool.ini", "qdltool.ini");
            fromCif = runIn(dir, "-input " + pair + "/structure.cif");
            EXPECT_FALSE(dir.exists("xd.mas")) << "the program never writes xd.mas";
        }
        expectSameNamesAndValues(fromXd, fromCif, atoms);
        EXPECT_NE(fromCif.result.out.find("Reading data block"), std::string::npos);

        // the new files of the CIF run as XD input of a second run (the parts as xd_part.aux)
        ToolRun again;
        {
            ScratchDir dir;
            dir.copyIn(pair + "/xd/DABA.txt", "DABA.txt");
            dir.copyIn(pair + "/xd/qdltool.ini", "qdltool.ini");
            const std::string part = slurp(pair + "/xd/xd_part.aux");
            if (!part.empty()) dir.write("xd_part.aux", part);
            dir.write("xd.mas", fromCif.mas);
            dir.write("xd.res", fromCif.res);
            again = runIn(dir);
        }
        expectSameNamesAndValues(fromCif, again, atoms);
    }
}

TEST(CifRuns, TheCifExampleGivesTheNamesAndValuesOfTheXdExample) {
    ToolRun fromXd, fromCif;
    {
        ScratchDir dir;
        dir.copyFolder(examplePath("l_alanine"));
        fromXd = runIn(dir);
    }
    {
        ScratchDir dir;
        dir.copyFolder(examplePath("l_alanine_cif"));
        fromCif = runIn(dir);
        EXPECT_NE(dir.read("example4qdltool.ini").find("Inputtype[XD|MOPRO]=CIF\nInputfile(empty for XD)=l_alanine.cif\n"),
                  std::string::npos);
        EXPECT_TRUE(dir.exists("xd.mas.HasSameSymm"));
        EXPECT_NE(dir.read("Quandrele.json").find("\"Inputtype\": \"CIF\""), std::string::npos) << "the run report";
    }
    expectSameNamesAndValues(fromXd, fromCif, 13);
    EXPECT_NE(fromCif.result.out.find("Reading data block l_alanine of l_alanine.cif"), std::string::npos);
    EXPECT_NE(fromCif.result.out.find("There is no xd.mas: the master file built from l_alanine.cif is the template"),
              std::string::npos);
    EXPECT_NE(fromCif.mas.find("\nLATT  A P\nSYMM     1/2-X,-Y,1/2+Z\nSYMM     -X,1/2+Y,1/2-Z\nSYMM     1/2+X,1/2-Y,-Z\n"),
              std::string::npos)
        << fromCif.mas;
    EXPECT_NE(fromCif.res.find("\nl_alanine   MODEL  4  2  1  0\n"), std::string::npos) << "the title is the block name";
}

TEST(CifRuns, AnXdMasInTheWorkingDirectoryIsTheTemplate) {
    ScratchDir dir;
    dir.copyFolder(examplePath("l_alanine_cif"));
    dir.copyIn(examplePath("l_alanine/xd.mas"), "xd.mas");
    const ToolRun r = runIn(dir);
    EXPECT_EQ(r.result.code, 0) << r.result.err;
    EXPECT_NE(r.mas.find("\nBANK    CR\n"), std::string::npos) << "the cards of the given xd.mas";
    EXPECT_EQ(r.result.out.find("There is no xd.mas"), std::string::npos);
}

TEST(CifRuns, TwoBlocksTheFirstWithAtomsIsReadUnlessTheBlockSwitchNamesAnother) {
    ScratchDir dir;
    dir.copyIn(examplePath("l_alanine_cif/DABA.txt"), "DABA.txt");
    dir.copyIn(examplePath("l_alanine/qdltool.ini"), "qdltool.ini");
    CifText water, methane;
    water.block = "water";
    methane.block = "methane";
    methane.atoms =
        "C1 C 0.30 0.30 0.30 0.02 1 .\nH1 H 0.39 0.30 0.30 0.03 1 .\nH2 H 0.27 0.38 0.30 0.03 1 .\n"
        "H3 H 0.27 0.26 0.37 0.03 1 .\nH4 H 0.27 0.26 0.23 0.03 1 .\n";
    methane.aniso = "";
    dir.write("two.cif", water.text() + methane.text());

    ToolRun first = runIn(dir, "-input two.cif");
    EXPECT_EQ(first.result.code, 0) << first.result.err;
    EXPECT_NE(first.result.out.find("Reading data block water of two.cif (2 block(s) in the file)"), std::string::npos);
    EXPECT_EQ(first.names.size(), 4u);
    ToolRun second = runIn(dir, "-block methane -input two.cif");
    EXPECT_EQ(second.result.code, 0) << second.result.err;
    EXPECT_EQ(second.names.size(), 5u);
    EXPECT_NE(second.res.find("\nmethane   MODEL"), std::string::npos);
}

TEST(CifRuns, BadInputEndsWithExitOneAndWritesNoNewFile) {
    CifText bad;
    bad.atoms = "O1 O 0.1 ? 0.3 0.02 1 .\n";
    struct Case {
        const char* what;
        std::string settings;  // replaces the input lines of the settings file
        std::string args;
        const char* message;
    } cases[] = {
        {"not a CIF", "", "-input letter.cif", "letter.cif is no CIF that can be read"},
        {"bad site", "", "-input bad.cif", "bad.cif, data block test: site O1 has no usable coordinate y"},
        {"unknown extension", "", "-input structure.txt", "-input structure.txt: the file name must end in .cif"},
        {"switch without value", "", "-input", "The switch -input needs a value."},
        {"settings without a file", "Inputtype[XD|MOPRO]=CIF\nInputfile(empty for XD)=\n", "",
         "Inputtype CIF needs the file named by"},
        {"settings naming a missing CIF", "Inputtype[XD|MOPRO]=CIF\nInputfile(empty for XD)=gone.cif\n", "", "gone.cif"},
        {"missing SHELX file", "", "-input gone.res", "gone.res"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDir dir;
        dir.copyIn(examplePath("l_alanine/DABA.txt"), "DABA.txt");
        std::string ini = slurp(examplePath("l_alanine/qdltool.ini"));
        if (!c.settings.empty())
            ini.replace(ini.find("Inputtype"), ini.find("Path_to") - ini.find("Inputtype"), c.settings);
        dir.write("qdltool.ini", ini);
        dir.write("letter.cif", "Dear colleague,\nplease find the structure attached.\n");
        dir.write("bad.cif", bad.text());
        const RunResult r = runTool(c.args);
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        for (const char* output : {"xd.res.quandreltool", "xd.mas.quandreltool", "xd.mas.HasSameSymm", "xd.mas"})
            EXPECT_FALSE(dir.exists(output)) << output;
    }
}

}  // namespace
