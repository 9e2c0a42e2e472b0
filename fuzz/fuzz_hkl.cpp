// Reflection files: the fuzzed bytes read as a SHELX HKLF 4 file and as an XD .hkl file.
#include <cmath>
#include <cstdlib>

#include "harness.h"
#include "scattering/reflections.h"

namespace {

void check(const std::vector<scattering::Reflection>& data) {
    for (const scattering::Reflection& r : data) {
        for (int v : r.hkl)
            if (v < -scattering::MAX_INDEX || v > scattering::MAX_INDEX) std::abort();
        if (!std::isfinite(r.f2) || !std::isfinite(r.sigma) || r.sigma < 0) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    const std::string text(reinterpret_cast<const char*>(data), size);
    fuzz::writeFile("data.hkl", data, size);
    fuzz::guarded([&] { check(scattering::readShelxHkl("data.hkl")); });
    fuzz::guarded([&] { check(scattering::parseXdHkl(text, "xd.hkl")); });
    return 0;
}
