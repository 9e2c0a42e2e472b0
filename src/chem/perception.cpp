// The perception driver: bonds, nodes, rings, names, chirality, then the override file.
#include <cstdio>

#include "../driver/Quandrel.h"

void Quandrel::findOutNames() {
    StageName stage(*this, "findOutNames");
    int bondCount = findBonds();
    printf("@@@ Atome %d Bindungen %d\n", nAtoms, bondCount);
    verknopfung(bondCount);
    if (useNewRingNomenclature > 0) ringlord();
    getNames(bondCount);
    asymm();
    if (findSymm != 0) findSomeSymm();
}
