#include "input.h"

#include "crystal.h"
#include "../symmetry/spacegroup.h"

Structure readStructure(Options& options) {
    Structure s;
    if (options.crystalInput != 0) {
        readCrystalFile(s, options);
    } else if (options.moproInput == 0) {
        readMasterFile(s);
        readParameterFile(s);
    } else {
        readMoProFiles(s, options);
    }
    // The operator list, expanded once for the later stages. Cards that give none leave it
    // empty: a stage that needs the list stops with the reason, as it would without it.
    if (s.symmetry.operators.empty()) {
        std::string problem;
        s.symmetry.operators = expandedOperators(s.symmetry, problem);
    }
    return s;
}
