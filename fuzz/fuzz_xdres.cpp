// XD parameter file: the fuzzed bytes are "xd.res", read after the example's "xd.mas".
#include "input/input.h"
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    static const bool ready = (fuzz::copySource("examples/l_alanine/xd.mas", "xd.mas"), true);
    (void)ready;
    fuzz::writeFile("xd.res", data, size);
    auto q = fuzz::freshObject();
    fuzz::guarded([&] {
        readMasterFile(q->structure);
        readParameterFile(q->structure);
        fuzz::requireFinite(*q);
    });
    return 0;
}
