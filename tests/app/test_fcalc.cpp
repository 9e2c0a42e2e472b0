// -fcalc on a real refinement: DL-serine (XD2006, multipoles to l = 4) against XD's own
// F^2(calc) and the measured data, with the program's own PBE atoms.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <map>
#include <sstream>
#include <string>

#include "app/run.h"
#include "app/structurefactors.h"
#include "input/input.h"
#include "scattering/engine.h"
#include "testutil.h"

namespace {

using Hkl = std::array<int, 3>;

// F^2(calc) by index from the rows of an .fco-like text whose rows begin with h k l; the
// value is the column given (0-based, counting h k l).
std::map<Hkl, double> column(const std::string& text, int col) {
    std::map<Hkl, double> values;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream row(line);
        Hkl h;
        std::vector<double> rest;
        if (!(row >> h[0] >> h[1] >> h[2])) continue;
        double v;
        while (row >> v) rest.push_back(v);
        if (static_cast<int>(rest.size()) > col - 3) values[h] = rest[static_cast<std::size_t>(col - 3)];
    }
    return values;
}

// A scratch directory holding the serine refinement (read from the shared fixtures) and
// settings for XD input.
void prepareSerine(const ScratchDir& dir) {
    const std::string serine = sharedFixture("structure-factors/serine");
    for (const char* f : {"xd.mas", "xd.res", "xd.hkl", "radial.txt"}) dir.copyIn(serine + "/" + f, f);
    dir.write("qdltool.ini", "Inputtype[XD|MOPRO]=XD\nDABA_PATH=none.txt\n");
}

}  // namespace

TEST(Fcalc, SerineMatchesXdsOwnStructureFactorsAndTheMeasuredData) {
    ScratchDir dir;
    prepareSerine(dir);
    const RunResult r = runTool("-fcalc xd.hkl -radial radial.txt");
    ASSERT_EQ(r.code, 0) << r.err;
    ASSERT_TRUE(dir.exists("Quandrele.fco"));
    EXPECT_FALSE(dir.exists("xd.res.quandreltool")) << "an analysis that stops: no XD file written";

    // h k l stol F2obs sigma F2calc F2spherical
    const std::map<Hkl, double> ours = column(dir.read("Quandrele.fco"), 6);
    const std::map<Hkl, double> xd = column(slurp(sharedFixture("structure-factors/serine/xd.fco")), 3);
    ASSERT_GT(xd.size(), 4000u);
    double diff = 0, sum = 0;
    for (const auto& [h, f2] : xd) {
        const auto it = ours.find(h);
        ASSERT_NE(it, ours.end()) << h[0] << " " << h[1] << " " << h[2];
        diff += std::fabs(it->second - f2);
        sum += f2;
    }
    EXPECT_LT(diff / sum, 0.002) << "R(F^2) against XD's F^2(calc)";

    // "model: scale ...  R1(F) <obs> (...), <all> (all n) ..."
    const std::size_t at = r.out.find("model: scale");
    ASSERT_NE(at, std::string::npos) << r.out;
    const std::size_t all = r.out.find("), ", r.out.find("R1(F)", at));
    const double r1 = std::atof(r.out.c_str() + all + 3);
    EXPECT_GT(r1, 0.0225) << r.out;  // XD: 0.024 (all)
    EXPECT_LT(r1, 0.025) << r.out;
}

TEST(Fcalc, AMalformedReflectionLineNamesFileAndLine) {
    ScratchDir dir;
    prepareSerine(dir);
    dir.write("bad.hkl", "   1   0   0  100.00    2.00\n   2   0   x  100.00    2.00\n   0   0   0    0.00    0.00\n");
    const RunResult r = runTool("-fcalc bad.hkl");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("bad.hkl"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("2"), std::string::npos) << r.err;
}

namespace {

// Reflections of a small shell in SHELX HKLF 4 layout.
std::string shelxReflections(int maxIndex) {
    std::string text;
    char line[64];
    for (int h = 0; h <= maxIndex; ++h)
        for (int k = 0; k <= maxIndex; ++k)
            for (int l = 1; l <= maxIndex; ++l) {
                std::snprintf(line, sizeof line, "%4d%4d%4d%8.2f%8.2f\n", h, k, l, 100.0 + h + k + l, 2.0);
                text += line;
            }
    return text + "   0   0   0    0.00    0.00\n";
}

}  // namespace

TEST(Hkl, TheTscHoldsTheWrittenModelsOwnFormFactorsAtEveryEquivalent) {
    ScratchDir dir;
    dir.copyFolder(examplePath("l_alanine"));
    dir.write("data.hkl", shelxReflections(2));
    const RunResult r = runTool("-hkl data.hkl");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("transferred model: scale"), std::string::npos) << r.out;
    ASSERT_TRUE(dir.exists("Quandrele.fco"));

    // the model as written, read back with the program's readers
    std::unique_ptr<Quandrel> run;
    captureStdout([&] { captureStderr([&] { run = openRun(); }); });
    Structure written;
    std::copy(run->structure.cell, run->structure.cell + 6, written.cell);
    written.symmetry = run->structure.symmetry;
    std::copy(run->structure.scatTable, run->structure.scatTable + MAX_SCAT, written.scatTable);
    written.nScat = run->structure.nScat;
    readWrittenParameterFile(written, "xd.res.quandreltool");
    const scattering::Model model =
        modelOfStructure(written, run->opt, slurp("xd.mas.quandreltool"), "xd.mas.quandreltool");

    const std::vector<std::string> lines = linesOf(dir.read("Quandrele.tsc"));
    ASSERT_GT(lines.size(), 6u);
    EXPECT_EQ(lines[1], "SYMM: expanded");
    EXPECT_EQ(lines[2], "AD: FALSE");
    std::string scatterers = "SCATTERERS:";
    for (const scattering::Atom& a : model.atoms) scatterers += " " + a.label;
    EXPECT_EQ(lines[3], scatterers);
    EXPECT_EQ(lines[4], "DATA:");
    std::vector<scattering::Miller> hkl;
    std::vector<std::vector<std::complex<double>>> tabulated;
    for (std::size_t n = 5; n < lines.size(); ++n) {
        std::istringstream row(lines[n]);
        scattering::Miller h;
        row >> h[0] >> h[1] >> h[2];
        hkl.push_back(h);
        tabulated.emplace_back();
        std::string pair;
        while (row >> pair) {
            const std::size_t comma = pair.find(',');
            tabulated.back().emplace_back(std::atof(pair.substr(0, comma).c_str()), std::atof(pair.c_str() + comma + 1));
        }
    }
    // 18 reflections of P 21 21 21 and their equivalents: up to 8 indices each (Friedel mates included)
    EXPECT_GT(hkl.size(), 18u);
    const std::vector<std::complex<double>> f = scattering::atomFormFactors(model, hkl);
    double largest = 0;
    for (std::size_t n = 0; n < hkl.size(); ++n) {
        ASSERT_EQ(tabulated[n].size(), model.atoms.size()) << lines[n + 5];
        for (std::size_t j = 0; j < model.atoms.size(); ++j)
            largest = std::max(largest, std::abs(tabulated[n][j] - f[n * model.atoms.size() + j]));
    }
    EXPECT_LT(largest, 1e-5) << "the .tsc against the form factors of the written files";
}
