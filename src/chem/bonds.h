// The bond criterion and the disorder-part rule, shared by the bond search, the completion
// of molecules across symmetry and the default frames of crystal input.
#pragma once

// Reference bond length in angstrom of two elements (element indices).
double bondReferenceLength(int elementA, int elementB);

// True when two atoms at distance d with reference length r are bonded.
inline bool bondedAt(double r, double d) { return r >= 0.85 * d && r - d < 0.4; }

// ---- metal-ligand bonds (the settings key MetalBonds[0|1]=) ----

// True for a metal: the alkali and alkaline-earth metals, the d- and f-block elements and
// Al, Ga, In, Sn, Tl, Pb, Bi.
bool isMetal(int element);
// True for an atom that coordinates a metal as a ligand: B, C, N, O, F, Si, P, S, Cl, As,
// Se, Br, Te, I.
bool isLigandAtom(int element);
// True when one of the two elements is a metal and the other a ligand atom.
bool isMetalLigandPair(int elementA, int elementB);
// Sum in angstrom of the coordination radii of two elements (-1 where either has none).
double coordinationRadiusSum(int elementA, int elementB);
// A metal and a ligand atom are bonded up to this factor times their radius sum.
constexpr double METAL_BOND_FACTOR = 1.2;
// Metal-ligand contacts up to this factor times the radius sum that are no bonds are named
// in a warning.
constexpr double METAL_CONTACT_FACTOR = 1.25;

// The whole bond rule for two elements at distance d: bondedAt with the reference length,
// or, with metalBonds, a metal and a ligand atom between 0.6 and METAL_BOND_FACTOR times
// their coordination-radius sum apart.
bool elementsBondedAt(int elementA, int elementB, double d, bool metalBonds);
// The longest distance at which elementsBondedAt can hold for the two elements.
double longestBond(int elementA, int elementB, bool metalBonds);

// True when two disorder parts may bond: parts 0 bond to everything, two non-zero parts
// only to the same part (a part keeps its sign: -1 and 1 are different parts).
inline bool partsMayBond(int partA, int partB) { return partA == 0 || partB == 0 || partA == partB; }

// The symmetry copy of a disorder group an atom stands in: the operator (0-based index of
// the expanded list, 0 = identity) and the lattice translation that made it. Input atoms
// are the copy {0, 0, 0, 0}. Atoms of a negative part (a group disordered across a symmetry
// element) bond only within their own copy: the other copies are the other orientations.
struct SymmetryCopy {
    int op = 0;
    int shift[3] = {0, 0, 0};
    bool operator==(const SymmetryCopy& o) const {
        return op == o.op && shift[0] == o.shift[0] && shift[1] == o.shift[1] && shift[2] == o.shift[2];
    }
    bool operator!=(const SymmetryCopy& o) const { return !(*this == o); }
    bool operator<(const SymmetryCopy& o) const {
        if (op != o.op) return op < o.op;
        for (int k = 0; k < 3; ++k)
            if (shift[k] != o.shift[k]) return shift[k] < o.shift[k];
        return false;
    }
};

// True when two atoms of the given parts and copies may bond: partsMayBond, and for two atoms
// of the same negative part the same copy.
inline bool copiesMayBond(int partA, const SymmetryCopy& a, int partB, const SymmetryCopy& b) {
    if (!partsMayBond(partA, partB)) return false;
    return !(partA < 0 && partA == partB && a != b);
}
