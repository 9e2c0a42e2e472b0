// Canonical names, stereocentres and the per-atom name listing.
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>
#include <utility>

#include "../core/stage.h"
#include "causes.h"
#include "../driver/Quandrel.h"
#include "../core/failure.h"
#include "../core/text.h"

namespace {

int electronsOf(const Quandrel& q, int atomIndex) {
    int t = q.atom[atomIndex].tbl;
    return (t >= 1 && t <= q.nScat) ? q.scatTable[t - 1].electrons : 0;
}

void prefixName(Quandrel& q, int atomIndex, const char* prefix) {
    std::string name = std::string(prefix) + q.quandrelName[atomIndex];
    if (name.size() >= NAME_CAP) stopForTooLongName(q, atomIndex, name);
    copyOrStop(q.quandrelName[atomIndex], NAME_CAP, name.c_str(),
               "The quandrel name of atom %s would be longer than %d characters:\n%s", q.atom[atomIndex].label,
               NAME_CAP - 1, name.c_str());
}

// The listing is flushed before a name is prefixed (the prefix may stop the run, and what
// was listed up to then must stand before the message) and at its end, not line by line.
void flushListing(Quandrel& q) {
    fflush(stdout);
    fflush(q.logFile);
    fflush(q.outFile);
}

}  // namespace

int Quandrel::asymm() {
    Stage stage("Asymm");
    int stereocentres = 0;
    std::unordered_map<std::string, std::string> canonical;  // names met before, in canonical order
    for (int i = 0; i < nAtoms; ++i) {
        sortQuandrel(i, &canonical);

        if (i < static_cast<int>(knopf.size()) && knopf[i].anzahl == 4) {
            // neighbours by electron count, most first; margins and angles stay where they are
            int* n = knopf[i].nachbar;
            for (int pass = 0; pass < 3; ++pass)
                for (int k = 0; k < 3; ++k)
                    if (electronsOf(*this, n[k + 1]) > electronsOf(*this, n[k])) std::swap(n[k], n[k + 1]);

            // signed volume of the tetrahedron of the four neighbours
            vec v[4];
            for (int k = 0; k < 4; ++k) v[k] = 50.0 * (toVec(atom[n[k]].frac) - toVec(atom[i].frac));
            const double t = dot(v[1] - v[0], cross(v[2] - v[0], v[3] - v[0]));

            int e0 = electronsOf(*this, n[0]), e1 = electronsOf(*this, n[1]);
            int e2 = electronsOf(*this, n[2]), e3 = electronsOf(*this, n[3]);
            if (e0 > e1 && e1 > e2 && e2 > e3) {
                flushListing(*this);
                if (t > 0) {
                    if (!isImage(i)) {
                        // reference output: the chirality lines end with a blank
                        printf("The quandrel of the atom %s is chiral R \n", atom[i].label);
                        fprintf(logFile, "The quandrel of the atom %s is chiral R \n", atom[i].label);
                    }
                    prefixName(*this, i, "R-");
                } else {
                    if (!isImage(i)) {
                        printf("The quandrel of the atom %s is chiral S \n", atom[i].label);
                        fprintf(logFile, "The quandrel of the atom %s is chiral S \n", atom[i].label);
                    }
                    prefixName(*this, i, "S-");
                }
                if (!isImage(i)) ++stereocentres;
                fflush(stdout);
            }
        }

        if (std::strstr(quandrelName[i], "N@") != nullptr && atom[i].planarCache > 0.9) {
            flushListing(*this);
            prefixName(*this, i, "=-");
        }

        if (isImage(i)) continue;  // the listing names the input atoms only
        printf("%-30s is quandrel %5d: %s\n", atom[i].label, i, quandrelName[i]);
        fprintf(logFile, "%-30s is quandrel %5d: %s\n", atom[i].label, i, quandrelName[i]);
        fprintf(outFile, "%s: %s\n", atom[i].label, quandrelName[i]);
    }
    flushListing(*this);
    if (stereocentres == 1)
        printf("%d chiral quandrel\n", stereocentres);
    else
        printf("%d chiral quandrels\n", stereocentres);
    return 0;
}
