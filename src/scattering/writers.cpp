#include "writers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <unordered_set>

#include "../core/failure.h"
#include "engine.h"

namespace scattering {

namespace {

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

File create(const std::string& path) {
    File f(std::fopen(path.c_str(), "w"), &std::fclose);
    if (!f) cannotOpen("%s for writing", path.c_str());
    return f;
}

void finish(File& f, const std::string& path) {
    const bool bad = std::ferror(f.get()) != 0;
    if (std::fclose(f.release()) != 0 || bad) stopWithSystemError("%s: write error", path.c_str());
}

void statisticsLine(FILE* f, const char* which, const FitStatistics& s) {
    std::fprintf(f,
                 "# %-9s scale(F^2) %.6f  scale(F) %.6f  R1(F) %.4f (%d with F^2 > 2 sigma)  %.4f (all %d)  "
                 "wR2(F^2) %.4f (unit weights)  %.4f (1/sigma^2)\n",
                 which, s.scale, std::sqrt(std::max(s.scale, 0.0)), s.r1Observed, s.observed, s.r1All, s.count,
                 s.wr2Unit, s.wr2Sigma);
}

}  // namespace

FcoContent fcoContent(const Model& model, const std::vector<Reflection>& data, const std::vector<std::string>& files,
                      bool spherical, int threads) {
    FcoContent c;
    c.files = files;
    c.model = &model;
    c.data = data;
    std::vector<Miller> hkl;
    hkl.reserve(data.size());
    for (const Reflection& r : data) hkl.push_back(r.hkl);
    std::vector<std::complex<double>> f, fSpherical;
    if (spherical)
        structureFactorsWithSpherical(model, hkl, f, fSpherical, threads);
    else
        f = structureFactors(model, hkl, threads);
    for (const std::complex<double>& v : f) c.f2Model.push_back(std::norm(v));
    for (const std::complex<double>& v : fSpherical) c.f2Spherical.push_back(std::norm(v));
    return c;
}

void writeFco(const std::string& path, const FcoContent& c) {
    if (c.model == nullptr || c.f2Model.size() != c.data.size() ||
        (!c.f2Spherical.empty() && c.f2Spherical.size() != c.data.size()))
        fatal("%s: the calculated values do not match the %zu reflections", path.c_str(), c.data.size());
    const bool spherical = !c.f2Spherical.empty();
    const FitStatistics model = fitStatistics(c.data, c.f2Model);
    File f = create(path);
    FILE* out = f.get();
    std::fprintf(out, "# Quandrele.fco: measured and calculated F^2 of the multipole model\n");
    std::fprintf(out, "# files:");
    for (const std::string& name : c.files) std::fprintf(out, " %s", name.c_str());
    std::fprintf(out, "\n# wavelength %.5f A\n", c.model->wavelength);
    for (const ScatteringType& t : c.model->types)
        std::fprintf(out, "# radial %-4s zeta %.4f 1/A  n_l %d %d %d %d %d\n", t.symbol.c_str(), t.radial.zeta,
                     t.radial.n[0], t.radial.n[1], t.radial.n[2], t.radial.n[3], t.radial.n[4]);
    statisticsLine(out, "model", model);
    if (spherical)
        statisticsLine(out, "spherical", fitStatistics(c.data, c.f2Spherical));
    else
        std::fprintf(out, "# spherical model not calculated: its column repeats F2_calc\n");
    std::fprintf(out, "# F2_calc and F2_spherical on the absolute scale (F2_obs / scale(F^2) compares with them)\n");
    std::fprintf(out, "#   h   k   l  stl(1/A)       F2_obs      sigma      F2_calc F2_spherical\n");
    for (std::size_t i = 0; i < c.data.size(); ++i) {
        const Reflection& r = c.data[i];
        std::fprintf(out, "%5d%4d%4d %9.5f %12.3f %10.3f %12.3f %12.3f\n", r.hkl[0], r.hkl[1], r.hkl[2],
                     sinThetaOverLambda(c.model->cell, r.hkl), r.f2, r.sigma, c.f2Model[i],
                     spherical ? c.f2Spherical[i] : c.f2Model[i]);
    }
    finish(f, path);
}

std::vector<Miller> expandedIndices(const Model& model, const std::vector<Miller>& hkl) {
    std::vector<Miller> out;
    std::unordered_set<long long> seen;
    const long long base = 2 * (MAX_INDEX + 2) * 4;  // room for indices of transformed reflections
    for (const Miller& h : hkl)
        for (const gemmi::Op& op : model.operations) {
            Miller v;
            for (int j = 0; j < 3; ++j)
                v[j] = (h[0] * op.rot[0][j] + h[1] * op.rot[1][j] + h[2] * op.rot[2][j]) / gemmi::Op::DEN;
            const long long key = ((v[0] + base / 2) * base + (v[1] + base / 2)) * base + (v[2] + base / 2);
            if (seen.insert(key).second) out.push_back(v);
        }
    return out;
}

void writeTsc(const std::string& path, const std::string& title, const Model& model, const std::vector<Miller>& hkl,
              int threads) {
    const std::vector<Miller> all = expandedIndices(model, hkl);
    const std::vector<std::complex<double>> f = atomFormFactors(model, all, threads);
    File file = create(path);
    FILE* out = file.get();
    std::fprintf(out, "TITLE: %s\nSYMM: expanded\nAD: FALSE\nSCATTERERS:", title.c_str());
    for (const Atom& a : model.atoms) std::fprintf(out, " %s", a.label.c_str());
    std::fprintf(out, "\nDATA:\n");
    const std::size_t n = model.atoms.size();
    for (std::size_t r = 0; r < all.size(); ++r) {
        std::fprintf(out, "%d %d %d", all[r][0], all[r][1], all[r][2]);
        for (std::size_t j = 0; j < n; ++j) std::fprintf(out, " %.6f,%.6f", f[r * n + j].real(), f[r * n + j].imag());
        std::fputc('\n', out);
    }
    finish(file, path);
}

}  // namespace scattering
