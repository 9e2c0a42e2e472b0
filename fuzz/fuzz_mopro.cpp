// MoPro parameter file: the fuzzed bytes are the parameter file, read with the example's
// "mopro.tab".
#include <cstring>

#include "input/input.h"
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    static const bool ready = (fuzz::copySource("examples/mopro_glycine/mopro.tab", "mopro.tab"), true);
    (void)ready;
    fuzz::writeFile("param.01", data, size);
    auto q = fuzz::freshObject();
    fuzz::guarded([&] {
        q->opt.moproInput = 1;
        std::strcpy(q->opt.inputFile, "param.01");
        readMoProFiles(q->structure, q->opt);
        fuzz::requireFinite(*q);
    });
    return 0;
}
