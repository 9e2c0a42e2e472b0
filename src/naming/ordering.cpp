// Canonical ordering of the terms of a quandrel name.
#include "../driver/Quandrel.h"

void Quandrel::sortQuandrel(int) {}
