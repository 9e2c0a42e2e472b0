// "Fit to the data" of a run with -hkl, end to end on the L-alanine example: reflections made
// from the transferred model itself (on a scale of one half) are fitted by that model exactly
// and by spherical atoms worse; page and JSON carry the figures standard output prints; a run
// the structure-factor stage stops leaves no report.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>

#include "reporttest.h"

using nlohmann::json;

namespace {

// h k l stol F2obs sigma F2calc F2spherical rows of Quandrele.fco.
struct FcoRow {
    int h, k, l;
    double stol, f2obs, sigma, f2calc, f2spherical;
};

std::vector<FcoRow> fcoRows(const std::string& text) {
    std::vector<FcoRow> rows;
    for (const std::string& line : linesOf(text)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream in(line);
        FcoRow r{};
        if (in >> r.h >> r.k >> r.l >> r.stol >> r.f2obs >> r.sigma >> r.f2calc >> r.f2spherical) rows.push_back(r);
    }
    return rows;
}

// The four R-values standard output prints for a model ("<what>: scale ...").
std::vector<double> printedFigures(const std::string& out, const std::string& what) {
    const std::size_t at = out.find("\n" + what + ": scale ");
    if (at == std::string::npos) return {};
    double scale, r1o, r1a, wu, ws;
    int observed, all;
    if (std::sscanf(out.c_str() + at + what.size() + 1,
                    ": scale %lf  R1(F) %lf (%d with F^2 > 2 sigma), %lf (all %d)  wR2(F^2) %lf (unit weights), %lf",
                    &scale, &r1o, &observed, &r1a, &all, &wu, &ws) != 7)
        return {};
    return {scale, r1o, static_cast<double>(observed), r1a, static_cast<double>(all), wu, ws};
}

}  // namespace

TEST(FitToData, AModelFitsTheDataMadeFromItAndThePageAndJsonShowIt) {
    ScratchDir dir;
    dir.copyFolder(examplePath("l_alanine"));
    const RunResult plain = runTool();
    ASSERT_EQ(plain.code, 0) << plain.err;
    EXPECT_FALSE(json::parse(dir.read("Quandrele.json")).contains("fitToData")) << "only runs with -hkl";
    EXPECT_NE(dir.read("Quandrele.html").find("<!-- fit-to-data section -->"), std::string::npos);
    EXPECT_EQ(dir.read("Quandrele.html").find("Fit to the data"), std::string::npos);

    // the model's own F^2 at half scale, sigma 2 % (and a few tenths): a model that fits exactly
    dir.write("block.hkl", xdReflectionFile(indexBlock(5)));
    ASSERT_EQ(runTool("-hkl block.hkl").code, 0);
    std::vector<HklRow> made;
    for (const FcoRow& r : fcoRows(dir.read("Quandrele.fco")))
        made.push_back({r.h, r.k, r.l, 0.5 * r.f2calc, 0.02 * 0.5 * r.f2calc + 0.3});
    ASSERT_GT(made.size(), 100u);
    dir.write("made.hkl", xdReflectionFile(made));
    const RunResult r = runTool("-hkl made.hkl");
    ASSERT_EQ(r.code, 0) << r.err;

    const json run = json::parse(dir.read("Quandrele.json"));
    ASSERT_TRUE(run.contains("fitToData"));
    const json& fit = run["fitToData"];
    EXPECT_EQ(fit["reflectionFile"], "made.hkl");
    EXPECT_EQ(fit["reflections"].get<std::size_t>(), made.size());
    ASSERT_EQ(fit["models"].size(), 2u);
    const json& model = fit["models"][0];
    const json& spherical = fit["models"][1];
    EXPECT_EQ(model["model"], "transferred");
    EXPECT_EQ(spherical["model"], "spherical");
    EXPECT_NEAR(model["scale"].get<double>(), 0.5, 1e-4);
    EXPECT_LT(model["r1All"].get<double>(), 1e-3);
    EXPECT_GT(spherical["r1All"].get<double>(), 10 * model["r1All"].get<double>());

    // the JSON holds what standard output prints (to its digits)
    for (const auto& [what, m] : std::map<std::string, const json*>{{"transferred model", &model},
                                                                       {"spherical atoms", &spherical}}) {
        SCOPED_TRACE(what);
        const std::vector<double> printed = printedFigures(r.out, what);
        ASSERT_EQ(printed.size(), 7u) << r.out;
        const json& j = *m;
        EXPECT_NEAR(printed[0], j["scale"].get<double>(), 6e-6);
        EXPECT_NEAR(printed[1], j["r1Observed"].get<double>(), 6e-5);
        EXPECT_EQ(printed[2], j["observed"].get<int>());
        EXPECT_NEAR(printed[3], j["r1All"].get<double>(), 6e-5);
        EXPECT_EQ(printed[4], j["count"].get<int>());
        EXPECT_NEAR(printed[5], j["wR2Unit"].get<double>(), 6e-5);
        EXPECT_NEAR(printed[6], j["wR2Sigma"].get<double>(), 6e-5);

        // ten shells of equal count in order of sin(theta)/lambda, holding every reflection
        const json& shells = j["shells"];
        ASSERT_EQ(shells.size(), 10u);
        int counted = 0;
        double previous = 0;
        for (const json& s : shells) {
            EXPECT_GE(s["stolMin"].get<double>(), previous);
            EXPECT_GE(s["stolMax"].get<double>(), s["stolMin"].get<double>());
            EXPECT_LE(std::abs(s["count"].get<int>() - static_cast<int>(made.size()) / 10), 1);
            previous = s["stolMax"].get<double>();
            counted += s["count"].get<int>();
        }
        EXPECT_EQ(counted, static_cast<int>(made.size()));
    }
    // the spherical atoms miss the bonding density most in the lowest shell
    EXPECT_GT(spherical["shells"][0]["r1"].get<double>(), 5 * model["shells"][0]["r1"].get<double>());

    // the page: the section between the drawing and the atoms, its table, one marker per shell
    // and model, one point per observed reflection and model, whole in the browser
    const std::string page = dir.read("Quandrele.html");
    const std::size_t section = page.find("<section class=\"fit-to-data\">");
    ASSERT_NE(section, std::string::npos);
    EXPECT_LT(page.find("<h2>Structure</h2>"), section);
    EXPECT_LT(section, page.find("<h2>Atoms</h2>"));
    char cell[64];
    std::snprintf(cell, sizeof cell, "<td class=\"num\">%.5f</td>", model["scale"].get<double>());
    EXPECT_NE(page.find(cell, section), std::string::npos) << cell;
    std::snprintf(cell, sizeof cell, "<td class=\"num\">%.4f (%d)</td>", spherical["r1Observed"].get<double>(),
                  spherical["observed"].get<int>());
    EXPECT_NE(page.find(cell, section), std::string::npos) << cell;
    EXPECT_EQ(countOf(page, "<circle class=\"shell\""), 20);
    const std::size_t ratio = page.find("<svg class=\"plot fit-ratio\"", section);
    ASSERT_NE(ratio, std::string::npos);
    const std::string ratioPlot = page.substr(ratio, page.find("</svg>", ratio) - ratio);
    EXPECT_EQ(countOf(ratioPlot, "h0"), model["observed"].get<int>() + spherical["observed"].get<int>());
    EXPECT_EQ(countOf(page, "http"), countOf(page, "xmlns=\"http://www.w3.org/2000/svg\""));
    const PageProbe probe = probePage(dir.path() + "/Quandrele.html");
    EXPECT_EQ(probe.errors, 0) << probe.errorText;
}

// The structure factors come before the report: a reflection file they cannot read stops the
// run, and no report is left, not even that of an earlier run.
TEST(FitToData, AFailureOfTheStructureFactorsLeavesNoReport) {
    ScratchDir dir;
    dir.copyFolder(examplePath("l_alanine"));
    dir.write("block.hkl", xdReflectionFile(indexBlock(2)));
    ASSERT_EQ(runTool("-hkl block.hkl").code, 0);
    ASSERT_TRUE(dir.exists("Quandrele.html"));
    dir.write("bad.hkl", "TEST     F^2     NDAT    6\n   1   0   0  1 100.0 2.0\n   2   0   x  1 100.0 2.0\n");
    const RunResult r = runTool("-hkl bad.hkl");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("bad.hkl"), std::string::npos) << r.err;
    EXPECT_TRUE(dir.exists("xd.res.quandreltool"));
    EXPECT_FALSE(dir.exists("Quandrele.html"));
    EXPECT_FALSE(dir.exists("Quandrele.json"));
}
