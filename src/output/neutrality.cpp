// Electroneutrality correction of the transferred monopole populations.
#include <cmath>
#include <cstdio>
#include <string>

#include "../chem/elements.h"
#include "../core/failure.h"
#include "../core/text.h"
#include "writer.h"

namespace {

// Expected valence electrons per molecule from "Molecule-Charges.in"; empty when the file
// does not exist. Line k belongs to molecule k.
std::vector<double> readMoleculeCharges(int molecules) {
    std::vector<double> charges;
    FileHandle file = openFile("Molecule-Charges.in", "r");
    if (!file) return charges;
    printf("'Molecule-Charges.in' file exists.\n");
    LineReader reader(file.get());
    std::string line;
    for (int m = 0; m < molecules; ++m) {
        if (!reader.next(line)) {
            fatal("Molecule-Charges.in has no line for molecule %d: the structure contains %d molecules, "
                  "one line \"Molecule <number> <valence electrons>\" is needed for each.",
                  m + 1, molecules);
        }
        if (line.size() > 299) line.resize(299);
        double value = 0;
        if (sscanf(line.c_str(), "Molecule%*d %lf", &value) != 1 || !usableNumber(value)) {
            fatal("Molecule-Charges.in, line for molecule %d: \"%s\" is not of the form "
                  "\"Molecule <number> <valence electrons>\".",
                  m + 1, line.c_str());
        }
        printf("Molecule %d has valence charge = %f\n", m + 1, value);
        charges.push_back(value);
    }
    return charges;
}

// The same text to standard output and the log.
void both(FILE* log, const char* text) {
    fputs(text, stdout);
    fputs(text, log);
}

// What the atoms of one molecule found in the database add up to.
struct MoleculeSums {
    int n = 0;              // atoms found in the database
    int nH = 0;             // hydrogens among them
    double Sn = 0;          // valence electrons of the neutral atoms (or the expected charge)
    double Sm = 0;          // monopole populations
    double sumElNeg = 0;    // electronegativities
};

MoleculeSums sumMolecule(const TransferRecords& run, const std::vector<int>& inMolecule) {
    MoleculeSums s;
    for (int i : inMolecule) {
        const AtomRecord& a = run.model.atom[i];
        if (i >= static_cast<int>(run.t.inDatabase.size()) || run.t.inDatabase[i] == 0) continue;
        ++s.n;
        if (run.model.isHydrogen(i)) ++s.nH;
        if (a.tbl >= 1 && a.tbl <= MAX_SCAT) s.Sn += a.occupancy * run.model.scatTable[a.tbl - 1].valenceElectrons;
        s.Sm += a.occupancy * a.multipole[0];
        s.sumElNeg += a.elNeg;
    }
    return s;
}

void describeSums(FILE* log, const MoleculeSums& s) {
    char sums[200];
    snprintf(sums, sizeof sums, "\nThe sum of neutral atoms is %f\nand the sum of monopoles is %f.\n", s.Sn, s.Sm);
    both(log, sums);
    both(log, "Both values should not differ by more than one percent.\n"
              "A correction factor for the monopole populations is now\n"
              "calculated to achieve electroneutrality. You chose to\n");
}

bool noMonopoles(WarningLog& warnings) {
    warnings.warnLine("monopoles not corrected", {}, "No monopoles to calculate correction factor!");
    return false;
}

// The corrections of the four modes for molecule m. Each returns false, with a message on
// standard error where there is one, when the molecule's monopoles stay uncorrected.
bool scaleByFactor(MonopoleCorrection& c, int m, const MoleculeSums& s, WarningLog& warnings) {
    if (s.n == 0) return noMonopoles(warnings);
    const double factor = s.Sn / s.Sm;
    if (s.Sm == 0.0 || !std::isfinite(factor)) {
        warnings.warnLine("monopoles not corrected", {},
                          format("The monopoles of molecule %d add up to zero: they cannot be scaled and are "
                                 "written uncorrected.",
                                 m + 1));
        return false;
    }
    c.corrFactor[m] = factor;
    return true;
}

bool weightByElectronegativity(MonopoleCorrection& c, const TransferRecords& run, int m, const MoleculeSums& s,
                               const std::vector<int>& inMolecule, WarningLog& warnings) {
    if (s.n == 0) return noMonopoles(warnings);
    const double mean = s.sumElNeg / s.n;
    if (!(mean > 0.0)) {
        warnings.warnLine("monopoles not corrected", {},
                          format("The atoms of molecule %d have no electronegativity in the element table: its "
                                 "monopoles are written uncorrected.",
                                 m + 1));
        return false;
    }
    c.corrMeanElNeg[m] = mean;
    c.difference[m] = s.Sn - s.Sm;
    c.counted[m] = s.n;
    if (c.difference[m] > 0)
        for (int i : inMolecule)
            if (!(run.model.atom[i].elNeg > 0.0))
                warnings.warnLine("monopoles not corrected", {run.model.atom[i].label},
                                  format("Atom %s has no electronegativity in the element table: its monopole is "
                                         "written uncorrected.",
                                         run.model.atom[i].label));
    return true;
}

bool correctHydrogens(MonopoleCorrection& c, int m, const MoleculeSums& s) {
    if (s.nH == 0) return false;
    c.corrHydrogen[m] = (s.Sn - s.Sm) / s.nH;
    return true;
}

bool addAverage(MonopoleCorrection& c, int m, const MoleculeSums& s, WarningLog& warnings) {
    if (s.n == 0) return noMonopoles(warnings);
    c.corrAverage[m] = (s.Sn - s.Sm) / s.n;
    return true;
}

// The text of the mode: it finishes the sentence "You chose to". The log and standard
// output differ in places, and mode 2 repeats its text on standard output.
void describeCorrection(const MonopoleCorrection& c, int m, const MoleculeSums& s, FILE* log) {
    switch (c.mode) {
    case 1:
        for (FILE* out : {log, stdout}) {
            fprintf(out, "multiply the monopoles by a correction factor of %f\n", c.corrFactor[m]);
            fprintf(out, "(the ratio of the sum of the monopoles divided by \n"
                         "the sum of the neutral atom valence electrons).\n");
            fprintf(out, "Please check the result.\n");
        }
        break;
    case 2: {
        const char* chosen = "add an electronegativity weighted correction factor to\nthe monopole populations. ";
        const char* explained = "The difference of the sum of the \nmonopoles minus the sum of the neutral valence "
                                "electrons \nmultiplied by an electronegativity-weighted correction factor \nis "
                                "added to each multipole. ";
        fputs(chosen, log);
        fputs(explained, stdout);
        fputs("Please check the result.\n", stdout);
        fputs(chosen, stdout);
        fputs(explained, stdout);
        fputs("Please check the result.\n", stdout);
        break;
    }
    case 3: {
        const char* chosen = "add an average correction only to the hydrogen monopole\npopulations. ";
        fputs(chosen, log);
        // reference output: the log line has two blanks after "correction", standard output one
        fprintf(log, "The correction  for each of the %d hydrogen\natoms is %f. ", s.nH, c.corrHydrogen[m]);
        fputs("Please check the result.\n", log);
        fputs(chosen, stdout);
        fprintf(stdout, "The correction for each of the %d hydrogen\natoms is %f. ", s.nH, c.corrHydrogen[m]);
        fputs("Please check the result.\n", stdout);
        break;
    }
    default:
        // reference output: the log says "average of difference" and " monopoles", standard output not
        fprintf(log, "add an average of difference of %f to each of the %d\n monopoles. ", c.corrAverage[m], s.n);
        fputs("Please check the result.\n", log);
        fprintf(stdout, "add an average difference of %f to each of the %d\nmonopoles. ", c.corrAverage[m], s.n);
        fputs("Please check the result.\n", stdout);
        break;
    }
}

MonopoleCorrection emptyCorrection(int mode, int molecules) {
    MonopoleCorrection c;
    c.mode = mode;
    const std::size_t M = molecules > 0 ? static_cast<std::size_t>(molecules) : 0;
    c.corrAverage.assign(M, 0.0);
    c.corrFactor.assign(M, 0.0);
    c.corrMeanElNeg.assign(M, 0.0);
    c.corrHydrogen.assign(M, 0.0);
    c.difference.assign(M, 0.0);
    c.counted.assign(M, 0);
    c.applies.assign(M, 0);
    c.expected.assign(M, 0.0);
    c.monopoleSum.assign(M, 0.0);
    return c;
}

}  // namespace

MonopoleCorrection computeNeutrality(const TransferRun& run, int molecules) {
    MonopoleCorrection c = emptyCorrection(run.opt.achieveNeutrality, molecules);
    const std::vector<double> charges = readMoleculeCharges(molecules);
    printf("For the scaling of the monopoles to achieve electroneutrality, \n"
           "the program calculates a correction factor:\n");

    for (int i = 0; i < run.model.nAtoms; ++i) run.model.atom[i].elNeg = elNegOf(run.model.elementOf(i)) / 100.0;

    const std::vector<std::vector<int>> members = atomsByMolecule(run, molecules);
    for (int m = 0; m < molecules; ++m) {
        printf("MOLECULE NO %d\n", m + 1);
        const std::vector<int>& inMolecule = members[static_cast<std::size_t>(m) + 1];
        MoleculeSums s = sumMolecule(run, inMolecule);
        if (!charges.empty()) s.Sn = charges[m];
        c.expected[m] = s.Sn;
        c.monopoleSum[m] = s.Sm;
        describeSums(run.log, s);

        bool applies;
        switch (c.mode) {
        case 1:
            applies = scaleByFactor(c, m, s, run.warnings);
            break;
        case 2:
            applies = weightByElectronegativity(c, run, m, s, inMolecule, run.warnings);
            break;
        case 3:
            applies = correctHydrogens(c, m, s);
            break;
        default:
            applies = addAverage(c, m, s, run.warnings);
            break;
        }
        c.applies[m] = applies ? 1 : 0;
        if (applies) describeCorrection(c, m, s, run.log);
    }
    return c;
}

double MonopoleCorrection::monopole(const Structure& q, const Perception& p, int atomIndex) const {
    const AtomRecord& a = q.atom[atomIndex];
    const double P = a.occupancy * a.multipole[0];
    const int m = p.molecule[static_cast<std::size_t>(atomIndex)] - 1;
    if (m < 0 || m >= static_cast<int>(applies.size()) || !applies[m]) return P;
    switch (mode) {
    case 1:
        return P * corrFactor[m];
    case 2: {
        const double D = difference[m];
        if (D > 0) return a.elNeg > 0.0 ? P + D * (corrMeanElNeg[m] / a.elNeg) / counted[m] : P;
        return P + D * (a.elNeg / corrMeanElNeg[m]) / counted[m];
    }
    case 3:
        return q.isHydrogen(atomIndex) ? P + corrHydrogen[m] : P;
    default:
        return P + corrAverage[m];
    }
}
