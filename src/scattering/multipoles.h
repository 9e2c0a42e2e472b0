// The angular and radial pieces of the aspherical atom: real spherical harmonics d_lm
// normalised for densities, and the Fourier-Bessel transforms of Slater radial functions.
#pragma once

#include <array>
#include <vector>

#include "model.h"

namespace scattering {

// l and m of the 25 multipoles in XD's order; sign +1 for the cosine (or m = 0), -1 for the
// sine function.
struct MultipoleIndex {
    int l, m, sign;
};
const std::array<MultipoleIndex, N_MULTIPOLES>& multipoleOrder();

// The density-normalised real harmonics at the unit vector u (local frame), in XD's order:
// d_lm = N_lm P_l^m(cos theta) {cos, sin}(m phi), P_l^m without the Condon-Shortley phase,
// N_lm such that the integral of |d_lm| over the sphere is 2 (l >= 1) and d_00 = 1/(4 pi).
void densityHarmonics(const Vec3& u, double (&d)[N_MULTIPOLES]);

// The normalisation constants N_lm (computed once, by numerical integration).
const std::array<double, N_MULTIPOLES>& harmonicNorms();

// <j_l>(k) = integral R(r) j_l(k r) r^2 dr of the normalised Slater function
// R(r) = zeta^(n+3)/(n+2)! r^n exp(-zeta r). It depends on t = k / zeta alone and is a
// rational function of t, Q(t) / (1 + t^2)^(n+2), whose numerator is built exactly once per
// (n, l); n must lie in max(0, l-1)..12.
class SlaterTransforms {
public:
    SlaterTransforms();
    double operator()(int n, int l, double t) const;

private:
    // numerator coefficients (ascending powers of t) with the constant denominator folded in
    std::vector<double> q_[13][MAX_L + 1];
};
const SlaterTransforms& slaterTransforms();

}  // namespace scattering
