// Molecular charges: the first byte chooses the number of molecules (1 to 4) and the
// neutrality mode, the rest is "Molecule-Charges.in". Every corrected monopole must be a
// finite number.
#include <cmath>
#include <cstdlib>

#include "input/input.h"
#include "harness.h"
#include "output/writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    static const bool ready = (fuzz::copySource("examples/l_alanine/xd.mas", "xd.mas"),
                               fuzz::copySource("examples/l_alanine/xd.res", "xd.res"), true);
    (void)ready;
    if (size == 0) return 0;
    const int molecules = 1 + data[0] % 4;
    fuzz::writeFile("Molecule-Charges.in", data + 1, size - 1);
    auto q = fuzz::freshObject();
    fuzz::guarded([&] {
        readMasterFile(q->structure);
        readParameterFile(q->structure);
        beginTransfer(q->transfer, q->structure);  // the populations as read stand for the transferred ones
        q->opt.achieveNeutrality = data[0] / 4 % 4;
        q->transfer.inDatabase.assign(static_cast<std::size_t>(q->structure.nAtoms), 1);
        q->perception.molecule.assign(static_cast<std::size_t>(q->structure.nAtoms), 0);
        for (int i = 0; i < q->structure.nAtoms; ++i) q->perception.molecule[i] = 1 + i % molecules;
        const MonopoleCorrection c = computeNeutrality(q->records(), molecules);
        for (int i = 0; i < q->structure.nAtoms; ++i)
            if (!std::isfinite(c.monopole(q->transfer.model, q->perception, i))) std::abort();
    });
    return 0;
}
