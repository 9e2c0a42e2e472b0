// Internal steps of the refinement input writer (Quandrel::setupNewInpAndMasFile).
// They are declared here so that the tests reach each step on its own.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "../driver/Quandrel.h"

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
