// Small models shared by the scattering tests.
#pragma once

#include <complex>
#include <vector>

#include "scattering/model.h"
#include "scattering/reflections.h"

namespace scatteringtest {

// One scattering type of element z with IT92 spherical tables (core electrons coreElectrons),
// standard radial exponents and no dispersion; one kappa set of ones.
scattering::Model oneTypeModel(int z, int coreElectrons, double a = 7, double b = 8, double c = 9,
                               double beta = 100);

// An atom of type 0, kappa set 0, neutral valence population pv.
scattering::Atom atomAt(const char* label, scattering::Vec3 frac, double pv);

// All reflections with |h|, |k|, |l| <= n except 0 0 0.
std::vector<scattering::Miller> indicesUpTo(int n);

}  // namespace scatteringtest
