// A structure as a crystallographic file (CIF, SHELX .res/.ins) states it, before it
// enters the structure model. The CIF and SHELX readers fill it; loadCrystal turns it into
// the atoms, scattering table and kappa sets an XD parameter file would have given.
#pragma once

#include <string>
#include <vector>

#include "../core/options.h"
#include "../core/structure.h"

// One atom site.
struct CrystalSite {
    std::string label;
    int element = -1;          // element index (atomic number - 1)
    double frac[3] = {0, 0, 0};
    double occupancy = 1.0;    // crystallographic occupancy (special positions already divided)
    int part = 0;              // disorder part with its sign (negative: disordered across a symmetry element)
    bool aniso = false;
    double uiso = 0;           // isotropic U (A^2) when !aniso
    double u[6] = {0, 0, 0, 0, 0, 0};  // U11 U22 U33 U12 U13 U23 (A^2) as a CIF states them
};

// Anomalous dispersion an atom-type list states for an element (NaN: not stated).
struct CrystalAtomType {
    int element = -1;
    double fp = 0, fpp = 0;
};

// The whole structure of one file (one data block of a CIF).
struct CrystalInput {
    std::string source;        // file name, for messages
    std::string title;         // CIF data block name or SHELX TITL
    double cell[6] = {0, 0, 0, 0, 0, 0};
    double cellSd[6] = {0, 0, 0, 0, 0, 0};
    double wavelength = 0;     // 0: not stated
    CrystalSymmetry symmetry;  // always known after a successful read
    std::vector<CrystalSite> sites;
    std::vector<CrystalAtomType> atomTypes;  // may be empty
    WarningLog warnings;       // what the reader warned about (on standard error already)
};

// Readers: each stops the run with a clear message naming the file (and the line where
// known) on bad input. block empty: the first data block with atom sites.
CrystalInput readCifInput(const std::string& path, const std::string& block);
CrystalInput readShelxInput(const std::string& path);

// Turns a structure read by one of the readers into the structure model: labels as given,
// one scattering-table entry and one kappa set per element in order of first appearance,
// displacement parameters as XD stores them, the populations of neutral spherical atoms,
// a default local frame per atom, and the master-file template built in memory.
void loadCrystal(Structure& s, const CrystalInput& in);

// Reads the structure file the settings or the switch -input chose (options.inputFile) with
// the reader of its kind and loads it.
void readCrystalFile(Structure& s, const Options& options);

// The master file that XD's set-up program would write for the loaded structure, line by line.
std::vector<std::string> buildMasterTemplate(const Structure& s, const CrystalInput& in);

// Occupations of the 18 subshells of a scattering-table row for the neutral element
// (positive: core, negative: valence).
void groundStateOccupations(int element, int (&occupations)[18]);

// Symbol of an element in XD's tables.
const char* xdElementSymbol(int element);

