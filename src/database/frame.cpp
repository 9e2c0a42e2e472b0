// Local coordinate systems: reference atoms of the two axes, dummy atoms and the atom's
// line of the coordinate-system table.
#include <cmath>
#include <cstdarg>
#include <cstring>

#include "../chem/elements.h"
#include "../core/atomtable.h"
#include "../core/text.h"
#include "../geometry/cell.h"
#include "../geometry/vec.h"
#include "database.h"

namespace {

// A dummy's position is set from the atom's neighbourhood only when it is pyramidal enough.
constexpr double PYRAMIDAL_BELOW = 0.8;

// Neighbour count of an atom (0 for an atom without a node).
int nn(const TransferRun& run, int i) {
    if (i < 0 || static_cast<std::size_t>(i) >= run.p.knopf.size()) return 0;
    return run.p.knopf[static_cast<std::size_t>(i)].count();
}

int neighbour(const TransferRun& run, int i, int k) { return run.p.knopf[static_cast<std::size_t>(i)].nachbar[k]; }

// Neighbours may be symmetry images: they are read through site().
const char* labelOf(const TransferRun& run, int i) { return run.site(i).label; }

const char* nameOf(const TransferRun& run, int i) { return run.p.quandrelName[i]; }

// Element symbol of an atom ("" when its scattering entry is unset).
const char* symbolOf(const TransferRun& run, int i) {
    return elementSymbol(run.siteElement(i));
}

bool isHydrogen(const TransferRun& run, int i) { return run.siteElement(i) == 0; }

// Vector from atom a to atom b (Cartesian).
vec bondVector(const TransferRun& run, int a, int b) { return toVec(run.site(b).cart) - toVec(run.site(a).cart); }

// The neighbour of a three-neighbour atom whose quandrel name differs from the other two
// (position 0, 1 or 2 in neighbour order; three equal names give 0).
int oddNeighbour(const TransferRun& run, int i) {
    int odd = 1;
    for (int k = 1; k <= 2; ++k)
        if (std::strcmp(nameOf(run, neighbour(run, i, k)), nameOf(run, neighbour(run, i, k - 1))) == 0) odd = (k == 1) ? 2 : 0;
    return odd;
}

// P: sum of the bond vectors to the two neighbours other than the odd one; Q: bond vector
// to the odd one.
void pyramidVectors(const TransferRun& run, int i, int odd, vec& p, vec& qv) {
    p = vec();
    for (int k = 0; k < 3; ++k) {
        const vec v = bondVector(run, i, neighbour(run, i, k));
        if (k == odd)
            qv = v;
        else
            p = p + v;
    }
}

// Places dummy d at X(i) + unit(direction) and converts it to fractional coordinates.
void placeDummy(const TransferRun& run, int d, int i, vec direction) {
    const vec unit = normalised(direction);
    AtomRecord& dummy = run.model.atom[static_cast<std::size_t>(d)];
    const double* x = run.model.atom[static_cast<std::size_t>(i)].cart;
    dummy.cart[0] = x[0] + unit.x;
    dummy.cart[1] = x[1] + unit.y;
    dummy.cart[2] = x[2] + unit.z;
    cellGeometry(run.model.cell).toFractional(dummy.cart, dummy.frac);
}

bool firstLetterIs(const std::string& axis, char letter) { return !axis.empty() && axis[0] == letter; }

// Appends dummy number nDummy behind the atoms (growing the atom array when needed) and
// returns its array position.
int newDummy(const TransferRun& run) {
    const std::size_t d = static_cast<std::size_t>(run.model.nAtoms + run.model.nDummy);
    if (run.model.atom.size() <= d) run.model.atom.resize(d + 1);
    std::snprintf(run.model.atom[d].label, sizeof run.model.atom[d].label, "DUM%d", run.model.nDummy);
    return static_cast<int>(d);
}

// A reference atom that is a symmetry image: the frame uses a dummy atom at the image's
// position (one dummy per image, however many frames use it). Returns the dummy's array
// position.
int dummyForImage(const TransferRun& run, int image) {
    const std::size_t k = static_cast<std::size_t>(image - run.p.nInput);
    if (run.t.imageDummy.size() < run.p.imageOrigin.size()) run.t.imageDummy.resize(run.p.imageOrigin.size(), -1);
    if (run.t.imageDummy[k] >= 0) return run.t.imageDummy[k];
    const AtomRecord position = run.site(image);
    const int d = newDummy(run);
    AtomRecord& dummy = run.model.atom[static_cast<std::size_t>(d)];
    std::memcpy(dummy.frac, position.frac, sizeof dummy.frac);
    std::memcpy(dummy.cart, position.cart, sizeof dummy.cart);
    printf("Dummy atom %s stands for the symmetry image %s\n", dummy.label, position.label);
    ++run.model.nDummy;
    run.t.imageDummy[k] = d;
    return d;
}

void warnUnplaced(const TransferRun& run, int d, int i) {
    const AtomRecord& dummy = run.model.atom[static_cast<std::size_t>(d)];
    char text[256];
    std::snprintf(text, sizeof text, "no position rule applies to dummy atom %s of atom %s; it stays at %f %f %f.",
                  dummy.label, labelOf(run, i), dummy.frac[0], dummy.frac[1], dummy.frac[2]);
    run.warnings.warn("dummy without a position rule", {labelOf(run, i), dummy.label}, text);
}

// Position of a dummy that defines the first axis of atom i.
void placeAtom0Dummy(const TransferRun& run, int i, int d, const KsLine& ks, const char* siteSym) {
    const int n = nn(run, i);
    const bool pyramidalMirror =
        n == 3 && std::strcmp(siteSym, "mz") == 0 && run.planarity(i) < PYRAMIDAL_BELOW;

    if (n == 1) {
        // Terminal atom: the axis is the normal of the plane of two neighbours of its
        // neighbour j, the second one taken past the first that is more than 90 degrees away.
        const int j = neighbour(run, i, 0);
        const int nj = nn(run, j);
        vec direction;
        if (nj >= 2) {
            int k = 1;
            const int last = nj < MAX_NEIGHBOURS ? nj : MAX_NEIGHBOURS;
            while (k + 1 < last && run.p.knopf[static_cast<std::size_t>(j)].angle(0, k) <= 90.0) ++k;
            direction = cross(bondVector(run, j, neighbour(run, j, 0)), bondVector(run, j, neighbour(run, j, k)));
        } else {
            // A two-atom fragment has no such plane: any direction at right angles to the bond.
            const vec bond = bondVector(run, i, j);
            const double axis[3] = {bond.x, bond.y, bond.z};
            int c = 0;
            for (int m = 1; m < 3; ++m)
                if (std::fabs(axis[m]) < std::fabs(axis[c])) c = m;
            double e[3] = {0, 0, 0};
            e[c] = 1.0;
            direction = cross(bond, toVec(e));
        }
        placeDummy(run, d, i, direction);
    } else if (pyramidalMirror && firstLetterIs(ks.axis1, 'Z')) {
        // The mirror plane holds the odd neighbour and the sum of the other two: Z is its normal.
        vec p, qv;
        pyramidVectors(run, i, oddNeighbour(run, i), p, qv);
        placeDummy(run, d, i, cross(p, qv));
    } else if (pyramidalMirror) {
        vec p, qv;
        pyramidVectors(run, i, oddNeighbour(run, i), p, qv);
        placeDummy(run, d, i, p);
    } else if (std::strcmp(siteSym, "mm2") == 0 && n > 1) {
        // The twofold axis bisects the first pair of neighbours of the same atom type.
        int first = -1, partner = -1;
        for (int k = 0; k < n && first < 0; ++k) {
            for (int m = 0; m < n; ++m) {
                if (m == k || run.site(neighbour(run, i, k)).tbl != run.site(neighbour(run, i, m)).tbl)
                    continue;
                // reference output: the "MM2!!!" pair line and the dummy line below it are part of standard output
                printf("MM2!!! %s %s %s \n", labelOf(run, neighbour(run, i, k)), labelOf(run, neighbour(run, i, m)),
                       labelOf(run, i));
                first = k;
                partner = m;
            }
        }
        if (first < 0) {
            warnUnplaced(run, d, i);
            return;
        }
        placeDummy(run, d, i, bondVector(run, i, neighbour(run, i, first)) + bondVector(run, i, neighbour(run, i, partner)));
        const AtomRecord& dummy = run.model.atom[static_cast<std::size_t>(d)];
        // reference output: the dummy line of the mm2 axis, with its "---" end
        printf("%d MM2!!!%s %f %f %f --- \n", i, dummy.label, dummy.frac[0], dummy.frac[1], dummy.frac[2]);
    } else if (std::strcmp(siteSym, "3") == 0 && n == 3) {
        // The threefold axis: the sum of the normals of the three neighbour pairs.
        vec sum;
        for (int k = 0; k < 3; ++k) {
            const int a = neighbour(run, i, k), b = neighbour(run, i, (k + 1) % 3);
            // reference output: one "K<k>" line per neighbour pair of the threefold axis
            printf("K%d %-8s %-8s (%-8s)\n", k, labelOf(run, a), labelOf(run, b), labelOf(run, i));
            sum = sum + normalised(cross(bondVector(run, i, a), bondVector(run, i, b)));
        }
        placeDummy(run, d, i, sum);
    } else {
        warnUnplaced(run, d, i);
    }
}

// Position of a dummy that defines the second axis of atom i.
void placeAtom2Dummy(const TransferRun& run, int i, int d, const KsLine& ks, const char* siteSym) {
    const int n = nn(run, i);
    if (n == 3 && !firstLetterIs(ks.axis2, 'Z') && std::strcmp(siteSym, "mz") == 0 &&
        run.planarity(i) < PYRAMIDAL_BELOW) {
        // reference output: "Kandidat fuer Tremons weg", the neighbour names and the odd one, in German
        printf("Kandidat fuer Tremons weg\n");
        for (int k = 0; k < n; ++k) printf("%-30s %d\n", nameOf(run, neighbour(run, i, k)), n);
        const int odd = oddNeighbour(run, i);
        vec p, qv;
        pyramidVectors(run, i, odd, p, qv);
        placeDummy(run, d, i, p);
        printf("%-30s unterscheident sich von den anderen beiden\n", nameOf(run, neighbour(run, i, odd)));
    } else {
        warnUnplaced(run, d, i);
    }
}

// Last resort for the second reference atom when the rules find none: the first atom of
// the structure that is neither the atom nor its first neighbour (the atom itself in a
// structure of one atom).
int anyOtherAtom(const TransferRun& run, int i, int j) {
    for (int m = 0; m < run.model.nAtoms; ++m)
        if (m != i && m != j) return m;
    return j >= 0 ? j : i;
}

// ---- choosing the reference atoms ----

// A reference atom of one axis as the table line names it.
struct Reference {
    int position = -1;      // array position of the atom or dummy; -1: none chosen yet
    std::string label;      // the name written in the table line
    int number = -1;        // dummy number: the ATOM0 column writes "DUM" and the number
    bool placed = false;    // a dummy made for this frame: the ATOM2 column writes "DUM" and the number
    bool underscore = false;  // a reference taken when the rules give none: SITESYM gets a "_"

    bool chosen() const { return position >= 0; }
};

constexpr int NONE = -1;
constexpr int NEW_DUMMY = -2;

// What the pass over the atom's neighbours picks: neighbour sites (they may be symmetry
// images) or NEW_DUMMY for ATOM0, and whether ATOM2 was picked in an earlier pass than
// ATOM0 (the dummies standing for images are then numbered in that order).
struct NeighbourChoice {
    int atom0 = NONE;
    int atom2 = NONE;
    bool atom2First = false;
};

NeighbourChoice chooseAmongNeighbours(const TransferRun& run, int i, const KsLine& ks) {
    const char* siteSym = run.model.atom[static_cast<std::size_t>(i)].siteSym;
    const char* label = run.model.atom[static_cast<std::size_t>(i)].label;
    const int n = nn(run, i);
    const bool dummy1 = ks.element1 == "DUM";
    NeighbourChoice choice;
    for (int k = 0; k < n; ++k) {
        const int nb = neighbour(run, i, k);
        std::string chosen0;  // label of the neighbour taken as ATOM0 in this pass

        // A terminal atom on a mirror plane: ATOM2 comes from the second shell.
        if (choice.atom2 == NONE && std::strcmp(siteSym, "mz") == 0 && n == 1 && !dummy1) {
            const int j = neighbour(run, i, 0);
            for (int m = 0; m < nn(run, j); ++m) {
                const int s = neighbour(run, j, m);
                if (std::strcmp(labelOf(run, s), label) == 0) continue;
                choice.atom2 = s;
                choice.atom2First = true;
                break;
            }
        }
        if (choice.atom0 == NONE && ks.element1 == symbolOf(run, nb)) {
            choice.atom0 = nb;
            chosen0 = labelOf(run, nb);
        } else if (choice.atom0 == NONE && dummy1) {
            choice.atom0 = NEW_DUMMY;
        }
        if (choice.atom2 == NONE && chosen0 != labelOf(run, nb) && ks.element2 == symbolOf(run, nb)) {
            choice.atom2 = nb;
            choice.atom2First = choice.atom0 == NONE;
        }
    }
    return choice;
}

// ---- making the dummies ----

// A reference to site s: the atom itself, or the dummy at the position of a symmetry image.
Reference referTo(const TransferRun& run, int s, bool underscore) {
    Reference r;
    r.underscore = underscore;
    if (run.p.isImage(s)) {
        r.position = dummyForImage(run, s);
        r.number = r.position - run.model.nAtoms;
        r.label = format("DUM%d", r.number);
    } else {
        r.position = s;
        r.label = labelOf(run, s);
    }
    return r;
}

// A dummy made for this frame, placed by the rule of its axis, numbered behind the others.
Reference newPlacedDummy(const TransferRun& run, int i, const KsLine& ks, const char* siteSym,
                         void (*place)(const TransferRun&, int, int, const KsLine&, const char*)) {
    Reference r;
    r.position = newDummy(run);
    place(run, i, r.position, ks, siteSym);
    r.number = run.model.nDummy++;
    r.placed = true;
    return r;
}

// An isolated atom: its first axis points to DUM0, its second to the first atom of the
// structure that has neighbours.
void referForIsolatedAtom(const TransferRun& run, Reference& atom0, Reference& atom2) {
    atom0.position = run.model.nAtoms;
    atom0.label = "DUM0";
    for (int m = 0; m < run.model.nAtoms; ++m) {
        if (nn(run, m) == 0) continue;
        atom2.position = m;
        atom2.label = labelOf(run, m);
        atom2.underscore = true;
        return;
    }
}

// ATOM2 when the rules give none: the neighbour's first neighbour, or its second when the
// first is the atom itself.
Reference fallbackAtom2(const TransferRun& run, int i, const KsLine& ks) {
    const char* label = run.model.atom[static_cast<std::size_t>(i)].label;
    // reference output: the tilde line of a non-hydrogen atom whose second axis is taken from the second shell
    if (!isHydrogen(run, i)) printf("~~~~~~~o ~~~~~~~o (.%s.) o~~~~~~~ o~~~~~~~ \n", label);
    const int n = nn(run, i);
    int pick = -1;
    const int j = n > 0 ? neighbour(run, i, 0) : -1;
    if (j >= 0) {
        const int nj = nn(run, j);
        if (nj > 0 && std::strcmp(labelOf(run, neighbour(run, j, 0)), label) != 0)
            pick = neighbour(run, j, 0);
        else if (nj > 1)
            pick = neighbour(run, j, 1);
    }
    if (pick < 0) {
        pick = anyOtherAtom(run, i, j);
        run.warnings.warn("frame axis from another atom", {label, labelOf(run, pick)},
                          format("atom %s has no second-shell atom for its %s axis; %s is taken.", label,
                                 ks.axis2.c_str(), labelOf(run, pick)));
    }
    return referTo(run, pick, true);
}

// ---- the table line ----

// One line of the coordinate-system table (the ATOM table of the master file), in the
// table's column layout (core/atomtable.h):
//   cols  1-9   ATOM     the atom's label, left-justified
//   cols 10-18  ATOM0    label of the first reference atom, left-justified; a dummy is
//                        written "DUM" and its number
//   cols 19-20  AX1      axis through ATOM0, right-justified
//   cols 23-31  ATOM1    the atom's label again
//   cols 32-39  ATOM2    label of the second reference atom ("DUM" and its number for a
//                        dummy made here)
//   cols 40-41  AX2      right-justified
//   col  45     R/L      always "R"
//   cols 47-49  TP, 50-52 TBL, 53-56 KAP, 57-60 LMX   right-justified integers
//   cols 63-    SITESYM  "_" in front when ATOM2 was taken for want of a rule
// A label longer than its columns stands one blank behind the field before it and pushes
// the rest of the line to the right, so every field stays readable.
std::string formatTableLine(const AtomRecord& a, const KsLine& ks, const Reference& atom0, const Reference& atom2) {
    const std::string atom0Text = atom0.number >= 0 ? format("DUM%d", atom0.number) : atom0.label;
    const std::string atom2Text = atom2.placed ? format("DUM%d", atom2.number) : atom2.label;
    const std::string tp = std::to_string(a.tp), tbl = std::to_string(a.tbl);
    std::string line;
    appendAtomColumnsToTbl(line, {a.label, atom0Text, ks.axis1, a.label, atom2Text, ks.axis2, "R", tp, tbl});
    appendf(line, "%4d%4d  %s%s", a.kap, a.lmx, atom2.underscore ? "_" : "", a.siteSym);
    return line;
}

}  // namespace

bool buildLocalFrame(const TransferRun& run, int i, const KsLine& ks, std::string& tableLine) {
    // Copies: creating a dummy may move the atom array.
    const AtomRecord a = run.model.atom[static_cast<std::size_t>(i)];
    const NeighbourChoice choice = chooseAmongNeighbours(run, i, ks);

    Reference atom0, atom2;
    if (choice.atom2First) atom2 = referTo(run, choice.atom2, false);
    if (choice.atom0 == NEW_DUMMY)
        atom0 = newPlacedDummy(run, i, ks, a.siteSym, placeAtom0Dummy);
    else if (choice.atom0 != NONE)
        atom0 = referTo(run, choice.atom0, false);
    if (!choice.atom2First && choice.atom2 != NONE) atom2 = referTo(run, choice.atom2, false);

    if (nn(run, i) == 0 && !atom0.chosen()) referForIsolatedAtom(run, atom0, atom2);

    if (!atom0.chosen()) {
        run.warnings.warn("frame dropped", {a.label},
                          format("atom %s has no %s neighbour for its %s axis; it keeps its local coordinate system.",
                                 a.label, ks.element1.c_str(), ks.axis1.c_str()));
        return false;
    }
    if (!atom2.chosen() && ks.element2 == "DUM") {
        atom2 = newPlacedDummy(run, i, ks, a.siteSym, placeAtom2Dummy);
        atom2.underscore = true;
    }
    if (!atom2.chosen()) atom2 = fallbackAtom2(run, i, ks);

    AtomRecord& target = run.model.atom[static_cast<std::size_t>(i)];
    target.atom0 = atom0.position + 1;
    target.atom2 = atom2.position + 1;
    tableLine = formatTableLine(a, ks, atom0, atom2);
    return true;
}
