// Settings file: the fuzzed bytes are "qdltool.ini".
#include "app/options.h"
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    fuzz::writeFile("qdltool.ini", data, size);
    fuzz::guarded([&] {
        Options options;
        readSettingsFile(options);
    });
    return 0;
}
