// Bond-axis symmetry analysis ("-findSymm").
#include "../driver/Quandrel.h"

void Quandrel::findSomeSymm() { StageName stage(*this, "find_some_symm"); }
