// The database lookup: one indexed pass over the file must give, atom after atom, what a
// scan of the file from its start for every atom gives: the same entry, and the same
// model-compound line and planarity left behind for the next search.
#include <algorithm>
#include <cstring>
#include <map>
#include <random>

#include "core/text.h"

#include "database/nearest.h"
#include "dbtest.h"

namespace {

// What one search leaves behind.
struct Outcome {
    bool found = false;
    long offset = -1;
    std::string modn;
    double plan = 0.0;
};

// The search as a rescan from the start of the file, line by line, for every name.
std::vector<Outcome> rescan(FILE* f, const std::vector<std::string>& names) {
    static char line[8192];
    std::vector<Outcome> outcomes;
    std::string modn;
    double plan = 0.0;
    for (const std::string& name : names) {
        std::rewind(f);
        bool first = true;
        do {
            // the leading blank skips blank lines at the very start of the file
            if (std::fscanf(f, first ? " %8191[^\n]\n" : "%8191[^\n]\n", line) != 1) line[0] = '\0';
            first = false;
            if (std::strstr(line, "Model Compound Name:") != nullptr) modn = std::string(line).substr(0, 511);
            if (std::strstr(line, "!Degree of planarity (1 is planar): ") != nullptr)
                std::sscanf(line, "!Degree of planarity (1 is planar): %lf", &plan);
        } while (!std::feof(f) && name != line);
        Outcome o;
        o.found = !std::feof(f);
        o.offset = o.found ? std::ftell(f) : -1;
        o.modn = modn;
        o.plan = plan;
        outcomes.push_back(o);
    }
    return outcomes;
}

// The same searches through the index.
std::vector<Outcome> indexed(FILE* f, const std::vector<std::string>& names) {
    std::rewind(f);
    DatabaseIndex index;
    index.build(f, names);
    DatabaseSeen seen;
    std::vector<Outcome> outcomes;
    for (const std::string& name : names) {
        const IndexedEntry* e = index.find(name);
        applyScanState(index, e != nullptr ? e->state : index.endState(), seen);
        Outcome o;
        o.found = e != nullptr;
        o.offset = e != nullptr ? e->dataOffset : -1;
        o.modn = seen.modelLine;
        o.plan = seen.planarity;
        outcomes.push_back(o);
    }
    return outcomes;
}

FILE* fileWith(const std::string& text) {
    FILE* f = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), f);
    std::rewind(f);
    return f;
}

void expectSame(const std::string& text, const std::vector<std::string>& names, const std::string& what) {
    FILE* f = fileWith(text);
    std::vector<Outcome> want = rescan(f, names);
    std::vector<Outcome> got = indexed(f, names);
    std::fclose(f);
    for (std::size_t k = 0; k < names.size(); ++k) {
        SCOPED_TRACE(what + ", search " + std::to_string(k) + " for \"" + names[k] + "\"");
        EXPECT_EQ(got[k].found, want[k].found);
        EXPECT_EQ(got[k].offset, want[k].offset);
        EXPECT_EQ(got[k].modn, want[k].modn);
        EXPECT_EQ(got[k].plan, want[k].plan);
    }
}

struct LookupCase {
    const char* what;
    const char* text;
    std::vector<std::string> names;
    std::vector<bool> found;
};

}  // namespace

TEST(DatabaseLookup, IndexedSearchFindsWhatTheRescanFinds) {
    const std::vector<LookupCase> cases = {
        {"a name on the last line never matches", "Model Compound Name:    one\nA\n1\nB\n",
         {"A", "B"}, {true, false}},
        {"the last line without a newline never matches either", "A\n1\nB", {"B", "A"}, {false, true}},
        {"a trailing blank makes another name", "A \n1\nA\n2\nZ\n", {"A", "A "}, {true, true}},
        {"the first of two equal entries wins", "Model Compound Name:    first\nA\n1\n"
                                                "Model Compound Name:    second\nA\n2\nZ\n",
         {"A"}, {true}},
        {"blank lines and leading blanks are swallowed", "\n\n   A\n\n\n    B\n1\nZ\n", {"B", "A"}, {true, true}},
        {"a name line that is a model-compound line is the model compound itself",
         "Model Compound Name:    x\nModel Compound Name:    y\n1\nZ\n", {"Model Compound Name:    y"}, {true}},
        {"an empty file finds nothing", "", {"A"}, {false}},
        {"a file of blanks finds nothing", "\n   \n\n", {"A"}, {false}},
    };
    for (const LookupCase& c : cases) {
        expectSame(c.text, c.names, c.what);
        FILE* f = fileWith(c.text);
        DatabaseIndex index;
        index.build(f, c.names);
        std::fclose(f);
        for (std::size_t k = 0; k < c.names.size(); ++k)
            EXPECT_EQ(index.find(c.names[k]) != nullptr, c.found[k]) << c.what << ": " << c.names[k];
    }
}

TEST(DatabaseLookup, CarriageReturnOfAWindowsFileIsNoPartOfTheName) {
    // Lines are read as every reader of the program reads them: without a trailing CR.
    FILE* f = fileWith("A\r\n1\r\nZ\r\n");
    DatabaseIndex index;
    index.build(f, {"A", "A\r"});
    std::fclose(f);
    EXPECT_NE(index.find("A"), nullptr);
    EXPECT_EQ(index.find("A\r"), nullptr);
}

TEST(DatabaseLookup, ModelCompoundAndPlanarityAreInheritedFromEarlierSearches) {
    const std::string text =
        "A\n1\n"                                              // A stands before any model compound
        "Model Compound Name:    alpha\n"
        "!Degree of planarity (1 is planar): 0.5\n"
        "B\n2\n"
        "Model Compound Name:    beta\n"
        "!Degree of planarity (1 is planar): nonsense\n"  // no number: the planarity keeps its value
        "C\n3\n"
        "!Degree of planarity (1 is planar): 0.25\n"
        "Z\n";
    FILE* f = fileWith(text);
    // A first: nothing seen; after B, A inherits alpha/0.5; after a failed search, the
    // values at the end of the file.
    std::vector<Outcome> got = indexed(f, {"A", "B", "A", "C", "missing", "A"});
    std::fclose(f);
    EXPECT_EQ(got[0].modn, "");
    EXPECT_EQ(got[1].modn, "Model Compound Name:    alpha");
    EXPECT_EQ(got[1].plan, 0.5);
    EXPECT_EQ(got[2].modn, "Model Compound Name:    alpha");
    EXPECT_EQ(got[3].modn, "Model Compound Name:    beta");
    EXPECT_EQ(got[3].plan, 0.5);
    EXPECT_FALSE(got[4].found);
    EXPECT_EQ(got[4].modn, "Model Compound Name:    beta");
    EXPECT_EQ(got[4].plan, 0.25);
    EXPECT_EQ(got[5].modn, "Model Compound Name:    beta");
    EXPECT_EQ(got[5].plan, 0.25);
    expectSame(text, {"A", "B", "A", "C", "missing", "A"}, "inheritance");
}

TEST(DatabaseLookup, IndexedSearchMatchesTheRescanOnRandomFiles) {
    // Files built from a small vocabulary, so that names repeat, stand last, carry
    // trailing blanks and share lines with model-compound and planarity marks.
    const std::vector<std::string> vocabulary = {
        "A", "B", "A ", "C1.5c", "Model Compound Name:    m1", "Model Compound Name:    m2 ",
        "xxModel Compound Name: short", "!Degree of planarity (1 is planar): 0.9",
        "!Degree of planarity (1 is planar): 1", "!Degree of planarity (1 is planar): x",
        "  4.0 0.1 0.2", "Symmetrie: mz", "KS: Z:C(1) X:H(2) R: 0.0 : 1.0", "", "   "};
    const std::vector<std::string> names = {"A", "B", "A ", "C1.5c", "Model Compound Name:    m1", "absent",
                                            "Symmetrie: mz", "  4.0 0.1 0.2", "4.0 0.1 0.2"};
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        std::string text;
        const int lines = static_cast<int>(random() % 12);
        for (int k = 0; k < lines; ++k) text += vocabulary[random() % vocabulary.size()] + "\n";
        if (random() % 4 == 0 && !text.empty()) text.pop_back();  // no newline at the end
        std::vector<std::string> searches;
        for (int k = 0; k < 6; ++k) searches.push_back(names[random() % names.size()]);
        expectSame(text, searches, "round " + std::to_string(round));
        // The index counts the entry names while it reads, as the catalogue of the report
        // counts them.
        FILE* f = fileWith(text);
        DatabaseIndex index;
        index.build(f, {});
        NameCatalogue catalogue;
        catalogue.read(f);
        std::fclose(f);
        EXPECT_EQ(index.entryNames(), catalogue.size()) << "round " << round;
        if (testing::Test::HasFailure()) {
            ADD_FAILURE() << "file was:\n" << text;
            break;
        }
    }
}

TEST(DatabaseLookup, LongLinesAreReadWholeAndNeverCut) {
    // A name longer than the 127 characters of a classic line buffer still matches whole;
    // a line that only begins with a name does not match it.
    const std::string longName(200, 'C');
    const std::string longModel = "Model Compound Name:    " + std::string(600, 'm');
    const std::string text = longName + "x\n1\n" + longModel + "\n" + longName + "\n2\nZ\n";
    FILE* f = fileWith(text);
    DatabaseIndex index;
    index.build(f, {longName});
    const IndexedEntry* e = index.find(longName);
    ASSERT_NE(e, nullptr);
    DatabaseSeen seen;
    applyScanState(index, e->state, seen);
    std::fclose(f);
    EXPECT_EQ(seen.modelLine.size(), 511u);  // the line keeps its first 511 characters
    EXPECT_EQ(modelCompoundName(seen.modelLine.c_str()), std::string(487, 'm'));
}

TEST(DatabaseLookup, ModelCompoundNameStartsAtThe25thCharacter) {
    EXPECT_EQ(modelCompoundName("Model Compound Name:    L-alanine   "), "L-alanine");
    EXPECT_EQ(modelCompoundName("!! Model Compound Name: XYZ"), "XYZ");  // the first 24 characters, whatever they are
    EXPECT_EQ(modelCompoundName("Model Compound Name: ab"), "");        // shorter than 25 characters
    EXPECT_EQ(modelCompoundName(""), "");
}

TEST(DatabaseLookup, IndexTakesLinesAsTheLineReaderDoes) {
    // The index reads the file in one piece; its lines and entry positions must be those of
    // the program's line reader reading the file line by line, carriage returns, tabs,
    // blank lines and a missing last newline included.
    const std::vector<std::string> pieces = {"A", "A\r", "B \r", "\t", "\r", " \t A", "1\r", "1", "",
                                             "  2.5 1", "Model Compound Name:    m\r", "A\r\r"};
    std::mt19937 random(11);
    for (int round = 0; round < 400; ++round) {
        std::string text;
        const int lines = static_cast<int>(random() % 10);
        for (int k = 0; k < lines; ++k) text += pieces[random() % pieces.size()] + "\n";
        if (random() % 3 == 0 && !text.empty()) text.pop_back();
        const std::vector<std::string> names = {"A", "B ", "A\r", "1", " \t A"};
        FILE* f = fileWith(text);
        // what the line reader finds: the first line equal to a name, not the last line
        std::map<std::string, long> want;
        LineReader reader(f);
        std::string line;
        while (reader.next(line) && !reader.atEnd())
            if (std::find(names.begin(), names.end(), line) != names.end()) want.emplace(line, std::ftell(f));
        DatabaseIndex index;
        index.build(f, names);
        std::fclose(f);
        for (const std::string& name : names) {
            const IndexedEntry* e = index.find(name);
            const auto w = want.find(name);
            EXPECT_EQ(e != nullptr ? e->dataOffset : -1, w != want.end() ? w->second : -1)
                << "round " << round << ", name \"" << name << "\"";
        }
        if (testing::Test::HasFailure()) {
            ADD_FAILURE() << "file was:\n" << text;
            break;
        }
    }
}
