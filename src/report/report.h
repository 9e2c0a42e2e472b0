// The run report: "Quandrele.json" (the run as data, for scripts) and "Quandrele.html"
// (one self-contained page with a drawing of the structure and a table of the atoms).
// Both are written at the end of a complete run and change none of the other files.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "../driver/Quandrel.h"
#include "../output/writer.h"

class NameCatalogue;
struct NearEntry;

// Number of atoms the database stage did not find.
int missingAtoms(const Quandrel& q);

// One line on standard error after the database stage when atoms are missing.
void announceMissingAtoms(const Quandrel& q);

// The page draws structures of at most this many atoms; a larger drawing is unreadable and
// too big for a browser, so the page says so and keeps only the table.
constexpr int DRAWING_LIMIT = 5000;

// The run as the report tells it: settings, database, atoms, dummies, bonds and molecules,
// read straight from the run. Missing atoms carry their nearest database entries from the
// catalogue. The JSON and the page both read the run through this, so they agree.
class RunReport {
public:
    RunReport(Quandrel& run, NameCatalogue& names, std::size_t databaseEntries, MonopoleCorrection applied);

    Quandrel& q;
    NameCatalogue& catalogue;
    std::size_t entries;           // distinct names in the database
    MonopoleCorrection correction; // per molecule
    int missing;                   // atoms not found

    int atoms() const { return q.nAtoms; }
    const AtomRecord& atom(int i) const { return q.atom[static_cast<std::size_t>(i)]; }
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
        for (int i = 0; i < q.nAtoms && static_cast<std::size_t>(i) < q.knopf.size(); ++i) {
            const Quandrel::Knopf& node = q.knopf[static_cast<std::size_t>(i)];
            for (int k = 0; k < node.anzahl && k < 13; ++k) {
                const int j = node.nachbar[k];
                if (j > i && j < q.nAtoms) visit(i, j);
            }
        }
    }

    // Atoms per molecule (molecules numbered from 1, one count per corrected molecule).
    std::vector<int> moleculeSizes() const;
};

RunReport runReport(Quandrel& q, NameCatalogue& catalogue, std::size_t databaseEntries,
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
void writeRunReport(Quandrel& q);
