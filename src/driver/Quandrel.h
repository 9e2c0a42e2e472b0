// The run: the structure (the readers' record), what perception found (Perception), what the
// database stage transferred (Transfer), the options and the report files. The stages that
// are still member operations hand results to one another through these records.
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
#include "../chem/perception.h"
#include "../database/transfer.h"

class Quandrel : public Structure, public Perception, public Transfer {
public:
    using Knopf = ::Knopf;

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

    // ---- report streams and bookkeeping ----
    FILE* outFile = nullptr;
    FILE* logFile = nullptr;

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

