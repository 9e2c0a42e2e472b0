// Nearest database entries for a quandrel name that the database does not hold.
//
// Names are compared by their terms: the head (ring code and element), the neighbour
// terms (bond descriptor, element and second shell) and a stereo mark or charge suffix.
// Entries of the same central element are ranked by the number of first-shell neighbour
// terms (descriptor and element, without the second shell) they share with the wanted
// name, most first, then by the fewest term edits (insertions, deletions, substitutions
// of whole terms) that turn one name into the other, then by their place in the file.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// A name taken apart into its terms.
struct NameTerms {
    std::string element;                 // central element symbol ("C", "Cl"); "" when none
    std::vector<std::string> terms;      // every term in name order, head included
    std::vector<std::string> firstShell; // neighbour terms without their second shell
};

NameTerms splitName(const std::string& name);

// The central element of a name (the element of NameTerms, without taking the name apart).
std::string centralElement(const std::string& name);

// Finds the entry names of a database, fed its lines (as the readers return them) in
// order. An entry name is a line that is no comment, no number and no model-compound line,
// followed by a population line (its first word a number).
class EntryNameScanner {
public:
    // Takes the next line; true when the line before it is an entry name (then name() holds it).
    bool feed(std::string_view line);
    const std::string& name() const { return name_; }

private:
    std::string previous_, name_;
    bool previousIsNumber_ = false;
};

// One ranked entry.
struct NearEntry {
    std::string name;
    std::string modelCompound;
    int sharedTerms = 0;  // first-shell neighbour terms in common with the wanted name
    int edits = 0;        // term edits between the two names
};

class NameCatalogue {
public:
    // Reads every entry name of a database file, with the model compound it belongs to.
    // A name line is a line that is no comment and no number, followed by a line that
    // begins with a number (the populations); of two equal names the first counts.
    void read(FILE* file);
    // Adds one entry name (tests and read()).
    void add(const std::string& name, const std::string& modelCompound);

    std::size_t size() const { return seen_.size(); }

    // The best `count` entries for a name, best first (fewer when the database holds fewer
    // names of its central element). Results are kept per name: asking again is free.
    const std::vector<NearEntry>& nearest(const std::string& name, std::size_t count = 3);

private:
    struct Entry {
        std::string name, modelCompound;
        std::size_t terms = 0, termsEnd = 0;   // ranges into ids_: name order
        std::size_t sorted = 0, sortedEnd = 0; // every term id, sorted
        std::size_t shell = 0, shellEnd = 0;   // first-shell term ids, sorted
        bool coded = false;
    };
    struct Coded {
        std::vector<int> terms, sorted, shell;
    };
    Coded encode(const NameTerms& split);
    int idOf(const std::string& term);

    // Entries of one central element; their terms are coded on the first question about
    // that element, so a run without missing atoms only reads the names.
    struct Bucket {
        std::vector<std::size_t> members;
        bool coded = false;
    };
    void code(Bucket& bucket);

    std::vector<Entry> entries_;
    std::vector<int> ids_;
    std::unordered_map<std::string, int> termIds_;
    std::unordered_map<std::string, Bucket> byElement_;
    std::unordered_set<std::string> seen_;
    std::unordered_map<std::string, std::vector<NearEntry>> cache_;
};
