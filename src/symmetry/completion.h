// Symmetry in perception: molecules completed across crystal symmetry, the warning about
// bonds only symmetry provides, and the bond-axis analysis of -findSymm.
#pragma once

#include "../chem/perception.h"

// Whether the run completes molecules across symmetry: with -symmBonds, and by default for
// crystal input, never with -asymOnly.
bool completionWanted(const Structure& s, const Options& opt);
// Adds the bonded images of input atoms as sites of the run; returns how many.
int completeMolecules(const PerceptionRun& run);
// Names the input atoms with a bonded neighbour only symmetry provides (standard error).
void warnSymmetryBonds(const PerceptionRun& run);
// Estimates the site symmetry of every input atom along its bond axes (-findSymm).
void findSomeSymm(const PerceptionRun& run);
