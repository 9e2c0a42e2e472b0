// Reader of MoPro parameter files and of the MoPro table "mopro.tab".
#include "../driver/Quandrel.h"

void Quandrel::readMoProParam() { StageName stage(*this, "readMoProParam"); }

void Quandrel::readMoProTab(int, char*) {}
