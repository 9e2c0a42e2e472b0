// Structure factors of a run: the model as read (-fcalc) or as written after the transfer
// (-hkl) against a reflection file, with the spherical atoms the options choose.
#pragma once

#include <string>
#include <vector>

#include "../core/options.h"
#include "../core/structure.h"
#include "../scattering/model.h"
#include "../scattering/reflections.h"
#include "../scattering/statistics.h"

// The reflections of a file: XD's format when its first line is a "F^2 NDAT" header, else
// SHELX HKLF 4.
std::vector<scattering::Reflection> readReflections(const std::string& path);

// The model of a structure: the master file's wavelength and frame handedness (its text and
// name), the radial exponents of -radial (standard ones for the other elements), spherical
// atoms of the options for every scattering-table row, with dispersion computed for the
// wavelength where the row states none.
// What the model leaves out is warned about on standard error and, given a log, kept there.
scattering::Model modelOfStructure(const Structure& s, const Options& options, const std::string& masterText,
                                   const std::string& masterName, WarningLog* warnings = nullptr);

// -fcalc: writes Quandrele.fco for the model as read and prints the R-values; returns 0.
int runFcalc(const Structure& s, const Options& options);

// -hkl, after the new XD files are written: the model as written (xd.res.quandreltool with the
// run's cell, symmetry and scattering table, frames handed as xd.mas.quandreltool says) and
// its spherical model against the reflections; writes Quandrele.fco and Quandrele.tsc (the
// written model's own form factors at every reflection and its symmetry equivalents) and
// prints the R-values. Returns both models' fit to the data for the report; its warnings go
// into the log.
scattering::FitToData runHkl(const Structure& run, const Options& options, WarningLog& warnings);
