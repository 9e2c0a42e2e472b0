// The radial Kohn-Sham solver of spherically averaged, spin-restricted atoms: a logarithmic
// grid, shooting with an implicit Adams-Moulton integrator, the Hartree potential from the
// radial Poisson equation, exchange and correlation from libxc, Pulay mixing of the density,
// and optionally the scalar-relativistic ZORA kinetic operator.
#pragma once

#include <string>
#include <vector>

namespace atoms {

// Exchange-correlation models of the solver: None switches exchange and correlation off
// (hydrogen-like checks), LdaExchange is Slater exchange alone (a model that obeys the
// virial theorem exactly), LDA adds VWN5 correlation, PBE is the PBE GGA.
enum class Xc { None, LdaExchange, LDA, PBE };

// One shell (n, l) with its occupation (spherically averaged, shared by both spins).
struct ShellOccupation {
    int n = 1;
    int l = 0;
    double electrons = 0;
};

// The neutral ground-state configuration of element z (1..54), inner shells first.
std::vector<ShellOccupation> groundStateConfiguration(int z);

struct SolverOptions {
    int z = 1;
    Xc xc = Xc::PBE;
    bool relativistic = true;   // ZORA with the nuclear plus Hartree potential in its factor
    bool hartree = true;        // false: no electron-electron repulsion at all (with Xc::None)
    std::vector<ShellOccupation> configuration;   // empty: the neutral ground state of z
};

// A solved shell: u(r) = r R(r) on the grid, normalised to integral u^2 dr = 1.
struct SolvedShell {
    int n = 1;
    int l = 0;
    double electrons = 0;
    double energy = 0;   // orbital energy, Hartree
    std::vector<double> u;
};

struct AtomSolution {
    std::vector<double> r;   // the logarithmic grid, bohr: r_i = r_0 exp(i h)
    double h = 0;
    std::vector<SolvedShell> shells;
    std::vector<double> density;   // electrons per bohr^3
    double totalEnergy = 0;        // Hartree
    double kinetic = 0;
    double nuclear = 0;            // electron-nucleus attraction
    double hartreeEnergy = 0;
    double xcEnergy = 0;
    int iterations = 0;
};

// Solves the atom self-consistently (total energy to 1e-8 Hartree and below). An element
// outside 1..54 or a configuration the solver cannot bind ends the run through fatal().
AtomSolution solveAtom(const SolverOptions& options);

// Integral of f over r on the grid of a solution (f sampled on that grid).
double integrateRadial(const AtomSolution& atom, const std::vector<double>& f);

}  // namespace atoms
