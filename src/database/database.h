// Parameter database transfer: the pieces that findInDataBase() puts together.
//
// The database is a text file of model-compound blocks and entries. Each atom takes the
// entry whose name line equals its quandrel name; the model-compound name and the degree
// of planarity it gets are those of the last "Model Compound Name:" and
// "!Degree of planarity (1 is planar): " lines seen while scanning the file from its start
// up to that name line (a failed search scans the whole file). The file is read once and
// indexed; the index reproduces that scan exactly.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "../chem/perception.h"
#include "../core/options.h"
#include "../core/structure.h"
#include "../core/text.h"
#include "transfer.h"

// The database stage: the Transfer's model starts from the input; every atom whose
// name is in the database takes its entry's populations, kappas and local frame (with the
// dummies it needs) there; the others are reported.
void findInDataBase(Structure input, const TransferRun& run);

// ---------------------------------------------------------------------------------
// The index of the database file
// ---------------------------------------------------------------------------------

// What a scan from the start of the file leaves behind when it stops at a line: the last
// model-compound line and planarity seen up to and including that line.
struct ScanState {
    int modelLine = -1;      // index into DatabaseIndex::modelLines, -1: none seen yet
    bool hasPlanarity = false;
    double planarity = 0.0;
};

// One name line of the file: where its entry's data begin and the scan state at it.
struct IndexedEntry {
    long dataOffset = -1;    // file position just behind the name line (-1: not in the file)
    ScanState state;
};

class DatabaseIndex {
public:
    // Reads the whole file once from its start, indexing the lines that equal one of the
    // wanted names. A name line that is the file's very last line is not indexed (a
    // search that reaches the end of the file fails there), and of two equal name lines
    // the first one counts.
    void build(FILE* file, const std::vector<std::string>& wanted);

    // The entry of a name, or nullptr when the search for it fails.
    const IndexedEntry* find(const std::string& name) const;

    // The scan state of a search that fails (it has read the whole file).
    const ScanState& endState() const { return end_; }

    // Number of distinct entry names in the file.
    std::size_t entryNames() const { return names_.size(); }

    // The distinct entry names in file order, each with the model compound it belongs to.
    std::vector<std::pair<std::string, std::string>> entryNameList() const;

    // The model-compound line of a state ("" when none was seen).
    const std::string& modelLine(int k) const { return modelLines_[static_cast<std::size_t>(k)]; }

private:
    std::unordered_map<std::string, IndexedEntry> entries_;
    std::vector<std::string> modelLines_;
    ScanState end_;
    // The file as read; the entry names are views into it, each with its model compound
    // (an index into models_, -1 before the first model compound).
    LargeText text_;
    std::vector<std::pair<std::string_view, int>> names_;
    std::vector<std::string> models_;
};

// Applies the scan state to what the searches have seen, as the scan itself leaves it:
// values not seen in this scan stay as an earlier search left them.
void applyScanState(const DatabaseIndex& index, const ScanState& state, DatabaseSeen& seen);

// ---------------------------------------------------------------------------------
// The lines of one entry
// ---------------------------------------------------------------------------------

// The KS: line: two axes, each defined by a reference atom named by its element (or DUM).
struct KsLine {
    std::string axis1, element1, rest1, axis2, element2, text1, text2;
    double number1 = 0.0;    // the bond shortening of the hydrogen bond reset
    double number2 = 0.0;
    int fields = 0;          // conversions made (9 for a complete line)
};

KsLine parseKsLine(const std::string& line);

// Axis code of an axis text: X = 1, Y = 2, Z = 3 (first character), anything else 0.
int axisCode(const std::string& axis);

// Kappa values of a kappa line ("K..." cut at every "=" and ";", the first piece dropped),
// at most six.
std::vector<double> kappaValues(const std::string& line);

// Model-compound name of a "Model Compound Name:" line: the text from its 25th character
// on, right-trimmed ("" for a shorter line).
std::string modelCompoundName(const char* modelLine);

// ---------------------------------------------------------------------------------
// Local coordinate system of one atom
// ---------------------------------------------------------------------------------

// Maps the KS: line of atom i onto its neighbours, creates the dummy atoms it asks for and
// builds the atom's line of the coordinate-system table (without a newline),
// reading the atom's site symmetry.
// Sets atom0 and atom2 of the atom. Returns false, with a warning on standard error and
// nothing changed, when no neighbour has the element the first axis names.
bool buildLocalFrame(const TransferRun& run, int i, const KsLine& ks, std::string& tableLine);
