// Bonds from covalent radii and electronegativities; the neighbour node of every atom.
#include <algorithm>
#include <cstdint>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "../core/stage.h"
#include "../core/failure.h"
#include "../core/text.h"
#include "../geometry/cell.h"
#include "../geometry/geometry.h"
#include "../geometry/grid.h"
#include "bonds.h"
#include "causes.h"
#include "elements.h"
#include "perception.h"

// The sum of the covalent radii, shortened by 0.08 times the electronegativity
// difference. The difference is taken of the integer table values before the division.
double bondReferenceLength(int elementA, int elementB) {
    const int enDifference = elNegOf(elementB) - elNegOf(elementA);
    return radiusOf(elementA) / 100.0 + radiusOf(elementB) / 100.0 - 0.08 * std::fabs(enDifference / 100.0);
}

namespace {

// Covalent radii in pm for bonds to metals, from B. Cordero, V. Gomez, A. E. Platero-Prats,
// M. Reves, J. Echeverria, E. Cremades, F. Barragan and S. Alvarez, "Covalent radii
// revisited", Dalton Trans. (2008) 2832-2838. Mn, Fe and Co take their high-spin radii
// (the longer bonds: a bond criterion must not miss them); carbon its sp3 radius. Indexed
// by element index up to curium; 0 where the paper gives none.
// clang-format off
const std::uint16_t COORDINATION_RADII[] = {
    /*H*/ 31, /*He*/ 28,
    /*Li*/ 128, /*Be*/ 96, /*B*/ 84, /*C*/ 76, /*N*/ 71, /*O*/ 66, /*F*/ 57, /*Ne*/ 58,
    /*Na*/ 166, /*Mg*/ 141, /*Al*/ 121, /*Si*/ 111, /*P*/ 107, /*S*/ 105, /*Cl*/ 102, /*Ar*/ 106,
    /*K*/ 203, /*Ca*/ 176, /*Sc*/ 170, /*Ti*/ 160, /*V*/ 153, /*Cr*/ 139, /*Mn*/ 161, /*Fe*/ 152, /*Co*/ 150,
    /*Ni*/ 124, /*Cu*/ 132, /*Zn*/ 122, /*Ga*/ 122, /*Ge*/ 120, /*As*/ 119, /*Se*/ 120, /*Br*/ 120, /*Kr*/ 116,
    /*Rb*/ 220, /*Sr*/ 195, /*Y*/ 190, /*Zr*/ 175, /*Nb*/ 164, /*Mo*/ 154, /*Tc*/ 147, /*Ru*/ 146, /*Rh*/ 142,
    /*Pd*/ 139, /*Ag*/ 145, /*Cd*/ 144, /*In*/ 142, /*Sn*/ 139, /*Sb*/ 139, /*Te*/ 138, /*I*/ 139, /*Xe*/ 140,
    /*Cs*/ 244, /*Ba*/ 215, /*La*/ 207, /*Ce*/ 204, /*Pr*/ 203, /*Nd*/ 201, /*Pm*/ 199, /*Sm*/ 198, /*Eu*/ 198,
    /*Gd*/ 196, /*Tb*/ 194, /*Dy*/ 192, /*Ho*/ 192, /*Er*/ 189, /*Tm*/ 190, /*Yb*/ 187, /*Lu*/ 187, /*Hf*/ 175,
    /*Ta*/ 170, /*W*/ 162, /*Re*/ 151, /*Os*/ 144, /*Ir*/ 141, /*Pt*/ 136, /*Au*/ 136, /*Hg*/ 132, /*Tl*/ 145,
    /*Pb*/ 146, /*Bi*/ 148, /*Po*/ 140, /*At*/ 150, /*Rn*/ 150,
    /*Fr*/ 260, /*Ra*/ 221, /*Ac*/ 215, /*Th*/ 206, /*Pa*/ 200, /*U*/ 196, /*Np*/ 190, /*Pu*/ 187, /*Am*/ 180,
    /*Cm*/ 169,
};
// clang-format on
constexpr int N_COORDINATION_RADII = sizeof COORDINATION_RADII / sizeof COORDINATION_RADII[0];
static_assert(N_COORDINATION_RADII == 96, "hydrogen .. curium");

int coordinationRadius(int element) {
    return element >= 0 && element < N_COORDINATION_RADII ? COORDINATION_RADII[element] : 0;
}

}  // namespace

bool isMetal(int element) {
    const int z = element + 1;
    auto in = [z](int lo, int hi) { return z >= lo && z <= hi; };
    return z == 3 || z == 4 || z == 11 || z == 12 || z == 13 || in(19, 31) || in(37, 50) || in(55, 83) ||
           in(87, 96);
}

bool isLigandAtom(int element) {
    switch (element + 1) {
        case 5: case 6: case 7: case 8: case 9: case 14: case 15: case 16: case 17: case 33: case 34: case 35:
        case 52: case 53:
            return true;
        default:
            return false;
    }
}

bool isMetalLigandPair(int elementA, int elementB) {
    return (isMetal(elementA) && isLigandAtom(elementB)) || (isMetal(elementB) && isLigandAtom(elementA));
}

double coordinationRadiusSum(int elementA, int elementB) {
    const int a = coordinationRadius(elementA), b = coordinationRadius(elementB);
    return a > 0 && b > 0 ? (a + b) / 100.0 : -1.0;
}

bool elementsBondedAt(int elementA, int elementB, double d, bool metalBonds) {
    if (bondedAt(bondReferenceLength(elementA, elementB), d)) return true;
    if (!metalBonds || !isMetalLigandPair(elementA, elementB)) return false;
    const double sum = coordinationRadiusSum(elementA, elementB);
    return sum > 0 && d > 0.6 * sum && d <= METAL_BOND_FACTOR * sum;
}

double longestBond(int elementA, int elementB, bool metalBonds) {
    const double longest = bondReferenceLength(elementA, elementB) / 0.85;
    if (!metalBonds || !isMetalLigandPair(elementA, elementB)) return longest;
    return std::max(longest, METAL_BOND_FACTOR * coordinationRadiusSum(elementA, elementB));
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

// An atom of no part next to atoms of several disorder parts is named for one conformer:
// it is bonded to the lowest positive part around it, else (only negative parts) to the
// part of largest occupancy among its bonded atoms (the higher part number among equals).
// Its bonds to the atoms of the other parts become one-sided: it leaves them out, those
// atoms keep it as their neighbour. The bond list itself (its order and count) stays.
void markOneSidedBonds(const PerceptionRun& run) {
    struct Around {
        int part;
        double occupancy;
    };
    std::vector<std::vector<Around>> around(static_cast<std::size_t>(run.sites()));
    bool several = false;
    for (const Bond& b : run.p.bonds) {
        const int ends[2][2] = {{b.first, b.second}, {b.second, b.first}};
        for (const auto& e : ends) {
            const AtomRecord& other = run.site(e[1]);
            if (run.site(e[0]).part != 0 || other.part == 0) continue;
            auto& list = around[static_cast<std::size_t>(e[0])];
            auto at = std::find_if(list.begin(), list.end(), [&](const Around& x) { return x.part == other.part; });
            if (at == list.end()) {
                list.push_back({other.part, other.occupancy});
                several = several || list.size() > 1;
            } else {
                at->occupancy = std::max(at->occupancy, other.occupancy);
            }
        }
    }
    if (!several) return;
    std::vector<int> kept(static_cast<std::size_t>(run.sites()), 0);  // the part an ordered atom is bonded to
    for (std::size_t i = 0; i < around.size(); ++i) {
        const auto& list = around[i];
        if (list.size() < 2) continue;
        const Around* best = nullptr;
        for (const Around& x : list) {
            if (best == nullptr) {
                best = &x;
                continue;
            }
            const bool positive = x.part > 0, bestPositive = best->part > 0;
            if (positive != bestPositive) {
                if (positive) best = &x;
            } else if (positive) {
                if (x.part < best->part) best = &x;
            } else if (x.occupancy > best->occupancy || (x.occupancy == best->occupancy && x.part > best->part)) {
                best = &x;
            }
        }
        kept[i] = best->part;
    }
    for (Bond& b : run.p.bonds) {
        const int ends[2][2] = {{b.first, b.second}, {b.second, b.first}};
        for (const auto& e : ends) {
            const int part = kept[static_cast<std::size_t>(e[0])];
            const int other = run.site(e[1]).part;
            if (part != 0 && other != 0 && other != part) b.hiddenFrom = e[0];
        }
    }
}

// A metal-ligand contact that is no bond: the atoms and their distance.
struct MetalContact {
    int a, b;
    double d;
};

// One warning for the run naming the metal-ligand contacts within METAL_CONTACT_FACTOR times
// the radius sum that are no bonds (the first few with their distances).
void warnMetalContacts(const PerceptionRun& run, const std::vector<MetalContact>& contacts) {
    if (contacts.empty()) return;
    constexpr std::size_t LISTED = 20;
    std::vector<std::string> labels;
    std::string list;
    for (std::size_t k = 0; k < contacts.size() && k < LISTED; ++k) {
        const MetalContact& c = contacts[k];
        labels.push_back(run.site(c.a).label);
        labels.push_back(run.site(c.b).label);
        list += format("%s%s-%s %.3f A", k == 0 ? "" : ", ", run.site(c.a).label, run.site(c.b).label, c.d);
    }
    if (contacts.size() > LISTED) list += format(" and %d more", static_cast<int>(contacts.size() - LISTED));
    const bool on = run.opt.metalBondsOn();
    const bool one = contacts.size() == 1;
    const std::string advice =
        on ? format("%s longer than a metal-ligand bond (up to %.2f times the sum); check the coordination.",
                    one ? "It is" : "They are", METAL_BOND_FACTOR)
           : format("MetalBonds[0|1]=1 bonds metals and ligand atoms up to %.2f times the sum.", METAL_BOND_FACTOR);
    run.p.warnings.warn("metal-ligand contact without a bond", labels,
                      format("%d metal-ligand contact%s within %.2f times the sum of the coordination radii %s no "
                             "bond%s: %s. %s",
                             static_cast<int>(contacts.size()), one ? "" : "s", METAL_CONTACT_FACTOR,
                             one ? "is" : "are", one ? "" : "s", list.c_str(), advice.c_str()));
}

// The longest bond any two sites can form: twice the largest covalent radius (the
// electronegativity term only shortens), over 0.85; with a metal and a ligand atom present,
// at least the longest metal-ligand contact that is named.
double longestPair(const PerceptionRun& run) {
    const int nAtoms = run.sites();
    int largestRadius = 0;
    bool metal = false, ligand = false;
    for (int i = 0; i < nAtoms; ++i) {
        largestRadius = std::max(largestRadius, radiusOf(run.elementOf(i)));
        metal = metal || isMetal(run.elementOf(i));
        ligand = ligand || isLigandAtom(run.elementOf(i));
    }
    double longest = 2.0 * largestRadius / 100.0 / 0.85;
    if (metal && ligand) {
        double largestMetal = 0, largestLigand = 0;
        for (int i = 0; i < nAtoms; ++i) {
            const double radius = coordinationRadiusSum(run.elementOf(i), run.elementOf(i)) / 2.0;
            if (isMetal(run.elementOf(i))) largestMetal = std::max(largestMetal, radius);
            if (isLigandAtom(run.elementOf(i))) largestLigand = std::max(largestLigand, radius);
        }
        longest = std::max(longest, METAL_CONTACT_FACTOR * (largestMetal + largestLigand));
    }
    return longest;
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

    const bool metalBonds = run.opt.metalBondsOn();
    std::vector<MetalContact> contacts;

    // Tests the pair i < j and appends it when it is a bond.
    auto testPair = [&](int i, int j) {
        const AtomRecord& a = run.site(i);
        const AtomRecord& b = run.site(j);
        if (!copiesMayBond(a.part, copyOf(run.p, i), b.part, copyOf(run.p, j))) return;
        const double d = run.distance(a.frac, b.frac);
        const int ea = run.elementOf(i), eb = run.elementOf(j);
        const double r = bondReferenceLength(ea, eb);
        if (!elementsBondedAt(ea, eb, d, metalBonds)) {
            const double sum = coordinationRadiusSum(ea, eb);
            if (isMetalLigandPair(ea, eb) && d > 0.6 * sum && d <= METAL_CONTACT_FACTOR * sum)
                contacts.push_back({i, j, d});
            return;
        }
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

    const double longest = longestPair(run);
    // Cell edge a little above it, so that rounding between the cell metric and Cartesian
    // coordinates never hides a pair.
    const double edge = longest * 1.001 + 1e-6;

    // Cartesian positions for filing
    const CellGeometry& geometry = run.cell;
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
        markOneSidedBonds(run);
        warnMetalContacts(run, contacts);
        bonds.shrink_to_fit();
        return static_cast<int>(bonds.size());
    }

    const PointGrid grid(nAtoms, [&cart](int i) { return &cart[static_cast<std::size_t>(i) * 3]; }, edge);
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
    markOneSidedBonds(run);
    warnMetalContacts(run, contacts);
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
        if (node.anzahl == MAX_NEIGHBOURS) stopForTooManyNeighbours(run, at, neighbour);
        node.nachbar[node.anzahl] = neighbour;
        node.marge[node.anzahl] = margin;
        ++node.anzahl;
    };
    for (int b = 0; b < bondCount; ++b) {
        const Bond& bond = bonds[b];
        if (bond.seenFrom(bond.first)) append(bond.first, bond.second, bond.margin);
        if (bond.seenFrom(bond.second)) append(bond.second, bond.first, bond.margin);
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
