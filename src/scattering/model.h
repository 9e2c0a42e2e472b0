// The crystal model the structure-factor engine works on: plain values, filled by whoever
// reads a structure (today the adapter of from_quandrel.h). Hansen-Coppens atoms: a frozen
// core, a spherical valence shell scaled by kappa, and deformation multipoles to l = 4 on
// Slater radial functions scaled by kappa'_l, each atom in its own local frame.
#pragma once

#include <array>
#include <string>
#include <vector>

#include <gemmi/symmetry.hpp>
#include <gemmi/unitcell.hpp>

namespace scattering {

using Vec3 = std::array<double, 3>;
// Rows are the three axes of a frame (or the rows of a matrix).
using Mat3 = std::array<Vec3, 3>;

constexpr int MAX_L = 4;         // highest multipole level
constexpr int N_MULTIPOLES = 25;  // P00 .. P44-

// Spherical-atom form factors tabulated against sin(theta)/lambda (1/A) from 0 in equal
// steps: the core shells in electrons (f_core(0) = number of core electrons) and the valence
// shells per electron (f_val(0) = 1). Whoever computes spherical atoms fills it; values in
// between come from cubic interpolation.
struct SphericalTable {
    double step = 0.05;
    std::vector<double> core, valence;

    // The highest sin(theta)/lambda both columns reach.
    double reach() const;
    double coreAt(double stl) const;
    double valenceAt(double stl) const;
};

// Four-point (cubic Lagrange) interpolation in a column of equal steps starting at 0; the end
// intervals use the four points nearest to them. An empty column gives 0 (hydrogen's core).
// stl must lie within the column (see SphericalTable::reach).
double interpolateColumn(const std::vector<double>& column, double step, double stl);

// The deformation radial functions of a scattering type: R_l(r) = zeta^(n_l+3)/(n_l+2)!
// r^n_l exp(-zeta r), zeta in 1/A.
struct RadialSet {
    double zeta = 0;
    std::array<int, MAX_L + 1> n = {2, 2, 2, 3, 4};
};

// One row of the scattering table.
struct ScatteringType {
    std::string symbol;  // as the input names it, e.g. "O", "CL"
    int z = 0;           // atomic number
    double fp = 0, fpp = 0;  // anomalous dispersion f', f''
    RadialSet radial;
    SphericalTable table;
};

// kappa of the spherical valence shell and kappa'_l of the deformation functions.
struct KappaSet {
    double kappa = 1;
    std::array<double, MAX_L + 1> kappaPrime = {1, 1, 1, 1, 1};
};

struct Atom {
    std::string label;
    Vec3 frac = {0, 0, 0};
    double occupancy = 1;  // crystallographic (site) occupancy
    bool anisotropic = true;
    double uIso = 0;  // A^2, when not anisotropic
    // U11 U22 U33 U12 U13 U23 in A^2 (the CIF convention, XD's order)
    std::array<double, 6> u = {0, 0, 0, 0, 0, 0};
    int type = 0;   // index into Model::types
    int kappa = 0;  // index into Model::kappas
    double pv = 0;  // valence population
    // P00, P11+ P11- P10, P20 P21+ P21- P22+ P22-, P30 ... P33-, P40 ... P44- (XD's order)
    std::array<double, N_MULTIPOLES> plm = {};
    int lmax = MAX_L;
    // Rows: the atom's local X, Y, Z axes in the crystal's Cartesian system (that of
    // Model::cell's orthogonalisation), so local = frame * cartesian.
    Mat3 frame = {Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1}};
};

struct Model {
    gemmi::UnitCell cell;
    double wavelength = 0.71073;
    // Every operation of the space group (identity first), translations wrapped into the cell.
    std::vector<gemmi::Op> operations = {gemmi::Op::identity()};
    std::vector<ScatteringType> types;
    std::vector<KappaSet> kappas;
    std::vector<Atom> atoms;

    // Cartesian position (A) of a fractional one, in the system the frames use.
    Vec3 cartesian(const Vec3& frac) const;
};

// The operations of a space group given as a master file states it: the SYMM operator texts
// (fractions or decimals), centric ('C') or acentric ('A'), and the lattice letter (P, A, B,
// C, I, F, R). The identity and the listed operators, for a centric lattice also each of them
// inverted through the origin, each combined with the centring translations; duplicates
// appear once. A text that is no operator or an unknown letter stops the run naming source.
std::vector<gemmi::Op> symmetryOperations(const std::vector<std::string>& symm, char centric, char lattice,
                                          const std::string& source);

// The spherical model of the same structure: every P_lm zero, every kappa and kappa' 1.
Model sphericalModel(const Model& model);

// Checks a model before the engine runs: indices in range, finite numbers, lmax within
// 0..4. Stops the run naming the first offence.
void validate(const Model& model);

}  // namespace scattering
