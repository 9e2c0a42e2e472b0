// A structure as a crystallographic file (CIF, SHELX .res/.ins) states it, before it
// enters the structure model. The CIF and SHELX readers fill it; loadCrystal turns it into
// the atoms, scattering table and kappa sets an XD parameter file would have given.
#pragma once

#include <string>
#include <vector>

#include "../driver/Quandrel.h"

// One atom site.
struct CrystalSite {
    std::string label;
    int element = -1;          // element index (atomic number - 1)
    double frac[3] = {0, 0, 0};
    double occupancy = 1.0;    // crystallographic occupancy (special positions already divided)
    int part = 0;              // disorder part, absolute value
    bool aniso = false;
    double uiso = 0;           // isotropic U (A^2) when !aniso
    double u[6] = {0, 0, 0, 0, 0, 0};  // U11 U22 U33 U12 U13 U23 (A^2) as a CIF states them
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
};

// Readers: each stops the run with a clear message naming the file (and the line where
// known) on bad input. block empty: the first data block with atom sites.
CrystalInput readCifInput(const std::string& path, const std::string& block);
CrystalInput readShelxInput(const std::string& path);
