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
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "driver/Quandrel.h"
#include "report/report.h"

namespace {

// One atom of the template molecule (the bundled example's L-alanine).
struct TemplateAtom {
    const char* label;
    int ax1, ax2, atom0, atom1, atom2, tbl;
    double frac[3];
};

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

FILE* report = stdout;

void writeFile(const char* name, const std::string& text) {
    FILE* f = std::fopen(name, "w");
    if (f == nullptr) {
        std::perror(name);
        std::exit(1);
    }
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
    char buffer[512];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(buffer, sizeof buffer, fmt, args);
    va_end(args);
    return buffer;
}

struct GeneratedAtom {
    std::string label;
    int ax1, ax2, atom0, atom1, atom2, tbl;
    double frac[3];
};

std::vector<GeneratedAtom> generateAtoms() {
    std::vector<GeneratedAtom> atoms;
    for (int m = 0; m < N_MOLECULES; ++m) {
        const double offset[3] = {SPACING * (m % 7), SPACING * ((m / 7) % 7), SPACING * (m / 49)};
        for (const TemplateAtom& t : MOLECULE) {
            GeneratedAtom a{std::string(t.label) + "m" + std::to_string(m + 1), t.ax1, t.ax2,
                            t.atom0 + m * PER_MOLECULE, t.atom1 + m * PER_MOLECULE, t.atom2 + m * PER_MOLECULE, t.tbl,
                            {0, 0, 0}};
            for (int c = 0; c < 3; ++c) a.frac[c] = (t.frac[c] * TEMPLATE_CELL[c] + offset[c] + 1.0) / CELL;
            atoms.push_back(a);
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
    writeFile("qdltool.ini",
              "DABA_PATH=DABA.txt\nachieve_neutrality[0-3]=0\nqdlexp=1\nIons=1\nUseNewRingNomenclature=1\n"
              "Hydrogen-Constrain[Uiso|riding|both|none]=none\nInputtype[XD|MOPRO]=XD\n");

    std::string mas = "!<<< X D MASTER FILE >>>\nTITLE bench\n";
    mas += format("CELL     %.4f   %.4f   %.4f   90.000   90.000   90.000\n", CELL, CELL, CELL);
    mas += "WAVE    0.71073\nLATT   A P\nMODULE *XDLSM\nSELECT  *model 4 2 1 0 based_on F test verbose 1\n"
           "SCAT CORE SPHV DEFV   1S  2S  3S  4S  2P  3P  4P  3D  4D  4F  5S  5P  6S  6P  5D  7S  6D  5F  DELF'  "
           "DELF'' NSCTL\n"
           "C    CHFW CHFW CSZD    2  -2   0   0  -2   0   0   0   0   0   0   0   0   0   0   0   0   0   0.0033   "
           "0.0016   0.6646\n"
           "N    CHFW CHFW CSZD    2  -2   0   0  -3   0   0   0   0   0   0   0   0   0   0   0   0   0   0.0061   "
           "0.0033   0.9360\n"
           "O    CHFW CHFW CSZD    2  -2   0   0  -4   0   0   0   0   0   0   0   0   0   0   0   0   0   0.0106   "
           "0.0060   0.5803\n"
           "H    CHFW CHFW CSZD   -1   0   0   0   0   0   0   0   0   0   0   0   0   0   0   0   0   0   0.0000   "
           "0.0000  -0.3739\n"
           "END SCAT\n"
           "ATOM     ATOM0    AX1 ATOM1    ATOM2   AX2 R/L TP TBL KAP LMX SITESYM  CHEMCON\n";
    for (const GeneratedAtom& a : atoms)
        mas += format("%-8s %-8s  Z  %-8s %-8s X   R   2  %d   %d   4  NO\n", a.label.c_str(),
                      atoms[static_cast<std::size_t>(a.atom0 - 1)].label.c_str(), a.label.c_str(),
                      atoms[static_cast<std::size_t>(a.atom2 - 1)].label.c_str(), a.tbl, a.tbl);
    mas += "END ATOM\nKEY     XYZ --U2-- ----U3---- ------U4------- M- -D- --Q-- ---O--- ----H----\n";
    for (const GeneratedAtom& a : atoms)
        mas += format("%-8s111 111111 0000000000 000000000000000 10 111 11111 1111111 111111111\n", a.label.c_str());
    mas += "KAPPA   000000\nKAPPA   000000\nKAPPA   000000\nKAPPA   000000\nEXTCN   1111111 0 00\nOVTHP   0\n"
           "SCALE  1\nEND KEY\nRESET   BOND  C1m1     H1Am1     1.092\nEND XDLSM\n";
    writeFile("xd.mas", mas);

    std::string res = "XDPARFILE VERSION  2\nbench   MODEL  4  2  1  0\n"
                      "LIMITS nat  2000 ntx  31 lmx  4 nzz  30 nto  0 nsc  20 ntb  20 nov   2500\n";
    res += format("USAGE  %5d     2     4     4     0     1     4     0     1     0     1     0     0     0\n",
                  static_cast<int>(atoms.size()));
    res += "  0.021156  0.029167  0.020430  0.017358  1.073533  0.000000  0.000000 3.219E-04\n"
           " -2.000000  0.000000  0.000000  0.000000  0.000000  0.333333\n";
    for (const GeneratedAtom& a : atoms) {
        res += format("%-8s%3d%2d%5d%5d%5d%2d%3d%3d%2d%3d%4d %9.6f %9.6f %9.6f %6.4f\n", a.label.c_str(), a.ax1, a.ax2,
                      a.atom0, a.atom1, a.atom2, 2, a.tbl, a.tbl, 4, 0, 0, a.frac[0], a.frac[1], a.frac[2], 1.0);
        res += "  0.020000  0.020000  0.020000  0.000000  0.000000  0.000000\n";
        res += "  4.000000  0.000000  0.010000  0.010000  0.010000  0.010000  0.010000  0.010000  0.010000  0.010000\n"
               "  0.010000  0.010000  0.010000  0.010000  0.010000  0.010000  0.010000  0.010000  0.010000  0.010000\n"
               "  0.010000  0.010000  0.010000  0.010000  0.010000  0.010000\n";
    }
    res += "  1  0.988222  0.843443  0.843443  0.843443  0.843443  0.843443\n"
           "  2  0.990097  0.945889  0.945889  0.945889  0.945889  0.945889\n"
           "  3  0.999667  0.898231  0.898231  0.898231  0.898231  0.898231\n"
           "  4  1.200000  1.200000  1.200000  1.200000  1.200000  1.200000\n"
           " 0.0000E+00 0.0000E+00 0.0000E+00  0.0000E+00  0.0000E+00  0.0000E+00 0.0000E+00\n 0.0000E+00\n"
           " 8.892739E-01\n";
    writeFile("xd.res", res);
}

// Element symbols of a name: its head and its first neighbour ("C1n1c" gives C and N).
std::pair<std::string, std::string> elementsOf(const std::string& name) {
    std::size_t k = 0;
    std::string head, first;
    while (k < name.size() && !std::isalpha(static_cast<unsigned char>(name[k]))) ++k;
    while (k < name.size() && std::isalpha(static_cast<unsigned char>(name[k]))) head += name[k++];
    while (k < name.size() && !std::isalpha(static_cast<unsigned char>(name[k]))) ++k;
    while (k < name.size() && std::isalpha(static_cast<unsigned char>(name[k]))) first += name[k++];
    if (!first.empty()) first[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(first[0])));
    if (first.empty()) first = "DUM";
    return {head, first};
}

std::string entryText(const std::string& name, int k) {
    const auto elements = elementsOf(name);
    std::string text;
    if (k % 10 == 0) text += format("Model Compound Name:    generated compound %d\n", k / 10);
    text += format("!Degree of planarity (1 is planar): %.3f\n", (k % 7) / 7.0);
    text += name + "\n";
    text += format("%8.4f", elements.first == "H" ? 0.9 : 4.0);
    for (int p = 1; p < 26; ++p) text += format("%9.4f%s", 0.001 * ((k + p) % 50), (p == 9 || p == 19) ? "\n" : "");
    text += "\nSymmetrie: 1\n";
    text += "KS: Z:" + elements.second + "(1) X:" + elements.second + "(2) shift: 0.000 bond: 1.000\n";
    text += elements.first == "H" ? "KAPPA= 1.160; 1.200; 1.200; 1.200; 1.200; 1.200\n"
                                  : "KAPPA= 1.000; 0.900; 0.900; 0.900; 0.900; 0.900\n";
    return text;
}

// A database of n entries holding the given names, the rest filler names that no atom has.
// spread: the names stand evenly through the file; otherwise all at its end.
void writeDatabase(int n, const std::vector<std::string>& names, bool spread) {
    std::string text = "! generated database for the benchmark\n";
    const int step = spread ? std::max(1, n / std::max<int>(1, static_cast<int>(names.size()))) : 1;
    std::size_t next = 0;
    for (int k = 0; k < n; ++k) {
        const bool real = next < names.size() &&
                          (spread ? (k % step == step - 1) : (k >= n - static_cast<int>(names.size())));
        const std::string name =
            real ? names[next++] : format("C1c1c1h%d", k) + (k % 3 == 0 ? "[1c1h]" : "") + (k % 5 == 0 ? "-0.5" : "");
        text += entryText(name, k);
    }
    while (next < names.size()) text += entryText(names[next++], n);
    text += "! end\n";
    writeFile("DABA.txt", text);
}

double seconds(const std::function<void()>& stage) {
    const auto start = std::chrono::steady_clock::now();
    stage();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct WholeRun {
    double read = 0, perceive = 0, database = 0, write = 0, report = 0;
    double total() const { return read + perceive + database + write + report; }
};

WholeRun wholeRun() {
    WholeRun t;
    std::unique_ptr<Quandrel> q;
    t.read = seconds([&] { q.reset(new Quandrel()); });
    t.perceive = seconds([&] { q->findOutNames(); });
    t.database = seconds([&] { q->findInDataBase(); });
    t.write = seconds([&] { q->setupNewInpAndMasFile(); });
    t.report = seconds([&] { writeRunReport(*q); });
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
    std::unique_ptr<Quandrel> q(new Quandrel());
    q->findOutNames();
    for (int i = 0; i < q->nAtoms; ++i) std::snprintf(q->quandrelName[i], NAME_CAP, "%s", realNames[i].c_str());
    return seconds([&] { q->findInDataBase(); });
}

// The run report alone, every atom renamed to a name of its own that the database lacks.
double missingNamesReport(const std::vector<std::string>& names) {
    std::unique_ptr<Quandrel> q(new Quandrel());
    q->findOutNames();
    for (int i = 0; i < q->nAtoms; ++i) std::snprintf(q->quandrelName[i], NAME_CAP, "%s", names[i].c_str());
    q->findInDataBase();
    q->setupNewInpAndMasFile();
    return seconds([&] { writeRunReport(*q); });
}

}  // namespace

int main(int argc, char** argv) {
    const int entries = argc > 1 ? std::atoi(argv[1]) : 20000;
    char dir[] = "/tmp/qdl-bench-XXXXXX";
    if (mkdtemp(dir) == nullptr || chdir(dir) != 0) {
        std::perror("bench directory");
        return 1;
    }
    // The stages talk a lot on the standard streams: the figures go to the original stdout.
    report = fdopen(dup(1), "w");
    if (std::freopen("/dev/null", "w", stdout) == nullptr || std::freopen("/dev/null", "w", stderr) == nullptr) return 1;

    const std::vector<GeneratedAtom> atoms = generateAtoms();
    writeStructure(atoms);

    // The names perception gives the structure.
    std::vector<std::string> perceived;
    {
        std::unique_ptr<Quandrel> q(new Quandrel());
        q->findOutNames();
        for (int i = 0; i < q->nAtoms; ++i) perceived.emplace_back(q->quandrelName[i]);
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
    std::fclose(report);
    std::string cleanup = std::string("rm -rf ") + dir;
    return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
