// Settings file: the fuzzed bytes are "qdltool.ini".
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    fuzz::writeFile("qdltool.ini", data, size);
    auto q = fuzz::freshObject();
    fuzz::guarded([&] { q->readIni(); });
    return 0;
}
