// Canonical names, stereocentres and the per-atom name listing.
#include "../driver/Quandrel.h"

int Quandrel::asymm() { return 0; }
