// End to end on a real multipole refinement (DL-serine, P2(1)/c, multipoles to l = 4): the
// model read by today's XD readers, F^2 against XD's own F^2(calc) and the measured data.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <sstream>

#include "input/input.h"
#include "scattering/engine.h"
#include "scattering/from_quandrel.h"
#include "scattering/radial.h"
#include "scattering/statistics.h"
#include "scattering/textfile.h"
#include "scattering/writers.h"
#include "sources.h"
#include "testutil.h"

namespace sc = scattering;

namespace {

std::string serine(const std::string& name) { return sharedFixture("structure-factors/serine/" + name); }

struct XdFco {
    std::vector<sc::Miller> hkl;
    std::vector<double> f2calc;
};

// The rows "h k l F2calc F2meas sigma stl code" of XD's .fco file.
XdFco readXdFco(const std::string& path) {
    XdFco fco;
    std::istringstream in(readTextFile(path));
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream w(line);
        int h, k, l, code;
        double calc, meas, sigma, stl;
        if (w >> h >> k >> l >> calc >> meas >> sigma >> stl >> code) {
            fco.hkl.push_back({h, k, l});
            fco.f2calc.push_back(calc);
        }
    }
    return fco;
}

class Serine : public testing::Test {
protected:
    void SetUp() override {
        dir_.copyIn(serine("xd.mas"), "xd.mas");
        dir_.copyIn(serine("xd.res"), "xd.res");
        q_ = std::make_unique<Structure>();
        captureStdout([&] {
            readMasterFile(*q_);
            readParameterFile(*q_);
        });
        sc::QuandrelInputs in;
        in.master = sc::parseMasterExtras(readTextFile("xd.mas"), "xd.mas");
        in.radial = sc::readRadialFile(serine("radial.txt"));
        in.spherical = [](int z) { return testsources::serineTable(z); };
        model_ = sc::modelFromQuandrel(*q_, in);
    }

    ScratchDir dir_;
    std::unique_ptr<Structure> q_;
    sc::QuandrelModel model_;
};

TEST_F(Serine, ReadersGiveTheRefinedModel) {
    const sc::Model& m = model_.model;
    ASSERT_EQ(m.atoms.size(), static_cast<std::size_t>(q_->nAtoms));
    EXPECT_EQ(m.operations.size(), 4u);  // P2(1)/c
    EXPECT_EQ(m.kappas.size(), static_cast<std::size_t>(q_->nKappa));
    EXPECT_EQ(m.types.size(), static_cast<std::size_t>(q_->nScat));
    EXPECT_GT(m.wavelength, 0.5);  // Mo K-alpha, from the WAVE card
    EXPECT_LT(m.wavelength, 0.8);
    EXPECT_GT(model_.scale, 1.0);
    // every frame a rotation
    for (const sc::Atom& a : m.atoms) {
        const sc::Mat3& f = a.frame;
        const double det = f[0][0] * (f[1][1] * f[2][2] - f[1][2] * f[2][1]) -
                           f[0][1] * (f[1][0] * f[2][2] - f[1][2] * f[2][0]) +
                           f[0][2] * (f[1][0] * f[2][1] - f[1][1] * f[2][0]);
        EXPECT_NEAR(det, 1.0, 1e-9) << a.label;
    }
}

TEST_F(Serine, MatchesXdAndTheMeasuredData) {
    const XdFco xd = readXdFco(serine("xd.fco"));
    ASSERT_GT(xd.hkl.size(), 4000u);
    const std::vector<std::complex<double>> f = sc::structureFactors(model_.model, xd.hkl);
    // all reflections, and those within the reach of XD's printed tables (0.5 1/A), where
    // no continuation of the spherical atoms enters
    double diff[2] = {0, 0}, sum[2] = {0, 0};
    for (std::size_t i = 0; i < f.size(); ++i) {
        const int inner = sc::sinThetaOverLambda(model_.model.cell, xd.hkl[i]) <= 0.5 ? 1 : 0;
        for (int part = 0; part <= inner; ++part) {
            diff[part] += std::fabs(std::norm(f[i]) - xd.f2calc[i]);
            sum[part] += xd.f2calc[i];
        }
    }
    std::printf("R(F^2) against XD's F^2(calc): %.4f %% (%zu reflections), %.4f %% to 0.5 1/A\n",
                100 * diff[0] / sum[0], f.size(), 100 * diff[1] / sum[1]);
    EXPECT_LT(diff[0] / sum[0], 0.0025);
    EXPECT_LT(diff[1] / sum[1], 0.0012);

    const std::vector<sc::Reflection> data = sc::readXdHkl(serine("xd.hkl"));
    std::vector<sc::Miller> hkl;
    for (const sc::Reflection& r : data) hkl.push_back(r.hkl);
    std::vector<double> f2;
    for (const std::complex<double>& v : sc::structureFactors(model_.model, hkl)) f2.push_back(std::norm(v));
    const sc::FitStatistics s = sc::fitStatistics(data, f2);
    std::printf("scale(F^2) %.5f (F %.5f, XD %.5f)  R1 %.4f obs  %.4f all  wR2 %.4f / %.4f\n", s.scale,
                std::sqrt(s.scale), model_.scale, s.r1Observed, s.r1All, s.wr2Unit, s.wr2Sigma);
    EXPECT_NEAR(std::sqrt(s.scale), model_.scale, 0.002 * model_.scale);
    EXPECT_GT(s.r1All, 0.020);
    EXPECT_LT(s.r1All, 0.026);

    // the whole output path once: the .fco rows carry the engine's numbers
    const sc::FcoContent c = sc::fcoContent(model_.model, data, {"xd.mas", "xd.res", "xd.hkl"}, true);
    EXPECT_EQ(c.f2Model, f2);
    // the spherical model of the same pass is the spherical model computed on its own
    const auto alone = sc::structureFactors(sc::sphericalModel(model_.model), hkl);
    for (std::size_t i = 0; i < alone.size(); ++i) ASSERT_NEAR(c.f2Spherical[i], std::norm(alone[i]), 1e-9 * (1 + c.f2Spherical[i]));
    const sc::FitStatistics spherical = sc::fitStatistics(data, c.f2Spherical);
    std::printf("spherical model: R1 %.4f obs  %.4f all\n", spherical.r1Observed, spherical.r1All);
    EXPECT_GT(spherical.r1All, s.r1All + 0.005);  // the multipoles fit the data markedly better
    sc::writeFco("Quandrele.fco", c);
    const std::vector<std::string> lines = linesOf(dir_.read("Quandrele.fco"));
    std::size_t rows = 0;
    for (const std::string& line : lines) rows += line[0] != '#';
    EXPECT_EQ(rows, data.size());
    for (const std::string& line : lines) {
        if (line[0] == '#') continue;
        double stl, obs, sigma, calc, sph;
        int h, k, l;
        ASSERT_EQ(std::sscanf(line.c_str(), "%d %d %d %lf %lf %lf %lf %lf", &h, &k, &l, &stl, &obs, &sigma, &calc, &sph), 8);
        EXPECT_EQ((sc::Miller{h, k, l}), data[0].hkl);
        EXPECT_NEAR(calc, f2[0], 0.0005);
        EXPECT_NEAR(sph, c.f2Spherical[0], 0.0005);
        break;
    }
    EXPECT_EQ(countOf(dir_.read("Quandrele.fco"), "# spherical scale(F^2)"), 1);
}

}  // namespace
