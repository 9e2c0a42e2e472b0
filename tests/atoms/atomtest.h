// Shared parts of the spherical-atom tests: the published tables beside the checkout, the
// closed-form transform of Slater-type orbitals, and the self-consistent atoms H to Kr
// (solved once per test program).
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "atoms/atoms.h"
#include "atoms/radial.h"
#include "atoms/slater.h"
#include "core/failure.h"

namespace atomtest {

constexpr double BOHR = 0.529177210903;   // Angstrom
constexpr double PI = 3.14159265358979323846;

// ../shared/wavefunctions/neutral beside the checkout; throws with a clear message when missing.
std::string neutralWavefunctions();

// Rows of ../shared/fixtures/structure-factors/serine/pbe_tables.txt: "O core" -> values at
// sin(theta)/lambda = 0, 0.05, ...
std::map<std::string, std::vector<double>> referenceTables();

// The form factor integral R^2 j0(kr) r^2 dr of a Slater-type orbital in closed form
// (sin(theta)/lambda in 1/A).
double closedFormFactor(const atoms::SlaterOrbital& orbital, double stol);

// The default PBE + ZORA atoms H to Kr, solved once: the solution and its form factors.
struct SolvedElement {
    atoms::AtomSolution solution;
    atoms::AtomShells shells;
    atoms::FormFactors factors;
};
const SolvedElement& defaultAtom(int z);

}  // namespace atomtest
