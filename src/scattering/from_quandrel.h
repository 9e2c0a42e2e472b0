// Temporary glue: the scattering model from the structure the XD readers fill (the Structure
// record, which the run holds as its structure). Keep this file thin: the model should
// come from the readers' records directly once the engine is part of a run.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "../core/structure.h"
#include "model.h"

namespace scattering {

// What the master file states that today's readers do not keep: the wavelength (WAVE card)
// and the handedness (R/L column) of every atom's frame in the ATOM table, by label.
struct MasterExtras {
    double wavelength = 0;  // 0: no WAVE card
    std::map<std::string, char> handedness;
};
// Reads them from the text of a master file (name for the messages); a WAVE card without a
// positive number or an ATOM-table line without R or L in its seventh word stops the run.
MasterExtras parseMasterExtras(const std::string& text, const std::string& name);

struct QuandrelInputs {
    MasterExtras master;
    std::map<int, RadialSet> radial;  // by atomic number; elements not in it get standardRadial
    // The spherical-atom table of an element (atomic number).
    std::function<SphericalTable(int z)> spherical;
};

struct QuandrelModel {
    Model model;
    double scale = 0;  // the last number of the parameter file (XD's scale factor on F)
    WarningLog warnings;  // what was left out of the model (on standard error already)
};

// Cell, symmetry, scattering types (DELF', DELF''), kappa sets, atoms with their populations
// and frames (ATOM0 and ATOM2 may be dummies). Displacements of order 3 and 4 are left out.
QuandrelModel modelFromQuandrel(const Structure& q, const QuandrelInputs& inputs);

}  // namespace scattering
