// Benchmark of completing molecules across symmetry (-symmBonds) at the atom capacity.
// Not a test: it prints figures (best of several runs, seconds).
//
//   A: 246 polymeric carbon chains along a (one atom per 1.5 A cell edge) and two lone neon
//      atoms; each chain is completed to six bonds on either side: 248 input atoms become
//      3,200 atoms. Timed: completion and the whole perception.
//   B: 3,200 input atoms (1,600 C-C dumbbells in half of a centric cell); no image is
//      bonded, so the search over all images runs and adds nothing.
//
//   build/bench_symmetry [runs]      (default 5)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "benchutil.h"
#include "chem/elements.h"
#include "core/options.h"
#include "core/structure.h"
#include "geometry/cell.h"
#include "naming/naming.h"
#include "symmetry/completion.h"

namespace {

using namespace bench;

struct Atom {
    const char* symbol;
    double cart[3];
};

Structure structure(const double (&cell)[6], char centric, const std::vector<Atom>& atoms) {
    Structure s;
    std::memcpy(s.cell, cell, sizeof cell);
    s.symmetry.known = true;
    s.symmetry.centric = centric;
    s.symmetry.lattice = 'P';
    const CellGeometry geometry(s.cell);
    for (const Atom& a : atoms) {
        int t = 0;
        while (t < s.nScat && std::strcmp(s.scatTable[t].symbol, a.symbol) != 0) ++t;
        if (t == s.nScat) {
            ScatEntry& e = s.scatTable[s.nScat++];
            std::snprintf(e.symbol, sizeof e.symbol, "%s", a.symbol);
            e.number = t + 1;
            e.element = scatteringElementIndex(e.symbol);
            e.electrons = e.element + 1;
            e.valenceElectrons = 4;
        }
        AtomRecord r;
        std::snprintf(r.label, sizeof r.label, "%s%d", a.symbol, s.nAtoms + 1);
        std::memcpy(r.cart, a.cart, sizeof r.cart);
        geometry.toFractional(r.cart, r.frac);
        r.tbl = t + 1;
        r.occupancy = 1.0;
        s.atom.push_back(r);
        ++s.nAtoms;
    }
    return s;
}

void runCase(const char* title, const double (&cell)[6], char centric, const std::vector<Atom>& atoms, int runs) {
    const Structure s = structure(cell, centric, atoms);
    Options options;
    options.symmBonds = 1;
    double complete = 1e9, perceived = 1e9;
    int total = 0;
    for (int r = 0; r < runs; ++r) {
        Perception p;
        p.growSites(s.nAtoms);
        const PerceptionRun run{s, options, p, stdout, stdout};
        complete = std::min(complete, seconds([&] { completeMolecules(run); }));
        total = s.nAtoms + static_cast<int>(p.imageAtom.size());
        perceived = std::min(perceived, seconds([&] { perceive(s, options, stdout, stdout, stdin); }));
    }
    std::fprintf(report, "%-58s %5zu -> %5d atoms  completion %.3f s  whole perception %.3f s\n", title,
                 atoms.size(), total, complete, perceived);
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::string dir = enterScratch();
    if (dir.empty()) return 1;

    {
        const double cell[6] = {1.5, 80.0, 80.0, 90, 90, 90};
        std::vector<Atom> atoms;
        for (int k = 0; k < 246; ++k) atoms.push_back({"C", {0.4, 3.0 + 5.0 * (k % 15), 3.0 + 5.0 * (k / 15)}});
        atoms.push_back({"Ne", {0.4, 78.0, 70.0}});
        atoms.push_back({"Ne", {0.4, 78.0, 75.0}});
        runCase("A: 246 chains + 2 Ne atoms, P1, chains end after six bonds", cell, 'A', atoms, runs);
    }
    {
        const double cell[6] = {60.0, 60.0, 60.0, 90, 90, 90};
        std::vector<Atom> atoms;
        for (int k = 0; k < 1600; ++k) {
            const double x = 2.0 + 3.6 * (k % 7), y = 2.0 + 3.6 * ((k / 7) % 16), z = 2.0 + 3.6 * (k / 112);
            atoms.push_back({"C", {x, y, z}});
            atoms.push_back({"C", {x + 1.54, y, z}});
        }
        runCase("B: 1,600 C-C dumbbells, P-1, nothing to add", cell, 'C', atoms, runs);
    }
    return leaveScratch(dir);
}
