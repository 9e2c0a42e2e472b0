// What the database stage transferred: the model (the structure as read with the transferred
// populations, kappas, frames and dummies), which atoms it found, the coordinate-system table,
// what it read of the database, the dummies standing for symmetry images, and the
// electroneutrality correction the writer applied.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "../core/structure.h"
#include "../core/warnings.h"
#include "../chem/perception.h"
#include "../core/options.h"

// What the database searches have seen last while scanning the file from its start.
struct DatabaseSeen {
    std::string modelLine;    // the last "Model Compound Name:" line (cut to MODEL_LINE_CAP)
    double planarity = 0.0;   // the last degree of planarity
};
constexpr std::size_t MODEL_LINE_CAP = 511;

// Per-molecule monopole corrections of the chosen electroneutrality mode
// (achieve_neutrality: 1 factor, 2 electronegativity weighted, 3 hydrogens only,
// 0 and any other value an average difference).
struct MonopoleCorrection {
    int mode = 0;
    std::vector<double> corrAverage;    // mode 0: (S_n - S_m) / n
    std::vector<double> corrFactor;     // mode 1: S_n / S_m
    std::vector<double> corrMeanElNeg;  // mode 2: mean electronegativity of the counted atoms
    std::vector<double> corrHydrogen;   // mode 3: (S_n - S_m) / n_H
    std::vector<double> difference;     // mode 2: S_n - S_m of the molecule
    std::vector<int> counted;           // mode 2: n of the molecule
    std::vector<char> applies;          // the molecule's monopoles are corrected
    std::vector<double> expected;       // S_n: valence electrons the molecule should hold
    std::vector<double> monopoleSum;    // S_m: sum of its found atoms' monopoles before correction

    // Monopole written for the atom: occupancy x Pv with its molecule's correction.
    double monopole(const Structure& s, const Perception& p, int atomIndex) const;
};

struct Transfer {
    // The transferred model. beginTransfer starts it from the structure as read; the
    // database stage writes into its atoms the populations and kappas (multipole, kappa), the
    // frames (ax1, ax2, atom0..atom2), siteSym, planarity and modelCompound of every atom found,
    // and appends the dummies behind them. finishModel, before the files are written, sets the
    // U of constrained hydrogens, each atom's electronegativity (elNeg) and kappa set (kap),
    // the kappa sets, the multipole level 4 and for MoPro input the title. The writers and the
    // report read it.
    Structure model;
    std::vector<int> inDatabase;  // per atom: 1 when its name was found in the database
    // The database's distinct entry names in file order with their model compounds (database
    // stage); the report ranks the nearest entries of missing atoms among them.
    std::size_t databaseEntries = 0;  // distinct entry names in the database
    // The database's entry names with their model compounds, kept when some atom is missing
    // (the report lists the entries nearest to its name).
    std::vector<std::pair<std::string, std::string>> databaseNames;

    // The coordinate-system table as the database stage writes it to the log: the lines
    // behind its header, without their newline, up to and including "END ATOM". The
    // master-file writer takes its ATOM lines from here.
    std::vector<std::string> frameTable;
    // The last "Model Compound Name:" line and degree of planarity the database searches
    // have seen; a search that sees none leaves them as the search before left them.
    DatabaseSeen databaseSeen;

    std::vector<int> imageDummy;            // dummy array position standing for image k, -1: none
    // The correction of the monopoles finishModel computed and the writer applied (the report
    // reads it).
    MonopoleCorrection appliedCorrection;
};

// Starts the transferred model from the structure as read (a copy, or the structure itself when
// the caller hands it over), with room behind its atoms for the dummies the database stage adds.
void beginTransfer(Transfer& t, Structure input);

// The records as the writers and the report read them, every one by const reference: the
// transferred model, what perception found, the options and the Transfer record; and where
// they report: the report files and the run's warning log (which the report lists).
struct TransferRecords {
    const Structure& model;  // the Transfer's model
    const Perception& p;
    const Options& opt;
    const Transfer& t;
    FILE* out;              // Quandrele.out
    FILE* log;              // Quandrele.log
    WarningLog& warnings;   // the run's warnings, each also on standard error

    // An input atom of the model or a symmetry image, and its element (an image has its atom's).
    const AtomRecord& site(int i) const { return siteOf(model, p, i); }
    int siteElement(int i) const { return siteElementOf(model, p, i); }
    // Degree of planarity of the node of atom i as perception found it.
    double planarity(int i) const { return planarityOf(model, p, i); }
};

// The database stage and finishModel, which build the Transfer record: its model (the
// Transfer's own, which they write into), what perception found and the options, which they
// only read, the Transfer record itself, the report files and the run's warning log.
struct TransferRun {
    Structure& model;  // the Transfer's model
    const Perception& p;
    const Options& opt;
    Transfer& t;
    FILE* out;             // Quandrele.out
    FILE* log;             // Quandrele.log
    WarningLog& warnings;  // the run's warnings, each also on standard error

    TransferRun(const Perception& perception, const Options& options, Transfer& transfer, FILE* outFile,
                FILE* logFile, WarningLog& runWarnings)
        : model(transfer.model), p(perception), opt(options), t(transfer), out(outFile), log(logFile),
          warnings(runWarnings) {}

    // The same records, read only.
    operator TransferRecords() const { return TransferRecords{model, p, opt, t, out, log, warnings}; }  // NOLINT
    TransferRecords records() const { return *this; }
    const AtomRecord& site(int i) const { return records().site(i); }
    int siteElement(int i) const { return records().siteElement(i); }
    double planarity(int i) const { return records().planarity(i); }
};
