// Bonds from covalent radii and electronegativities; the neighbour node of every atom.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

#include "../core/stage.h"
#include "../core/failure.h"
#include "../geometry/cell.h"
#include "../geometry/geometry.h"
#include "../geometry/grid.h"
#include "bonds.h"
#include "elements.h"
#include "perception.h"

// The sum of the covalent radii, shortened by 0.08 times the electronegativity
// difference. The difference is taken of the integer table values before the division.
double bondReferenceLength(int elementA, int elementB) {
    const int enDifference = elNegOf(elementB) - elNegOf(elementA);
    return radiusOf(elementA) / 100.0 + radiusOf(elementB) / 100.0 - 0.08 * std::fabs(enDifference / 100.0);
}

namespace {

SymmetryCopy copyOf(const Perception& p, int i) {
    SymmetryCopy c;
    if (!p.isImage(i)) return c;
    const std::size_t k = static_cast<std::size_t>(i - p.nInput);
    if (k >= p.imageOrigin.size()) return c;
    c.op = p.imageOrigin[k].op;
    for (int t = 0; t < 3; ++t) c.shift[t] = p.imageOrigin[k].shift[t];
    return c;
}

// An atom of no part next to a group disordered across a symmetry element (a negative
// part) is bonded to one symmetry copy of that group only, so that its name describes one
// orientation: the input copy where it is bonded to it, else the copy of largest occupancy,
// else the first by operator and translation. Its bonds to the other copies (symmetry
// images, which are never written) are taken out of the list, whose order is kept.
void keepOneCopyPerOrderedAtom(const PerceptionRun& run) {
    if (run.p.nInput < 0) return;  // no images: every atom is the input copy
    const int n = run.sites();
    struct Seen {
        int part;
        SymmetryCopy copy;
        double occupancy;
    };
    std::vector<std::vector<Seen>> seen(static_cast<std::size_t>(n));
    bool any = false;
    for (const Bond& b : run.p.bonds) {
        const int ends[2][2] = {{b.first, b.second}, {b.second, b.first}};
        for (const auto& e : ends) {
            const AtomRecord& other = run.site(e[1]);
            if (run.site(e[0]).part != 0 || other.part >= 0) continue;
            const SymmetryCopy copy = copyOf(run.p, e[1]);
            auto& list = seen[static_cast<std::size_t>(e[0])];
            bool found = false;
            for (Seen& x : list)
                if (x.part == other.part && x.copy == copy) {
                    x.occupancy = std::max(x.occupancy, other.occupancy);
                    found = true;
                }
            if (!found) {
                for (const Seen& x : list) any = any || x.part == other.part;
                list.push_back({other.part, copy, other.occupancy});
            }
        }
    }
    if (!any) return;
    // the copy kept of every negative part around every ordered atom
    auto better = [](const Seen& c, const Seen& b) {
        const SymmetryCopy input;
        if ((c.copy == input) != (b.copy == input)) return c.copy == input;
        if (c.occupancy != b.occupancy) return c.occupancy > b.occupancy;
        return c.copy < b.copy;
    };
    std::vector<std::vector<Seen>> kept(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        for (const Seen& x : seen[static_cast<std::size_t>(i)]) {
            auto& k = kept[static_cast<std::size_t>(i)];
            auto at = std::find_if(k.begin(), k.end(), [&](const Seen& y) { return y.part == x.part; });
            if (at == k.end())
                k.push_back(x);
            else if (better(x, *at))
                *at = x;
        }
    auto keep = [&](int ordered, int other) {
        if (run.site(ordered).part != 0 || run.site(other).part >= 0) return true;
        const SymmetryCopy copy = copyOf(run.p, other);
        for (const Seen& y : kept[static_cast<std::size_t>(ordered)])
            if (y.part == run.site(other).part) return y.copy == copy;
        return true;
    };
    run.p.bonds.erase(std::remove_if(run.p.bonds.begin(), run.p.bonds.end(),
                                 [&](const Bond& b) { return !keep(b.first, b.second) || !keep(b.second, b.first); }),
                  run.p.bonds.end());
}

}  // namespace

// Bonds are searched among the atoms near each atom: a cell list with the longest possible
// bond as cell edge. The pairs are tested exactly as in a visit of all pairs, in the same
// order (first atom ascending, then second atom ascending), so the bond list is the same.
int findBonds(const PerceptionRun& run) {
    Stage stage("FindBonds");
    std::vector<Bond>& bonds = run.p.bonds;
    const int nAtoms = run.sites();
    const size_t capacity = static_cast<size_t>(nAtoms) * BONDS_PER_ATOM;
    bonds.clear();
    {
        MemoryNote note("Bindungen ");
        bonds.reserve(capacity);
    }

    // Tests the pair i < j and appends it when it is a bond.
    auto testPair = [&](int i, int j) {
        const AtomRecord& a = run.site(i);
        const AtomRecord& b = run.site(j);
        if (!copiesMayBond(a.part, copyOf(run.p, i), b.part, copyOf(run.p, j))) return;
        const double d = run.distance(a.frac, b.frac);
        const double r = bondReferenceLength(run.elementOf(i), run.elementOf(j));
        if (!bondedAt(r, d)) return;
        const double margin = r - d;
        if (bonds.size() == capacity)
            fatal("Too many bonds: the bond list holds at most %d bonds (%d per atom) for %d atoms%s%s%s",
                  static_cast<int>(capacity), BONDS_PER_ATOM, nAtoms,
                  run.s.source.empty() ? "" : "\nThe structure is read from ", run.s.source.c_str(),
                  run.s.source.empty() ? "" : ".");
        Bond bond;
        bond.first = i;
        bond.second = j;
        bond.length = d;
        bond.margin = margin;
        bonds.push_back(bond);
    };

    // The longest bond any two of these atoms can form: twice the largest covalent radius
    // (the electronegativity term only shortens), over 0.85.
    int largestRadius = 0;
    for (int i = 0; i < nAtoms; ++i) largestRadius = std::max(largestRadius, radiusOf(run.elementOf(i)));
    const double longest = 2.0 * largestRadius / 100.0 / 0.85;
    // Cell edge a little above it, so that rounding between the cell metric and Cartesian
    // coordinates never hides a pair.
    const double edge = longest * 1.001 + 1e-6;

    // Cartesian positions for filing
    const CellGeometry& geometry = cellGeometry(run.s.cell);
    std::vector<double> cart(static_cast<std::size_t>(nAtoms) * 3);
    bool finite = true;
    for (int i = 0; i < nAtoms; ++i) {
        const double* f = run.site(i).frac;
        double c[3];
        geometry.toCartesian(f, c);
        for (int k = 0; k < 3; ++k) {
            cart[static_cast<std::size_t>(i) * 3 + k] = c[k];
            finite = finite && std::isfinite(c[k]);
        }
    }
    if (!finite) {
        // No Cartesian frame to file the atoms in (no usable cell): every pair is tested.
        for (int i = 0; i < nAtoms; ++i)
            for (int j = i + 1; j < nAtoms; ++j) testPair(i, j);
        keepOneCopyPerOrderedAtom(run);
        bonds.shrink_to_fit();
        return static_cast<int>(bonds.size());
    }

    std::vector<int> all(static_cast<std::size_t>(nAtoms));
    for (int i = 0; i < nAtoms; ++i) all[static_cast<std::size_t>(i)] = i;
    const PointGrid grid(all, [&cart](int i) { return &cart[static_cast<std::size_t>(i) * 3]; }, edge);
    std::vector<int> partners;
    for (int i = 0; i < nAtoms; ++i) {
        partners.clear();
        grid.within(&cart[static_cast<std::size_t>(i) * 3], edge, [&](int j) {
            if (j > i) partners.push_back(j);
        });
        std::sort(partners.begin(), partners.end());
        for (int j : partners) testPair(i, j);
    }
    keepOneCopyPerOrderedAtom(run);
    bonds.shrink_to_fit();
    return static_cast<int>(bonds.size());
}

int verknopfung(const PerceptionRun& run, int bondCount) {
    Stage stage("Verknopfung");
    auto& knopf = run.p.knopf;
    const std::vector<Bond>& bonds = run.p.bonds;
    const int nAtoms = run.sites();
    {
        MemoryNote note("knopf");
        knopf.assign(nAtoms, Knopf());
    }
    if (bondCount > static_cast<int>(bonds.size())) bondCount = static_cast<int>(bonds.size());

    // One pass over the bond list: every atom sees its neighbours in bond-list order.
    auto append = [&](int at, int neighbour, double margin) {
        Knopf& node = knopf[at];
        if (node.anzahl == MAX_NEIGHBOURS) {
            // the likely cause: two of the neighbours far closer than atoms can be (alternative
            // sites of a disorder without groups), else an ionic or framework solid
            int closeA = neighbour, closeB = node.nachbar[0];
            double closest = -1;
            for (int a = 0; a <= node.anzahl; ++a)
                for (int b = a + 1; b <= node.anzahl; ++b) {
                    const int x = a == node.anzahl ? neighbour : node.nachbar[a];
                    const int y = b == node.anzahl ? neighbour : node.nachbar[b];
                    const AtomRecord& p = run.site(x);
                    const AtomRecord& r = run.site(y);
                    const double d = run.distance(p.frac, r.frac);
                    if (closest < 0 || d < closest) {
                        closest = d;
                        closeA = x;
                        closeB = y;
                    }
                }
            const bool overlapping = closest >= 0 && closest < 1.0;
            fatal("Atom %s has more than %d bonded neighbours; at most %d are handled. Its closest two neighbours, %s "
                  "and %s, are %.3f A apart: %s",
                  run.site(at).label, MAX_NEIGHBOURS, MAX_NEIGHBOURS, run.site(closeA).label, run.site(closeB).label, closest,
                  overlapping ? "likely alternative sites of a disorder; give them disorder groups (SHELX PART, the "
                                "CIF's _atom_site_disorder_group or xd_part.aux)."
                              : "likely an ionic or framework solid; run with -asymOnly (or without -symmBonds) to "
                                "name the input atoms alone.");
        }
        node.nachbar[node.anzahl] = neighbour;
        node.marge[node.anzahl] = margin;
        ++node.anzahl;
    };
    for (int b = 0; b < bondCount; ++b) {
        const Bond& bond = bonds[b];
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

    fprintf(run.log, "Angle calculation:\n");
    fprintf(run.log, "==================\n");
    for (int i = 0; i < nAtoms; ++i) {
        Knopf& node = knopf[i];
        for (int a = 0; a < node.anzahl; ++a) {
            for (int b = a + 1; b < node.anzahl; ++b) {
                const double angle = run.angle(i, node.nachbar[a], node.nachbar[b]);
                node.setAngle(a, b, angle);
                fprintf(run.log, "%-15.2f  %s=%s=%s\n", angle, run.site(node.nachbar[a]).label, run.site(i).label,
                        run.site(node.nachbar[b]).label);
            }
        }
    }
    return 0;
}
