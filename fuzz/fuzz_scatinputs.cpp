// The other inputs of the structure-factor engine: the fuzzed bytes read as a radial-exponent
// file (-radial) and as the master file's WAVE card and ATOM table.
#include <cmath>
#include <cstdlib>

#include "harness.h"
#include "scattering/from_quandrel.h"
#include "scattering/radial.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    const std::string text(reinterpret_cast<const char*>(data), size);
    fuzz::writeFile("radial.txt", data, size);
    fuzz::guarded([&] {
        for (const auto& entry : scattering::readRadialFile("radial.txt"))
            if (!(entry.second.zeta > 0) || !std::isfinite(entry.second.zeta) || entry.first < 1) std::abort();
    });
    fuzz::guarded([&] {
        const scattering::MasterExtras x = scattering::parseMasterExtras(text, "xd.mas");
        if (x.wavelength < 0 || !std::isfinite(x.wavelength)) std::abort();
        for (const auto& h : x.handedness)
            if (h.second != 'R' && h.second != 'L') std::abort();
    });
    return 0;
}
