// The whole program on the bundled example: every output file and both standard streams
// are compared with the checked-in expected files under tests/data/output/expected.
#include <dirent.h>
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "testutil.h"

namespace {

const char* const OUTPUTS[] = {
    "xd.res.quandreltool", "xd.mas.quandreltool", "xd.mas.HasSameSymm", "Quandrele.out",
    "Quandrele.log",       "Quandrele.descent",   "symmetry.txt",       "example4qdltool.ini",
};
const char* const INPUTS[] = {"xd.mas", "xd.res", "DABA.txt", "qdltool.ini"};

std::set<std::string> filesIn(const std::string& path) {
    std::set<std::string> names;
    if (DIR* d = opendir(path.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') names.insert(e->d_name);
        closedir(d);
    }
    return names;
}

// Runs the program on the example with the settings file given (empty: the example's own)
// and compares everything with expected/<name>.
void checkRun(const std::string& name, const std::string& settings) {
    ScratchDir dir;
    dir.copyFolder(examplePath("l_alanine"));
    if (!settings.empty()) dir.copyIn(settings, "qdltool.ini");
    const std::string qdltool = dir.read("qdltool.ini");

    RunResult r = runTool();
    const std::string expected = dataPath("output/expected/" + name) + "/";
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, slurp(expected + "stdout.txt")) << "standard output";
    EXPECT_EQ(r.err, slurp(expected + "stderr.txt")) << "standard error";
    for (const char* file : OUTPUTS) {
        ASSERT_TRUE(dir.exists(file)) << file;
        EXPECT_EQ(dir.read(file), slurp(expected + file)) << file;
    }

    // the fragments were merged and removed; nothing else was left behind but the run report
    std::set<std::string> want(std::begin(OUTPUTS), std::end(OUTPUTS));
    want.insert(std::begin(INPUTS), std::end(INPUTS));
    want.insert({"Quandrele.json", "Quandrele.html"});
    EXPECT_EQ(filesIn(dir.path()), want);

    // the input files are never changed
    for (const char* file : {"xd.mas", "xd.res", "DABA.txt"})
        EXPECT_EQ(dir.read(file), slurp(examplePath(std::string("l_alanine/") + file))) << file;
    EXPECT_EQ(dir.read("qdltool.ini"), qdltool);
}

}  // namespace

TEST(EndToEnd, BundledExampleGivesTheExpectedFilesAndStreams) { checkRun("l_alanine", ""); }

TEST(EndToEnd, BundledExampleWithBothHydrogenConstraintsAndScaledMonopoles) {
    checkRun("l_alanine_both", "output/l_alanine_both/qdltool.ini");
}

namespace {

// The fields of the ATOM table lines of a master file, labels of `longer` put back.
std::vector<std::vector<std::string>> atomTableOf(const std::string& mas,
                                                  const std::vector<std::pair<std::string, std::string>>& longer) {
    std::vector<std::vector<std::string>> rows;
    bool inside = false;
    for (const std::string& line : linesOf(mas)) {
        if (line == "END ATOM") break;
        if (inside) {
            std::vector<std::string> fields;
            std::istringstream words(line);
            for (std::string w; words >> w;) {
                for (const auto& [shortLabel, longLabel] : longer)
                    if (w == longLabel) w = shortLabel;
                fields.push_back(w);
            }
            rows.push_back(fields);
        }
        if (line.rfind("ATOM     ATOM0", 0) == 0) inside = true;
    }
    return rows;
}

}  // namespace

TEST(EndToEnd, LabelsOfAnyLengthKeepEveryAtomsFrame) {
    // The example with labels of 9 to 19 characters: both master files carry the frame of
    // every atom, field for field as with the short labels; lines that hold no long label
    // are the same bytes.
    const std::vector<std::pair<std::string, std::string>> longer = {
        {"C(1)", "C(1)methy"}, {"N(1)", "N(1)ammonium"}, {"H(N1A)", "H(N1A)_nineteen_chr"}};
    ScratchDir plain;
    plain.copyFolder(examplePath("l_alanine"));
    ASSERT_EQ(runTool().code, 0);
    const std::string plainFirst = plain.read("xd.mas.quandreltool"), plainSecond = plain.read("xd.mas.HasSameSymm");

    ScratchDir dir;
    dir.copyFolder(examplePath("l_alanine"));
    for (const char* file : {"xd.mas", "xd.res"}) {
        std::string text = dir.read(file);
        for (const auto& [shortLabel, longLabel] : longer)
            for (std::size_t at = text.find(shortLabel); at != std::string::npos;
                 at = text.find(shortLabel, at + longLabel.size()))
                text.replace(at, shortLabel.size(), longLabel);
        dir.write(file, text);
    }
    const RunResult r = runTool();
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err.find("belongs to no atom"), std::string::npos) << r.err;
    const std::pair<std::string, std::string> files[] = {{plainFirst, dir.read("xd.mas.quandreltool")},
                                                          {plainSecond, dir.read("xd.mas.HasSameSymm")}};
    for (const auto& [before, after] : files) {
        const auto want = atomTableOf(before, {});
        EXPECT_EQ(atomTableOf(after, longer), want);
        EXPECT_EQ(want.size(), 15u);  // 13 atoms and 2 dummies
        int untouched = 0;
        for (const std::string& line : linesOf(after)) {
            bool holdsLong = false;
            for (const auto& labels : longer) holdsLong = holdsLong || line.find(labels.second) != std::string::npos;
            if (holdsLong || line.find("  R  ") == std::string::npos) continue;
            EXPECT_NE(before.find(line + "\n"), std::string::npos) << line;
            ++untouched;
        }
        EXPECT_GE(untouched, 3);
    }
}
