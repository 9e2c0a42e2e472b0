// The bond criterion and the disorder-part rule, shared by the bond search, the completion
// of molecules across symmetry and the default frames of crystal input.
#pragma once

// Reference bond length in angstrom of two elements (element indices).
double bondReferenceLength(int elementA, int elementB);

// True when two atoms at distance d with reference length r are bonded.
inline bool bondedAt(double r, double d) { return r >= 0.85 * d && r - d < 0.4; }

// True when two disorder parts may bond: parts 0 bond to everything, two non-zero parts
// only to the same part.
inline bool partsMayBond(int partA, int partB) { return partA == 0 || partB == 0 || partA == partB; }
