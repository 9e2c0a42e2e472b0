// Parameter database: lookup by quandrel name and transfer of the entry.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "../chem/elements.h"
#include "../driver/failure.h"
#include "../driver/populations.h"
#include "../driver/text.h"
#include "../geometry/grid.h"
#include "database.h"

namespace {

// Creates a side file; one that cannot be created stops the run.
FileHandle createSideFile(const char* name, const char* message) {
    FileHandle file = openFile(name, "wt");
    if (!file) {
        fprintf(stderr, "%s", message);
        perror(" ");
        stopWithError(1);
    }
    return file;
}

// The lines of one entry, read from just behind its name line. A line that the file no
// longer holds reads as empty.
class EntryReader {
public:
    EntryReader(FILE* file, long offset) : file_(file), reader_(file) {
        clearerr(file_);
        ended_ = std::fseek(file_, offset, SEEK_SET) != 0;
    }

    int readPopulations(double* p) {
        if (ended_) return 0;
        return ::readPopulations(file_, p);
    }

    // Reads the next line; false (and an empty line) when the file has ended.
    bool nextLine(std::string& line) {
        if (ended_ || !reader_.next(line)) {
            ended_ = true;
            line.clear();
            return false;
        }
        return true;
    }

private:
    FILE* file_;
    LineReader reader_;
    bool ended_ = false;
};

// Warnings about an entry are given once, however many atoms share it.
class EntryWarnings {
public:
    void warn(long entry, const std::string& name, const std::string& text) {
        if (!given_.insert({entry, text}).second) return;
        fprintf(stderr, "Warning: database entry %s: %s\n", name.c_str(), text.c_str());
    }

private:
    std::set<std::pair<long, std::string>> given_;
};

// Hydrogen bond reset: the target length of the bond from hydrogen i to the atom its KS:
// line names first, and the first atom (in atom order) within reach of it. near files the
// atoms of the structure by their Cartesian positions; it is built on first use.
void resetHydrogenBond(Quandrel& q, int i, KsLine& ks, FILE* resetFile, std::unique_ptr<PointGrid>& near) {
    const int partnerElement = elementIndex(ks.element1);
    if (partnerElement < 0) return;
    const int own = q.elementOf(i);
    const double d = (radiusOf(partnerElement) + radiusOf(own)) / 100.0 -
                     0.08 * std::abs(elNegOf(partnerElement) - elNegOf(own)) / 100.0 - ks.number1;
    ks.number1 = d;

    const AtomRecord& h = q.atom[static_cast<std::size_t>(i)];
    // Atoms clearly out of reach are passed over on their Cartesian distance; the atoms
    // that may be in reach are decided on laenge() as the rule states.
    const double reach = d / 0.85 + 1e-4;
    if (reach < 0.0) return;
    if (!near) {
        std::vector<int> atoms(static_cast<std::size_t>(q.nAtoms));
        for (int j = 0; j < q.nAtoms; ++j) atoms[static_cast<std::size_t>(j)] = j;
        near.reset(new PointGrid(atoms, [&q](int j) { return q.atom[static_cast<std::size_t>(j)].cart; }, 2.0));
    }
    int partner = -1;
    double partnerLength = 0.0;
    near->within(h.cart, reach, [&](int j) {
        if (j == i || (partner >= 0 && j > partner)) return;
        const AtomRecord& other = q.atom[static_cast<std::size_t>(j)];
        double r2 = 0.0;
        for (int c = 0; c < 3; ++c) r2 += (other.cart[c] - h.cart[c]) * (other.cart[c] - h.cart[c]);
        if (r2 > reach * reach) return;
        const double length =
            q.laenge(h.frac[0], h.frac[1], h.frac[2], other.frac[0], other.frac[1], other.frac[2]);
        if (0.85 * length <= d) {
            partner = j;
            partnerLength = length;
        }
    });
    if (partner >= 0)
        fprintf(resetFile, "! RESET BOND %s %s %f! it was %f A before.\n", q.atom[static_cast<std::size_t>(partner)].label,
                h.label, d, partnerLength);
}

}  // namespace

void Quandrel::findInDataBase() {
    StageName stage(*this, "findInDataBase");

    FileHandle symmetry = createSideFile("symmetry.txt", "can't open symmetry file");
    FileHandle reset = createSideFile("resetbond.txt", "can't open reset-bond file");
    FILE* symmetryFile = symmetry.get();
    FILE* resetFile = reset.get();
    gut.assign(static_cast<std::size_t>(nAtoms), 0);
    nDummy = 1;
    // DUM0 stands right behind the atoms even when the input had no dummy.
    if (atom.size() < static_cast<std::size_t>(nAtoms) + 1) atom.resize(static_cast<std::size_t>(nAtoms) + 1);

    fprintf(logFile, "The following lines contain the local coordinate systems. Please do not Edit!\n");
    fprintf(logFile, "=============================================================================\n");
    fprintf(logFile, "ATOM     ATOM0    AX1 ATOM1    ATOM2   AX2 R/L TP TBL KAP LMX SITESYM  CHEMCON\n");

    FileHandle database = openFile(databasePath, "rt");
    FILE* db = database.get();
    if (db == nullptr) {
        fprintf(stderr, "can't open %s.", databasePath);
        perror(" ");
        stopWithError(1);
    }
    // Entries are read from their recorded file positions: a pipe will not do.
    if (std::fseek(db, 0, SEEK_SET) != 0 || std::ftell(db) != 0)
        fatal("The database %s cannot be read: it must be a regular file.", databasePath);
    fprintf(stderr, "Database path: %s\n", databasePath);
    printf("Reading database...\n");
    FileHandle descentFile = openFile("Quandrele.descent", "wt");
    FILE* descent = descentFile.get();

    const int n = nAtoms;
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) names.emplace_back(quandrelName[i]);
    DatabaseIndex index;
    index.build(db, names);
    databaseEntries = index.entryNames();
    std::unique_ptr<PointGrid> near;  // atoms by position, for the hydrogen bond resets
    EntryWarnings warnings;

    for (int i = 0; i < n; ++i) {
        const IndexedEntry* entry = index.find(names[static_cast<std::size_t>(i)]);
        applyScanState(index, entry != nullptr ? entry->state : index.endState());
        const char* name = quandrelName[i];

        if (entry == nullptr) {
            gut[static_cast<std::size_t>(i)] = 0;
            if (descent != nullptr) fprintf(descent, "%s: %s IS NOT IN THE DATABASE YET!\n", atom[i].label, name);
            fprintf(stderr, "Quandrel[%d] %s was NOT found in Database %s!\n", i, name, databasePath);
            fprintf(symmetryFile, "Symmetry has not yet been assigned to atom %s\n", atom[i].label);
            continue;
        }

        AtomRecord& a = atom[static_cast<std::size_t>(i)];
        copyText(a.modelCompound, sizeof a.modelCompound, modelCompoundName(Modn).c_str());
        a.planarity = PLAN;
        if (descent != nullptr) fprintf(descent, "%s: %s from: %s\n", a.label, name, a.modelCompound);

        EntryReader lines(db, entry->dataOffset);
        const int populations = lines.readPopulations(a.multipole);
        requireNumbers(a.multipole, populations, databasePath, std::string("entry ") + name + ", populations");
        if (populations < N_POPULATIONS)
            warnings.warn(entry->dataOffset, name,
                          "only " + std::to_string(populations) + " of the 26 populations could be read.");

        // siteSym holds 29 characters: a longer name is cut there.
        std::string line;
        bool complete = lines.nextLine(line);
        std::sscanf(line.c_str(), "Symmetrie: %29s", a.siteSym);
        complete = complete && lines.nextLine(line);
        if (!complete) warnings.warn(entry->dataOffset, name, "the file ends before the entry is complete.");
        KsLine ks = parseKsLine(line);
        if (ks.fields >= 8) requireNumbers(&ks.number1, 1, databasePath, std::string("entry ") + name + ", KS: line");
        const std::pair<int, const std::string*> elements[] = {{2, &ks.element1}, {5, &ks.element2}};
        for (const auto& element : elements) {
            const std::string& symbol = *element.second;
            if (ks.fields >= element.first && symbol != "DUM" && elementIndex(symbol) < 0)
                warnings.warn(entry->dataOffset, name, "unknown element \"" + symbol + "\" in its KS: line.");
        }

        if (isHydrogen(i)) resetHydrogenBond(*this, i, ks, resetFile, near);
        a.atom1 = i + 1;
        gut[static_cast<std::size_t>(i)] = 1;

        // The frame: axis codes, reference atoms and the table line, all or nothing, so that
        // an atom without a table line keeps the whole frame it was read with.
        std::string tableLine;
        if (ks.fields < 8) {
            if (complete)
                warnings.warn(entry->dataOffset, name,
                              "its KS: line could not be read; the atom keeps its local coordinate system.");
        } else if (buildLocalFrame(*this, i, ks, tableLine)) {
            atom[i].ax1 = axisCode(ks.axis1);
            atom[i].ax2 = axisCode(ks.axis2);
            fprintf(logFile, "%s", tableLine.c_str());
            fprintf(symmetryFile, "Atom %s has %s-symmetry \n", atom[i].label, atom[i].siteSym);
        }
        lines.nextLine(line);

        // The kappa line is optional: when the line behind the KS: line is no kappa line,
        // the one after it is taken.
        if (line.empty() || line[0] != 'K') lines.nextLine(line);
        const std::vector<double> kappas = kappaValues(line);
        requireNumbers(kappas.data(), static_cast<int>(kappas.size()), databasePath,
                       std::string("entry ") + name + ", kappa line");
        AtomRecord& b = atom[static_cast<std::size_t>(i)];  // dummies may have moved the array
        for (std::size_t k = 0; k < kappas.size(); ++k) b.kappa[k] = kappas[k];
        if (kappas.empty()) {
            const double standard = isHydrogen(i) ? 1.2 : 1.0;
            for (double& kappa : b.kappa) kappa = standard;
        }
    }
    descentFile.reset();
    database.reset();

    for (int k = 0; k < nDummy; ++k) {
        const double* f = atom[static_cast<std::size_t>(nAtoms + k)].frac;
        fprintf(logFile, "DUM%-2d     %9.6f %9.6f %9.6f\n", k, f[0], f[1], f[2]);
    }
    fprintf(logFile, "END ATOM\n");
    fprintf(logFile, "\n");
    fprintf(logFile, "====================================================================\n");
    fflush(logFile);
    symmetry.reset();
    reset.reset();
}
