// Whole runs from a SHELX file: every real pair of a SHELXL .res and the CIF that SHELXL
// wrote from it gives the same atoms, names and values in both runs; bad input ends the
// run with the line and writes nothing.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "run_output.h"
#include "shelx_pairs.h"
#include "testutil.h"

namespace {

using namespace shelxpairs;

// The values of one atom record of a new parameter file.
struct AtomValues {
    double frac[3] = {0, 0, 0};
    double occupancy = 0;
    double u[6] = {0, 0, 0, 0, 0, 0};
};

// Atom records of a new parameter file by label in upper case (SHELXL writes "FE1" in the
// .res and "Fe1" in the CIF).
std::map<std::string, AtomValues> atomValuesOf(const std::string& res) {
    std::map<std::string, AtomValues> atoms;
    for (const AtomRecordText& r : atomRecords(res)) {
        AtomValues& a = atoms[upper(r.words[0])];
        for (int c = 0; c < 3; ++c) a.frac[c] = std::stod(r.words[12 + static_cast<std::size_t>(c)]);
        a.occupancy = std::stod(r.words[15]);
        std::istringstream u(r.uLine);
        for (double& v : a.u) u >> v;
    }
    return atoms;
}

// Quandrel name of every atom, from the run's standard output, by upper-case label.
std::map<std::string, std::string> namesOf(const std::string& out) {
    std::map<std::string, std::string> names;
    for (const auto& [label, name] : quandrelNames(out)) names[upper(label)] = name;
    return names;
}

struct ToolRun {
    RunResult result;
    std::map<std::string, std::string> names;
    std::map<std::string, AtomValues> atoms;
};

ToolRun runFrom(const std::string& file) {
    ScratchDir dir;
    dir.copyIn(examplePath("l_alanine_cif/DABA.txt"), "DABA.txt");
    dir.copyIn(examplePath("l_alanine_cif/qdltool.ini"), "qdltool.ini");
    ToolRun r;
    r.result = runTool("-input " + file);
    r.names = namesOf(r.result.out);
    r.atoms = atomValuesOf(dir.read("xd.res.quandreltool"));
    return r;
}

// Printed values of both runs agree within what the CIF prints: its rounding, and the
// rounding of the parameter file's own columns (F10.6, occupancy F7.4).
TEST(ShelxRuns, EveryRealPairGivesTheAtomsNamesAndValuesOfItsCif) {
    for (const ResCifPair& pair : REAL_PAIRS) {
        SCOPED_TRACE(pair.res);
        const ToolRun fromRes = runFrom(sharedFixture(pair.res));
        const ToolRun fromCif = runFrom(sharedFixture(pair.cif));
        ASSERT_EQ(fromRes.result.code, 0) << fromRes.result.err;
        ASSERT_EQ(fromCif.result.code, 0) << fromCif.result.err;
        const CifModel printed = readCif(sharedFixture(pair.cif));
        ASSERT_GT(fromCif.atoms.size(), 0u);
        EXPECT_EQ(fromRes.atoms.size(), fromCif.atoms.size());
        EXPECT_EQ(fromRes.names, fromCif.names);
        EXPECT_EQ(fromRes.names.size(), fromCif.atoms.size());
        for (const auto& [label, expected] : fromCif.atoms) {
            SCOPED_TRACE(label);
            const auto found = fromRes.atoms.find(label);
            ASSERT_NE(found, fromRes.atoms.end()) << "atom missing in the run from the .res";
            const AtomValues& actual = found->second;
            const CifSite& p = printed.sites.at(label);
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(actual.frac[c], expected.frac[c], p.fracPrecision[c] + 1e-6) << "xyz"[c];
            // the CIF's occupancy is divided by the order of the site symmetry (at most 48)
            EXPECT_NEAR(actual.occupancy, expected.occupancy, p.occupancyPrecision + 1e-4) << "occupancy";
            for (int c = 0; c < 6; ++c) EXPECT_NEAR(actual.u[c], expected.u[c], p.uPrecision + 3e-5) << "U" << c;
        }
    }
}

TEST(ShelxRuns, TheSettingsSelectAnInsFile) {
    ScratchDir dir;
    dir.copyIn(examplePath("l_alanine_cif/DABA.txt"), "DABA.txt");
    std::string ini = slurp(examplePath("l_alanine_cif/qdltool.ini"));
    ini.replace(ini.find("Inputtype[XD|MOPRO]=CIF"), 23, "Inputtype[XD|MOPRO]=SHELX");
    ini.replace(ini.find("Inputfile(empty for XD)=l_alanine.cif"), 37, "Inputfile(empty for XD)=special.ins");
    dir.write("qdltool.ini", ini);
    dir.copyIn(dataPath("shelx/special.ins"), "special.ins");
    const RunResult r = runTool();
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Reading SHELX file special.ins: 5 atoms, LATT C R with 5 SYMM card(s)."), std::string::npos)
        << r.out;
    const std::map<std::string, AtomValues> atoms = atomValuesOf(dir.read("xd.res.quandreltool"));
    ASSERT_EQ(atoms.size(), 5u);
    EXPECT_DOUBLE_EQ(atoms.at("FE1").occupancy, 0.1667);
    EXPECT_DOUBLE_EQ(atoms.at("CL1'").occupancy, 0.1150);  // 0.5 (1 - 0.77)
    EXPECT_NE(dir.read("xd.mas.quandreltool").find("LATT  C R\nSYMM     -Y,X-Y,Z\nSYMM     -X+Y,-X,Z\nSYMM     Y,X,1/2-Z\n"
                                                         "SYMM     -X,-X+Y,1/2-Z\nSYMM     X-Y,-Y,1/2-Z\n"),
              std::string::npos);
}

TEST(ShelxRuns, BadInputEndsTheRunWithTheLineAndWritesNothing) {
    ScratchDir dir;
    dir.copyIn(examplePath("l_alanine_cif/DABA.txt"), "DABA.txt");
    dir.copyIn(examplePath("l_alanine_cif/qdltool.ini"), "qdltool.ini");
    dir.write("bad.res",
              "TITL bad\nCELL 0.71073 10 10 10 90 90 90\nSFAC C H\n"
              "C1 7 0.1 0.2 0.3 11.0 0.02\nHKLF 4\n");
    const RunResult r = runTool("-input bad.res");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("bad.res, line 4: atom C1: the SFAC number 7 is unknown"), std::string::npos) << r.err;
    EXPECT_FALSE(dir.exists("xd.res.quandreltool"));
    EXPECT_FALSE(dir.exists("xd.mas.quandreltool"));
}

}  // namespace
