// -fcalc on a real refinement: DL-serine (XD2006, multipoles to l = 4) against XD's own
// F^2(calc) and the measured data, with the program's own PBE atoms.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>

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
