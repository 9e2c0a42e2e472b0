// The run as main holds it: the options, the structure (the readers' record), what perception
// found (Perception), what the database stage transferred (Transfer), the run's warnings and
// the report files. Its operations call the stages, which are free functions of the records.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "../geometry/vec.h"
#include "../core/largepages.h"
#include "../core/options.h"
#include "../core/structure.h"
#include "../chem/perception.h"
#include "../database/transfer.h"

class Quandrel {
public:
    // Tag for a test object: opens the report files and sets every default, reads nothing.
    struct NoInput {};

    // Opens the report files; the structure is read by readStructure.
    explicit Quandrel(const Options& options);
    explicit Quandrel(NoInput);
    ~Quandrel();
    Quandrel(const Quandrel&) = delete;
    Quandrel& operator=(const Quandrel&) = delete;

    // ---- the records ----
    Options opt;             // the command line and the settings file
    // The structure as read. The database stage takes it over as the start of the transferred
    // model (transfer.model), which holds everything it held: from then on it is empty, as a
    // copy would double the memory of a large structure.
    Structure structure;
    Perception perception;   // what perception found
    Transfer transfer;       // what the database stage transferred, and the model written

    // ---- report streams and bookkeeping ----
    FILE* outFile = nullptr;
    FILE* logFile = nullptr;

    // ---- structure input ----
    // Reads the structure the options name: a CIF or SHELX file, the MoPro files, or xd.mas
    // and xd.res.
    void readStructure();

    // ---- perception ----
    // Perceives the structure (perceive), answering the override file's questions from
    // standard input.
    void findOutNames();

    // The run's warnings, in the order they arose (each on standard error already): the
    // command line's, the settings file's, the readers', perception's, then those of the
    // later stages. The report lists them.
    WarningLog warningLog;

    // The records of the run as the database stage, the writers and the report take them.
    TransferRun records() { return TransferRun(perception, opt, transfer, outFile, logFile, warningLog); }

    // ---- database transfer ----
    void findInDataBase();

    // ---- refinement input writer ----
    void setupNewInpAndMasFile();
    void huconstrain();
    int insertFiles();


private:
    void openReports();
};

