// Construction of the quandrel name of every atom.
#include "../driver/Quandrel.h"

void Quandrel::getNames(int) { StageName stage(*this, "GetNames"); }
