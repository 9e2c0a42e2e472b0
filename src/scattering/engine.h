// The structure-factor engine: complex F(h) of a Hansen-Coppens model summed over the
// symmetry operations, and each atom's own form factor for tabulated-form-factor files.
#pragma once

#include <complex>
#include <vector>

#include "model.h"
#include "reflections.h"

namespace scattering {

// sin(theta)/lambda (1/A) of a reflection.
double sinThetaOverLambda(const gemmi::UnitCell& cell, const Miller& h);

// Worker threads for a request: requested when positive, else the hardware's count, at
// least 1.
int threadCount(int requested);

// F(h) = sum over operations (R, t) and atoms of occ (f_atom(hR) + f' + i f'') T(hR)
// exp(2 pi i (hR.x + h.t)), on the absolute scale. Runs validate() first and stops the run
// when a spherical-atom table does not reach the data's sin(theta)/lambda.
std::vector<std::complex<double>> structureFactors(const Model& model, const std::vector<Miller>& hkl,
                                                   int threads = 0);

// F of the model and of its spherical model (sphericalModel) in one pass, which shares the
// displacement and phase factors.
void structureFactorsWithSpherical(const Model& model, const std::vector<Miller>& hkl,
                                   std::vector<std::complex<double>>& f, std::vector<std::complex<double>>& spherical,
                                   int threads = 0);

// f_j(h) of every atom alone, in its own frame, without displacement and dispersion; row
// r * atoms + j holds atom j at reflection r.
std::vector<std::complex<double>> atomFormFactors(const Model& model, const std::vector<Miller>& hkl,
                                                  int threads = 0);

}  // namespace scattering
