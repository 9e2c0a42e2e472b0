// MoPro table: the fuzzed bytes are "mopro.tab", read for the example's parameter file.
#include <cstring>

#include "input/input.h"
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    static const bool ready = (fuzz::copySource("examples/mopro_glycine/mopro_glycine.01", "param.01"), true);
    (void)ready;
    fuzz::writeFile("mopro.tab", data, size);
    auto q = fuzz::freshObject();
    fuzz::guarded([&] {
        q->opt.moproInput = 1;
        std::strcpy(q->opt.inputFile, "param.01");
        readMoProFiles(q->structure, q->opt);
        fuzz::requireFinite(*q);
    });
    return 0;
}
