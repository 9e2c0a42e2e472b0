// The angular and radial pieces: harmonics against integrals over the sphere, Slater
// transforms against numerical quadrature, and the engine's own harmonic forms.
#include <gtest/gtest.h>

#include <cmath>

#include "helpers.h"
#include "scattering/engine.h"
#include "scattering/multipoles.h"

namespace sc = scattering;

namespace {

// Integrates g(u) over the unit sphere on a theta/phi product grid.
template <typename G>
double sphereIntegral(G g, int nt = 400, int np = 400) {
    double sum = 0;
    for (int i = 0; i < nt; ++i) {
        const double theta = (i + 0.5) * M_PI / nt;
        for (int j = 0; j < np; ++j) {
            const double phi = (j + 0.5) * 2 * M_PI / np;
            const sc::Vec3 u = {std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi), std::cos(theta)};
            sum += g(u) * std::sin(theta);
        }
    }
    return sum * (M_PI / nt) * (2 * M_PI / np);
}

TEST(Harmonics, DensityNormalisedAndOrthogonal) {
    for (int k = 0; k < sc::N_MULTIPOLES; ++k) {
        const double absolute = sphereIntegral([&](const sc::Vec3& u) {
            double d[sc::N_MULTIPOLES];
            sc::densityHarmonics(u, d);
            return std::fabs(d[k]);
        });
        EXPECT_NEAR(absolute, k == 0 ? 1.0 : 2.0, 5e-4) << "multipole " << k;
        for (int k2 = 0; k2 < k; ++k2) {
            const double overlap = sphereIntegral(
                [&](const sc::Vec3& u) {
                    double d[sc::N_MULTIPOLES];
                    sc::densityHarmonics(u, d);
                    return d[k] * d[k2];
                },
                200, 200);
            EXPECT_NEAR(overlap, 0.0, 5e-5) << k << " " << k2;
        }
    }
    // the dipoles point along x, y, z in XD's order, without the Condon-Shortley sign
    double d[sc::N_MULTIPOLES];
    sc::densityHarmonics({1, 0, 0}, d);
    EXPECT_NEAR(d[1], 1 / M_PI, 1e-8);
    sc::densityHarmonics({0, 1, 0}, d);
    EXPECT_NEAR(d[2], 1 / M_PI, 1e-8);
    sc::densityHarmonics({0, 0, 1}, d);
    EXPECT_NEAR(d[3], 1 / M_PI, 1e-8);
}

TEST(SlaterTransforms, AgreeWithQuadrature) {
    const sc::SlaterTransforms& st = sc::slaterTransforms();
    for (int l = 0; l <= sc::MAX_L; ++l)
        for (int n : {std::max(0, l - 1), l, l + 2, 6, 8})
            for (double t : {0.0, 0.05, 0.7, 2.0, 6.5, 15.0}) {
                // x^(n+2) e^-x j_l(t x) / (n+2)!, Simpson on [0, 60]
                const int steps = 8000;
                const double h = 60.0 / steps;
                double sum = 0;
                for (int i = 0; i <= steps; ++i) {
                    const double x = i * h;
                    const double w = i == 0 || i == steps ? 1 : i % 2 ? 4 : 2;
                    sum += w * std::pow(x, n + 2) * std::exp(-x) * std::sph_bessel(l, t * x);
                }
                const double expected = sum * h / 3 / std::tgamma(n + 3);
                EXPECT_NEAR(st(n, l, t), expected, 1e-9) << "n " << n << " l " << l << " t " << t;
            }
}

// Each multipole alone: the engine's form factor is 4 pi i^l <j_l> P_lm d_lm(u) on top of
// the spherical atom, with u the direction of h in the atom's frame.
TEST(Engine, EveryMultipoleAlone) {
    sc::Model m = scatteringtest::oneTypeModel(8, 2);
    sc::Atom a = scatteringtest::atomAt("O1", {0.1, 0.2, 0.3}, 6);
    // a tilted frame
    const double c = std::cos(0.4), s = std::sin(0.4);
    a.frame = {sc::Vec3{c, s, 0}, sc::Vec3{-s * 0.6, c * 0.6, 0.8}, sc::Vec3{s * 0.8, -c * 0.8, 0.6}};
    const std::vector<sc::Miller> hkl = {{1, 2, 3}, {-2, 0, 1}, {4, -3, 2}};
    sc::Model spherical = m;
    spherical.atoms = {a};
    const auto base = sc::atomFormFactors(spherical, hkl, 1);
    const sc::SlaterTransforms& st = sc::slaterTransforms();
    for (int k = 0; k < sc::N_MULTIPOLES; ++k) {
        sc::Atom one = a;
        one.plm[k] = 0.37;
        m.atoms = {one};
        const auto f = sc::atomFormFactors(m, hkl, 1);
        const int l = sc::multipoleOrder()[k].l;
        for (std::size_t r = 0; r < hkl.size(); ++r) {
            const gemmi::Vec3 cart = m.cell.frac.mat.left_multiply(gemmi::Vec3(hkl[r][0], hkl[r][1], hkl[r][2]));
            const double length = cart.length();
            sc::Vec3 u;
            for (int i = 0; i < 3; ++i)
                u[i] = (a.frame[i][0] * cart.x + a.frame[i][1] * cart.y + a.frame[i][2] * cart.z) / length;
            double d[sc::N_MULTIPOLES];
            sc::densityHarmonics(u, d);
            const double t = 2 * M_PI * length / m.types[0].radial.zeta;
            const std::complex<double> il = std::pow(std::complex<double>(0, 1), l);
            const std::complex<double> expected = base[r] + 4 * M_PI * il * st(m.types[0].radial.n[l], l, t) * 0.37 * d[k];
            EXPECT_NEAR(f[r].real(), expected.real(), 1e-12) << "multipole " << k;
            EXPECT_NEAR(f[r].imag(), expected.imag(), 1e-12) << "multipole " << k;
        }
    }
}

}  // namespace
