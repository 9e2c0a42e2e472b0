#include "statistics.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

#include "../core/failure.h"

namespace scattering {

FitStatistics fitStatistics(const std::vector<Reflection>& data, const std::vector<double>& f2calc) {
    if (data.size() != f2calc.size())
        fatal("fit statistics: %zu reflections but %zu calculated values", data.size(), f2calc.size());
    FitStatistics s;
    s.count = static_cast<int>(data.size());
    auto weight = [](const Reflection& r) { return r.sigma > 0 ? 1 / (r.sigma * r.sigma) : 1.0; };
    double num = 0, den = 0;
    for (std::size_t i = 0; i < data.size(); ++i) {
        num += weight(data[i]) * data[i].f2 * f2calc[i];
        den += weight(data[i]) * f2calc[i] * f2calc[i];
    }
    s.scale = den > 0 ? num / den : 0;
    const double root = std::sqrt(std::max(s.scale, 0.0));
    double r1o[2] = {0, 0}, r1a[2] = {0, 0}, unit[2] = {0, 0}, sig[2] = {0, 0};
    for (std::size_t i = 0; i < data.size(); ++i) {
        const Reflection& r = data[i];
        const double fo = std::sqrt(std::max(r.f2, 0.0));
        const double fc = std::sqrt(std::max(f2calc[i], 0.0));
        const double d = std::fabs(fo - root * fc);
        r1a[0] += d;
        r1a[1] += fo;
        if (r.f2 > 2 * r.sigma) {
            r1o[0] += d;
            r1o[1] += fo;
            ++s.observed;
        }
        const double diff = r.f2 - s.scale * f2calc[i];
        unit[0] += diff * diff;
        unit[1] += r.f2 * r.f2;
        sig[0] += weight(r) * diff * diff;
        sig[1] += weight(r) * r.f2 * r.f2;
    }
    auto ratio = [](const double (&v)[2]) { return v[1] > 0 ? v[0] / v[1] : 0.0; };
    s.r1All = ratio(r1a);
    s.r1Observed = ratio(r1o);
    s.wr2Unit = std::sqrt(ratio(unit));
    s.wr2Sigma = std::sqrt(ratio(sig));
    return s;
}

std::vector<ResolutionShell> resolutionShells(const std::vector<Reflection>& data, const std::vector<double>& stol,
                                              const std::vector<double>& f2calc, double scale, int shells) {
    if (stol.size() != data.size() || f2calc.size() != data.size())
        fatal("resolution shells: %zu reflections but %zu sin(theta)/lambda and %zu calculated values", data.size(),
              stol.size(), f2calc.size());
    std::vector<std::size_t> order(data.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return stol[a] < stol[b]; });
    const std::size_t n = std::min(order.size(), static_cast<std::size_t>(std::max(shells, 1)));
    const double root = std::sqrt(std::max(scale, 0.0));
    std::vector<ResolutionShell> out;
    std::size_t begin = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t size = order.size() / n + (k < order.size() % n ? 1 : 0);
        ResolutionShell shell;
        shell.stolMin = stol[order[begin]];
        shell.stolMax = stol[order[begin + size - 1]];
        shell.count = static_cast<int>(size);
        double diff = 0, sum = 0;
        for (std::size_t m = begin; m < begin + size; ++m) {
            const std::size_t i = order[m];
            const double fo = std::sqrt(std::max(data[i].f2, 0.0));
            diff += std::fabs(fo - root * std::sqrt(std::max(f2calc[i], 0.0)));
            sum += fo;
        }
        shell.r1 = sum > 0 ? diff / sum : 0;
        out.push_back(shell);
        begin += size;
    }
    return out;
}

FitToData fitToData(std::string reflectionFile, std::vector<Reflection> data, std::vector<double> stol,
                    std::vector<double> f2Model, std::vector<double> f2Spherical, int shells) {
    FitToData fit;
    fit.reflectionFile = std::move(reflectionFile);
    fit.data = std::move(data);
    fit.stol = std::move(stol);
    fit.f2Model = std::move(f2Model);
    fit.f2Spherical = std::move(f2Spherical);
    fit.model.overall = fitStatistics(fit.data, fit.f2Model);
    fit.model.shells = resolutionShells(fit.data, fit.stol, fit.f2Model, fit.model.overall.scale, shells);
    fit.spherical.overall = fitStatistics(fit.data, fit.f2Spherical);
    fit.spherical.shells = resolutionShells(fit.data, fit.stol, fit.f2Spherical, fit.spherical.overall.scale, shells);
    return fit;
}

}  // namespace scattering
