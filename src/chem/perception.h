// What perception finds in the structure: bonds, the neighbourhood node of every atom,
// rings (in the atom records), names, molecules, and the symmetry images that complete the
// molecules. The perception stage (findOutNames) writes it; naming, the database stage,
// the writers and the report read it.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "../core/largepages.h"
#include "../core/structure.h"

// One bond of the bond list: first atom < second atom.
struct Bond {
    int first = 0;
    int second = 0;
    double length = 0;
    double margin = 0;  // reference length minus length
    // A one-sided bond: an atom of no part next to atoms of several disorder parts is
    // bonded to one part only; to the atoms of the others the bond is one-sided. The atom
    // named here (first or second) leaves it out of its node and its name; the other atom
    // keeps it. -1: an ordinary bond.
    int hiddenFrom = -1;
    // Whether atom a sees the bond (as its first or second atom).
    bool seenFrom(int a) const { return hiddenFrom != a; }
};

// Neighbourhood of one atom, neighbours sorted by margin (largest first). A node holds
// at most MAX_NEIGHBOURS neighbours: the bond stage stops the run before it would hold more.
struct Knopf {
    int anzahl = 0;
    int nachbar[MAX_NEIGHBOURS] = {};
    double marge[MAX_NEIGHBOURS] = {};
    // Angles between neighbours a < b, the pairs one after another (each pair once:
    // the table of a node is large, and a structure has one node per atom).
    double winkel[MAX_NEIGHBOURS * (MAX_NEIGHBOURS - 1) / 2] = {};

    // The angle between neighbours a and b (either order); 0 for a neighbour with itself.
    double angle(int a, int b) const {
        if (a == b) return 0.0;
        if (a > b) std::swap(a, b);
        return winkel[a * (2 * MAX_NEIGHBOURS - a - 1) / 2 + (b - a - 1)];
    }
    void setAngle(int a, int b, double value) {
        if (a > b) std::swap(a, b);
        winkel[a * (2 * MAX_NEIGHBOURS - a - 1) / 2 + (b - a - 1)] = value;
    }

    // Number of neighbours as a loop over the node's slots may take it: 0 to MAX_NEIGHBOURS.
    int count() const { return anzahl < 0 ? 0 : anzahl > MAX_NEIGHBOURS ? MAX_NEIGHBOURS : anzahl; }
};

// The quandrel names, one row of NAME_CAP characters per atom; row i is q.quandrelName[i]
// (a char*). Rows are stored in blocks that never move, so the table grows with the atom
// count on first use of a row, and a row pointer stays valid while others are added.
// Reading a row that was never written gives "".
class NameTable {
public:
    char* operator[](std::size_t i);
    const char* operator[](std::size_t i) const;
    std::size_t rows() const {
        return blocks_.empty() ? 0 : FIRST_ROWS + (blocks_.size() - 1) * BLOCK_ROWS;
    }

private:
    // The first block suits a small structure; every further one fills two large pages.
    static constexpr std::size_t FIRST_ROWS = 1024;
    static constexpr std::size_t BLOCK_ROWS = 2 * largepages::LARGE_BLOCK / NAME_CAP;
    // The block of row i and the row's offset in it.
    std::pair<std::size_t, std::size_t> place(std::size_t i) const;
    std::vector<std::vector<char, LargePageAllocator<char>>> blocks_;
};

// A symmetry image that completes a molecule: the input atom it copies, the operator of
// the expanded list (0-based, 0 = identity) and the lattice translation added after it.
struct ImageOrigin {
    int atom = 0;
    int op = 0;
    int shift[3] = {0, 0, 0};
};

struct Perception {
    std::vector<Bond> bonds;     // every bond once, by first atom, then second atom
    double totalOxi = 0.0;       // running sum of oxidation numbers and charges of the names

    // the neighbourhood node and the quandrel name of every atom and image
    std::vector<Knopf, LargePageAllocator<Knopf>> knopf;
    NameTable quandrelName;
    std::vector<double> molElectrons;

    // ---- symmetry images (molecules completed across symmetry) ----
    // During perception the images stand behind the input atoms in atom (nAtoms counts
    // them); afterwards they move to imageAtom and nAtoms counts the input atoms again.
    // Either way image k has the index nInput + k in knopf, the bond list and quandrelName.
    int nInput = -1;                        // input atoms; -1 while no images were added
    AtomArray imageAtom;                    // the images once perception has ended
    std::vector<ImageOrigin> imageOrigin;   // origin of image k
    std::vector<std::string> symmetryOps;   // texts of the expanded operator list

    bool isImage(int index) const { return nInput >= 0 && index >= nInput; }
};
