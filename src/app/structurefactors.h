// Structure factors of the model a run reads (-fcalc): the model against a reflection file,
// with the spherical atoms the options choose; writes Quandrele.fco and prints the R-values.
#pragma once

#include <string>
#include <vector>

#include "../core/options.h"
#include "../core/structure.h"
#include "../scattering/model.h"
#include "../scattering/reflections.h"

// The reflections of a file: XD's format when its first line is a "F^2 NDAT" header, else
// SHELX HKLF 4.
std::vector<scattering::Reflection> readReflections(const std::string& path);

// The model of the structure as read: the master file's wavelength and frame handedness, the
// radial exponents of -radial (standard ones for the other elements), spherical atoms of the
// options for every scattering-table row, with dispersion computed for the wavelength where
// the row states none.
scattering::Model modelOfStructure(const Structure& s, const Options& options);

// -fcalc: writes Quandrele.fco for the model as read and prints the R-values; returns 0.
int runFcalc(const Structure& s, const Options& options);
