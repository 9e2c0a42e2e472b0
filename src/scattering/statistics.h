// Agreement between measured and calculated F^2.
#pragma once

#include <string>
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

// One resolution shell: the reflections with sin(theta)/lambda from stolMin to stolMax.
struct ResolutionShell {
    double stolMin = 0, stolMax = 0;  // 1/A, of the shell's own reflections
    int count = 0;
    double r1 = 0;  // R1(F) of all its reflections, on the model's overall scale sqrt(k)
};

// The reflections sorted by sin(theta)/lambda and cut into `shells` shells of equal count
// (the first ones one larger where it does not divide; fewer shells than asked when there are
// fewer reflections); R1(F) of each with the scale k on F^2 of the whole data.
std::vector<ResolutionShell> resolutionShells(const std::vector<Reflection>& data, const std::vector<double>& stol,
                                              const std::vector<double>& f2calc, double scale, int shells);

// How a model fits the data: the statistics of the whole data and per shell.
struct ModelFit {
    FitStatistics overall;
    std::vector<ResolutionShell> shells;
};

// Both models of a run against its reflections: the transferred (multipole) model and its
// spherical-atom model, with what a plot of them needs per reflection.
struct FitToData {
    std::string reflectionFile;
    std::vector<Reflection> data;
    std::vector<double> stol;         // sin(theta)/lambda per reflection
    std::vector<double> f2Model;      // absolute scale
    std::vector<double> f2Spherical;  // absolute scale
    ModelFit model, spherical;
};

constexpr int RESOLUTION_SHELLS = 10;

FitToData fitToData(std::string reflectionFile, std::vector<Reflection> data, std::vector<double> stol,
                    std::vector<double> f2Model, std::vector<double> f2Spherical, int shells = RESOLUTION_SHELLS);

}  // namespace scattering
