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
#include "../core/structure.h"

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

class Quandrel : public Structure {
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

    int originOf(int index) const;                 // the input atom an atom or image stands for
    const AtomRecord& site(int index) const;       // an input atom or an image by knopf index
    int siteElement(int index) const;              // element index of site(index)

    // ---- refinement input writer ----
    void setupNewInpAndMasFile();
    void huconstrain();
    int insertFiles();

    // ---- local symmetry analysis ----
    void findSomeSymm();


private:
    void openReports();
};

// ---- process-wide values ----
extern std::vector<Bond> bnd;   // the bond list
extern double totalOxi;         // running sum of oxidation numbers and charges
extern std::vector<int> gut;    // per atom: 1 when found in the database
