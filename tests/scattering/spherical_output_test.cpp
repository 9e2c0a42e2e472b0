// The spherical-atom pipeline against a reference source, the fit statistics, and the
// .fco and .tsc files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include <gemmi/it92.hpp>

#include "helpers.h"
#include "scattering/engine.h"
#include "scattering/statistics.h"
#include "scattering/writers.h"
#include "sources.h"
#include "testutil.h"

namespace sc = scattering;

namespace {

// A spherical source checked against IT92: with every multipole zero, kappa 1 and the
// neutral valence population the engine's f(h) is the source's atom. Another source (the
// atom solver's) enters as one more row with its own tolerance.
struct SphericalSource {
    const char* name;
    testsources::Source tables;
    double tolerance;  // largest |f - f_IT92| / Z
};

TEST(SphericalAtoms, ReproduceIt92) {
    const SphericalSource sources[] = {
        {"IT92 itself", [](int z) { return testsources::it92Table(z, 2); }, 1e-4},
    };
    for (const SphericalSource& source : sources)
        for (int z : {6, 7, 8}) {
            sc::Model m = scatteringtest::oneTypeModel(z, 2, 5.1, 6.3, 7.7, 97);
            m.types[0].table = source.tables(z);
            m.atoms = {scatteringtest::atomAt("A", {0.1, 0.2, 0.3}, z - 2)};
            const std::vector<sc::Miller> hkl = scatteringtest::indicesUpTo(6);
            const auto f = sc::atomFormFactors(m, hkl);
            const auto& coef = gemmi::IT92<double>::get(static_cast<gemmi::El>(z));
            double worst = 0;
            for (std::size_t r = 0; r < hkl.size(); ++r) {
                const double stl = sc::sinThetaOverLambda(m.cell, hkl[r]);
                worst = std::max(worst, std::abs(f[r] - coef.calculate_sf(stl * stl)) / z);
            }
            EXPECT_LT(worst, source.tolerance) << source.name << ", Z = " << z;
        }
}

TEST(SphericalAtoms, TableMustReachTheData) {
    sc::Model m = scatteringtest::oneTypeModel(6, 2);
    m.types[0].table = testsources::it92Table(6, 2, 0.05, 0.3);
    m.atoms = {scatteringtest::atomAt("C1", {0, 0, 0}, 4)};
    EXPECT_TRUE(stopsWith([&] { sc::structureFactors(m, {{9, 9, 9}}); }, 1, "table of E reaches sin(theta)/lambda 0.300"));
}

TEST(FitStatistics, ScaleAndAgreementFactors) {
    std::vector<sc::Reflection> data(2);
    data[0].f2 = 4;
    data[0].sigma = 1;
    data[1].f2 = 1;
    data[1].sigma = 1;
    const sc::FitStatistics s = sc::fitStatistics(data, {1, 1});
    EXPECT_DOUBLE_EQ(s.scale, 2.5);
    EXPECT_NEAR(s.r1All, 1.0 / 3, 1e-12);
    EXPECT_NEAR(s.r1Observed, (2 - std::sqrt(2.5)) / 2, 1e-12);
    EXPECT_EQ(s.observed, 1);
    EXPECT_NEAR(s.wr2Unit, std::sqrt(4.5 / 17), 1e-12);
    // 1/sigma^2 weights pull the scale towards the precise reflection
    data[1].sigma = 0.1;
    const sc::FitStatistics w = sc::fitStatistics(data, {1, 1});
    EXPECT_NEAR(w.scale, (4 + 100.0) / 101, 1e-12);
    EXPECT_NEAR(w.wr2Sigma, std::sqrt((std::pow(4 - w.scale, 2) + 100 * std::pow(1 - w.scale, 2)) / (16 + 100)), 1e-12);
}

// Shells of equal count in order of sin(theta)/lambda (the input order shuffled): their sizes
// for counts that divide, do not divide and fall short of the shells asked for.
TEST(ResolutionShells, EqualCountsInOrderOfResolution) {
    struct Case {
        int reflections, shells;
        std::vector<int> counts;
    };
    for (const Case& c : {Case{20, 4, {5, 5, 5, 5}}, Case{23, 4, {6, 6, 6, 5}}, Case{3, 10, {1, 1, 1}},
                          Case{0, 10, {}}}) {
        SCOPED_TRACE(c.reflections);
        std::vector<sc::Reflection> data(static_cast<std::size_t>(c.reflections));
        std::vector<double> stol, f2calc;
        for (int i = 0; i < c.reflections; ++i) {
            data[static_cast<std::size_t>(i)].f2 = 4;
            stol.push_back(0.01 * ((i * 7) % std::max(c.reflections, 1)));  // every value once, shuffled
            f2calc.push_back(1);
        }
        const std::vector<sc::ResolutionShell> shells = sc::resolutionShells(data, stol, f2calc, 4.0, c.shells);
        std::vector<int> counts;
        double previous = -1;
        for (const sc::ResolutionShell& s : shells) {
            counts.push_back(s.count);
            EXPECT_GT(s.stolMin, previous);
            EXPECT_GE(s.stolMax, s.stolMin);
            EXPECT_NEAR(s.stolMax - s.stolMin, 0.01 * (s.count - 1), 1e-12);
            previous = s.stolMax;
            EXPECT_NEAR(s.r1, 0, 1e-12);  // F2obs = k F2calc everywhere
        }
        EXPECT_EQ(counts, c.counts);
    }
}

// R1 of a shell: sum |Fo - sqrt(k) Fc| / sum Fo over its reflections alone, on the given scale.
TEST(ResolutionShells, R1OfEachShellOnTheOverallScale) {
    std::vector<sc::Reflection> data(4);
    const double f2obs[4] = {4, 9, 16, 1};
    for (int i = 0; i < 4; ++i) data[static_cast<std::size_t>(i)].f2 = f2obs[i];
    const std::vector<double> stol = {0.4, 0.1, 0.3, 0.2};
    const std::vector<double> f2calc = {1, 1, 4, 1};
    const std::vector<sc::ResolutionShell> shells = sc::resolutionShells(data, stol, f2calc, 4.0, 2);
    ASSERT_EQ(shells.size(), 2u);
    // low shell: stol 0.1 (Fo 3, 2 Fc 2) and 0.2 (Fo 1, 2 Fc 2); high: 0.3 (4, 4) and 0.4 (2, 2)
    EXPECT_NEAR(shells[0].r1, 2.0 / 4, 1e-12);
    EXPECT_NEAR(shells[1].r1, 0.0, 1e-12);
    EXPECT_DOUBLE_EQ(shells[0].stolMin, 0.1);
    EXPECT_DOUBLE_EQ(shells[1].stolMax, 0.4);
}

class Output : public testing::Test {
protected:
    void SetUp() override {
        model_ = scatteringtest::oneTypeModel(8, 2);
        model_.operations = sc::symmetryOperations({"-X,1/2+Y,1/2-Z"}, 'C', 'P', "test");
        sc::Atom a = scatteringtest::atomAt("O1", {0.1, 0.2, 0.3}, 6);
        a.plm[1] = 0.05;
        a.plm[4] = -0.03;
        model_.atoms = {a, scatteringtest::atomAt("O2", {0.4, 0.1, 0.7}, 6.2)};
    }
    ScratchDir dir_;
    sc::Model model_;
};

TEST_F(Output, TscListsEveryEquivalentOnce) {
    sc::writeTsc("Quandrele.tsc", "test", model_, {{1, 2, 3}, {-1, -2, -3}, {0, 0, 2}});
    const std::vector<std::string> lines = linesOf(dir_.read("Quandrele.tsc"));
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], "TITLE: test");
    EXPECT_EQ(lines[1], "SYMM: expanded");
    EXPECT_EQ(lines[2], "AD: FALSE");
    EXPECT_EQ(lines[3], "SCATTERERS: O1 O2");
    EXPECT_EQ(lines[4], "DATA:");
    // 1 2 3 and its three partners in P2(1)/c; 0 0 2 and 0 0 -2
    const std::vector<sc::Miller> expected = {{1, 2, 3}, {-1, 2, -3}, {-1, -2, -3}, {1, -2, 3}, {0, 0, 2}, {0, 0, -2}};
    ASSERT_EQ(lines.size(), 5 + expected.size());
    const auto f = sc::atomFormFactors(model_, expected);
    std::vector<sc::Miller> seen;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        int h, k, l;
        double re1, im1, re2, im2;
        ASSERT_EQ(std::sscanf(lines[5 + i].c_str(), "%d %d %d %lf,%lf %lf,%lf", &h, &k, &l, &re1, &im1, &re2, &im2), 7);
        seen.push_back({h, k, l});
        const std::size_t r = std::find(expected.begin(), expected.end(), sc::Miller{h, k, l}) - expected.begin();
        ASSERT_LT(r, expected.size());
        EXPECT_NEAR(re1, f[2 * r].real(), 1e-6);
        EXPECT_NEAR(im1, f[2 * r].imag(), 1e-6);
        EXPECT_NEAR(re2, f[2 * r + 1].real(), 1e-6);
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(std::unique(seen.begin(), seen.end()), seen.end());
}

TEST_F(Output, FcoHeaderAndRows) {
    sc::FcoContent c;
    c.files = {"xd.mas", "xd.res", "data.hkl"};
    c.model = &model_;
    c.data.resize(2);
    c.data[0].hkl = {1, 0, 0};
    c.data[0].f2 = 40;
    c.data[0].sigma = 2;
    c.data[1].hkl = {0, 1, 1};
    c.data[1].f2 = 9;
    c.data[1].sigma = 1;
    c.f2Model = {10, 2};
    c.f2Spherical = {11, 2.5};
    sc::writeFco("Quandrele.fco", c);
    const std::string text = dir_.read("Quandrele.fco");
    EXPECT_EQ(countOf(text, "# files: xd.mas xd.res data.hkl\n"), 1);
    EXPECT_EQ(countOf(text, "# wavelength 0.71073 A\n"), 1);
    EXPECT_EQ(countOf(text, "# radial E    zeta "), 1);
    EXPECT_EQ(countOf(text, "# model     scale(F^2) "), 1);
    EXPECT_EQ(countOf(text, "# spherical scale(F^2) "), 1);
    const std::vector<std::string> lines = linesOf(text);
    EXPECT_EQ(lines[lines.size() - 2], "    1   0   0   0.07253       40.000      2.000       10.000       11.000");
    EXPECT_EQ(lines.back(), "    0   1   1   0.08419        9.000      1.000        2.000        2.500");
}

}  // namespace
