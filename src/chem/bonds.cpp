// Bonds from covalent radii and electronegativities; the neighbour node of every atom.
#include "../driver/Quandrel.h"

int Quandrel::findBonds() {
    StageName stage(*this, "FindBonds");
    bnd.clear();
    return 0;
}

int Quandrel::verknopfung(int) {
    StageName stage(*this, "Verknopfung");
    knopf.assign(nAtoms, Knopf());
    return 0;
}
