#include "input.h"

#include "crystal.h"

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
    return s;
}
