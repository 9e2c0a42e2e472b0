// Reader of the XD master file "xd.mas": title, cell and scattering table.
#include "../driver/Quandrel.h"

void Quandrel::readMas() { StageName stage(*this, "readMas"); }
