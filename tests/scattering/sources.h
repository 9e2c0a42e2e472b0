// Spherical-atom sources of the scattering tests (the program gets its tables from the
// atom solver): IT92 form factors, Hartree-Fock wavefunctions of Slater functions, and XD's
// own tables of the serine refinement. Each gives a table per atomic number.
#pragma once

#include <functional>
#include <string>

#include "scattering/model.h"

namespace testsources {

using Source = std::function<scattering::SphericalTable(int z)>;

// IT92 (gemmi): core = the core electrons' share of f, valence = f / Z, so that
// core + (Z - core electrons) valence is the IT92 form factor itself.
scattering::SphericalTable it92Table(int z, int coreElectrons, double step = 0.02, double reach = 2.0);

// Core (1s for Z > 2) and valence (per electron) form factors of the neutral atom's
// Hartree-Fock wavefunction in ../shared/wavefunctions/neutral, at sin(theta)/lambda stl.
struct HartreeFock {
    explicit HartreeFock(int z);
    double core(double stl) const;
    double valence(double stl) const;
    struct Shell { int occupation; bool core; std::vector<int> n; std::vector<double> zeta, c; };
    std::vector<Shell> shells;
    int valenceElectrons = 0;
};

// XD's tables of the serine data set (pbe_tables.txt, sin(theta)/lambda 0..last step 0.05),
// continued beyond their last point by the Hartree-Fock values joined to them there (core
// scaled by the ratio at the joint, valence shifted by the difference there, the shift fading
// out over 0.3 1/A).
scattering::SphericalTable serineTable(int z, double reach = 2.0);

}  // namespace testsources
