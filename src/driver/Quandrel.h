// The central object of QuandrelTool: the structure model and the run state in one.
// Every stage is a member operation; stages hand results to one another only through
// the members below and the few process-wide values declared at the end of this file.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "../geometry/vec.h"
#include "../core/largepages.h"
#include "../core/options.h"

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

// One atom (or dummy atom) record.
//
// The stages run in this order: (1) the reader of the input, one of readInp, readMoProParam
// or loadCrystal, when the object is made; (2) findOutNames: completeMolecules, findBonds,
// verknopfung, ringlord, calcValeces and countMols, getNames, asymm, the override file;
// (3) findInDataBase with buildLocalFrame; (4) setupNewInpAndMasFile: huconstrain, the
// neutrality correction, rebuildKappaSets, the writers. Fields that more than one stage writes:
// - multipole: the reader (loadCrystal sets the monopole alone); findInDataBase then
//   replaces all 26 populations of every atom found in the database. The neutrality
//   correction is applied when the file is written, never stored here.
// - kappa: the reader (from the file's kappa sets, 1.0 for crystal input); findInDataBase
//   for every atom found.
// - kap: the reader; rebuildKappaSets (stage 4) numbers it anew against the kappa sets it
//   builds from kappa, just before the parameter file is written.
// - lmx, tp, tbl: the reader alone. The master-file writer prints lmx 2 for hydrogen in
//   xd.mas.HasSameSymm without storing it.
// - ax1, ax2, atom0, atom1, atom2: the reader; findInDataBase and buildLocalFrame for every
//   atom found whose KS: line can be read (all five or none), also appending dummy atoms
//   behind the atoms (frac and cart of the dummies are theirs).
// - siteSym, planarity, modelCompound: findInDataBase alone.
// - u: the reader; huconstrain (stage 4) sets U iso of constrained hydrogens.
// - molecule: countMols in stage 2 owns it; completeMolecules sets 0 for the images it
//   adds, before countMols runs.
// - ringCode, ringMask: ringlord; completeMolecules clears them for its images before.
// - sameNameAs: getNames; completeMolecules clears it for its images before.
// - planarCache: the reader sets -1 (not yet measured); planar caches its value in stage
//   2 and later; completeMolecules sets -1 for its images.
// - frac, cart: the reader; completeMolecules for its images.
// - elNeg: the neutrality stage alone.
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
    char sameNameAs[LABEL_CAP] = "";
    double elNeg = 0;
    int part = 0;
    int molecule = 0;
    int ringCode = 0;
    RingSet ringMask;                     // the rings the atom belongs to
    double planarCache = -1.0;
    double planarity = 0;
    std::string modelCompound;            // at most 511 characters
};

// The atom table; large ones are kept in large pages.
using AtomArray = std::vector<AtomRecord, LargePageAllocator<AtomRecord>>;

// Crystal symmetry as a master file's LATT and SYMM cards state it. The identity, the
// inversion partners of a centric lattice and the centring translations are implied, not
// listed. Readers fill it; completing molecules across symmetry and building a master-file
// template read it.
struct CrystalSymmetry {
    bool known = false;             // false: the input stated no symmetry
    char centric = 'C';             // 'C' centrosymmetric, 'A' acentric
    char lattice = 'P';             // P, A, B, C, I, F or R
    std::vector<std::string> symm;  // operator texts of the SYMM cards, e.g. "-X,1/2+Y,1/2-Z"
};

// A symmetry image that completes a molecule: the input atom it copies, the operator of
// the expanded list (0-based, 0 = identity) and the lattice translation added after it.
struct ImageOrigin {
    int atom = 0;
    int op = 0;
    int shift[3] = {0, 0, 0};
};

// What the database searches have seen last while scanning the file from its start.
struct DatabaseSeen {
    std::string modelLine;    // the last "Model Compound Name:" line (cut to MODEL_LINE_CAP)
    double planarity = 0.0;   // the last degree of planarity
};
constexpr std::size_t MODEL_LINE_CAP = 511;

// One bond of the process-wide bond list: first atom < second atom.
struct Bond {
    int first = 0;
    int second = 0;
    double length = 0;
    double margin = 0;  // reference length minus length
};

class Quandrel {
public:
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

    // Tag for a test object: opens the report files and sets every default, reads nothing.
    struct NoInput {};

    // Opens the report files; the structure is read by readStructure.
    explicit Quandrel(const Options& options);
    explicit Quandrel(NoInput);
    ~Quandrel();
    Quandrel(const Quandrel&) = delete;
    Quandrel& operator=(const Quandrel&) = delete;

    // ---- options of the run (command line and settings file) ----
    Options opt;

    // ---- database stage: what it read of the database ----
    // The database's distinct entry names in file order with their model compounds (database
    // stage); the report ranks the nearest entries of missing atoms among them.
    std::size_t databaseEntries = 0;  // distinct entry names in the database
    // The database's entry names with their model compounds, kept when some atom is missing
    // (the report lists the entries nearest to its name).
    std::vector<std::pair<std::string, std::string>> databaseNames;

    // ---- report streams and bookkeeping ----
    FILE* outFile = nullptr;
    FILE* logFile = nullptr;

    // ---- structure read from the input files ----
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

    // ---- perception and naming results ----
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
    std::vector<int> imageDummy;            // dummy array position standing for image k, -1: none

    // ---- database transfer results ----
    // The coordinate-system table as the database stage writes it to the log: the lines
    // behind its header, without their newline, up to and including "END ATOM". The
    // master-file writer takes its ATOM lines from here.
    std::vector<std::string> frameTable;
    // The last "Model Compound Name:" line and degree of planarity the database searches
    // have seen; a search that sees none leaves them as the search before left them.
    DatabaseSeen databaseSeen;

    // ---- structure input ----
    // Reads the structure the options name: a CIF or SHELX file, the MoPro files, or xd.mas
    // and xd.res.
    void readStructure();
    void readInp();
    void readPartAux();
    void readMas();
    void readMoProParam();
    void readMoProTab(int k, char* word);

    // ---- geometry ----
    void frac2cart(const double* frac, double (&out)[3]);
    void cart2frac(const double* cart, double (&out)[3]);
    double laenge(double x1, double y1, double z1, double x2, double y2, double z2);
    double winkel(int i, int j, int k);

    // ---- chemical perception ----
    void findOutNames();
    int findBonds();
    int verknopfung(int bondCount);
    void ringlord();
    double planar(Knopf node, int atomIndex);
    // Guesses the charge of an atom from the bond orders of a name: bondOrderName, or the
    // atom's quandrel name when null. The log line shows the atom's quandrel name.
    double calcValeces(int atomIndex, const char* bondOrderName = nullptr);
    int countMols();
    int asymm();
    void readOverrides(FILE* answers);  // "Quandrele.in", questions answered from answers

    // ---- naming ----
    void getNames(int bondCount);
    // Brings atom i's name into canonical order. A name's canonical form depends on the name
    // alone: with sorted, forms found before are taken from there and new ones kept there.
    void sortQuandrel(int atomIndex, std::unordered_map<std::string, std::string>* sorted = nullptr);

    // ---- database transfer ----
    void findInDataBase();

    // ---- symmetry completion ----
    bool completionWanted() const;
    int completeMolecules();     // adds the bonded images; returns how many
    void warnSymmetryBonds();    // names input atoms with a bonded neighbour only symmetry provides
    void detachImages();         // moves the images out of atom once perception has ended
    int inputAtoms() const { return nInput >= 0 ? nInput : nAtoms; }
    bool isImage(int index) const { return nInput >= 0 && index >= nInput; }

    // Records for the atoms, the dummies of the input behind them and the dummy DUM0 behind
    // those; room is kept for as many dummies again as there are atoms, without touching
    // it, for the dummies the database stage adds. Records already there stay as they are.
    void makeRoomForAtoms(int atoms, int dummies);
    int originOf(int index) const;                 // the input atom an atom or image stands for
    const AtomRecord& site(int index) const;       // an input atom or an image by knopf index
    int siteElement(int index) const;              // element index of site(index)

    // ---- refinement input writer ----
    void setupNewInpAndMasFile();
    void huconstrain();
    int insertFiles();

    // ---- local symmetry analysis ----
    void findSomeSymm();

    // Element index of an atom (through its scattering-table entry); -1 when the entry is unset.
    int elementOf(int atomIndex) const;
    bool isHydrogen(int atomIndex) const { return elementOf(atomIndex) == 0; }

private:
    void openReports();
};

// ---- process-wide values ----
extern std::vector<Bond> bnd;   // the bond list
extern double totalOxi;         // running sum of oxidation numbers and charges
extern std::vector<int> gut;    // per atom: 1 when found in the database
