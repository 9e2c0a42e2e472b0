// Ring perception and the degree of planarity of an atom's neighbourhood.
#include "../driver/Quandrel.h"

void Quandrel::ringlord() { StageName stage(*this, "ringlord"); }

double Quandrel::planar(Knopf, int) { return 1.0; }
