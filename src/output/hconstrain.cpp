// Hydrogen Uiso and riding constraints.
#include "../driver/Quandrel.h"

void Quandrel::huconstrain() {}
