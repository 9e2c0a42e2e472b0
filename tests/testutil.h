// Shared helpers of the tests: scratch directories, runs of the real program, fixtures,
// captured standard streams, and small structures built in memory.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "app/Quandrel.h"
#include "naming/naming.h"
#include "output/writer.h"
#include "symmetry/completion.h"
#include "core/failure.h"
#include "openfiles.h"

// A fresh directory under /tmp that becomes the working directory for the lifetime of
// the object; the previous working directory is restored and the directory removed.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    // Copies a file of tests/data (or any absolute path) into the directory under name.
    void copyIn(const std::string& source, const std::string& name) const;
    // Copies every file of a folder of tests/data (or an absolute folder) into the directory.
    void copyFolder(const std::string& folder) const;
    void write(const std::string& name, const std::string& content) const;
    std::string read(const std::string& name) const;
    bool exists(const std::string& name) const;

private:
    std::string path_;
    std::string previous_;
};

// Result of one run of the real program.
struct RunResult {
    int code = -1;    // exit code, or 128 + signal
    std::string out;  // standard output
    std::string err;  // standard error
};

// Runs the built program with the arguments (shell words) in the current working
// directory, feeding stdinText on standard input.
RunResult runTool(const std::string& args = "", const std::string& stdinText = "");

// Path of a file or folder under tests/data.
std::string dataPath(const std::string& name);

// Path of a file or folder under examples/.
std::string examplePath(const std::string& name);

// Path of a file or folder under ../shared/fixtures beside the checkout (real published
// structures that are never copied into the repository). Throws with a clear message when
// that folder is missing, so a test that needs it fails instead of passing vacuously.
std::string sharedFixture(const std::string& name);

// Reads a whole file; empty when it cannot be read.
std::string slurp(const std::string& path);

// Lines of a text.
std::vector<std::string> linesOf(const std::string& text);

// The lines the program's LineReader takes from a file holding content (with contentOnly,
// as nextContent takes them).
std::vector<std::string> readerLines(const std::string& content, bool contentOnly = false);

// Number of occurrences of needle in text.
int countOf(const std::string& text, const std::string& needle);

// What a step wrote to the standard streams and, for capture(q, ...), appended to the log.
struct Streams {
    std::string out, err, log;
};

// Runs step with standard output and standard error captured (C stdio flushed before and
// after). The capture ends also when the step throws.
Streams capture(const std::function<void()>& step);
// The same, plus what the step appended to Quandrele.log of the current directory.
Streams capture(Quandrel& q, const std::function<void()>& step);
// Runs step with only standard output (or only standard error) captured; returns it.
std::string captureStdout(const std::function<void()>& step);
std::string captureStderr(const std::function<void()>& step);

// A fixture folder of tests/data/fixtures copied into the directory and read by the XD
// readers as a run reads it. As for a built structure, the Transfer's model starts as its copy.
std::unique_ptr<Quandrel> readFixture(const ScratchDir& dir, const std::string& name);

// Index of the atom with the label; -1, and a test failure, when there is none.
int atomNamed(const Structure& q, const char* label);

// The perception run of a test object: its structure, options, perception and report
// files. The per-site tables are made large enough for its atoms and images.
PerceptionRun perceiving(Quandrel& q);

// The database stage and the writers of a test object: its structure, perception, options,
// transfer record and report files.
TransferRun writing(Quandrel& q);

// Cell geometry of a structure: distance of two fractional positions, and the conversions.
double distanceBetween(const Structure& s, double x1, double y1, double z1, double x2, double y2, double z2);
void toCartesian(const Structure& s, const double* frac, double (&cart)[3]);
void toFractional(const Structure& s, const double* cart, double (&frac)[3]);

// Sets the anisotropic displacement parameters of an atom.
void setU(AtomRecord& a, double u11, double u22, double u33, double u12 = 0, double u13 = 0, double u23 = 0);

// Builds a structure in memory for stage tests: a cubic cell, one scattering entry per
// element, atoms placed by Cartesian coordinates.
class StructureBuilder {
public:
    explicit StructureBuilder(double cellEdge = 30.0);
    // Adds an atom; returns its index. The symbol is an element symbol ("C", "Cl", "J").
    int add(const std::string& label, const std::string& symbol, double x, double y, double z);
    // Sets the cell (before adding atoms); angles in degrees.
    void setCell(double a, double b, double c, double alpha, double beta, double gamma);
    // The structure record as a reader would return it.
    Structure structure() const;
    // A run object holding the structure, for tests of the run and its stages together. The
    // Transfer's model starts as its copy, so a writer test sets its values in
    // q->transfer.model as the database stage would have left them (the database stage itself
    // starts the model again, from the structure it takes over). The object writes its report
    // files into the current directory, so use it inside a ScratchDir.
    std::unique_ptr<Quandrel> build() const;

private:
    Structure s_;
    std::vector<AtomRecord> atoms_;
};

// The records of a run, each built as a stage test needs it, without the run object: the
// options, the structure (a StructureBuilder's), what perception found (empty per-atom tables
// until perceive() fills it, or set by hand), the Transfer with its model a copy of the
// structure, the run's warnings, and report files that are temporary files.
struct Records {
    explicit Records(Structure s);
    ~Records();
    Records(const Records&) = delete;
    Records& operator=(const Records&) = delete;

    Options opt;
    Structure structure;
    Perception perception;
    Transfer transfer;
    WarningLog warnings;
    FILE* out;  // stands for Quandrele.out
    FILE* log;  // stands for Quandrele.log

    // Perceives the structure with the options (no answers on standard input).
    void perceive();
    // The records as a single step of perception takes them.
    PerceptionRun perceiving() { return PerceptionRun{structure, opt, perception, out, log}; }
    // The records as the database stage and finishModel take them, and as the writers and the
    // report read them.
    TransferRun transferring() { return TransferRun(perception, opt, transfer, out, log, warnings); }
    TransferRecords reading() { return transferring(); }
    Structure& model() { return transfer.model; }
    // Everything written to the log file so far.
    std::string logText() const;
};
// The same as capture(q, step) for records.
Streams capture(Records& r, const std::function<void()>& step);

// Sets the neighbour node of atom i by hand: the neighbours in the given order and their
// angles from the positions, as the node stage leaves them.
void connect(const PerceptionRun& run, int i, std::initializer_list<int> neighbours);
void connect(Quandrel& q, int i, std::initializer_list<int> neighbours);
void connect(Records& r, int i, std::initializer_list<int> neighbours);

// Sets the quandrel name of atom i.
void name(Perception& p, int i, const std::string& text);
void name(Quandrel& q, int i, const std::string& text);

// How a piece of code stopped the run: the failure it threw (the stage it names, its code,
// whether the error banner is due) and standard error as main leaves it before the
// banners, that is what the code wrote itself followed by the failure's message.
struct Stopped {
    bool stopped = false;  // false: the code ran to its end
    int code = -1;
    bool banner = false;
    std::string stage;
    std::string message;  // the failure's message alone
    std::string err;      // written by the code, then the message
};

// Runs code that is expected to stop the run, with standard error captured.
Stopped failureOf(const std::function<void()>& code);

// Success when the code stops the run with the exit code and the error banner, standard
// error up to the banners holds text, and (when stage is given) the banner names stage.
testing::AssertionResult stopsWith(const std::function<void()>& code, int exitCode, const std::string& text,
                                   const std::string& stage = "");
