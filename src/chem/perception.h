// What perception finds in the structure: bonds, the neighbourhood node of every atom,
// rings, planarity, names, molecules, and the symmetry images that complete the molecules.
// Perception (perceive, in naming/) builds it from the structure as read; the database
// stage, the writers and the report read it.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "../core/largepages.h"
#include "../core/options.h"
#include "../core/structure.h"
#include "../core/warnings.h"
#include "../geometry/cell.h"

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

    // the neighbourhood node and the quandrel name of every site (input atom or image)
    std::vector<Knopf, LargePageAllocator<Knopf>> knopf;
    NameTable quandrelName;

    // ---- what perception finds about every site ----
    std::vector<int> ringCode;             // sizes of the site's rings, one digit per ring
    std::vector<RingSet> ringMask;         // the rings the site belongs to
    std::vector<double> planarCache;       // degree of planarity of its node; -1: not yet known
    std::vector<std::string> sameNameAs;   // label of the first atom of the same name ("" for that one)

    // ---- molecules: the connected parts of the bond graph, over the input atoms ----
    std::vector<int> molecule;             // per input atom: 1-based molecule number
    std::vector<double> molElectrons;      // per molecule: valence electrons it should hold

    // ---- symmetry images (molecules completed across symmetry) ----
    // The images stand in an array of their own; image k is the site nInput + k in knopf, the
    // bond list, quandrelName and the per-site tables.
    int nInput = -1;                        // input atoms; -1 while no images were added
    AtomArray imageAtom;                    // the images
    std::vector<ImageOrigin> imageOrigin;   // origin of image k
    std::vector<std::string> symmetryOps;   // texts of the expanded operator list

    // The warnings perception gave (each also on standard error as it arose).
    WarningLog warnings;

    bool isImage(int index) const { return nInput >= 0 && index >= nInput; }
    // The input atom a site stands for: the site itself, or the input atom an image copies.
    int originOf(int index) const {
        if (!isImage(index)) return index;
        const std::size_t k = static_cast<std::size_t>(index - nInput);
        return k < imageOrigin.size() ? imageOrigin[k].atom : index;
    }
    // Makes room in the per-site tables for n sites; new sites start unknown.
    void growSites(int n);
};

// A site of a perceived structure: an input atom of s, or an image of p.
const AtomRecord& siteOf(const Structure& s, const Perception& p, int index);
// Element index of a site: an image has its input atom's.
inline int siteElementOf(const Structure& s, const Perception& p, int index) { return s.elementOf(p.originOf(index)); }

// One perception run: the structure as read and the options, which it only reads; the
// record it builds; and the report files (Quandrele.out and Quandrele.log). The sites it
// works on are the input atoms, then the symmetry images the completion adds.
struct PerceptionRun {
    const Structure& s;
    const Options& opt;
    Perception& p;
    FILE* out;
    FILE* log;
    CellGeometry cell{s.cell};  // the structure's cell, formed once for the run

    int sites() const { return s.nAtoms + static_cast<int>(p.imageAtom.size()); }
    const AtomRecord& site(int i) const {
        return i < s.nAtoms ? s.atom[static_cast<std::size_t>(i)] : p.imageAtom[static_cast<std::size_t>(i - s.nAtoms)];
    }
    int elementOf(int i) const { return siteElementOf(s, p, i); }
    bool isHydrogen(int i) const { return elementOf(i) == 0; }
    // Distance in angstrom between two fractional positions.
    double distance(const double* f1, const double* f2) const;
    // Angle j-i-k at site i in degrees; 0 when two of the sites coincide.
    double angle(int i, int j, int k) const;
};

// ---- the steps of perception, in the order they run ----
// The bond list of all sites; returns its length.
int findBonds(const PerceptionRun& run);
// The neighbour node of every site from the first bondCount bonds, with its angles.
int verknopfung(const PerceptionRun& run, int bondCount);
// The rings: ring codes and ring sets of the sites.
void ringlord(const PerceptionRun& run);
// Degree of planarity of a site's neighbourhood (1 planar), kept the first time it is
// computed: later calls give that value whatever node they pass.
double planar(const PerceptionRun& run, const Knopf& node, int atomIndex);
// The degree of planarity of a site's node as perception kept it; computed (not kept) for a
// site perception did not measure.
double planarityOf(const Structure& s, const Perception& p, int atomIndex);
// Guesses the charge of an atom from the bond orders of a name: bondOrderName, or the
// atom's quandrel name when null. Adds the oxidation number to the running sum; the log
// line shows the atom's quandrel name.
double calcValeces(const PerceptionRun& run, int atomIndex, const char* bondOrderName = nullptr);
// The molecules of the input atoms and the valence electrons each should hold; returns
// how many there are.
int countMols(const PerceptionRun& run);
// Prints the molecules found and the valence electrons each should hold.
void announceMolecules(const Perception& p);
