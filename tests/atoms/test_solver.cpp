// The radial Kohn-Sham solver against exact and published results.
#include <gtest/gtest.h>

#include <cmath>

#include "atomtest.h"

using namespace atoms;
using atomtest::BOHR;
using atomtest::PI;

namespace {

SolverOptions hydrogenLike(int z) {
    SolverOptions o;
    o.z = z;
    o.xc = Xc::None;
    o.hartree = false;
    o.relativistic = false;
    o.configuration = {{1, 0, 1.0}};
    return o;
}

}  // namespace

// One electron in the bare nuclear field: E = -Z^2/2, rho = Z^3/pi exp(-2Zr), and the form
// factor 16 Z^4 / (4 Z^2 + k^2)^2, also between the table's points.
TEST(RadialSolver, HydrogenLikeIonsAreExact) {
    for (int z : {1, 2, 6, 26, 54}) {
        SCOPED_TRACE(z);
        const AtomSolution a = solveAtom(hydrogenLike(z));
        ASSERT_EQ(a.shells.size(), 1u);
        EXPECT_NEAR(a.shells[0].energy, -0.5 * z * z, 1e-9 * z * z);
        EXPECT_NEAR(a.totalEnergy, -0.5 * z * z, 1e-8 * z * z);
        double worst = 0;
        for (std::size_t i = 0; i < a.r.size(); ++i) {
            if (a.r[i] * z < 1e-3 || a.r[i] * z > 8) continue;
            const double exact = z * z * z / PI * std::exp(-2 * z * a.r[i]);
            worst = std::max(worst, std::fabs(a.density[i] / exact - 1));
        }
        EXPECT_LT(worst, 1e-7);
        ShellSplit split;
        split.occupations[0] = -1;
        const FormFactors f = makeFormFactors(shellsOf(z, a), split);
        for (double stol : {0.0, 0.0123, 0.3337, 1.0, 1.7771, 2.5}) {
            const double k = 4 * PI * BOHR * stol;
            const double exact = 16.0 * std::pow(z, 4) / std::pow(4.0 * z * z + k * k, 2);
            EXPECT_NEAR(f.valence(stol), exact, 2e-6) << stol;
        }
        EXPECT_EQ(f.coreElectrons(), 0);
        EXPECT_EQ(f.core(1.0), 0);
    }
}

// For a hydrogen-like ion the scaled ZORA energy E / (1 + <R'| c^2 / (2c^2 - V)^2 |R'>) is
// the Dirac energy c^2 (sqrt(1 - Z^2/c^2) - 1) of the 1s shell.
TEST(RadialSolver, ScaledZoraEnergiesOfHydrogenLikeIonsAreDiracEnergies) {
    const double c = 137.035999084;
    for (int z : {1, 10, 30, 54}) {
        SolverOptions o = hydrogenLike(z);
        o.relativistic = true;
        const AtomSolution a = solveAtom(o);
        const std::size_t n = a.r.size();
        std::vector<double> R(n), f(n, 0.0);
        for (std::size_t i = 0; i < n; ++i) R[i] = a.shells[0].u[i] / a.r[i];
        for (std::size_t i = 2; i + 2 < n; ++i) {
            const double dR = (R[i - 2] - 8 * R[i - 1] + 8 * R[i + 1] - R[i + 2]) / (12 * a.h) / a.r[i];
            const double m = 2 * c * c + z / a.r[i];
            f[i] = c * c / (m * m) * dR * dR * a.r[i] * a.r[i];
        }
        const double scaled = a.shells[0].energy / (1 + integrateRadial(a, f));
        const double dirac = c * c * (std::sqrt(1 - z * z / (c * c)) - 1);
        EXPECT_NEAR(scaled, dirac, 1e-9 * z * z) << z;
        EXPECT_LT(a.shells[0].energy, dirac) << z;   // ZORA overbinds the core
    }
}

// Exchange-only (Slater) atoms scale exactly, so 2T + V = 0 holds to the solver's accuracy.
TEST(RadialSolver, NonRelativisticAtomsObeyTheVirialTheorem) {
    for (int z : {2, 10, 18, 36}) {
        SolverOptions o;
        o.z = z;
        o.xc = Xc::LdaExchange;
        o.relativistic = false;
        const AtomSolution a = solveAtom(o);
        const double potential = a.nuclear + a.hartreeEnergy + a.xcEnergy;
        EXPECT_LT(std::fabs(2 * a.kinetic + potential), 1e-8 * std::fabs(a.totalEnergy)) << z;
        EXPECT_NEAR(a.totalEnergy, -a.kinetic, 1e-8 * std::fabs(a.totalEnergy)) << z;
    }
}

// Published total energies of spherical, spin-restricted, non-relativistic LDA atoms
// (Slater exchange with VWN5 correlation; NIST atomic reference data).
TEST(RadialSolver, LdaTotalEnergiesMatchTheNistReference) {
    const struct {
        int z;
        double energy;
    } cases[] = {{1, -0.445671}, {2, -2.834836}, {6, -37.425749}, {7, -54.025016}, {8, -74.473077}, {10, -128.233481}};
    for (const auto& c : cases) {
        SolverOptions o;
        o.z = c.z;
        o.xc = Xc::LDA;
        o.relativistic = false;
        EXPECT_NEAR(solveAtom(o).totalEnergy, c.energy, 1e-5) << c.z;
    }
}

TEST(RadialSolver, GroundStateConfigurationsHoldZElectronsWithTheKnownExceptions) {
    for (int z = 1; z <= 54; ++z) {
        double sum = 0;
        for (const auto& s : groundStateConfiguration(z)) sum += s.electrons;
        EXPECT_EQ(sum, z) << z;
    }
    auto electronsIn = [](int z, int n, int l) {
        for (const auto& s : groundStateConfiguration(z))
            if (s.n == n && s.l == l) return s.electrons;
        return 0.0;
    };
    const struct {
        int z, n, l;
        double electrons;
    } cases[] = {{24, 3, 2, 5}, {24, 4, 0, 1}, {29, 3, 2, 10}, {29, 4, 0, 1}, {26, 3, 2, 6}, {26, 4, 0, 2},
                 {46, 4, 2, 10}, {46, 5, 0, 0}, {47, 5, 0, 1}, {42, 4, 2, 5}, {43, 5, 0, 2}, {54, 5, 1, 6}};
    for (const auto& c : cases) EXPECT_EQ(electronsIn(c.z, c.n, c.l), c.electrons) << c.z << " " << c.n << c.l;
    EXPECT_THROW(groundStateConfiguration(55), Failure);
    EXPECT_THROW(groundStateConfiguration(0), Failure);
}

TEST(RadialSolver, ImpossibleShellsAreRefused) {
    for (ShellOccupation s : {ShellOccupation{1, 1, 1.0}, ShellOccupation{2, 1, 7.0}, ShellOccupation{1, 0, -1.0}}) {
        SolverOptions o;
        o.z = 3;
        o.configuration = {s};
        EXPECT_THROW(solveAtom(o), Failure);
    }
}
