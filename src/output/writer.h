// The refinement input writer and its steps.
// They are declared here so that the tests reach each step on its own.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "../database/transfer.h"

// Writes the new XD files: the hydrogen constraints, the neutrality correction, the
// parameter file and the master files, then merges the constraint files into them.
void setupNewInpAndMasFile(const TransferRun& run);
// Finishes the transferred model for the writers: the hydrogen constraints, the molecules
// announced, the neutrality correction (kept in the Transfer), the kappa sets and, for MoPro
// input, the title of "xd.mas".
void finishModel(const TransferRun& run);
// The hydrogen constraints: U iso of riding hydrogens and the CON lines of
// "H-Uiso-constrain.txt", as the settings ask for them.
void huconstrain(const TransferRun& run);
// Merges the constraint files into the new master files; 1 when a merge failed.
int insertFiles(const TransferRecords& run);

// Computes the corrections for the molecules 1..molecules (atom field `molecule`),
// honouring "Molecule-Charges.in"; writes the report to standard output and the log.
MonopoleCorrection computeNeutrality(const TransferRun& run, int molecules);

// Rebuilds the kappa sets from the atoms: one set per distinct (first kappa value, tbl).
void rebuildKappaSets(const TransferRun& run);

// Writes "xd.res.quandreltool".
void writeParameterFile(const TransferRecords& run, const MonopoleCorrection& correction);

// Writes "xd.mas.quandreltool" (and "xd.mas.HasSameSymm" when opt.qdlexp is set) from
// "xd.mas" and the coordinate-system table in "Quandrele.log".
void writeMasterFiles(const TransferRecords& run, int molecules);

// The GROUP and KEEP CHARGE lines of one molecule (1-based number).
std::string groupLines(const TransferRecords& run, int molecule);
// The same for the atoms given (those of the molecule, in atom order).
std::string groupLines(const TransferRecords& run, int molecule, const std::vector<int>& members);
// The atoms of each molecule number 0..molecules in atom order (numbers outside are left out).
std::vector<std::vector<int>> atomsByMolecule(const TransferRecords& run, int molecules);

// Closes a file that was written; a write error stops the program with a clear message.
void closeWritten(FILE* f, const char* name);
