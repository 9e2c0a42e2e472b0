// CIF: the fuzzed bytes are a CIF, read and loaded into the structure model, which
// includes the master-file template built in memory.
#include <cstdlib>
#include <cstring>

#include "input/input.h"
#include "harness.h"
#include "input/crystal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    fuzz::writeFile("in.cif", data, size);
    auto q = fuzz::freshObject();
    fuzz::guarded([&] {
        q->opt.crystalInput = 1;
        std::strcpy(q->opt.inputFile, "in.cif");
        readCrystalFile(q->structure, q->opt);
        fuzz::requireFinite(*q);
        // a loaded structure always has its template: header, tables and closing cards
        if (q->structure.nAtoms < 1 || q->structure.masTemplate.size() < static_cast<std::size_t>(2 * q->structure.nAtoms + 20)) std::abort();
    });
    return 0;
}
