// Disorder parts: the fuzzed bytes are "xd_part.aux", read with the example's structure.
#include "input/input.h"
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    static const bool ready = (fuzz::copySource("tests/data/xd/variety/xd.mas", "xd.mas"),
                               fuzz::copySource("tests/data/xd/variety/xd.res", "xd.res"), true);
    (void)ready;
    fuzz::writeFile("xd_part.aux", data, size);
    auto q = fuzz::freshObject();
    fuzz::guarded([&] {
        readMasterFile(q->structure);
        readParameterFile(q->structure);
    });
    return 0;
}
