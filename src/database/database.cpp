// Parameter database: lookup by quandrel name and transfer of the entry.
#include "../driver/Quandrel.h"

void Quandrel::findInDataBase() { StageName stage(*this, "findInDataBase"); }
