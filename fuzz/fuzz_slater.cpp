// Slater-type orbital tables: the fuzzed bytes are "o.slater", read as oxygen's table; a
// table that reads gives finite orbitals and, for the default split, finite form factors.
#include <cmath>
#include <cstdlib>

#include "atoms/atoms.h"
#include "atoms/slater.h"
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    fuzz::writeFile("o.slater", data, size);
    fuzz::guarded([&] {
        const atoms::SlaterAtom atom = atoms::readSlater(".", "O");
        for (const auto& o : atom.orbitals)
            for (double r : {0.0, 1e-6, 0.1, 1.0, 10.0})
                if (!std::isfinite(atoms::slaterU(o, r))) std::abort();
        atoms::AtomSettings settings;
        settings.wavefunctionDir = ".";
        const atoms::FormFactors f = atoms::makeFormFactors(atoms::computeShells(8, settings), atoms::defaultSplit(8));
        for (double stol : {0.0, 0.5, 2.0})
            if (!std::isfinite(f.core(stol)) || !std::isfinite(f.valence(stol))) std::abort();
    });
    return 0;
}
