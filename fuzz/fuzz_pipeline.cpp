// The whole run on a fuzzed "xd.res", with the example's "xd.mas" and database: reading,
// perception, names, database transfer and the new input files. A run that ends normally
// must leave no number that is no number (NaN, infinity) for the new parameter file.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    static const bool ready = (fuzz::copySource("examples/l_alanine/xd.mas", "xd.mas"),
                               fuzz::copySource("examples/l_alanine/DABA.txt", "DABA.txt"), true);
    (void)ready;
    fuzz::writeFile("xd.res", data, size);
    fuzz::removeFile("xd.res.quandreltool");
    auto q = fuzz::freshObject();
    bool finished = false;
    fuzz::guarded([&] {
        q->ions = 1;
        std::strcpy(q->databasePath, "DABA.txt");
        std::strcpy(q->hydrogenConstrain, "both");
        q->uisoConstrain = true;
        q->ridingConstrain = true;
        q->readMas();
        q->readInp();
        q->findOutNames();
        q->findInDataBase();
        q->setupNewInpAndMasFile();
        finished = true;
    });
    if (finished) {
        auto finite = [](const double* v, int n) {
            for (int k = 0; k < n; ++k)
                if (!std::isfinite(v[k])) std::abort();
        };
        for (int i = 0; i < q->nAtoms + q->nDummy; ++i) {
            const AtomRecord& a = q->atom[i];
            finite(a.frac, 3);
            finite(a.u, 6);
            finite(a.c3, 10);
            finite(a.d4, 15);
            finite(a.multipole, 26);
            finite(a.kappa, 6);
            finite(&a.occupancy, 1);
        }
        finite(q->trailingValues, q->nTrailing);
    }
    return 0;
}
