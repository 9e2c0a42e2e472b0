// Ring perception and the degree of planarity of an atom's neighbourhood.
//
// Three-membered rings come from the bond graph alone. Larger rings are searched only
// among atoms whose neighbourhood is planar: a circle is fitted through each such atom and
// its first two planar neighbours, and the planar atoms near that circle form a ring when
// each of them has exactly two bonded neighbours among them.
//
// Ring membership is decided by atom, never by label text: labels such as C1 and C12 would
// otherwise make C1 a member of every ring that holds C12.
#include "rings.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "../driver/Quandrel.h"

namespace {

constexpr int MAX_STORED_RINGS = 30;   // rings of four or more members
constexpr int MAX_RING_BITS = 32;      // one bit of ringMask per ring
constexpr int MAX_RING_SIZE = 9;       // a ring size is one decimal digit of ringCode
constexpr int MAX_RINGS_PER_ATOM = 9;  // digits of ringCode that always fit an int
constexpr double MAX_RING_ANGLE = 150.0;
constexpr double CIRCLE_SLACK = 1.4;   // ring members lie within 1.4 radii of the centre
constexpr double PI = 3.141592653589793;

// A ring: its members in ring-graph order and its text, their labels run together.
struct Ring {
    std::vector<int> members;
    std::string text;
};

// An atom of the ring graph: a planar atom with its first two planar neighbours.
struct RingGraphEntry {
    int atom;
    int first;
    int second;
};

vec vectorBetween(const double* from, const double* to) {
    return {to[0] - from[0], to[1] - from[1], to[2] - from[2]};
}

double distance(const double* p, const double* q) {
    const double dx = p[0] - q[0], dy = p[1] - q[1], dz = p[2] - q[2];
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

}  // namespace

int ringCodeSort(int code) {
    if (code <= 0) return code;
    int digits[10];
    int count = 0;
    for (int rest = code; rest > 0; rest /= 10) digits[count++] = rest % 10;  // units first
    for (int pass = 0; pass < count - 1; ++pass)
        for (int k = 0; k < count - 1; ++k)
            if (digits[k] > digits[k + 1]) {
                const int t = digits[k];
                digits[k] = digits[k + 1];
                digits[k + 1] = t;
            }
    long long sorted = 0;  // the smallest digit becomes the units
    for (int k = count - 1; k >= 0; --k) sorted = sorted * 10 + digits[k];
    return sorted > INT_MAX ? code : static_cast<int>(sorted);
}

double Quandrel::planar(Knopf node, int atomIndex) {
    AtomRecord& centre = atom[atomIndex];
    if (centre.planarCache != -1.0) return centre.planarCache;

    int n = node.anzahl;
    if (n > MAX_NEIGHBOURS) n = MAX_NEIGHBOURS;
    if (n < 0) n = 0;
    vec direction[MAX_NEIGHBOURS];
    for (int k = 0; k < n; ++k) direction[k] = nrm(vectorBetween(centre.cart, atom[node.nachbar[k]].cart));

    // Normal of the plane of each neighbour direction and the next one. Two directions on
    // one line span no plane: their normal is left out of the product.
    vec normal[MAX_NEIGHBOURS];
    bool spansPlane[MAX_NEIGHBOURS] = {};
    if (n > 1) {
        for (int k = 0; k < n; ++k) {
            const vec c = crs(direction[k], direction[(k + 1) % n]);
            spansPlane[k] = std::sqrt(scalar(c, c)) > 1e-10;
            normal[k] = nrm(c);
        }
    }
    double planarity = 1.0;
    for (int a = 0; a < n; ++a)
        for (int b = a + 1; b < n; ++b)
            if (spansPlane[a] && spansPlane[b]) planarity *= std::fabs(scalar(normal[a], normal[b]));

    centre.planarCache = planarity;
    return planarity;
}

void Quandrel::ringlord() {
    StageName stage(*this, "ringlord");
    for (int i = 0; i < nAtoms; ++i) {
        atom[i].ringCode = 0;
        atom[i].ringMask = 0;
    }
    if (static_cast<int>(knopf.size()) < nAtoms) return;  // no nodes, no rings

    unsigned long long ringBit = 1;
    int bitsUsed = 0;
    std::vector<int> ringsAt(nAtoms, 0);  // rings recorded per atom so far
    auto textOf = [this](const std::vector<int>& members) {
        std::string text;
        for (int m : members) text += atom[m].label;
        return text;
    };
    // Whether one more ring with these members still fits every capacity; a warning when not.
    auto fitsCapacity = [&](const std::vector<int>& members, int storedLarger) {
        const std::string text = textOf(members);
        const int size = static_cast<int>(members.size());
        if (size > MAX_RING_SIZE) {
            fprintf(stderr, "Warning: ring %s of %d atoms is not recorded: rings of up to %d atoms are handled\n",
                    text.c_str(), size, MAX_RING_SIZE);
            return false;
        }
        if (size > 3 && storedLarger == MAX_STORED_RINGS) {
            fprintf(stderr, "Warning: ring %s is not recorded: at most %d rings of four or more atoms are handled\n",
                    text.c_str(), MAX_STORED_RINGS);
            return false;
        }
        if (bitsUsed + storedLarger == MAX_RING_BITS) {
            fprintf(stderr, "Warning: ring %s is not recorded: at most %d rings are handled\n", text.c_str(),
                    MAX_RING_BITS);
            return false;
        }
        for (int m : members)
            if (ringsAt[m] == MAX_RINGS_PER_ATOM) {
                fprintf(stderr, "Warning: ring %s is not recorded: atom %s already belongs to %d rings\n",
                        text.c_str(), atom[m].label, MAX_RINGS_PER_ATOM);
                return false;
            }
        return true;
    };

    // Three-membered rings, straight from the bond graph.
    for (int i = 0; i < nAtoms; ++i) {
        const Knopf& ni = knopf[i];
        for (int x = 0; x < ni.anzahl; ++x) {
            const int a = ni.nachbar[x];
            const Knopf& na = knopf[a];
            for (int y = 0; y < na.anzahl; ++y) {
                const int b = na.nachbar[y];
                const Knopf& nb = knopf[b];
                for (int z = 0; z < nb.anzahl; ++z) {
                    if (!(i < a && a < b && nb.nachbar[z] == i)) continue;
                    const std::vector<int> members = {i, a, b};
                    if (!fitsCapacity(members, 0)) continue;
                    for (int m : members) {
                        atom[m].ringCode = atom[m].ringCode * 10 + 3;
                        atom[m].ringMask |= static_cast<int>(static_cast<unsigned int>(ringBit));
                        ++ringsAt[m];
                    }
                    ringBit *= 2;
                    ++bitsUsed;
                    printf("%s%s%s %lld\n", atom[i].label, atom[a].label, atom[b].label,
                           static_cast<long long>(ringBit));
                }
            }
        }
    }

    // Candidates: atoms with at least two neighbours and a planar neighbourhood.
    std::vector<char> isCandidate(nAtoms, 0);
    for (int i = 0; i < nAtoms; ++i)
        if (knopf[i].anzahl >= 2 && planar(knopf[i], i) > planaris) isCandidate[i] = 1;

    // Ring graph: candidates with at least two candidate neighbours, in node order. Only
    // the first two of them enter the circle test.
    std::vector<RingGraphEntry> graph;
    for (int i = 0; i < nAtoms; ++i) {
        if (!isCandidate[i]) continue;
        int found[2];
        int count = 0;
        const Knopf& node = knopf[i];
        for (int k = 0; k < node.anzahl && count < 2; ++k)
            if (isCandidate[node.nachbar[k]]) found[count++] = node.nachbar[k];
        if (count < 2) continue;
        graph.push_back({i, found[0], found[1]});
    }

    std::vector<Ring> stored;
    std::vector<std::vector<int>> dropped;  // rings over a capacity, warned about once
    std::vector<char> inSet(nAtoms, 0);
    for (const RingGraphEntry& entry : graph) {
        const double theta = winkel(entry.atom, entry.first, entry.second);
        if (theta > MAX_RING_ANGLE) continue;
        const double s = std::sin(theta * PI / 360.0);
        const double t = std::sin(theta * PI / 180.0);
        if (t == 0.0) continue;  // B and C in one direction from A: no circle
        const double f = (s * s) / (t * t);
        const double* pa = atom[entry.atom].cart;
        const double* pb = atom[entry.first].cart;
        const double* pc = atom[entry.second].cart;
        double centre[3];
        for (int k = 0; k < 3; ++k) centre[k] = pa[k] + (pb[k] + pc[k] - 2 * pa[k]) * f;
        const double radius = distance(centre, pa);

        std::vector<int> members;
        for (const RingGraphEntry& x : graph)
            if (distance(atom[x.atom].cart, centre) <= CIRCLE_SLACK * radius) members.push_back(x.atom);
        const int m = static_cast<int>(members.size());

        // Closure: every member has exactly two bonded neighbours among the members.
        for (int a : members) inSet[a] = 1;
        int links = 0;
        for (int a : members)
            for (int k = 0; k < knopf[a].anzahl; ++k) links += inSet[knopf[a].nachbar[k]];
        for (int a : members) inSet[a] = 0;
        if (links != 2 * m) continue;

        if (m <= 3) continue;
        bool known = false;
        for (const Ring& r : stored) known = known || r.members == members;
        for (const std::vector<int>& r : dropped) known = known || r == members;
        if (known) continue;
        if (!fitsCapacity(members, static_cast<int>(stored.size()))) {
            dropped.push_back(members);
            continue;
        }
        for (int a : members) ++ringsAt[a];
        stored.push_back({members, textOf(members)});
    }

    for (size_t r = 0; r < stored.size(); ++r) {
        printf("Ring No: %d consists of %s\n", static_cast<int>(r) + 1, stored[r].text.c_str());
        const int size = static_cast<int>(stored[r].members.size());
        for (int a : stored[r].members) {
            atom[a].ringCode = atom[a].ringCode * 10 + size;
            atom[a].ringMask |= static_cast<int>(static_cast<unsigned int>(ringBit));
        }
        ringBit *= 2;
    }

    for (int i = 0; i < nAtoms; ++i)
        if (atom[i].ringCode != 0) atom[i].ringCode = ringCodeSort(atom[i].ringCode);
}
