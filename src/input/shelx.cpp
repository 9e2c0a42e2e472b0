// Reader of SHELX result and instruction files (.res, .ins).
#include "crystal.h"
#include "../driver/failure.h"

CrystalInput readShelxInput(const std::string& path) {
    fatal("%s: SHELX input is not available in this build.", path.c_str());
    return CrystalInput{};
}
