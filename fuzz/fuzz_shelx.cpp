// SHELX: the fuzzed bytes are a .res file, read into the crystal-file record. Whatever the
// reader hands on must be a structure: finite numbers, occupancies in (0, 1], elements
// the program knows, and the symmetry stated.
#include <cmath>
#include <cstdlib>

#include "chem/elements.h"
#include "harness.h"
#include "input/crystal.h"

namespace {

void requireFiniteNumbers(const double* values, int count) {
    for (int k = 0; k < count; ++k)
        if (!std::isfinite(values[k])) std::abort();
}

void requireStructure(const CrystalInput& in) {
    if (in.sites.empty() || !in.symmetry.known) std::abort();
    requireFiniteNumbers(in.cell, 6);
    requireFiniteNumbers(in.cellSd, 6);
    for (const CrystalSite& s : in.sites) {
        requireFiniteNumbers(s.frac, 3);
        requireFiniteNumbers(s.u, 6);
        requireFiniteNumbers(&s.uiso, 1);
        if (!(s.occupancy > 0 && s.occupancy <= 1) || s.element < 0 || s.element >= N_SYMBOLS ||
            s.label.empty())
            std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    fuzz::writeFile("in.res", data, size);
    fuzz::guarded([&] { requireStructure(readShelxInput("in.res")); });
    return 0;
}
