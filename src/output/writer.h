// Internal steps of the refinement input writer (Quandrel::setupNewInpAndMasFile).
// They are declared here so that the tests reach each step on its own.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "../driver/Quandrel.h"

// Per-molecule monopole corrections of the chosen electroneutrality mode
// (achieve_neutrality: 1 factor, 2 electronegativity weighted, 3 hydrogens only,
// 0 and any other value an average difference).
struct MonopoleCorrection {
    int mode = 0;
    std::vector<double> corrAverage;    // mode 0: (S_n - S_m) / n
    std::vector<double> corrFactor;     // mode 1: S_n / S_m
    std::vector<double> corrMeanElNeg;  // mode 2: mean electronegativity of the counted atoms
    std::vector<double> corrHydrogen;   // mode 3: (S_n - S_m) / n_H
    std::vector<double> difference;     // mode 2: S_n - S_m of the molecule
    std::vector<int> counted;           // mode 2: n of the molecule
    std::vector<char> applies;          // the molecule's monopoles are corrected
    std::vector<double> expected;       // S_n: valence electrons the molecule should hold
    std::vector<double> monopoleSum;    // S_m: sum of its found atoms' monopoles before correction

    // Monopole written for the atom: occupancy x Pv with its molecule's correction.
    double monopole(const Quandrel& q, int atomIndex) const;
};

// The correction the last writer run applied (read by the run report).
extern MonopoleCorrection appliedCorrection;

// Computes the corrections for the molecules 1..molecules (atom field `molecule`),
// honouring "Molecule-Charges.in"; writes the report to standard output and the log.
MonopoleCorrection computeNeutrality(Quandrel& q, int molecules);

// Rebuilds the kappa sets from the atoms: one set per distinct (first kappa value, tbl).
void rebuildKappaSets(Quandrel& q);

// Writes "xd.res.quandreltool".
void writeParameterFile(Quandrel& q, const MonopoleCorrection& correction);

// Writes "xd.mas.quandreltool" (and "xd.mas.HasSameSymm" when opt.qdlexp is set) from
// "xd.mas" and the coordinate-system table in "Quandrele.log".
void writeMasterFiles(Quandrel& q, int molecules);

// The GROUP and KEEP CHARGE lines of one molecule (1-based number).
std::string groupLines(const Quandrel& q, int molecule);
// The same for the atoms given (those of the molecule, in atom order).
std::string groupLines(const Quandrel& q, int molecule, const std::vector<int>& members);
// The atoms of each molecule number 0..molecules in atom order (numbers outside are left out).
std::vector<std::vector<int>> atomsByMolecule(const Quandrel& q, int molecules);

// Closes a file that was written; a write error stops the program with a clear message.
void closeWritten(FILE* f, const char* name);
