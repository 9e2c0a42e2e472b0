// Why a neighbourhood outgrows what the program handles.
#include "causes.h"

#include <cstddef>
#include <vector>

#include "../core/failure.h"
#include "perception.h"

namespace {

// Two atoms closer than this are taken for alternative sites of one atom.
constexpr double OVERLAP_BELOW = 1.0;

// The closest pair of atoms found so far; -1 as the distance while there is none.
struct ClosestPair {
    int a = -1, b = -1;
    double distance = -1.0;
    std::size_t reached = 0;  // atoms reached through bonds, the atom itself included

    // Takes the closest two of the sites, if closer than the pair held; among equal distances
    // the pair held, then the first in list order.
    void take(const PerceptionRun& run, const std::vector<int>& sites) {
        for (std::size_t k = 0; k < sites.size(); ++k)
            for (std::size_t m = k + 1; m < sites.size(); ++m) {
                const double d = run.distance(run.site(sites[k]).frac, run.site(sites[m]).frac);
                if (distance < 0 || d < distance) {
                    a = sites[k];
                    b = sites[m];
                    distance = d;
                }
            }
    }
};

// The closest pair of atoms bonded to a common atom in the bonded neighbourhood of atom
// start (every atom reached through bonds).
ClosestPair closestNeighbourPair(const PerceptionRun& run, int start) {
    ClosestPair best;
    const std::size_t nodes = run.p.knopf.size();
    if (start < 0 || static_cast<std::size_t>(start) >= nodes) return best;
    std::vector<char> seen(nodes, 0);
    std::vector<int> queue{start};
    seen[static_cast<std::size_t>(start)] = 1;
    for (std::size_t next = 0; next < queue.size(); ++next) {
        const Knopf& node = run.p.knopf[static_cast<std::size_t>(queue[next])];
        std::vector<int> neighbours;
        for (int k = 0; k < node.count(); ++k) {
            const int x = node.nachbar[k];
            if (x < 0 || static_cast<std::size_t>(x) >= nodes) continue;
            neighbours.push_back(x);
            if (!seen[static_cast<std::size_t>(x)]) {
                seen[static_cast<std::size_t>(x)] = 1;
                queue.push_back(x);
            }
        }
        best.take(run, neighbours);
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

void stopForTooManyNeighbours(const PerceptionRun& run, int atomIndex, int neighbour) {
    const Knopf& node = run.p.knopf[static_cast<std::size_t>(atomIndex)];
    std::vector<int> neighbours(node.nachbar, node.nachbar + node.anzahl);
    neighbours.push_back(neighbour);
    ClosestPair pair;
    pair.take(run, neighbours);
    fatal("Atom %s has more than %d bonded neighbours; at most %d are handled. Its closest two neighbours, %s "
          "and %s, are %.3f A apart: %s",
          run.site(atomIndex).label, MAX_NEIGHBOURS, MAX_NEIGHBOURS, run.site(pair.a).label, run.site(pair.b).label,
          pair.distance,
          pair.distance < OVERLAP_BELOW
              ? "likely alternative sites of a disorder; give them disorder groups (SHELX PART, the CIF's "
                "_atom_site_disorder_group or xd_part.aux)."
              : "likely an ionic or framework solid; run with -asymOnly (or without -symmBonds) to name the input "
                "atoms alone.");
}
