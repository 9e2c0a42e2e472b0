// Ring perception and the degree of planarity of an atom's neighbourhood.
//
// Three-membered rings come from the bond graph alone. Larger rings are searched only
// among atoms whose neighbourhood is planar: a circle is fitted through each such atom and
// its first two planar neighbours, and the planar atoms near that circle form a ring when
// each of them has exactly two bonded neighbours among them.
//
// Ring membership is decided by atom, never by label text: labels such as C1 and C12 would
// otherwise make C1 a member of every ring that holds C12.
#include "../core/stage.h"
#include "../core/text.h"
#include "rings.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "../geometry/vec.h"
#include "perception.h"
#include "../geometry/geometry.h"
#include "../geometry/grid.h"

namespace {

constexpr int MAX_RING_SIZE = 9;       // a ring size is one decimal digit of ringCode
constexpr double MAX_RING_ANGLE = 150.0;
constexpr double CIRCLE_SLACK = 1.4;   // ring members lie within 1.4 radii of the centre

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

// The ring bit of ring number k as announced for three-membered rings: 2 to the power k + 1,
// in decimal while it fits 64 bits, beyond that as "2^n".
std::string ringBitText(int k) {
    if (k + 1 < 64) return std::to_string(1ULL << (k + 1));
    return "2^" + std::to_string(k + 1);
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

namespace {

// The degree of planarity of a node, computed.
double nodePlanarity(const Structure& s, const Perception& p, const Knopf& node, int atomIndex) {
    const AtomRecord& centre = siteOf(s, p, atomIndex);

    const int n = node.count();
    vec direction[MAX_NEIGHBOURS];
    for (int k = 0; k < n; ++k) direction[k] = normalised(toVec(siteOf(s, p, node.nachbar[k]).cart) - toVec(centre.cart));

    // Normal of the plane of each neighbour direction and the next one. Two directions on
    // one line span no plane: their normal is left out of the product.
    vec normal[MAX_NEIGHBOURS];
    bool spansPlane[MAX_NEIGHBOURS] = {};
    if (n > 1) {
        for (int k = 0; k < n; ++k) {
            const vec c = cross(direction[k], direction[(k + 1) % n]);
            spansPlane[k] = norm(c) > 1e-10;
            normal[k] = normalised(c);
        }
    }
    double planarity = 1.0;
    for (int a = 0; a < n; ++a)
        for (int b = a + 1; b < n; ++b)
            if (spansPlane[a] && spansPlane[b]) planarity *= std::fabs(dot(normal[a], normal[b]));

    return planarity;
}

}  // namespace

double planar(const PerceptionRun& run, const Knopf& node, int atomIndex) {
    std::vector<double>& cache = run.p.planarCache;
    if (static_cast<int>(cache.size()) < run.sites()) run.p.growSites(run.sites());
    double& kept = cache[static_cast<std::size_t>(atomIndex)];
    if (kept == -1.0) kept = nodePlanarity(run.s, run.p, node, atomIndex);
    return kept;
}

double planarityOf(const Structure& s, const Perception& p, int atomIndex) {
    const std::size_t i = static_cast<std::size_t>(atomIndex);
    if (i < p.planarCache.size() && p.planarCache[i] != -1.0) return p.planarCache[i];
    return nodePlanarity(s, p, p.knopf[i], atomIndex);
}

namespace {

// The rings recorded so far: the number of the next ring and how many rings each atom
// belongs to.
class RingBook {
public:
    explicit RingBook(const PerceptionRun& run) : run_(run), ringsAt_(static_cast<std::size_t>(run.sites()), 0) {}

    std::vector<std::string> labelsOf(const std::vector<int>& members) const {
        std::vector<std::string> labels;
        for (int m : members) labels.emplace_back(run_.site(m).label);
        return labels;
    }

    std::string textOf(const std::vector<int>& members) const {
        std::string text;
        for (int m : members) text += run_.site(m).label;
        return text;
    }

    // Whether one more ring with these members still fits every capacity; a warning when not.
    bool fits(const std::vector<int>& members) const {
        const std::string text = textOf(members);
        const int size = static_cast<int>(members.size());
        if (size > MAX_RING_SIZE) {
            run_.p.warnings.warn("ring not recorded", labelsOf(members),
                               format("ring %s of %d atoms is not recorded: rings of up to %d atoms are handled",
                                      text.c_str(), size, MAX_RING_SIZE));
            return false;
        }
        for (int m : members)
            if (ringsAt_[m] == MAX_RINGS_PER_ATOM) {
                run_.p.warnings.warn("ring not recorded", labelsOf(members),
                                   format("ring %s is not recorded: atom %s already belongs to %d rings",
                                          text.c_str(), run_.site(m).label, MAX_RINGS_PER_ATOM));
                return false;
            }
        return true;
    }

    // Counts the ring at its members (capacity) before it is numbered.
    void reserve(const std::vector<int>& members) {
        for (int m : members) ++ringsAt_[m];
    }

    // Numbers the ring and marks it in the ring code and ring set of its members; returns its number.
    int number(const std::vector<int>& members) {
        const int size = static_cast<int>(members.size());
        for (int m : members) {
            run_.p.ringCode[m] = run_.p.ringCode[m] * 10 + size;
            run_.p.ringMask[m].add(nextRing_);
        }
        return nextRing_++;
    }

private:
    const PerceptionRun& run_;
    std::vector<int> ringsAt_;
    int nextRing_ = 0;
};

// Three-membered rings, straight from the bond graph.
void findThreeRings(const PerceptionRun& run, RingBook& book) {
    for (int i = 0; i < run.sites(); ++i) {
        const Knopf& ni = run.p.knopf[i];
        for (int x = 0; x < ni.anzahl; ++x) {
            const int a = ni.nachbar[x];
            const Knopf& na = run.p.knopf[a];
            for (int y = 0; y < na.anzahl; ++y) {
                const int b = na.nachbar[y];
                const Knopf& nb = run.p.knopf[b];
                for (int z = 0; z < nb.anzahl; ++z) {
                    if (!(i < a && a < b && nb.nachbar[z] == i)) continue;
                    const std::vector<int> members = {i, a, b};
                    if (!book.fits(members)) continue;
                    book.reserve(members);
                    const int ring = book.number(members);
                    printf("%s%s%s %s\n", run.site(i).label, run.site(a).label, run.site(b).label,
                           ringBitText(ring).c_str());
                }
            }
        }
    }
}

// Ring graph: the candidates (atoms with at least two neighbours and a planar
// neighbourhood) with at least two candidate neighbours, in node order. Only the first two
// of them enter the circle test.
std::vector<RingGraphEntry> ringGraph(const PerceptionRun& run) {
    std::vector<char> isCandidate(static_cast<std::size_t>(run.sites()), 0);
    for (int i = 0; i < run.sites(); ++i)
        if (run.p.knopf[i].anzahl >= 2 && planar(run, run.p.knopf[i], i) > run.opt.planaris) isCandidate[i] = 1;

    std::vector<RingGraphEntry> graph;
    for (int i = 0; i < run.sites(); ++i) {
        if (!isCandidate[i]) continue;
        int found[2];
        int count = 0;
        const Knopf& node = run.p.knopf[i];
        for (int k = 0; k < node.anzahl && count < 2; ++k)
            if (isCandidate[node.nachbar[k]]) found[count++] = node.nachbar[k];
        if (count < 2) continue;
        graph.push_back({i, found[0], found[1]});
    }
    return graph;
}

// The ring-graph atoms near the circle through an entry's atom and its two neighbours, in
// atom order; false when the three atoms fix no circle.
bool atomsNearCircle(const PerceptionRun& run, const RingGraphEntry& entry, const PointGrid& near, std::vector<int>& members) {
    const double theta = run.angle(entry.atom, entry.first, entry.second);
    if (theta > MAX_RING_ANGLE) return false;
    const double s = std::sin(theta * PI / 360.0);
    const double t = std::sin(theta * PI / 180.0);
    if (t == 0.0) return false;  // B and C in one direction from A: no circle
    const double f = (s * s) / (t * t);
    const double* pa = run.site(entry.atom).cart;
    const double* pb = run.site(entry.first).cart;
    const double* pc = run.site(entry.second).cart;
    double centre[3];
    for (int k = 0; k < 3; ++k) centre[k] = pa[k] + (pb[k] + pc[k] - 2 * pa[k]) * f;
    const double radius = distance(toVec(centre), toVec(pa));

    members.clear();
    near.within(centre, CIRCLE_SLACK * radius, [&](int a) {
        if (distance(toVec(run.site(a).cart), toVec(centre)) <= CIRCLE_SLACK * radius) members.push_back(a);
    });
    std::sort(members.begin(), members.end());
    return true;
}

// Closure: every member has exactly two bonded neighbours among the members. inSet is all
// zero on entry and on return.
bool isClosed(const PerceptionRun& run, const std::vector<int>& members, std::vector<char>& inSet) {
    for (int a : members) inSet[a] = 1;
    int links = 0;
    for (int a : members)
        for (int k = 0; k < run.p.knopf[a].anzahl; ++k) links += inSet[run.p.knopf[a].nachbar[k]];
    for (int a : members) inSet[a] = 0;
    return links == 2 * static_cast<int>(members.size());
}

// Rings of four and more atoms among the ring-graph atoms, each once, in the order found.
std::vector<Ring> findPlanarRings(const PerceptionRun& run, const std::vector<RingGraphEntry>& graph, RingBook& book) {
    std::vector<int> graphAtoms;
    graphAtoms.reserve(graph.size());
    for (const RingGraphEntry& entry : graph) graphAtoms.push_back(entry.atom);
    const PointGrid near(graphAtoms, [&run](int a) { return run.site(a).cart; }, 2.0);

    std::vector<Ring> stored;
    std::set<std::vector<int>> seen;  // rings stored or dropped over a capacity (warned about once)
    std::vector<char> inSet(static_cast<std::size_t>(run.sites()), 0);
    std::vector<int> members;
    for (const RingGraphEntry& entry : graph) {
        if (!atomsNearCircle(run, entry, near, members)) continue;
        if (!isClosed(run, members, inSet)) continue;
        if (members.size() <= 3) continue;
        if (!seen.insert(members).second) continue;
        if (!book.fits(members)) continue;
        book.reserve(members);
        stored.push_back({members, book.textOf(members)});
    }
    return stored;
}

}  // namespace

void ringlord(const PerceptionRun& run) {
    Stage stage("ringlord");
    const int nAtoms = run.sites();
    run.p.growSites(nAtoms);
    for (int i = 0; i < nAtoms; ++i) {
        run.p.ringCode[i] = 0;
        run.p.ringMask[i] = RingSet();
    }
    if (static_cast<int>(run.p.knopf.size()) < nAtoms) return;  // no nodes, no rings

    RingBook book(run);
    findThreeRings(run, book);
    const std::vector<Ring> stored = findPlanarRings(run, ringGraph(run), book);
    for (std::size_t r = 0; r < stored.size(); ++r) {
        printf("Ring No: %d consists of %s\n", static_cast<int>(r) + 1, stored[r].text.c_str());
        book.number(stored[r].members);
    }

    for (int i = 0; i < nAtoms; ++i)
        if (run.p.ringCode[i] != 0) run.p.ringCode[i] = ringCodeSort(run.p.ringCode[i]);
}
