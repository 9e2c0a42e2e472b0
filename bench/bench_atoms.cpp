// Benchmark of the spherical atoms: every element H to Kr solved and transformed (core and
// valence tables of the default split), for each model, and the four elements of an organic
// structure (H, C, N, O) with the defaults. Not a test: it prints figures (best of several
// runs, seconds).
//
//   build/bench_atoms [runs]      (default 5)
//
// With QDL_BENCH_CPU=1 in the environment the figures are processor time of the process
// instead of wall-clock time (what a quiet machine would show on a busy one).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <vector>

#include "atoms/atoms.h"

namespace {

bool cpuTime() {
    const char* v = std::getenv("QDL_BENCH_CPU");
    return v != nullptr && v[0] == '1';
}

double now() {
    if (cpuTime()) return double(std::clock()) / CLOCKS_PER_SEC;
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double seconds(const atoms::AtomSettings& settings, const std::vector<int>& elements, double& slowest, int& slowestZ) {
    slowest = 0;
    const double start = now();
    atoms::AtomCache cache(settings);
    for (int z : elements) {
        const double t0 = now();
        cache.get(z, atoms::defaultSplit(z));
        const double t = now() - t0;
        if (t > slowest) slowest = t, slowestZ = z;
    }
    return now() - start;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::vector<int> all;
    for (int z = 1; z <= 36; ++z) all.push_back(z);
    const std::vector<int> organic = {1, 6, 7, 8};
    struct Case {
        const char* name;
        atoms::AtomSettings settings;
        const std::vector<int>* elements;
    };
    atoms::AtomSettings nonrel, lda;
    nonrel.relativistic = false;
    lda.functional = atoms::Functional::LDA;
    const Case cases[] = {{"H-Kr, PBE + ZORA (defaults)", {}, &all},
                          {"H-Kr, PBE non-relativistic", nonrel, &all},
                          {"H-Kr, LDA + ZORA", lda, &all},
                          {"H, C, N, O, PBE + ZORA", {}, &organic}};
    std::printf("%s time, best of %d runs\n", cpuTime() ? "processor" : "wall-clock", runs);
    std::printf("%-30s %10s %14s\n", "case", "seconds", "slowest atom");
    for (const Case& c : cases) {
        double best = 1e30, bestSlowest = 0;
        int slowestZ = 0;
        for (int r = 0; r < runs; ++r) {
            double slowest = 0;
            int z = 0;
            const double t = seconds(c.settings, *c.elements, slowest, z);
            if (t < best) best = t, bestSlowest = slowest, slowestZ = z;
        }
        std::printf("%-30s %10.3f %8.3f (%s)\n", c.name, best, bestSlowest, atoms::symbolOf(slowestZ));
    }
    return 0;
}
