// The readers of the structure: XD master and parameter files, MoPro files, CIF and SHELX
// files. Each fills the structure from what its files say and stops the run with a message
// naming the file where they cannot be used.
#pragma once

#include "../core/options.h"
#include "../core/structure.h"

// The structure the options name: a CIF or SHELX file, the MoPro files, or xd.mas and
// xd.res. The MoPro reader asks for a file name the options lack and keeps it there.
Structure readStructure(Options& options);

// xd.mas: title, cell, symmetry cards, scattering table.
void readMasterFile(Structure& s);
// xd.res (or xd.inp): atoms, dummies, kappa sets, the trailing values; then xd_part.aux.
void readParameterFile(Structure& s);
// A parameter file this program wrote (fileName), read quietly into a structure that holds
// the master file's cell, symmetry and scattering table already.
void readWrittenParameterFile(Structure& s, const char* fileName);
// xd_part.aux: the disorder part of every atom (0 without the file).
void readPartFile(Structure& s);
// The MoPro parameter file and, per scattering type, mopro.tab.
void readMoProFiles(Structure& s, Options& options);
void readMoProTable(Structure& s, Options& options, int k, char* word);
