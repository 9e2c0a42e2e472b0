// The engine's output files: Quandrele.fco (measured against calculated F^2) and
// Quandrele.tsc (tabulated atomic form factors). Formats in docs/structure-factors.md.
#pragma once

#include <string>
#include <vector>

#include "model.h"
#include "reflections.h"
#include "statistics.h"

namespace scattering {

struct FcoContent {
    std::vector<std::string> files;  // the files read, in the order read
    const Model* model = nullptr;    // wavelength and radial exponents of the header
    std::vector<Reflection> data;
    std::vector<double> f2Model;      // absolute scale, one per reflection
    std::vector<double> f2Spherical;  // the spherical model's; empty when it was not calculated
};

// The content of a .fco file: F^2 of the model and, when spherical is set, of its spherical
// model (sphericalModel) for the data.
FcoContent fcoContent(const Model& model, const std::vector<Reflection>& data, const std::vector<std::string>& files,
                      bool spherical, int threads = 0);

// Writes the header lines (starting with '#') and one row per reflection
// "h k l sin(theta)/lambda F2_obs sigma F2_calc F2_spherical". Without a spherical model the
// header says so and its column repeats F2_calc. Stops the run when the file cannot be written.
void writeFco(const std::string& path, const FcoContent& content);

// The reflections of the data with every symmetry equivalent h R (operations' rotations),
// each index once, in the order of first appearance.
std::vector<Miller> expandedIndices(const Model& model, const std::vector<Miller>& hkl);

// Writes the .tsc file: TITLE, SYMM: expanded, AD: FALSE, SCATTERERS (the atoms in model
// order), DATA:, then for every index of expandedIndices one line "h k l re,im re,im ...",
// each atom's own form factor (no displacement, no dispersion).
void writeTsc(const std::string& path, const std::string& title, const Model& model, const std::vector<Miller>& hkl,
              int threads = 0);

}  // namespace scattering
