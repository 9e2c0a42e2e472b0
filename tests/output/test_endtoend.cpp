// The whole program on the bundled example: every output file and both standard streams
// are compared with the checked-in expected files under tests/data/output/expected.
#include <dirent.h>
#include <gtest/gtest.h>

#include <set>
#include <string>

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
