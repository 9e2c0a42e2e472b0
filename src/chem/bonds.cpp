// Bonds from covalent radii and electronegativities; the neighbour node of every atom.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <new>
#include <utility>

#include "../driver/Quandrel.h"
#include "../driver/failure.h"
#include "bonds.h"
#include "elements.h"

// The sum of the covalent radii, shortened by 0.08 times the electronegativity
// difference. The difference is taken of the integer table values before the division.
double bondReferenceLength(int elementA, int elementB) {
    const int enDifference = elNegOf(elementB) - elNegOf(elementA);
    return radiusOf(elementA) / 100.0 + radiusOf(elementB) / 100.0 - 0.08 * std::fabs(enDifference / 100.0);
}

int Quandrel::findBonds() {
    StageName stage(*this, "FindBonds");
    const size_t capacity = static_cast<size_t>(nAtoms) * BONDS_PER_ATOM;
    bnd.clear();
    try {
        bnd.reserve(capacity);
    } catch (const std::bad_alloc&) {
        errno = ENOMEM;
        perror("Bindungen ");
        stopWithError(1);
    }

    for (int i = 0; i < nAtoms; ++i) {
        const AtomRecord& a = atom[i];
        const int elementA = elementOf(i);
        for (int j = i + 1; j < nAtoms; ++j) {
            const AtomRecord& b = atom[j];
            // Atoms of two different disorder parts never see each other.
            if (a.part != 0 && b.part != 0 && a.part != b.part) continue;
            const double d = laenge(a.frac[0], a.frac[1], a.frac[2], b.frac[0], b.frac[1], b.frac[2]);
            const double r = bondReferenceLength(elementA, elementOf(j));
            if (!(r >= 0.85 * d)) continue;  // too far apart
            const double margin = r - d;
            if (!(margin < 0.4)) continue;   // far too close for a bond
            if (bnd.size() == capacity)
                fatal("Too many bonds: the bond list holds at most %d bonds (%d per atom) for %d atoms",
                      static_cast<int>(capacity), BONDS_PER_ATOM, nAtoms);
            Bond bond;
            bond.first = i;
            bond.second = j;
            bond.length = d;
            bond.margin = margin;
            bnd.push_back(bond);
        }
    }
    bnd.shrink_to_fit();
    return static_cast<int>(bnd.size());
}

int Quandrel::verknopfung(int bondCount) {
    StageName stage(*this, "Verknopfung");
    try {
        knopf.assign(nAtoms, Knopf());
    } catch (const std::bad_alloc&) {
        errno = ENOMEM;
        perror("knopf");
        stopWithError(1);
    }
    if (bondCount > static_cast<int>(bnd.size())) bondCount = static_cast<int>(bnd.size());

    // One pass over the bond list: every atom sees its neighbours in bond-list order.
    auto append = [this](int at, int neighbour, double margin) {
        Knopf& node = knopf[at];
        if (node.anzahl == MAX_NEIGHBOURS)
            fatal("Atom %s has more than %d bonded neighbours; at most %d are handled", atom[at].label,
                  MAX_NEIGHBOURS, MAX_NEIGHBOURS);
        node.nachbar[node.anzahl] = neighbour;
        node.marge[node.anzahl] = margin;
        ++node.anzahl;
    };
    for (int b = 0; b < bondCount; ++b) {
        const Bond& bond = bnd[b];
        append(bond.first, bond.second, bond.margin);
        append(bond.second, bond.first, bond.margin);
    }

    // Largest margin first; a bubble sort keeps equal margins in bond-list order.
    for (Knopf& node : knopf) {
        for (int pass = 0; pass < node.anzahl - 1; ++pass) {
            for (int k = 0; k < node.anzahl - 1; ++k) {
                if (node.marge[k + 1] > node.marge[k]) {
                    std::swap(node.nachbar[k], node.nachbar[k + 1]);
                    std::swap(node.marge[k], node.marge[k + 1]);
                }
            }
        }
    }

    fprintf(logFile, "Angle calculation:\n");
    fprintf(logFile, "==================\n");
    for (int i = 0; i < nAtoms; ++i) {
        Knopf& node = knopf[i];
        for (int a = 0; a < node.anzahl; ++a) {
            for (int b = a + 1; b < node.anzahl; ++b) {
                const double angle = winkel(i, node.nachbar[a], node.nachbar[b]);
                node.winkel[a][b] = angle;
                node.winkel[b][a] = angle;
                fprintf(logFile, "%-15.2f  %s=%s=%s\n", angle, atom[node.nachbar[a]].label, atom[i].label,
                        atom[node.nachbar[b]].label);
            }
        }
    }
    return 0;
}
