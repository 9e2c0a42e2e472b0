// XD master file: the fuzzed bytes are "xd.mas".
#include "input/input.h"
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    fuzz::writeFile("xd.mas", data, size);
    auto q = fuzz::freshObject();
    fuzz::guarded([&] { readMasterFile(q->structure); });
    return 0;
}
