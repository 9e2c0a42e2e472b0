// The new refinement input: "xd.res.quandreltool", then the new master files.
#include "../core/stage.h"
#include "writer.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "../core/failure.h"
#include "../core/populations.h"
#include "../core/text.h"

namespace {

// A MoPro parameter file carries no title; the new parameter file takes the one of the
// master file "xd.mas" that the new master files are built from, when there is one.
void takeTitleFromMasterFile(const TransferRun& run) {
    FileHandle f = openFile("xd.mas", "r");
    if (!f) return;
    LineReader reader(f.get());
    std::string line;
    char word[sizeof run.model.title] = "";
    if (reader.nextContent(line) && sscanf(line.c_str(), "TITLE %49s", word) == 1) copyText(run.model.title, sizeof run.model.title, word);
}

}  // namespace

namespace {

// Fields that XD's parameter file gives a fixed number of columns: a model whose values do not
// fit stops the run before anything is written.
void checkColumns(const TransferRecords& run) {
    const Structure& m = run.model;
    if (m.nAtoms + m.nDummy > MAX_ATOMS)
        fatal("The structure has %d atoms and %d dummy atoms: XD's parameter file numbers atoms and dummy "
              "atoms in five columns, so at most %d of them together can be written. No file is written.",
              m.nAtoms, m.nDummy, MAX_ATOMS);
    // Atom lines of anharmonic atoms give ATOM1 and ATOM2 four columns only.
    for (int i = 0; i < m.nAtoms; ++i)
        if ((m.atom[i].tp == 3 || m.atom[i].tp == 4) && (m.atom[i].atom1 > 9999 || m.atom[i].atom2 > 9999))
            fatal("Atom %s (TP %d) has frame atoms %d and %d: its line in the parameter file has four "
                  "columns for them, so at most 9999 can be written. No file is written.",
                  m.atom[i].label, m.atom[i].tp, m.atom[i].atom1, m.atom[i].atom2);
    // CHEMCON, read from the input and written back, has four columns on every atom line.
    for (int i = 0; i < m.nAtoms; ++i)
        if (m.atom[i].chemCon > 9999 || m.atom[i].chemCon < -999)
            fatal("Atom %s has CHEMCON %d: its line in the parameter file has four columns for it, so it "
                  "must lie between -999 and 9999. No file is written.",
                  m.atom[i].label, m.atom[i].chemCon);
}

}  // namespace

void finishModel(const TransferRun& run) {
    huconstrain(run);
    announceMolecules(run.p);
    run.t.appliedCorrection = computeNeutrality(run, static_cast<int>(run.p.molElectrons.size()));
    rebuildKappaSets(run);
    run.model.multipoleLevel = 4;  // as written: multipoles up to hexadecapoles
    if (run.opt.moproInput != 0 && run.model.title[0] == '\0') takeTitleFromMasterFile(run);
}

void setupNewInpAndMasFile(const TransferRun& run) {
    {
        Stage stage("setupNewInp_and_MasFile");
        checkColumns(run);
        finishModel(run);
        writeParameterFile(run, run.t.appliedCorrection);
        // reference output: the "MAS-FILE writing!" line
        printf("MAS-FILE writing!\n");
        writeMasterFiles(run, static_cast<int>(run.p.molElectrons.size()));  // molecules as perception found them
    }
    insertFiles(run);
}

void rebuildKappaSets(const TransferRun& run) {
    for (int k = 0; k < MAX_KAPPA; ++k) {
        for (int v = 0; v < 6; ++v) run.model.kappaSet[v][k] = 0.0;
        run.model.kappaNo[k] = -1;
    }
    run.model.nKappa = 1;
    for (int i = 0; i < run.model.nAtoms; ++i) {
        AtomRecord& a = run.model.atom[i];
        for (int k = 0;; ++k) {
            if (k >= MAX_KAPPA)
                fatal("The atoms need more than %d kappa sets (distinct pairs of first kappa value and "
                      "scattering type); an XD parameter file holds at most %d.",
                      MAX_KAPPA, MAX_KAPPA);
            // values are compared exactly: a difference in the last digit makes a new set
            if (run.model.kappaSet[0][k] == a.kappa[0] && run.model.kappaNo[k] == a.tbl) {
                a.kap = k + 1;
                break;
            }
            if (k == run.model.nKappa - 1) {
                a.kap = run.model.nKappa;
                for (int v = 0; v < 6; ++v) run.model.kappaSet[v][k] = a.kappa[v];
                run.model.kappaNo[k] = a.tbl;
                ++run.model.nKappa;
                break;
            }
        }
    }
    --run.model.nKappa;
}

void closeWritten(FILE* f, const char* name) {
    const bool failed = ferror(f) != 0;
    if (fclose(f) != 0 || failed) {
        stopWithSystemError("Writing %s failed", name);
    }
}

namespace {

// The populations of atom i as written: occupancy times the population, the monopole corrected.
void populationsOf(const TransferRecords& run, const MonopoleCorrection& correction, int i, double (&p)[N_POPULATIONS]) {
    const AtomRecord& a = run.model.atom[i];
    p[0] = correction.monopole(run.model, run.p, i);
    for (int v = 1; v < N_POPULATIONS; ++v) p[v] = a.occupancy * a.multipole[v];
}

// Populations stand in columns of 8 characters without a separator: a value that needs
// more would run into its neighbour and XD would read other numbers.
void checkPopulationColumns(const TransferRecords& run, const MonopoleCorrection& correction) {
    for (int i = 0; i < run.model.nAtoms; ++i) {
        double p[N_POPULATIONS];
        populationsOf(run, correction, i, p);
        for (int v = 0; v < N_POPULATIONS; ++v) {
            // Below 99 in magnitude "%8.4f" needs at most 8 characters ("-98.9999", or
            // "-99.0000" rounded up): only larger values, NaN and infinities are formatted.
            if (std::fabs(p[v]) < 99.0) continue;
            char field[64];
            if (snprintf(field, sizeof field, "%8.4f", p[v]) > 8)
                fatal("Population %d of atom %s is %g, which does not fit the 8 columns of its field in "
                      "xd.res.quandreltool: the new parameter file is not written.",
                      v + 1, run.model.atom[i].label, p[v]);
        }
    }
}

}  // namespace

// Records of "xd.res.quandreltool" behind its header lines:
//   dummy line      cols 1-15, 16-30, 31-45   x y z (%15.6f)
//   atom line       cols 1-8 label (left-justified), 9-11 AX1, 12-13 AX2, 14-18 ATOM0,
//     (TP up to 2)  19-23 ATOM1, 24-28 ATOM2, 29-30 TP, 31-33 TBL, 34-36 KAP, 37-38 LMX,
//                   39-41 SITESYM code, 42-45 CHEMCON (right-justified integers);
//                   47-55, 57-65, 67-75 x y z (%9.6f), 77-82 occupancy (%6.4f)
//     (TP 3 and 4)  as above but ATOM1 and ATOM2 in 4 columns (19-22, 23-26): every
//                   later field stands two columns further left
//   U line          six values, each a blank and %9.6f (cols 2-10, 12-20, ... 52-60)
//   C and D lines   five values, each a blank and %14.6f (two C lines at TP 3 and 4,
//                   three D lines at TP 4)
//   populations     26 values of %8.4f without a separator, 10 + 10 + 6 to a line
//                   (cols 1-8, 9-16, ...)
//   kappa line      cols 1-3 the set number, then six values, each a blank and %9.6f
//   last line       the values read from the input's last line, each % 9.6E
void writeParameterFile(const TransferRecords& run, const MonopoleCorrection& correction) {
    if (static_cast<int>(run.model.atom.size()) < run.model.nAtoms + run.model.nDummy)
        fatal("The atom records hold no room for %d dummy atoms behind the %d atoms.", run.model.nDummy, run.model.nAtoms);
    checkPopulationColumns(run, correction);

    // a large stream buffer for a file of some 350 bytes an atom, declared before the stream
    // so that it outlives it also when a failure closes the stream on the way out
    std::vector<char> buffer(1 << 20);
    FileHandle file = openFile("xd.res.quandreltool", "w");
    if (!file) cannotOpen("xd.res.quandreltool.");
    FILE* const res = file.get();
    setvbuf(res, buffer.data(), _IOFBF, buffer.size());

    const char* bangs = "!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!";
    fprintf(res, "%s\n", bangs);
    fprintf(res, "!                 <<< QUANDREL-TRANSFER Multipole file >>>                    !\n");
    fprintf(res, "%s\n", bangs);
    fprintf(res, "XDPARFILE VERSION  2\n");
    fprintf(res, "%s   MODEL  4  2  1  0\n", run.model.title);
    fprintf(res, "LIMITS nat  2000 ntx  31 lmx  4 nzz  30 nto  0 nsc  20 ntb  20 nov   2500\n");
    const int* r = run.model.usageRest;
    // the new file holds multipoles up to hexadecapoles whatever level the input had
    fprintf(res, "USAGE    %d   %d   %d   %d   %d   %d   %d   %d   %d   %d   %d   %d   %d   %d\n", run.model.nAtoms, r[0],
            4, run.model.nKappa, r[1], r[2], r[3], r[4], r[5], r[6], r[7], r[8], r[9], run.model.nDummy);
    fprintf(res, "  0.000000  0.000000  0.000000  0.000000  0.000000  0.000000  0.000000 0.000E+00\n");
    fprintf(res, " -2.000000  0.000000  0.000000  0.000000  0.000000  0.333333\n");

    for (int k = 0; k < run.model.nDummy; ++k) {
        const double* f = run.model.atom[run.model.nAtoms + k].frac;
        fprintf(res, "%15.6f%15.6f%15.6f\n", f[0], f[1], f[2]);
    }

    // Records are put together in one reused text and written at once: the numbers are
    // formatted by appendFixed and appendInt, which give printf's bytes.
    std::string record;
    for (int i = 0; i < run.model.nAtoms; ++i) {
        const AtomRecord& a = run.model.atom[i];
        const double* u = a.u;
        record.clear();
        if (a.tp <= 4) {
            // "%-8s%3d%2d%5d%5d%5d%2d%3d%3d%2d%3d%4d %9.6f %9.6f %9.6f %6.4f\n" (TP 3 and 4:
            // ATOM1 and ATOM2 as %4d), then " %9.6f" six times and "\n"
            const int frameWidth = a.tp == 3 || a.tp == 4 ? 4 : 5;
            appendLeft(record, a.label, 8);
            appendInt(record, a.ax1, 3);
            appendInt(record, a.ax2, 2);
            appendInt(record, a.atom0, 5);
            appendInt(record, a.atom1, frameWidth);
            appendInt(record, a.atom2, frameWidth);
            appendInt(record, a.tp, 2);
            appendInt(record, a.tbl, 3);
            appendInt(record, a.kap, 3);
            appendInt(record, a.lmx, 2);
            appendInt(record, a.symCode, 3);
            appendInt(record, a.chemCon, 4);
            for (int k = 0; k < 3; ++k) {
                record.push_back(' ');
                appendFixed(record, a.frac[k], 9, 6);
            }
            record.push_back(' ');
            appendFixed(record, a.occupancy, 6, 4);
            record.push_back('\n');
            for (int k = 0; k < 6; ++k) {
                record.push_back(' ');
                appendFixed(record, u[k], 9, 6);
            }
            record.push_back('\n');
        }
        // " %14.6f" five times and "\n": two C lines (TP 3 and 4), three D lines (TP 4)
        const int higherLines = a.tp == 3 ? 2 : a.tp == 4 ? 5 : 0;
        for (int line = 0; line < higherLines; ++line) {
            const double* v = line < 2 ? a.c3 + 5 * line : a.d4 + 5 * (line - 2);
            for (int k = 0; k < 5; ++k) {
                record.push_back(' ');
                appendFixed(record, v[k], 14, 6);
            }
            record.push_back('\n');
        }
        double p[N_POPULATIONS];
        populationsOf(run, correction, i, p);
        appendFixedPopulationRows(record, p, N_POPULATIONS, 8, 4);
        fwrite(record.data(), 1, record.size(), res);
    }

    for (int k = 0; k < run.model.nKappa; ++k)
        fprintf(res, "%3d %9.6f %9.6f %9.6f %9.6f %9.6f %9.6f\n", run.model.kappaNo[k], run.model.kappaSet[0][k], run.model.kappaSet[1][k],
                run.model.kappaSet[2][k], run.model.kappaSet[3][k], run.model.kappaSet[4][k], run.model.kappaSet[5][k]);

    fprintf(res, " 0.0000E+00 0.0000E+00 0.0000E+00  0.0000E+00  0.0000E+00  0.0000E+00 0.0000E+00\n");
    fprintf(res, " 0.0000E+00\n");
    for (int k = 0; k < run.model.nTrailing && k < MAX_TRAILING; ++k) fprintf(res, "% 9.6E", run.model.trailingValues[k]);
    fprintf(res, "\n");

    closeWritten(file.release(), "xd.res.quandreltool");
}
