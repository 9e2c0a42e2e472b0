// Reader of the XD parameter file "xd.res" (or "xd.inp") and of "xd_part.aux".
#include "../driver/Quandrel.h"

void Quandrel::readInp() { StageName stage(*this, "readInp"); }

void Quandrel::readPartAux() {}
