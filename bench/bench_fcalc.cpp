// Benchmark of the structure-factor engine: a generated P1 structure of 3,192 atoms
// (multipoles to l = 4, every atom in its own frame) against 20,000 reflections, with one
// worker thread and with every hardware thread; then DL-serine (the real refinement of
// ../shared/fixtures/structure-factors/serine, when that folder is beside the checkout).
// Figures: the best of the repeats, engine time alone (the model built beforehand).
//
//   build/bench_fcalc [repeats]      (default 3)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gemmi/it92.hpp>

#include "benchutil.h"
#include "input/input.h"
#include "core/failure.h"
#include "scattering/engine.h"
#include "scattering/from_quandrel.h"
#include "scattering/radial.h"
#include "scattering/textfile.h"
#include "scattering/writers.h"

namespace {

namespace sc = scattering;

// IT92 split into a 1s core and a valence shell: timing needs realistic tables, not exact ones.
sc::SphericalTable tableOf(int z) {
    const auto& coef = gemmi::IT92<double>::get(static_cast<gemmi::El>(z));
    sc::SphericalTable t;
    t.step = 0.02;
    const int core = z > 2 ? 2 : 0;
    for (int i = 0; i <= 120; ++i) {
        const double s = t.step * i, f = coef.calculate_sf(s * s);
        if (core > 0) t.core.push_back(f * core / z);
        t.valence.push_back(f / z);
    }
    return t;
}

sc::Model generated(int atoms) {
    sc::Model m;
    m.cell = gemmi::UnitCell(30.0, 32.0, 34.0, 90, 95, 90);
    const int elements[4] = {6, 7, 8, 1};
    for (int z : elements) {
        sc::ScatteringType t;
        t.symbol = gemmi::Element(static_cast<gemmi::El>(z)).name();
        t.z = z;
        t.radial = sc::standardRadial(z);
        t.table = tableOf(z);
        t.fp = 0.005;
        t.fpp = 0.003;
        m.types.push_back(t);
    }
    for (int k = 0; k < 8; ++k) {
        sc::KappaSet s;
        s.kappa = 0.98 + 0.01 * k;
        s.kappaPrime = {0.9, 0.9, 0.9, 0.9, 0.9};
        m.kappas.push_back(s);
    }
    std::srand(12345);
    auto random = [] { return static_cast<double>(std::rand()) / RAND_MAX; };
    for (int i = 0; i < atoms; ++i) {
        sc::Atom a;
        a.label = "A" + std::to_string(i + 1);
        a.frac = {random(), random(), random()};
        a.type = i % 4;
        a.kappa = i % 8;
        a.pv = a.type == 3 ? 0.9 : 4 + a.type;
        a.lmax = a.type == 3 ? 2 : 4;
        for (double& p : a.plm) p = 0.1 * (random() - 0.5);
        a.u = {0.02, 0.025, 0.018, 0.002, 0.001, -0.001};
        const double t = 6.28 * random(), c = std::cos(t), s = std::sin(t);
        a.frame = {sc::Vec3{c, s, 0}, sc::Vec3{-s, c, 0}, sc::Vec3{0, 0, 1}};
        m.atoms.push_back(a);
    }
    return m;
}

// The reflections nearest to the origin of reciprocal space, up to count.
std::vector<sc::Miller> innermost(const gemmi::UnitCell& cell, std::size_t count) {
    std::vector<std::pair<double, sc::Miller>> all;
    for (int h = -40; h <= 40; ++h)
        for (int k = -40; k <= 40; ++k)
            for (int l = -40; l <= 40; ++l)
                if (h || k || l) all.push_back({sc::sinThetaOverLambda(cell, {h, k, l}), {h, k, l}});
    std::partial_sort(all.begin(), all.begin() + count, all.end());
    std::vector<sc::Miller> out;
    for (std::size_t i = 0; i < count; ++i) out.push_back(all[i].second);
    return out;
}

double best(int repeats, const std::function<void()>& work) {
    double t = 1e30;
    for (int r = 0; r < repeats; ++r) t = std::min(t, bench::seconds(work));
    return t;
}

void serine(int repeats) {
    const std::string folder = std::string(SHARED_FIXTURES_DIR) + "/structure-factors/serine/";
    FILE* probe = std::fopen((folder + "xd.res").c_str(), "r");
    if (probe == nullptr) {
        std::fprintf(bench::report, "DL-serine: %s is missing, skipped\n", folder.c_str());
        return;
    }
    std::fclose(probe);
    for (const char* name : {"xd.mas", "xd.res"}) bench::writeFile(name, readTextFile(folder + name));
    try {
        Structure q;
        readMasterFile(q);
        readParameterFile(q);
        sc::QuandrelInputs in;
        in.master = sc::parseMasterExtras(readTextFile("xd.mas"), "xd.mas");
        in.radial = sc::readRadialFile(folder + "radial.txt");
        in.spherical = tableOf;
        const sc::Model model = sc::modelFromQuandrel(q, in).model;
        std::vector<sc::Miller> hkl;
        for (const sc::Reflection& r : sc::readXdHkl(folder + "xd.hkl")) hkl.push_back(r.hkl);
        for (int threads : {1, sc::threadCount(0)})
            std::fprintf(bench::report, "DL-serine: %zu atoms x %zu reflections, %d operations, %d thread(s): %.4f s\n",
                         model.atoms.size(), hkl.size(), static_cast<int>(model.operations.size()), threads,
                         best(repeats, [&] { sc::structureFactors(model, hkl, threads); }));
    } catch (const Failure& f) {
        std::fprintf(bench::report, "DL-serine: %s", f.message().c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const std::string dir = bench::enterScratch();
    if (dir.empty()) return 1;
    const sc::Model model = generated(3192);
    const std::vector<sc::Miller> hkl = innermost(model.cell, 20000);
    for (int threads : {1, sc::threadCount(0)})
        std::fprintf(bench::report, "P1: %zu atoms x %zu reflections (sin(theta)/lambda to %.3f), %d thread(s): %.3f s\n",
                     model.atoms.size(), hkl.size(), sc::sinThetaOverLambda(model.cell, hkl.back()), threads,
                     best(repeats, [&] { sc::structureFactors(model, hkl, threads); }));
    const sc::Model spherical = sc::sphericalModel(model);
    const int all = sc::threadCount(0);
    std::fprintf(bench::report, "P1: the spherical model alone, %d thread(s): %.3f s\n", all,
                 best(repeats, [&] { sc::structureFactors(spherical, hkl, all); }));
    // the computation of a whole run: model and spherical model, statistics, the .fco file
    std::vector<sc::Reflection> data(hkl.size());
    for (std::size_t i = 0; i < hkl.size(); ++i) {
        data[i].hkl = hkl[i];
        data[i].f2 = 100;
        data[i].sigma = 1;
    }
    std::fprintf(bench::report, "P1: model, spherical model and Quandrele.fco, %d thread(s): %.3f s\n", all,
                 best(repeats, [&] { sc::writeFco("Quandrele.fco", sc::fcoContent(model, data, {"bench"}, true, all)); }));
    serine(repeats);
    return bench::leaveScratch(dir);
}
