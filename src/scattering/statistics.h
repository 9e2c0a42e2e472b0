// Agreement between measured and calculated F^2.
#pragma once

#include <vector>

#include "reflections.h"

namespace scattering {

struct FitStatistics {
    double scale = 0;     // k of F2obs ~ k F2calc, least squares with weights 1/sigma^2
    double r1Observed = 0;  // R1(F) over the reflections with F2obs > 2 sigma
    double r1All = 0;       // R1(F) over all
    double wr2Unit = 0;     // wR2(F^2) with unit weights
    double wr2Sigma = 0;    // wR2(F^2) with weights 1/sigma^2
    int observed = 0;       // reflections with F2obs > 2 sigma
    int count = 0;
};

// k = sum w F2obs F2calc / sum w F2calc^2 with w = 1/sigma^2 (unit weights when a sigma is
// not positive); R1 = sum |Fobs - sqrt(k) Fcalc| / sum Fobs with Fobs = sqrt(max(F2obs, 0));
// wR2 = sqrt(sum w (F2obs - k F2calc)^2 / sum w F2obs^2). f2calc on the absolute scale, one
// per reflection.
FitStatistics fitStatistics(const std::vector<Reflection>& data, const std::vector<double>& f2calc);

}  // namespace scattering
