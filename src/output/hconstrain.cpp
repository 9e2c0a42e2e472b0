// Hydrogen Uiso and riding constraints: "H-Uiso-constrain.txt".
#include <cmath>
#include <cstdio>
#include <cstring>

#include "../database/transfer.h"
#include "../core/text.h"
#include "../geometry/cell.h"

namespace {

// Parent of a hydrogen: its first neighbour, or -1 when it has none.
int parentOf(const TransferRun& run, int h) {
    if (h >= static_cast<int>(run.p.knopf.size()) || run.p.knopf[h].anzahl < 1) return -1;
    int p = run.p.knopf[h].nachbar[0];
    return (p >= 0 && p < run.model.nAtoms) ? p : -1;
}

// Methyl, hydroxyl and water hydrogens ride with 1.5 times their parent's Ueq.
double uisoFactor(const char* quandrelName) {
    return (std::strcmp(quandrelName, "H1o[1c]") == 0 || std::strcmp(quandrelName, "H1o[1h]") == 0 ||
            std::strcmp(quandrelName, "H1c[1c1h1h]") == 0)
               ? 1.5
               : 1.2;
}

}  // namespace

void huconstrain(const TransferRun& run) {
    if (run.opt.uisoConstrain) printf("Hydrogen Uiso constrain!!\n");
    if (run.opt.ridingConstrain) printf("Riding hydrogens!!\n");

    // Coefficients of Ueq = sum kij Uij.
    const double a = run.model.cell[0], b = run.model.cell[1], c = run.model.cell[2];
    const CellGeometry geometry(run.model.cell);
    const double ca = geometry.cosAlpha(), cb = geometry.cosBeta(), cg = geometry.cosGamma();
    const double aStar = geometry.aStar(), bStar = geometry.bStar(), cStar = geometry.cStar();
    const double k11 = (a * aStar) * (a * aStar) / 3, k22 = (b * bStar) * (b * bStar) / 3,
                 k33 = (c * cStar) * (c * cStar) / 3;
    const double k12 = 2 * a * aStar * b * bStar * cg / 3, k13 = 2 * a * aStar * c * cStar * cb / 3,
                 k23 = 2 * b * bStar * c * cStar * ca / 3;

    // The angles are compared with 90 exactly: 90.0001 is not 90.
    const bool triclinic = run.model.cell[3] != 90.0 && run.model.cell[4] != 90.0 && run.model.cell[5] != 90.0;
    const bool monoclinic = run.model.cell[3] == 90.0 && run.model.cell[4] != 90.0 && run.model.cell[5] == 90.0;

    FILE* con = fopen("H-Uiso-constrain.txt", "w");

    // (a hydrogen without any neighbour was named after perception; here the one whose
    // neighbours are all symmetry images)
    for (int h = 0; h < run.model.nAtoms; ++h)
        if (run.model.isHydrogen(h) && parentOf(run, h) < 0 && h < static_cast<int>(run.p.knopf.size()) &&
            run.p.knopf[h].anzahl > 0 && (run.opt.uisoConstrain || run.opt.ridingConstrain))
            run.warnings.warnLine(
                "hydrogen without neighbours", {run.model.atom[h].label},
                format("Hydrogen atom %s has no bonded neighbour: it gets no hydrogen constraint.",
                       run.model.atom[h].label));

    if (run.opt.uisoConstrain) {
        if (con != nullptr) fprintf(con, "!These are hydrogen Uiso constraints like in SHELXL \n");
        for (int h = 0; h < run.model.nAtoms; ++h) {
            int p = parentOf(run, h);
            if (!run.model.isHydrogen(h) || p < 0) continue;
            const double f = uisoFactor(run.p.quandrelName[h]);
            const double* up = run.model.atom[p].u;
            double U = k11 * up[0] + k22 * up[1] + k33 * up[2];
            if (triclinic)
                U += k12 * up[3] + k13 * up[4] + k23 * up[5];
            else if (monoclinic)
                U += k13 * up[4];
            U *= f;
            fprintf(run.log, "Uiso of %s was %f and will be changed to %f\n", run.model.atom[h].label, run.model.atom[h].u[0], U);
            run.model.atom[h].u[0] = U;
            if (con == nullptr) continue;
            if (triclinic)
                fprintf(con,
                        "CON %f U11/%d  %f U22/%d  %f U33/%d  %f U12/%d  %f U13/%d  %f U23/%d -1 U11/%d = 0\n"
                        "! Atom %d is %s, atom %d is %s\n",
                        f * k11, p + 1, f * k22, p + 1, f * k33, p + 1, f * k12, p + 1, f * k13, p + 1, f * k23,
                        p + 1, h + 1, p + 1, run.model.atom[p].label, h + 1, run.model.atom[h].label);
            else if (monoclinic)
                fprintf(con,
                        "CON %f U11/%d  %f U22/%d  %f U33/%d   %f U13/%d   -1 U11/%d = 0\n"
                        "! Atom %d is %s, atom %d is %s\n",
                        f * k11, p + 1, f * k22, p + 1, f * k33, p + 1, f * k13, p + 1, h + 1, p + 1,
                        run.model.atom[p].label, h + 1, run.model.atom[h].label);
            else
                fprintf(con,
                        "CON %f U11/%d  %f U22/%d  %f U33/%d   -1 U11/%d = 0\n"
                        "! Atom %d is %s, atom %d is %s\n",
                        f * k11, p + 1, f * k22, p + 1, f * k33, p + 1, h + 1, p + 1, run.model.atom[p].label, h + 1,
                        run.model.atom[h].label);
        }
    }

    if (run.opt.ridingConstrain && con != nullptr) {
        fprintf(con, "!These are riding hydrogen constraints.\n");
        for (int h = 0; h < run.model.nAtoms; ++h) {
            int p = parentOf(run, h);
            if (!run.model.isHydrogen(h) || p < 0) continue;
            fprintf(con,
                    "CON %1.1f X/%d  -%1.1f X/%d = 0\n"
                    "CON %1.1f Y/%d -%1.1f Y/%d = 0\n"
                    "CON %1.1f Z/%d -%1.1f Z/%d = 0! Atom %d is %s, atom %d is %s\n",
                    1.0, p + 1, 1.0, h + 1, 1.0, p + 1, 1.0, h + 1, 1.0, p + 1, 1.0, h + 1, p + 1, run.model.atom[p].label,
                    h + 1, run.model.atom[h].label);
        }
    }

    if (con != nullptr) fclose(con);
}
