// The run report: "Quandrele.json" (the run as data, for scripts) and "Quandrele.html"
// (one self-contained page with a drawing of the structure and a table of the atoms).
// Both are written at the end of a complete run and change none of the other files.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "../database/transfer.h"
#include "../geometry/cell.h"
#include "../output/writer.h"
#include "../scattering/statistics.h"

class NameCatalogue;
struct NearEntry;

// Number of atoms the database stage did not find.
int missingAtoms(const TransferRecords& q);

// One line on standard error after the database stage when atoms are missing.
void announceMissingAtoms(const TransferRecords& q);

// The page draws structures of at most this many atoms; a larger drawing is unreadable and
// too big for a browser, so the page says so and keeps only the table.
constexpr int DRAWING_LIMIT = 5000;

// Above this many drawn atoms and images the page draws the best view alone (not also along
// a, b and c): each view repeats every atom, and four make a large structure's page heavy.
constexpr int ONE_VIEW_LIMIT = 1000;

// Version of the layout of "Quandrele.json" (docs/report-format.md); a field added keeps it,
// a field removed or changed in meaning raises it.
constexpr int REPORT_SCHEMA_VERSION = 2;

// Where a run comes from, as the main program knows it: the program's version and the
// switches it was started with.
struct Provenance {
    std::string version;
    std::vector<std::string> arguments;
    std::string date;  // when the run started (UTC, ISO 8601): reportTime()
};

// The present moment (UTC, ISO 8601).
std::string reportTime();

// One file the run read, with its modification time (UTC, ISO 8601; "" when it cannot be read).
struct InputFile {
    std::string role;  // "structure", "master file", "settings", "database", ...
    std::string path;
    std::string modified;
};

// A symmetry image that completes a molecule, as the report shows it.
struct ImageView {
    std::string label;    // as standard output writes it: C3_5_565
    int origin = 0;       // the input atom it copies
    int op = 0;           // 1-based number in the expanded operator list
    int shift[3] = {0, 0, 0};
    const AtomRecord* record = nullptr;
};

// Removes the report files of an earlier run, so a run that fails leaves none.
void removeRunReport();

// The run as the report tells it: settings, database, atoms, dummies, bonds and molecules,
// read straight from the run. Missing atoms carry their nearest database entries from the
// catalogue. The JSON and the page both read the run through this, so they agree.
class RunReport {
public:
    RunReport(const TransferRecords& run, NameCatalogue& names, std::size_t databaseEntries, MonopoleCorrection applied);

    TransferRecords q;  // the records of the run (and its warning log, which the report adds to)
    CellGeometry geometry;  // the model's cell
    // With symmetry images: the operators of the expanded list as perception names them, parsed
    // once (none for a text that does not parse; an image made by it keeps its atom's U).
    std::vector<std::optional<SymOp>> imageOperators;
    NameCatalogue& catalogue;
    std::size_t entries;           // distinct names in the database
    MonopoleCorrection correction; // per molecule
    int missing;                   // atoms not found
    Provenance provenance;         // set by writeRunReport
    const scattering::FitToData* fit = nullptr;  // runs with -hkl: both models against the data

    // ---- the run as a whole
    const char* title() const { return q.model.title; }
    const double* cell() const { return q.model.cell; }
    const char* databasePath() const { return q.opt.databasePath; }
    const Options& options() const { return q.opt; }
    // The files the run read, that exist, with their modification times.
    std::vector<InputFile> inputFiles() const;
    // The expanded operator list (identity first) and the space group gemmi finds for it
    // ("" when none matches).
    std::vector<std::string> operators() const;
    std::string spaceGroup() const;

    // ---- per atom
    int part(int i) const { return atom(i).part; }
    double occupancy(int i) const { return atom(i).occupancy; }
    // U as read: 6 values (U11 U22 U33 U12 U13 U23) or, for an isotropic atom, U iso alone.
    std::vector<double> displacement(int i) const;
    // U in Cartesian axes (A^2, U11 U22 U33 U12 U13 U23), for drawing.
    void cartesianU(int i, double (&u)[6]) const;
    const double* populations(int i) const { return atom(i).multipole; }
    int kappaSet(int i) const { return atom(i).kap; }
    const double* kappa(int i) const { return atom(i).kappa; }
    const double* cartesian(int i) const { return atom(i).cart; }
    const char* label(int i) const { return atom(i).label; }
    const char* siteSymmetry(int i) const { return atom(i).siteSym; }

    // ---- symmetry images and the bonds to them
    int images() const;
    ImageView image(int k) const;
    // The image's U in Cartesian axes: its atom's U turned by the operator.
    void imageCartesianU(int k, double (&u)[6]) const;
    // Bonds with at least one image: (a, b) with atoms 0..atoms()-1 and image k as atoms() + k.
    std::vector<std::pair<int, int>> imageBonds() const;
    // The label of an atom or image by that numbering.
    const char* siteLabel(int index) const;

    // ---- warnings the run collected (each also on standard error)
    const std::vector<RunWarning>& warnings() const { return q.warnings.all(); }
    std::vector<std::pair<std::string, int>> warningCounts() const { return q.warnings.counts(); }

    // ---- dummies
    // The image that dummy k stands for, -1 when it stands for none.
    int imageOfDummy(int k) const;
    // A dummy that no position rule placed (the run warned): it stayed where it was, at the origin.
    bool dummyUnplaced(int k) const;
    const double* dummyFractional(int k) const { return q.model.atom[static_cast<std::size_t>(q.model.nAtoms + k)].frac; }

    int atoms() const { return q.model.nAtoms; }
    const AtomRecord& atom(int i) const { return q.model.atom[static_cast<std::size_t>(i)]; }
    int molecule(int i) const { return q.p.molecule[static_cast<std::size_t>(i)]; }
    int ringCode(int i) const { return q.p.ringCode[static_cast<std::size_t>(i)]; }
    bool found(int i) const;
    const char* name(int i) const;
    const char* element(int i) const;
    // The model compound of a found atom; nullptr for a missing atom or an empty name.
    const std::string* modelCompound(int i) const;
    // The stereo mark that leads the atom's name ('R' or 'S'), 0 when there is none.
    char stereo(int i) const;
    // The label of an atom the atom is constrained to; nullptr when none.
    const char* constrainedTo(int i) const;
    double monopoleBefore(int i) const;
    double monopoleWritten(int i) const;
    // Nearest database entries of a missing atom's name, best first.
    const std::vector<NearEntry>& nearest(int i) const;

    // A 1-based frame atom number: the dummy it points at (0-based), or -1 for an atom or
    // a number that points nowhere.
    int dummyOf(int number) const;
    // Its label: an atom's, "DUM<k>" for dummy k, "" when it points nowhere. The text lives
    // in the atom or in `scratch`.
    std::string_view referenceLabel(int number, char (&scratch)[24]) const;

    // Dummies behind the atoms that the run holds records for.
    int dummies() const;
    void dummyCartesian(int k, double (&cart)[3]) const;

    // Each bond once, atoms in order (first < second), as a pair of atom indices.
    template <class Visit>
    void forEachBond(Visit visit) const {
        for (int i = 0; i < q.model.nAtoms && static_cast<std::size_t>(i) < q.p.knopf.size(); ++i) {
            const Knopf& node = q.p.knopf[static_cast<std::size_t>(i)];
            for (int k = 0; k < node.anzahl && k < 13; ++k) {
                const int j = node.nachbar[k];
                if (j > i && j < q.model.nAtoms) visit(i, j);
            }
        }
    }

    // Atoms per molecule (molecules numbered from 1, one count per corrected molecule).
    std::vector<int> moleculeSizes() const;
};

RunReport runReport(const TransferRecords& q, NameCatalogue& catalogue, std::size_t databaseEntries,
                    const MonopoleCorrection& correction);

// The text of "Quandrele.json", written piece by piece. Bytes that are no UTF-8 (a Latin-1
// model-compound name, say) are replaced, not refused.
std::string jsonText(const RunReport& run);

// The same run as a document of the JSON library; its dump (jsonText of it) is the text
// above byte for byte. The streamed text is what the program writes: the document holds
// the whole run at once, far too much for a large structure.
nlohmann::ordered_json runDocument(const RunReport& run);
std::string jsonText(const nlohmann::ordered_json& document);

// The page.
std::string reportPage(const RunReport& run);

// Writes "Quandrele.json" and "Quandrele.html" into the working directory. A file that
// cannot be written is reported on standard error; the run's other files are complete by
// then, so the run still ends normally.
// fit: the structure factors' fit to the data (runs with -hkl), else nullptr.
void writeRunReport(const TransferRecords& q, const Provenance& provenance = Provenance(),
                    const scattering::FitToData* fit = nullptr);
