// Merging of the fragment files into the new master files.
#include "../driver/Quandrel.h"

int Quandrel::insertFiles() { return 0; }
