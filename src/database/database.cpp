// Parameter database: lookup by quandrel name and transfer of the entry.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <unordered_map>
#include <vector>

#include "../core/stage.h"
#include "../chem/elements.h"
#include "../core/failure.h"
#include "../core/populations.h"
#include "../core/text.h"
#include "../geometry/cell.h"
#include "../geometry/grid.h"
#include "database.h"

namespace {

// Creates a side file; one that cannot be created stops the run.
FileHandle createSideFile(const char* name, const char* message) {
    FileHandle file = openFile(name, "wt");
    if (!file) {
        stopWithSystemError("%s", message);
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
    explicit EntryWarnings(WarningLog& log) : log_(log) {}
    void warn(long entry, const std::string& name, const std::string& text, const char* atom,
              const char* kind = "damaged database entry") {
        if (!given_.insert({entry, text}).second) return;
        log_.warn(kind, {atom}, "database entry " + name + ": " + text);
    }

private:
    WarningLog& log_;
    std::set<std::pair<long, std::string>> given_;
};

// Hydrogen bond reset: the target length of the bond from hydrogen i to the atom its KS:
// line names first, and the first atom (in atom order) within reach of it. near files the
// atoms of the structure by their Cartesian positions; it is built on first use.
void resetHydrogenBond(const TransferRun& run, int i, KsLine& ks, FILE* resetFile, std::unique_ptr<PointGrid>& near) {
    const int partnerElement = elementIndex(ks.element1);
    if (partnerElement < 0) return;
    const int own = run.model.elementOf(i);
    const double d = (radiusOf(partnerElement) + radiusOf(own)) / 100.0 -
                     0.08 * std::abs(elNegOf(partnerElement) - elNegOf(own)) / 100.0 - ks.number1;
    ks.number1 = d;

    const AtomRecord& h = run.model.atom[static_cast<std::size_t>(i)];
    // Atoms clearly out of reach are passed over on their Cartesian distance; the atoms
    // that may be in reach are decided on laenge() as the rule states.
    const double reach = d / 0.85 + 1e-4;
    if (reach < 0.0) return;
    if (!near)
        near.reset(new PointGrid(run.model.nAtoms, [&run](int j) { return run.model.atom[static_cast<std::size_t>(j)].cart; },
                                 2.0));
    int partner = -1;
    double partnerLength = 0.0;
    const CellGeometry cell(run.model.cell);
    near->within(h.cart, reach, [&](int j) {
        if (j == i || (partner >= 0 && j > partner)) return;
        const AtomRecord& other = run.model.atom[static_cast<std::size_t>(j)];
        double r2 = 0.0;
        for (int c = 0; c < 3; ++c) r2 += (other.cart[c] - h.cart[c]) * (other.cart[c] - h.cart[c]);
        if (r2 > reach * reach) return;
        const double length = cell.distance(h.frac, other.frac);
        if (0.85 * length <= d) {
            partner = j;
            partnerLength = length;
        }
    });
    if (partner >= 0)
        fprintf(resetFile, "! RESET BOND %s %s %f! it was %f A before.\n", run.model.atom[static_cast<std::size_t>(partner)].label,
                h.label, d, partnerLength);
}

const char* const TABLE_HEADER =
    "ATOM     ATOM0    AX1 ATOM1    ATOM2   AX2 R/L TP TBL KAP LMX SITESYM  CHEMCON";

// The coordinate-system table goes to the log and, line by line, into the Transfer's
// frameTable for the master-file writer.
void beginFrameTable(const TransferRun& run) {
    fprintf(run.log, "The following lines contain the local coordinate systems. Please do not Edit!\n");
    fprintf(run.log, "=============================================================================\n");
    fprintf(run.log, "%s\n", TABLE_HEADER);
    run.t.frameTable.clear();
}

void addFrameLine(const TransferRun& run, const std::string& line) {
    fprintf(run.log, "%s\n", line.c_str());
    run.t.frameTable.push_back(line);
}

// Dummy lines (DUM0 included) and the end of the table:
//   cols 1-3 "DUM", 4-5 the dummy number left-justified, 11-19, 21-29, 31-39 its fractional
//   coordinates (%9.6f, one blank between them)
void endFrameTable(const TransferRun& run) {
    char line[1024];  // room for three coordinates of any size (%f writes at most 317 characters)
    for (int k = 0; k < run.model.nDummy; ++k) {
        const double* f = run.model.atom[static_cast<std::size_t>(run.model.nAtoms + k)].frac;
        std::snprintf(line, sizeof line, "DUM%-2d     %9.6f %9.6f %9.6f", k, f[0], f[1], f[2]);
        addFrameLine(run, line);
    }
    addFrameLine(run, "END ATOM");
    fprintf(run.log, "\n");
    fprintf(run.log, "====================================================================\n");
    fflush(run.log);
}

FileHandle openDatabase(const char* path) {
    FileHandle database = openFile(path, "rt");
    if (!database) {
        cannotOpen("%s.", path);
    }
    // Entries are read from their recorded file positions: a pipe will not do.
    if (std::fseek(database.get(), 0, SEEK_SET) != 0 || std::ftell(database.get()) != 0)
        fatal("The database %s cannot be read: it must be a regular file.", path);
    return database;
}

// What the lines of one entry hold, read from the file once however many atoms share the
// entry. Nothing is checked here: the checks and warnings come atom by atom, in the order
// the atom's transfer meets them.
struct ParsedEntry {
    double populations[N_POPULATIONS] = {};
    int populationCount = 0;                // populations read; the atom keeps the rest
    bool hasSiteSym = false;                // the "Symmetrie:" line gave a name
    char siteSym[30] = "";
    bool complete = false;                  // the file holds the KS: line
    KsLine ks;
    std::vector<double> kappas;
};

ParsedEntry readEntry(FILE* db, long entry) {
    ParsedEntry e;
    EntryReader lines(db, entry);
    e.populationCount = lines.readPopulations(e.populations);
    // siteSym holds 29 characters: a longer name is cut there.
    std::string line;
    e.complete = lines.nextLine(line);
    e.hasSiteSym = std::sscanf(line.c_str(), "Symmetrie: %29s", e.siteSym) == 1;
    e.complete = e.complete && lines.nextLine(line);
    e.ks = parseKsLine(line);
    // The kappa line is optional: when the line behind the KS: line is no kappa line, the
    // one after it is taken.
    lines.nextLine(line);
    if (line.empty() || line[0] != 'K') lines.nextLine(line);
    e.kappas = kappaValues(line);
    return e;
}

// The open files of the transfer and what it carries from one atom to the next.
struct EntryTransfer {
    FILE* db;
    FILE* descent;        // may be null: the descent file is written when it can be
    FILE* symmetryFile;
    FILE* resetFile;
    std::unique_ptr<PointGrid> near;  // atoms by position, for the hydrogen bond resets
    EntryWarnings warnings;
    std::unordered_map<long, ParsedEntry> parsed;  // entries read so far, by file position

    const ParsedEntry& entry(long offset) {
        auto it = parsed.find(offset);
        if (it == parsed.end()) it = parsed.emplace(offset, readEntry(db, offset)).first;
        return it->second;
    }
};

void reportMissing(const TransferRun& run, int i, EntryTransfer& t) {
    const char* name = run.p.quandrelName[i];
    run.t.inDatabase[static_cast<std::size_t>(i)] = 0;
    if (t.descent != nullptr) fprintf(t.descent, "%s: %s IS NOT IN THE DATABASE YET!\n", run.model.atom[i].label, name);
    fprintf(stderr, "Quandrel[%d] %s was NOT found in Database %s!\n", i, name, run.opt.databasePath);
    fprintf(t.symmetryFile, "Symmetry has not yet been assigned to atom %s\n", run.model.atom[i].label);
}

// The populations, the site symmetry and the KS: line of an entry, with their checks.
KsLine readEntryHead(const TransferRun& run, int i, long entry, const ParsedEntry& e, EntryTransfer& t) {
    AtomRecord& a = run.model.atom[static_cast<std::size_t>(i)];
    const char* name = run.p.quandrelName[i];
    const int populations = e.populationCount;
    std::copy(e.populations, e.populations + populations, a.multipole);
    requireNumbersf(a.multipole, populations, run.opt.databasePath, "entry %s, populations", name);
    if (populations < N_POPULATIONS)
        t.warnings.warn(entry, name, "only " + std::to_string(populations) + " of the 26 populations could be read.", a.label);

    if (e.hasSiteSym) std::strcpy(a.siteSym, e.siteSym);
    if (!e.complete) t.warnings.warn(entry, name, "the file ends before the entry is complete.", a.label);
    KsLine ks = e.ks;
    if (ks.fields >= 8) requireNumbersf(&ks.number1, 1, run.opt.databasePath, "entry %s, KS: line", name);
    const std::pair<int, const std::string*> elements[] = {{2, &ks.element1}, {5, &ks.element2}};
    for (const auto& element : elements) {
        const std::string& symbol = *element.second;
        if (ks.fields >= element.first && symbol != "DUM" && elementIndex(symbol) < 0)
            t.warnings.warn(entry, name, "unknown element \"" + symbol + "\" in its KS: line.", a.label);
    }
    return ks;
}

// The frame: axis codes, reference atoms and the table line, all or nothing, so that an
// atom without a table line keeps the whole frame it was read with.
void transferFrame(const TransferRun& run, int i, long entry, const KsLine& ks, bool complete, EntryTransfer& t) {
    std::string tableLine;
    if (ks.fields < 8) {
        if (complete)
            t.warnings.warn(entry, run.p.quandrelName[i],
                            "its KS: line could not be read; the atom keeps its local coordinate system.",
                            run.model.atom[static_cast<std::size_t>(i)].label, "unreadable KS: line");
    } else if (buildLocalFrame(run, i, ks, tableLine)) {
        AtomRecord& a = run.model.atom[static_cast<std::size_t>(i)];
        a.ax1 = axisCode(ks.axis1);
        a.ax2 = axisCode(ks.axis2);
        addFrameLine(run, tableLine);
        fprintf(t.symmetryFile, "Atom %s has %s-symmetry \n", a.label, a.siteSym);
    }
}

// Without kappa values the atom gets the standard ones.
void transferKappas(const TransferRun& run, int i, const std::vector<double>& kappas) {
    requireNumbersf(kappas.data(), static_cast<int>(kappas.size()), run.opt.databasePath, "entry %s, kappa line",
                    run.p.quandrelName[i]);
    AtomRecord& a = run.model.atom[static_cast<std::size_t>(i)];
    for (std::size_t k = 0; k < kappas.size(); ++k) a.kappa[k] = kappas[k];
    if (kappas.empty()) {
        const double standard = run.model.isHydrogen(i) ? 1.2 : 1.0;
        for (double& kappa : a.kappa) kappa = standard;
    }
}

void transferEntry(const TransferRun& run, int i, long entry, EntryTransfer& t) {
    AtomRecord& a = run.model.atom[static_cast<std::size_t>(i)];
    std::string model = modelCompoundName(run.t.databaseSeen.modelLine.c_str());
    if (model.size() <= 511) a.modelCompound = std::move(model);  // cannot be longer: the line is cut
    a.planarity = run.t.databaseSeen.planarity;
    if (t.descent != nullptr)
        fprintf(t.descent, "%s: %s from: %s\n", a.label, run.p.quandrelName[i], a.modelCompound.c_str());

    const ParsedEntry& e = t.entry(entry);
    KsLine ks = readEntryHead(run, i, entry, e, t);
    if (run.model.isHydrogen(i)) resetHydrogenBond(run, i, ks, t.resetFile, t.near);
    a.atom1 = i + 1;
    run.t.inDatabase[static_cast<std::size_t>(i)] = 1;
    transferFrame(run, i, entry, ks, e.complete, t);  // may move the atom array
    transferKappas(run, i, e.kappas);
}

}  // namespace

void beginTransfer(Transfer& t, Structure input) {
    t.model = std::move(input);
    t.model.makeRoomForAtoms(t.model.nAtoms, t.model.nDummy);
}

void findInDataBase(Structure input, const TransferRun& run) {
    Stage stage("findInDataBase");
    beginTransfer(run.t, std::move(input));
    Structure& s = run.model;
    Transfer& transfer = run.t;
    const int nAtoms = s.nAtoms;

    FileHandle symmetry = createSideFile("symmetry.txt", "can't open symmetry file");
    FileHandle reset = createSideFile("resetbond.txt", "can't open reset-bond file");
    transfer.inDatabase.assign(static_cast<std::size_t>(nAtoms), 0);
    transfer.imageDummy.assign(run.p.imageOrigin.size(), -1);
    s.nDummy = 1;
    // DUM0 stands right behind the atoms even when the input had no dummy.
    if (s.atom.size() < static_cast<std::size_t>(nAtoms) + 1) s.atom.resize(static_cast<std::size_t>(nAtoms) + 1);

    beginFrameTable(run);
    FileHandle database = openDatabase(run.opt.databasePath);
    fprintf(stderr, "Database path: %s\n", run.opt.databasePath);
    printf("Reading database...\n");
    FileHandle descent = openFile("Quandrele.descent", "wt");

    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(nAtoms));
    for (int i = 0; i < nAtoms; ++i) names.emplace_back(run.p.quandrelName[i]);
    DatabaseIndex index;
    index.build(database.get(), names);
    transfer.databaseEntries = index.entryNames();

    EntryTransfer t{database.get(), descent.get(), symmetry.get(), reset.get(), nullptr,
                    EntryWarnings(run.warnings), {}};
    for (int i = 0; i < nAtoms; ++i) {
        const IndexedEntry* entry = index.find(names[static_cast<std::size_t>(i)]);
        applyScanState(index, entry != nullptr ? entry->state : index.endState(), transfer.databaseSeen);
        if (entry == nullptr)
            reportMissing(run, i, t);
        else
            transferEntry(run, i, entry->dataOffset, t);
    }
    // The report ranks the nearest entries of missing atoms among the database's names.
    if (std::find(transfer.inDatabase.begin(), transfer.inDatabase.end(), 0) != transfer.inDatabase.end())
        transfer.databaseNames = index.entryNameList();
    descent.reset();
    database.reset();

    endFrameTable(run);
    symmetry.reset();
    reset.reset();
}
