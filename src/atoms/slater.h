// Reader of atomic Hartree-Fock wavefunctions given as Slater-type orbital expansions
// (<el>.slater: per angular block a header of orbital names, orbital energies, a CUSP line
// and one row "<n><l> zeta c_1 c_2 ..." per basis function).
#pragma once

#include <string>
#include <vector>

namespace atoms {

struct SlaterOrbital {
    int n = 1;   // the orbital's principal quantum number (1S: 1)
    int l = 0;
    std::vector<int> basisN;       // principal quantum number of each Slater function
    std::vector<double> zeta;      // bohr^-1
    std::vector<double> coefficient;
};

struct SlaterAtom {
    double totalEnergy = 0;   // Hartree, the "E =" line
    std::vector<SlaterOrbital> orbitals;
};

// Parses the text of one file; name is used in messages. Damaged text ends the run
// through fatal() with the line it stopped at.
SlaterAtom parseSlater(const std::string& text, const std::string& name);

// Reads <dir>/<symbol in lower case>.slater.
SlaterAtom readSlater(const std::string& dir, const std::string& symbol);

// r R(r) of an orbital, normalised Slater functions N r^(n-1) exp(-zeta r),
// N = (2 zeta)^(n + 1/2) / sqrt((2n)!).
double slaterU(const SlaterOrbital& orbital, double r);

// Integral of R^2 r^2 dr in closed form.
double slaterNorm(const SlaterOrbital& orbital);

}  // namespace atoms
