// Canonical names, stereocentres and the per-atom name listing.
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>
#include <utility>

#include "../core/stage.h"
#include "../chem/causes.h"
#include "../chem/perception.h"
#include "../geometry/vec.h"
#include "../core/failure.h"
#include "../core/text.h"
#include "naming.h"

namespace {

int electronsOf(const PerceptionRun& run, int atomIndex) {
    int t = run.site(atomIndex).tbl;
    return (t >= 1 && t <= run.s.nScat) ? run.s.scatTable[t - 1].electrons : 0;
}

void prefixName(const PerceptionRun& run, int atomIndex, const char* prefix) {
    std::string name = std::string(prefix) + run.p.quandrelName[atomIndex];
    if (name.size() >= NAME_CAP) stopForTooLongName(run, atomIndex, name);
    copyOrStop(run.p.quandrelName[atomIndex], NAME_CAP, name.c_str(),
               "The quandrel name of atom %s would be longer than %d characters:\n%s", run.site(atomIndex).label,
               NAME_CAP - 1, name.c_str());
}

// The listing is flushed before a name is prefixed (the prefix may stop the run, and what
// was listed up to then must stand before the message) and at its end, not line by line.
void flushListing(const PerceptionRun& run) {
    fflush(stdout);
    fflush(run.log);
    fflush(run.out);
}

}  // namespace

int asymm(const PerceptionRun& run) {
    Stage stage("Asymm");
    const int nAtoms = run.sites();
    auto& knopf = run.p.knopf;
    NameTable& quandrelName = run.p.quandrelName;
    int stereocentres = 0;
    std::unordered_map<std::string, std::string> canonical;  // names met before, in canonical order
    for (int i = 0; i < nAtoms; ++i) {
        sortQuandrel(run, i, &canonical);

        if (i < static_cast<int>(knopf.size()) && knopf[i].anzahl == 4) {
            // neighbours by electron count, most first; margins and angles stay where they are
            int* n = knopf[i].nachbar;
            for (int pass = 0; pass < 3; ++pass)
                for (int k = 0; k < 3; ++k)
                    if (electronsOf(run, n[k + 1]) > electronsOf(run, n[k])) std::swap(n[k], n[k + 1]);

            // signed volume of the tetrahedron of the four neighbours
            vec v[4];
            for (int k = 0; k < 4; ++k) v[k] = 50.0 * (toVec(run.site(n[k]).frac) - toVec(run.site(i).frac));
            const double t = dot(v[1] - v[0], cross(v[2] - v[0], v[3] - v[0]));

            int e0 = electronsOf(run, n[0]), e1 = electronsOf(run, n[1]);
            int e2 = electronsOf(run, n[2]), e3 = electronsOf(run, n[3]);
            if (e0 > e1 && e1 > e2 && e2 > e3) {
                flushListing(run);
                if (t > 0) {
                    if (!run.p.isImage(i)) {
                        // reference output: the chirality lines end with a blank
                        printf("The quandrel of the atom %s is chiral R \n", run.site(i).label);
                        fprintf(run.log, "The quandrel of the atom %s is chiral R \n", run.site(i).label);
                    }
                    prefixName(run, i, "R-");
                } else {
                    if (!run.p.isImage(i)) {
                        printf("The quandrel of the atom %s is chiral S \n", run.site(i).label);
                        fprintf(run.log, "The quandrel of the atom %s is chiral S \n", run.site(i).label);
                    }
                    prefixName(run, i, "S-");
                }
                if (!run.p.isImage(i)) ++stereocentres;
                fflush(stdout);
            }
        }

        if (std::strstr(quandrelName[i], "N@") != nullptr && run.p.planarCache[i] > 0.9) {
            flushListing(run);
            prefixName(run, i, "=-");
        }

        if (run.p.isImage(i)) continue;  // the listing names the input atoms only
        printf("%-30s is quandrel %5d: %s\n", run.site(i).label, i, quandrelName[i]);
        fprintf(run.log, "%-30s is quandrel %5d: %s\n", run.site(i).label, i, quandrelName[i]);
        fprintf(run.out, "%s: %s\n", run.site(i).label, quandrelName[i]);
    }
    flushListing(run);
    if (stereocentres == 1)
        printf("%d chiral quandrel\n", stereocentres);
    else
        printf("%d chiral quandrels\n", stereocentres);
    return 0;
}
