// Why a neighbourhood outgrows what the program handles.
#include "causes.h"

#include <cstddef>
#include <vector>

#include "../core/failure.h"
#include "perception.h"
#include "../geometry/vec.h"

namespace {

// Two atoms closer than this are taken for alternative sites of one atom (as the
// too-many-neighbours stop takes them).
constexpr double OVERLAP_BELOW = 1.0;

// The closest pair of atoms bonded to a common atom in the bonded neighbourhood of atom
// start (every atom reached through bonds); -1 as the distance when no atom has two neighbours.
struct ClosestPair {
    int a = -1, b = -1;
    double distance = -1.0;
    std::size_t reached = 0;  // atoms reached through bonds, the atom itself included
};

ClosestPair closestNeighbourPair(const PerceptionRun& run, int start) {
    ClosestPair best;
    const std::size_t nodes = run.p.knopf.size();
    if (start < 0 || static_cast<std::size_t>(start) >= nodes) return best;
    std::vector<char> seen(nodes, 0);
    std::vector<int> queue{start};
    seen[static_cast<std::size_t>(start)] = 1;
    for (std::size_t next = 0; next < queue.size(); ++next) {
        const Knopf& node = run.p.knopf[static_cast<std::size_t>(queue[next])];
        const int n = node.count();
        for (int k = 0; k < n; ++k) {
            const int x = node.nachbar[k];
            if (x < 0 || static_cast<std::size_t>(x) >= nodes) continue;
            for (int m = k + 1; m < n; ++m) {
                const int y = node.nachbar[m];
                if (y < 0 || static_cast<std::size_t>(y) >= nodes) continue;
                const double d = distance(toVec(run.site(x).cart), toVec(run.site(y).cart));
                if (best.distance < 0 || d < best.distance) {
                    best.a = x;
                    best.b = y;
                    best.distance = d;
                }
            }
            if (!seen[static_cast<std::size_t>(x)]) {
                seen[static_cast<std::size_t>(x)] = 1;
                queue.push_back(x);
            }
        }
    }
    best.reached = queue.size();
    return best;
}

}  // namespace

void stopForTooLongName(const PerceptionRun& run, int atomIndex, const std::string& name) {
    const ClosestPair pair = closestNeighbourPair(run, atomIndex);
    const char* label = run.site(atomIndex).label;
    if (pair.distance >= 0 && pair.distance < OVERLAP_BELOW)
        fatal("The quandrel name of atom %s would be longer than %d characters:\n%s\nLikely cause: overlapping "
              "alternative sites of a disorder; %s and %s, both bonded to one atom of its neighbourhood, are "
              "%.3f A apart.\nWhat to do: give the alternative sites disorder groups (SHELX PART, the CIF's "
              "_atom_site_disorder_group or xd_part.aux), or leave out all but one of them.",
              label, NAME_CAP - 1, name.c_str(), run.site(pair.a).label, run.site(pair.b).label, pair.distance);
    fatal("The quandrel name of atom %s would be longer than %d characters:\n%s\nLikely cause: a framework or "
          "ionic solid, whose bonded neighbourhood never closes (%zu atoms are reached through bonds from %s; no "
          "two neighbours of one atom are closer than %.1f A).\nWhat to do: run with -asymOnly (or without "
          "-symmBonds) to name the input atoms alone, or give the atom its name in Quandrele.in.",
          label, NAME_CAP - 1, name.c_str(), pair.reached, label, OVERLAP_BELOW);
}
