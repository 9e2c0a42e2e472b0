// The structure as the readers give it: cell, symmetry, scattering table, kappa sets, the
// atoms with their parameters and the dummy atoms. Every reader (XD, MoPro, CIF, SHELX)
// returns one; the later stages read it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "largepages.h"
#include "warnings.h"

// ---------------------------------------------------------------------------------
// Capacities. They bound the size of a structure the program handles; every reader
// and stage enforces them with a clear message instead of writing past storage.
// ---------------------------------------------------------------------------------
constexpr int MAX_ATOMS = 99999;       // atoms and dummies together: XD's parameter file
                                       // writes atom numbers in five columns
constexpr int NAME_CAP = 280;          // a quandrel name holds at most 279 characters
constexpr int LABEL_CAP = 20;          // atom labels: at most 19 characters
constexpr int MAX_KAPPA = 999;         // kappa sets
constexpr int MAX_SCAT = 20;           // scattering-table entries
constexpr int MAX_TRAILING = 10;       // numbers on the last line of the parameter file
constexpr int BONDS_PER_ATOM = 10;     // bond list holds 10 records per atom
constexpr int MAX_NEIGHBOURS = 11;     // neighbours per node with full angle information
constexpr int LINE_CAP = 128;          // line buffers of the XD readers, settings, database

// One entry of the scattering table of the master file ("SCAT" ... "END SCAT").
struct ScatEntry {
    int number = 0;            // 1-based position in the table
    char symbol[4] = "";       // first word of the entry line
    int element = 0;           // element index (atomic number - 1)
    int electrons = 0;         // sum of |occupations|
    int valenceElectrons = 0;  // sum of |negative occupations|
    char word2[6] = "";
    char word3[6] = "";
    char word4[8] = "";
    double values[3] = {0, 0, 0};
    int occupations[18] = {};
};

// The rings an atom belongs to, by ring number (counted from 0 in the order the rings are
// found). An atom belongs to at most MAX_RINGS_PER_ATOM rings. It converts to and from the
// bit mask of the first 32 rings (ring k is bit k), the form tests and logs use.
constexpr int MAX_RINGS_PER_ATOM = 9;  // digits of the ring code
class RingSet {
public:
    RingSet() = default;
    RingSet(int mask);  // NOLINT: a bit mask of rings 0..31
    RingSet& operator=(int mask) { return *this = RingSet(mask); }

    // Adds ring number r; false when the atom already holds MAX_RINGS_PER_ATOM rings.
    bool add(int r);
    // Whether the two atoms share a ring.
    bool shares(const RingSet& other) const;
    bool empty() const { return count_ == 0; }
    int size() const { return count_; }
    int ring(int k) const { return rings_[k]; }
    // The bit mask of the rings numbered below 32.
    int bits() const;

    friend bool operator==(const RingSet& a, const RingSet& b);
    friend bool operator!=(const RingSet& a, const RingSet& b) { return !(a == b); }

private:
    int rings_[MAX_RINGS_PER_ATOM] = {};  // ascending
    int count_ = 0;
};
inline bool operator==(const RingSet& a, int mask) { return a == RingSet(mask); }
inline bool operator==(int mask, const RingSet& a) { return a == RingSet(mask); }
inline bool operator!=(const RingSet& a, int mask) { return !(a == mask); }

// One atom (or dummy atom) record, as the reader fills it. The structure as read is never
// changed after reading: the Transfer's model, which starts from it, takes the transferred
// populations, kappas and frames (docs/architecture.md lists which stage writes which field).
// What perception finds about an atom (rings, planarity, molecule) is in the Perception.
struct AtomRecord {
    char label[LABEL_CAP] = "";
    char group[8] = "";
    int groupNo = 0;
    int ax1 = 0, ax2 = 0;                 // 1 = X, 2 = Y, 3 = Z
    int atom0 = 0, atom1 = 0, atom2 = 0;  // 1-based atoms of the local frame
    char axisAtom1[30] = "";
    char axisAtom2[30] = "";
    int tp = 0;
    int tbl = 0;                          // 1-based scattering-table entry
    int kap = 0;                          // 1-based kappa set
    int lmx = 0;
    int symCode = 0, chemCon = 0;
    double frac[3] = {0, 0, 0};
    double u[6] = {0, 0, 0, 0, 0, 0};
    double kappa[6] = {0, 0, 0, 0, 0, 0};
    char axisChars[3] = {0, 0, 0};
    double multipole[26] = {};
    double occupancy = 0;
    double c3[10] = {};
    double d4[15] = {};
    double cart[3] = {0, 0, 0};
    char siteSym[30] = "";
    double elNeg = 0;
    int part = 0;
    double planarity = 0;
    std::string modelCompound;            // at most 511 characters
};

// The atom table; large ones are kept in large pages.
using AtomArray = std::vector<AtomRecord, LargePageAllocator<AtomRecord>>;

// One symmetry operator acting on fractional coordinates: x' = rot x + tran.
struct SymOp {
    int rot[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    double tran[3] = {0, 0, 0};
    std::string text;  // lower-case triplet, translations in [0, 1), e.g. "-x,y+1/2,-z+1/2"

    void apply(const double (&in)[3], double (&out)[3]) const {
        for (int r = 0; r < 3; ++r) out[r] = rot[r][0] * in[0] + rot[r][1] * in[1] + rot[r][2] * in[2] + tran[r];
    }
};

// Crystal symmetry as a master file's LATT and SYMM cards state it. The identity, the
// inversion partners of a centric lattice and the centring translations are implied, not
// listed. Readers fill it; completing molecules across symmetry and building a master-file
// template read it.
struct CrystalSymmetry {
    bool known = false;             // false: the input stated no symmetry
    char centric = 'C';             // 'C' centrosymmetric, 'A' acentric
    char lattice = 'P';             // P, A, B, C, I, F or R
    std::vector<std::string> symm;  // operator texts of the SYMM cards, e.g. "-X,1/2+Y,1/2-Z"
    // The full operator list the cards give (identity first, inversions, centrings), parsed
    // once when the structure is read; empty when it was not (a structure built in memory,
    // or cards that give no list: the stages that need one then stop with the reason).
    std::vector<SymOp> operators;
};

// The structure. Atoms 0..nAtoms-1 stand in atom, the dummies of the input behind them.
struct Structure {
    std::string source;                 // the structure file read (for XD input its parameter file)
    char title[50] = "";
    double cell[6] = {0, 0, 0, 0, 0, 0};
    CrystalSymmetry symmetry;
    ScatEntry scatTable[MAX_SCAT];
    int nScat = 0;                      // entries filled in scatTable
    AtomArray atom;                     // atoms 0..nAtoms-1, dummies behind them
    int nAtoms = 0;
    int nDummy = 0;
    int multipoleLevel = 0;
    int nKappa = 0;
    int usageRest[10] = {};
    int kappaNo[MAX_KAPPA] = {};
    double kappaSet[6][MAX_KAPPA] = {};
    double trailingValues[MAX_TRAILING] = {};
    int nTrailing = 0;
    std::vector<std::string> masTemplate;  // master file built from a crystal file; used when there is no "xd.mas"
    WarningLog readerWarnings;          // what the readers warned about (on standard error already)

    // Records for the atoms, the dummies of the input behind them and the dummy DUM0 behind
    // those; room is kept for as many dummies again as there are atoms, without touching
    // it, for the dummies the database stage adds. Records already there stay as they are.
    void makeRoomForAtoms(int atoms, int dummies);

    // Element index of an atom (through its scattering-table entry); -1 when the entry is unset.
    int elementOf(int atomIndex) const;
    bool isHydrogen(int atomIndex) const { return elementOf(atomIndex) == 0; }
};
