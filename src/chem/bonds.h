// The bond criterion and the disorder-part rule, shared by the bond search, the completion
// of molecules across symmetry and the default frames of crystal input.
#pragma once

// Reference bond length in angstrom of two elements (element indices).
double bondReferenceLength(int elementA, int elementB);

// True when two atoms at distance d with reference length r are bonded.
inline bool bondedAt(double r, double d) { return r >= 0.85 * d && r - d < 0.4; }

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
