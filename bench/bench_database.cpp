// Benchmark of a whole run at the atom capacity: a generated structure of 3,200 atoms
// (246 L-alanine molecules and two lone oxygen atoms in a 60 A cell) against generated
// databases of 20,000 and 40,000 entries. It times each stage of the run (reading,
// perception, database, writer, run report) and, separately, the database stage with 3,200
// distinct names spread through the file. With every atom missing from the database, the
// run report ranks the nearest entries of every missing name: the whole run is timed with
// the structure's own names, and the report alone with 3,200 distinct missing names. Not a
// test: it prints figures.
//
//   build/bench_database [entries]      (default 20000; the doubled size is run as well)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/run.h"
#include "benchutil.h"
#include "app/Quandrel.h"
#include "report/report.h"

namespace {

using namespace bench;

// The template molecule: the bundled example's L-alanine.
const double TEMPLATE_CELL[3] = {8.7138, 8.2089, 6.7387};
const TemplateAtom MOLECULE[] = {
    {"C1", 3, 2, 5, 1, 2, 1, {0.536955, 0.253269, 0.459459}},  {"H1A", 3, 1, 1, 2, 5, 4, {0.415257, 0.227736, 0.436485}},
    {"H1B", 3, 1, 1, 3, 5, 4, {0.598335, 0.137315, 0.456589}}, {"H1C", 3, 1, 1, 4, 5, 4, {0.549042, 0.305704, 0.607566}},
    {"C2", 1, 2, 1, 5, 7, 1, {0.596776, 0.368030, 0.301668}},  {"H2", 3, 1, 5, 6, 1, 4, {0.581486, 0.317105, 0.153275}},
    {"N1", 3, 1, 5, 7, 9, 2, {0.768922, 0.387620, 0.328624}},  {"HN1A", 3, 1, 7, 8, 5, 4, {0.834081, 0.323243, 0.232862}},
    {"HN1B", 3, 1, 7, 9, 5, 4, {0.779604, 0.507276, 0.297282}}, {"HN1C", 3, 1, 7, 10, 5, 4, {0.801969, 0.378719, 0.471719}},
    {"C3", 1, 2, 12, 11, 13, 1, {0.522023, 0.540214, 0.306748}}, {"O1", 3, 1, 11, 12, 13, 3, {0.379685, 0.549126, 0.322560}},
    {"O2", 3, 1, 11, 13, 12, 3, {0.627833, 0.647526, 0.295787}},
};
constexpr int PER_MOLECULE = 13;
constexpr int N_MOLECULES = 246;
constexpr int N_ATOMS = N_MOLECULES * PER_MOLECULE + 2;  // 3,200
constexpr double CELL = 60.0;
constexpr double SPACING = 8.0;

std::vector<GeneratedAtom> generateAtoms() {
    std::vector<GeneratedAtom> atoms;
    for (int m = 0; m < N_MOLECULES; ++m) {
        const double offset[3] = {SPACING * (m % 7), SPACING * ((m / 7) % 7), SPACING * (m / 49)};
        for (const TemplateAtom& t : MOLECULE) {
            double cart[3];
            for (int c = 0; c < 3; ++c) cart[c] = t.frac[c] * TEMPLATE_CELL[c] + offset[c] + 1.0;
            atoms.push_back(copyOf(t, std::string(t.name) + "m" + std::to_string(m + 1), m * PER_MOLECULE, cart, CELL));
        }
    }
    // Two lone oxygen atoms far from the molecules.
    for (int k = 0; k < 2; ++k) {
        const int n = static_cast<int>(atoms.size()) + 1;
        atoms.push_back({"OW" + std::to_string(k + 1), 3, 1, n, n, n, 3, {0.95, 0.95 - 0.05 * k, 0.95}});
    }
    return atoms;
}

void writeStructure(const std::vector<GeneratedAtom>& atoms) {
    writeFile("qdltool.ini", settingsText("Inputtype[XD|MOPRO]=XD\n"));
    writeMaster(atoms, CELL, {"C", "N", "O", "H"}, 4, "RESET   BOND  C1m1     H1Am1     1.092\n");
    writeParameters(atoms,
                    "  1  0.988222  0.843443  0.843443  0.843443  0.843443  0.843443\n"
                    "  2  0.990097  0.945889  0.945889  0.945889  0.945889  0.945889\n"
                    "  3  0.999667  0.898231  0.898231  0.898231  0.898231  0.898231\n"
                    "  4  1.200000  1.200000  1.200000  1.200000  1.200000  1.200000\n",
                    4);
}

struct WholeRun {
    double read = 0, perceive = 0, database = 0, write = 0, report = 0;
    double total() const { return read + perceive + database + write + report; }
};

WholeRun wholeRun() {
    WholeRun t;
    std::unique_ptr<Quandrel> q;
    t.read = seconds([&] { q.reset(openRun().release()); });
    t.perceive = seconds([&] { q->findOutNames(); });
    t.database = seconds([&] { q->findInDataBase(); });
    t.write = seconds([&] { q->setupNewInpAndMasFile(); });
    t.report = seconds([&] { writeRunReport(q->records()); });
    return t;
}

// The best time of each stage over several runs (the machine is shared: the best run of a
// stage is the one least disturbed).
WholeRun best(int repeats, const std::function<WholeRun()>& run) {
    WholeRun b;
    for (int r = 0; r < repeats; ++r) {
        WholeRun t = run();
        if (r == 0) {
            b = t;
            continue;
        }
        b.read = std::min(b.read, t.read);
        b.perceive = std::min(b.perceive, t.perceive);
        b.database = std::min(b.database, t.database);
        b.write = std::min(b.write, t.write);
        b.report = std::min(b.report, t.report);
    }
    return b;
}

// The database stage alone, with every atom renamed to a name of its own.
double distinctNamesRun(const std::vector<std::string>& realNames) {
    std::unique_ptr<Quandrel> q(openRun().release());
    q->findOutNames();
    for (int i = 0; i < q->structure.nAtoms; ++i) std::snprintf(q->perception.quandrelName[i], NAME_CAP, "%s", realNames[i].c_str());
    return seconds([&] { q->findInDataBase(); });
}

// The run report alone, every atom renamed to a name of its own that the database lacks.
double missingNamesReport(const std::vector<std::string>& names) {
    std::unique_ptr<Quandrel> q(openRun().release());
    q->findOutNames();
    for (int i = 0; i < q->structure.nAtoms; ++i) std::snprintf(q->perception.quandrelName[i], NAME_CAP, "%s", names[i].c_str());
    q->findInDataBase();
    q->setupNewInpAndMasFile();
    return seconds([&] { writeRunReport(q->records()); });
}

}  // namespace

int main(int argc, char** argv) {
    const int entries = argc > 1 ? std::atoi(argv[1]) : 20000;
    const std::string dir = enterScratch();
    if (dir.empty()) return 1;

    const std::vector<GeneratedAtom> atoms = generateAtoms();
    writeStructure(atoms);

    // The names perception gives the structure.
    std::vector<std::string> perceived;
    {
        std::unique_ptr<Quandrel> q(openRun().release());
        q->findOutNames();
        for (int i = 0; i < q->structure.nAtoms; ++i) perceived.emplace_back(q->perception.quandrelName[i]);
    }
    std::vector<std::string> distinct;
    for (const std::string& name : std::set<std::string>(perceived.begin(), perceived.end())) distinct.push_back(name);

    std::fprintf(report, "Structure: %d atoms (%zu distinct quandrel names)\n", static_cast<int>(atoms.size()),
                 distinct.size());
    std::fprintf(report, "%-34s %8s %8s %8s %8s %8s %8s\n", "whole run (best of 5), seconds", "read", "perceive",
                 "database", "write", "report", "total");
    double databaseTime[2] = {0, 0};
    for (int d = 0; d < 2; ++d) {
        const int n = entries << d;
        writeDatabase(n, distinct, false);
        WholeRun t = best(5, wholeRun);
        databaseTime[d] = t.database;
        std::fprintf(report, "%-34s %8.3f %8.3f %8.3f %8.3f %8.3f %8.3f\n",
                     format("%d entries, names at the end", n).c_str(), t.read, t.perceive, t.database, t.write,
                     t.report, t.total());
    }
    {
        // every atom missing: the database holds none of the structure's names
        writeDatabase(entries, {}, false);
        WholeRun t = best(5, wholeRun);
        std::fprintf(report, "%-34s %8.3f %8.3f %8.3f %8.3f %8.3f %8.3f\n",
                     format("%d entries, every atom missing", entries).c_str(), t.read, t.perceive, t.database,
                     t.write, t.report, t.total());
    }
    std::fprintf(report, "database stage, doubled file / single file: %.2f\n", databaseTime[1] / databaseTime[0]);

    // Every atom a name of its own, the names spread through the file.
    std::vector<std::string> unique;
    for (std::size_t i = 0; i < perceived.size(); ++i) unique.push_back(perceived[i] + "#" + std::to_string(i));
    double distinctTime[2] = {0, 0};
    for (int d = 0; d < 2; ++d) {
        const int n = entries << d;
        writeDatabase(n, unique, true);
        double t = distinctNamesRun(unique);
        for (int r = 0; r < 4; ++r) t = std::min(t, distinctNamesRun(unique));
        distinctTime[d] = t;
        std::fprintf(report, "database stage, %d distinct names, %d entries: %.3f s\n",
                     static_cast<int>(unique.size()), n, t);
    }
    std::fprintf(report, "database stage with distinct names, doubled file / single file: %.2f\n",
                 distinctTime[1] / distinctTime[0]);

    // Every atom a missing name of its own: the report ranks 3,200 names.
    writeDatabase(entries, {}, false);
    double reportTime = 1e300;
    for (int r = 0; r < 5; ++r) reportTime = std::min(reportTime, missingNamesReport(unique));
    std::fprintf(report, "run report, %d distinct missing names, %d entries: %.3f s\n",
                 static_cast<int>(unique.size()), entries, reportTime);
    return leaveScratch(dir);
}
