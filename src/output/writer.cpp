// The new refinement input: "xd.res.quandreltool" and the new master files.
#include "../driver/Quandrel.h"

void Quandrel::setupNewInpAndMasFile() { StageName stage(*this, "setupNewInp_and_MasFile"); }
