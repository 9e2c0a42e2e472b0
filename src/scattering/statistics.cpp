#include "statistics.h"

#include <algorithm>
#include <cmath>

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

}  // namespace scattering
