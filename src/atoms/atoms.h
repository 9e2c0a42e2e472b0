// Spherical atoms of our own: core and valence X-ray form factors of neutral atoms H to Xe,
// from the radial Kohn-Sham solver (radial.h) or from published Slater-type orbital tables,
// split into core and valence as an XD scattering-table row says.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace atoms {

enum class Functional { PBE, LDA };

struct AtomSettings {
    Functional functional = Functional::PBE;
    bool relativistic = true;      // ZORA
    std::string wavefunctionDir;   // non-empty: Slater-type tables from <dir>/<el>.slater instead of the solver
};

// The SCAT row's 18 shell occupations in its column order
// (1S 2S 3S 4S 2P 3P 4P 3D 4D 4F 5S 5P 6S 6P 5D 7S 6D 5F); >0 core electrons, <0 valence electrons.
struct ShellSplit {
    int occupations[18] = {};
};

// Noble-gas (or closed inner) core, the rest valence: the outermost s and p shells, and for
// the d-block elements also the d shell below them. H and He: all valence.
ShellSplit defaultSplit(int z);

// The shell (n, l) of a SCAT column.
struct ShellName {
    int n;
    int l;
};
ShellName scatColumn(int column);

// Spherical form factors of one element for one split: sin(theta)/lambda in 1/A.
class FormFactors {
public:
    double core(double stol) const;      // f_core, core electrons at 0
    double valence(double stol) const;   // f_val per valence electron, 1 at 0
    double coreElectrons() const { return coreElectrons_; }
    double valenceElectrons() const { return valenceElectrons_; }
    double totalEnergy() const { return totalEnergy_; }   // Hartree (the solver's, or the file's for Slater tables)
    double maxStol() const;                               // tabulated up to here (>= 2.5)

    // Tables on the grid stol = i * step, i = 0 .. size-1 (used by the builders).
    FormFactors(std::vector<double> core, std::vector<double> valence, double coreElectrons, double valenceElectrons,
                double totalEnergy);

private:
    double interpolate(const std::vector<double>& table, double stol) const;
    std::vector<double> core_, valence_;
    double coreElectrons_, valenceElectrons_, totalEnergy_;
};

// The radial shells of one atom, sampled on the fixed grid of the Fourier-Bessel transform.
struct AtomShells {
    int z = 0;
    double totalEnergy = 0;
    struct Shell {
        int n, l;
        std::vector<double> u2;   // (r R)^2 on the transform grid, integral u2 dr = 1
    };
    std::vector<Shell> shells;
};

// The shells of element z for the settings (the solver's self-consistent atom, or the
// Slater-type tables of the settings' folder).
AtomShells computeShells(int z, const AtomSettings& settings);

struct AtomSolution;
// The shells of a solved atom on the transform grid.
AtomShells shellsOf(int z, const AtomSolution& atom);

// Core and valence form factors of the shells for one split; a split that asks for a
// shell the atom does not have ends the run through fatal().
FormFactors makeFormFactors(const AtomShells& atom, const ShellSplit& split);

class AtomCache {
public:
    explicit AtomCache(AtomSettings settings);   // computes each (z, split) once per run
    const FormFactors& get(int z, const ShellSplit& split);

private:
    AtomSettings settings_;
    std::map<int, AtomShells> shells_;
    std::map<std::pair<int, std::vector<int>>, FormFactors> tables_;
};

// Atomic number of an element symbol (any case, "Cl", "CL", "cl"), 0 when it names none of H..Xe.
int atomicNumber(const std::string& symbol);
// Symbol of atomic number 1..54.
const char* symbolOf(int z);

// The -atom switch: the element's core line, valence line (40 values each, sin(theta)/lambda
// 0 to 1.95 in steps of 0.05) and total energy. Returns the exit code (1 for an unknown element).
int printAtomTables(const std::string& element, const AtomSettings&, std::FILE* out);

}  // namespace atoms
