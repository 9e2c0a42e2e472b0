// Benchmark of whole runs beyond the old capacities: translated copies of phenol (one
// aromatic ring each, so ring perception is exercised) in a large cubic cell, 3,200, 12,800
// and 51,200 atoms, against generated databases of 20,000 and 100,000 entries. Each run is
// a child process, so that its peak memory (ru_maxrss) is its own. Not a test: it prints
// figures.
//
//   build/bench_scale [repeats]      (default 3; the best run of each case is reported)
//   build/bench_scale --case ATOMS ENTRIES xd|mopro REPEATS   (that one case)
//   build/bench_scale --write ATOMS ENTRIES xd|mopro
//                                    (writes that case's input into the current directory)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <ctime>
#include <cmath>
#include <cstdarg>
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

struct TemplateAtom {
    const char* symbol;
    int ax1, ax2, atom0, atom1, atom2, tbl;
    double frac[3];
};

// Phenol (the XD fixture), cell 9.5020 8.1862 4.8000, beta 93.759.
const double TEMPLATE_CELL[4] = {9.5020, 8.1862, 4.8000, 93.759};
const TemplateAtom MOLECULE[] = {
    {"O", 3, 1, 3, 1, 2, 1, {0.731570, 0.456635, 0.239759}},  {"HO", 3, 1, 1, 2, 3, 3, {0.785912, 0.556450, 0.237590}},
    {"C", 3, 1, 1, 3, 12, 2, {0.592644, 0.496545, 0.249619}}, {"C", 1, 2, 3, 4, 6, 2, {0.548790, 0.658707, 0.254915}},
    {"H", 3, 1, 4, 5, 3, 3, {0.623711, 0.758263, 0.251367}},  {"C", 1, 2, 8, 6, 4, 2, {0.405442, 0.693791, 0.264999}},
    {"H", 3, 1, 6, 7, 8, 3, {0.370138, 0.819503, 0.269191}},  {"C", 3, 2, 10, 8, 6, 2, {0.307361, 0.567024, 0.269696}},
    {"H", 3, 1, 8, 9, 10, 3, {0.196187, 0.594435, 0.277518}}, {"C", 3, 2, 12, 10, 8, 2, {0.352454, 0.404902, 0.264317}},
    {"H", 3, 1, 10, 11, 12, 3, {0.276492, 0.306420, 0.267950}}, {"C", 3, 2, 3, 12, 10, 2, {0.495622, 0.369587, 0.254242}},
    {"H", 3, 1, 12, 13, 3, 3, {0.531304, 0.244020, 0.250025}},
};
constexpr int PER_MOLECULE = 13;
constexpr double SPACING = 9.0;

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


struct GeneratedAtom {
    std::string label;
    int ax1, ax2, atom0, atom1, atom2, tbl;
    double frac[3];
};

// n atoms: copies of phenol on a cubic grid, the rest lone oxygen atoms far from them.
std::vector<GeneratedAtom> generateAtoms(int n, double& cellEdge) {
    const int copies = n / PER_MOLECULE;
    const int side = static_cast<int>(std::ceil(std::cbrt(static_cast<double>(copies))));
    cellEdge = SPACING * side + 20.0;
    const double beta = TEMPLATE_CELL[3] * 3.141592653589793 / 180.0;
    std::vector<GeneratedAtom> atoms;
    for (int m = 0; m < copies; ++m) {
        const double offset[3] = {SPACING * (m % side), SPACING * ((m / side) % side), SPACING * (m / side / side)};
        for (const TemplateAtom& t : MOLECULE) {
            const double cart[3] = {TEMPLATE_CELL[0] * t.frac[0] + TEMPLATE_CELL[2] * std::cos(beta) * t.frac[2],
                                    TEMPLATE_CELL[1] * t.frac[1], TEMPLATE_CELL[2] * std::sin(beta) * t.frac[2]};
            GeneratedAtom a{t.symbol + std::to_string(atoms.size() + 1), t.ax1, t.ax2,
                            t.atom0 + m * PER_MOLECULE, t.atom1 + m * PER_MOLECULE, t.atom2 + m * PER_MOLECULE, t.tbl,
                            {0, 0, 0}};
            for (int c = 0; c < 3; ++c) a.frac[c] = (cart[c] + offset[c] + 1.0) / cellEdge;
            atoms.push_back(a);
        }
    }
    while (static_cast<int>(atoms.size()) < n) {
        const int k = static_cast<int>(atoms.size()) + 1;
        atoms.push_back({"OW" + std::to_string(k), 3, 1, k, k, k, 1, {0.995, 0.995 - 0.0005 * (k % 100), 0.995}});
    }
    return atoms;
}

const char* const SCAT =
    "SCAT CORE SPHV DEFV   1S  2S  3S  4S  2P  3P  4P  3D  4D  4F  5S  5P  6S  6P  5D  7S  6D  5F  DELF'  "
    "DELF'' NSCTL\n"
    "O    CHFW CHFW CSZD    2  -2   0   0  -4   0   0   0   0   0   0   0   0   0   0   0   0   0   0.0106   "
    "0.0060   0.5803\n"
    "C    CHFW CHFW CSZD    2  -2   0   0  -2   0   0   0   0   0   0   0   0   0   0   0   0   0   0.0033   "
    "0.0016   0.6646\n"
    "H    CHFW CHFW CSZD   -1   0   0   0   0   0   0   0   0   0   0   0   0   0   0   0   0   0   0.0000   "
    "0.0000  -0.3739\n"
    "END SCAT\n";

void writeMaster(const std::vector<GeneratedAtom>& atoms, double cell) {
    std::string mas = "!<<< X D MASTER FILE >>>\nTITLE bench\n";
    mas += format("CELL   %9.4f %9.4f %9.4f   90.000   90.000   90.000\n", cell, cell, cell);
    mas += "WAVE    0.71073\nLATT   A P\nMODULE *XDLSM\nSELECT  *model 4 2 1 0 based_on F test verbose 1\n";
    mas += SCAT;
    mas += "ATOM     ATOM0    AX1 ATOM1    ATOM2   AX2 R/L TP TBL KAP LMX SITESYM  CHEMCON\n";
    for (const GeneratedAtom& a : atoms)
        mas += format("%-8s %-8s  Z  %-8s %-8s X   R   2  %d   %d   4  NO\n", a.label.c_str(),
                      atoms[static_cast<std::size_t>(a.atom0 - 1)].label.c_str(), a.label.c_str(),
                      atoms[static_cast<std::size_t>(a.atom2 - 1)].label.c_str(), a.tbl, a.tbl);
    mas += "END ATOM\nKEY     XYZ --U2-- ----U3---- ------U4------- M- -D- --Q-- ---O--- ----H----\n";
    for (const GeneratedAtom& a : atoms)
        mas += format("%-8s111 111111 0000000000 000000000000000 10 111 11111 1111111 111111111\n", a.label.c_str());
    mas += "KAPPA   000000\nKAPPA   000000\nKAPPA   000000\nEXTCN   1111111 0 00\nOVTHP   0\n"
           "SCALE  1\nEND KEY\nEND XDLSM\n";
    writeFile("xd.mas", mas);
}

void writeXd(const std::vector<GeneratedAtom>& atoms, double cell) {
    writeFile("qdltool.ini",
              "DABA_PATH=DABA.txt\nachieve_neutrality[0-3]=0\nqdlexp=1\nIons=1\nUseNewRingNomenclature=1\n"
              "Hydrogen-Constrain[Uiso|riding|both|none]=none\nInputtype[XD|MOPRO]=XD\n");
    writeMaster(atoms, cell);
    std::string res = "XDPARFILE VERSION  2\nbench   MODEL  4  2  1  0\n"
                      "LIMITS nat  2000 ntx  31 lmx  4 nzz  30 nto  0 nsc  20 ntb  20 nov   2500\n";
    res += format("USAGE  %5d     2     4     3     0     1     4     0     1     0     1     0     0     0\n",
                  static_cast<int>(atoms.size()));
    res += "  0.021156  0.029167  0.020430  0.017358  1.073533  0.000000  0.000000 3.219E-04\n"
           " -2.000000  0.000000  0.000000  0.000000  0.000000  0.333333\n";
    for (const GeneratedAtom& a : atoms) {
        res += format("%-8s%3d%2d %5d %5d %5d%2d%3d%3d%2d%3d%4d %9.6f %9.6f %9.6f %6.4f\n", a.label.c_str(), a.ax1, a.ax2,
                      a.atom0, a.atom1, a.atom2, 2, a.tbl, a.tbl, 4, 0, 0, a.frac[0], a.frac[1], a.frac[2], 1.0);
        res += "  0.020000  0.020000  0.020000  0.000000  0.000000  0.000000\n";
        res += "  4.000000  0.000000  0.010000  0.010000  0.010000  0.010000  0.010000  0.010000  0.010000  0.010000\n"
               "  0.010000  0.010000  0.010000  0.010000  0.010000  0.010000  0.010000  0.010000  0.010000  0.010000\n"
               "  0.010000  0.010000  0.010000  0.010000  0.010000  0.010000\n";
    }
    res += "  1  0.988222  0.843443  0.843443  0.843443  0.843443  0.843443\n"
           "  2  0.990097  0.945889  0.945889  0.945889  0.945889  0.945889\n"
           "  3  1.200000  1.200000  1.200000  1.200000  1.200000  1.200000\n"
           " 0.0000E+00 0.0000E+00 0.0000E+00  0.0000E+00  0.0000E+00  0.0000E+00 0.0000E+00\n 0.0000E+00\n"
           " 8.892739E-01\n";
    writeFile("xd.res", res);
}

// The same structure as a MoPro parameter file (plus the master file the writer builds on).
void writeMoPro(const std::vector<GeneratedAtom>& atoms, double cell) {
    writeFile("qdltool.ini",
              "DABA_PATH=DABA.txt\nachieve_neutrality[0-3]=0\nqdlexp=1\nIons=1\nUseNewRingNomenclature=1\n"
              "Hydrogen-Constrain[Uiso|riding|both|none]=none\nInputtype[XD|MOPRO]=MOPRO\n"
              "Inputfile(empty for XD)=bench.01\nPath_to_mopro.tab=\n");
    writeMaster(atoms, cell);
    std::string p = "! generated for the benchmark\n";
    p += format("CELL %10.4f %10.4f %10.4f  90.000  90.000  90.000\n", cell, cell, cell);
    p += "SYMM 1 P1 ACENTRO\n  X, Y, Z\nSCALE 1  0.92725\nEXTIN 0  0.0000\nKAPPA 3\n"
         "  0.9882  0.9210\n  1.0089  0.8744\n  1.1600  1.1600\n";
    p += format("ATOMS %d\n", static_cast<int>(atoms.size()));
    for (std::size_t i = 0; i < atoms.size(); ++i) {
        const GeneratedAtom& a = atoms[i];
        const bool h = a.tbl == 3;
        const char* element = a.tbl == 1 ? "O" : h ? "H" : "C";
        const int z = a.tbl == 1 ? 8 : h ? 1 : 6;
        p += format("ATOM %5d %-6s PHE %5d %10.6f %10.6f %10.6f  1.0000 %3d %s\n", static_cast<int>(i + 1),
                    a.label.c_str(), static_cast<int>(i / PER_MOLECULE + 1), a.frac[0], a.frac[1], a.frac[2], z,
                    element);
        p += format("  ZX   %-8d %-8d %s  K%d  V1  M1  Q0\n", a.atom0, a.atom2, h ? "QUA" : "HEX", a.tbl);
        p += "UISO   0.02000\n";
        p += h ? "  0.9000   0.0000   0.0000   0.0000   0.1000   0.1000   0.0000   0.0000   0.0000   0.0000\n"
               : "  4.0000   0.0000   0.0100   0.0100   0.0100   0.0100   0.0100   0.0100   0.0100   0.0100\n"
                 "  0.0100   0.0100   0.0100   0.0100   0.0100   0.0100   0.0100\n"
                 "  0.0100   0.0100   0.0100   0.0100   0.0100   0.0100   0.0100   0.0100   0.0100\n";
    }
    p += "STOP\n";
    writeFile("bench.01", p);
    writeFile("mopro.tab", "CHEM O\n  1s 2 2s 2 2p 4\nCHEM C\n  1s 2 2s 2 2p 2\nCHEM H\n  1s 1\n");
}

void writeDatabase(int n, const std::vector<std::string>& names) {
    std::string text = "! generated database for the benchmark\n";
    for (int k = 0; k + static_cast<int>(names.size()) < n; ++k)
        text += entryText(format("C1c1c1h%d", k) + (k % 3 == 0 ? "[1c1h]" : "") + (k % 5 == 0 ? "-0.5" : ""), k);
    for (std::size_t k = 0; k < names.size(); ++k) text += entryText(names[k], n + static_cast<int>(k));
    text += "! end\n";
    writeFile("DABA.txt", text);
}

// Seconds a stage takes: wall-clock time, or with QDL_BENCH_CPU set in the environment the
// process's processor time (user and system), which other load on the machine barely moves.
double seconds(const std::function<void()>& stage) {
    static const bool cpu = std::getenv("QDL_BENCH_CPU") != nullptr;
    if (cpu) {
        timespec a{}, b{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &a);
        stage();
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &b);
        return static_cast<double>(b.tv_sec - a.tv_sec) + 1e-9 * static_cast<double>(b.tv_nsec - a.tv_nsec);
    }
    const auto start = std::chrono::steady_clock::now();
    stage();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Figures {
    double read = 0, perceive = 0, database = 0, write = 0, report = 0;
    long maxrssKb = 0;
    double total() const { return read + perceive + database + write + report; }
};

// One whole run in a child process: the stage times come back through a pipe, the peak
// memory from wait4.
Figures runOnce() {
    int fd[2];
    if (pipe(fd) != 0) std::exit(1);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fd[0]);
        Figures t;
        std::unique_ptr<Quandrel> q;
        t.read = seconds([&] { q.reset(new Quandrel()); });
        t.perceive = seconds([&] { q->findOutNames(); });
        t.database = seconds([&] { q->findInDataBase(); });
        t.write = seconds([&] { q->setupNewInpAndMasFile(); });
        t.report = seconds([&] { writeRunReport(*q); });
        if (write(fd[1], &t, sizeof t) != static_cast<ssize_t>(sizeof t)) _exit(1);
        _exit(0);
    }
    close(fd[1]);
    Figures t;
    const bool got = read(fd[0], &t, sizeof t) == static_cast<ssize_t>(sizeof t);
    close(fd[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(report, "run failed\n");
        std::exit(1);
    }
    t.maxrssKb = usage.ru_maxrss;
    return t;
}

std::vector<std::string> perceivedNames() {
    std::vector<std::string> names;
    const pid_t pid = fork();
    if (pid == 0) {
        std::unique_ptr<Quandrel> q(new Quandrel());
        q->findOutNames();
        std::set<std::string> distinct;
        for (int i = 0; i < q->nAtoms; ++i) distinct.insert(q->quandrelName[i]);
        std::string all;
        for (const std::string& n : distinct) all += n + "\n";
        writeFile("names.txt", all);
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    FILE* f = std::fopen("names.txt", "r");
    char line[400];
    while (f != nullptr && std::fgets(line, sizeof line, f) != nullptr) {
        std::string s = line;
        if (!s.empty() && s.back() == '\n') s.pop_back();
        names.push_back(s);
    }
    if (f != nullptr) std::fclose(f);
    return names;
}

}  // namespace

// Writes one case's input files into the current directory, to run the program on by hand
// (under a profiler, say).
int writeCase(int atomsWanted, int entries, bool mopro) {
    double cell = 0;
    const std::vector<GeneratedAtom> atoms = generateAtoms(atomsWanted, cell);
    if (mopro) writeMoPro(atoms, cell); else writeXd(atoms, cell);
    writeDatabase(entries, perceivedNames());
    return 0;
}

// Runs one case `repeats` times and prints its row: the best whole run with its stages.
void runCase(int atomsWanted, int entries, bool mopro, int repeats) {
    double cell = 0;
    const std::vector<GeneratedAtom> atoms = generateAtoms(atomsWanted, cell);
    if (mopro) writeMoPro(atoms, cell); else writeXd(atoms, cell);
    writeDatabase(entries, perceivedNames());
    Figures best;
    for (int r = 0; r < repeats; ++r) {
        const Figures t = runOnce();
        if (r == 0 || t.total() < best.total()) best = t;
    }
    const std::pair<double, const char*> stages[] = {{best.read, "read"},
                                                     {best.perceive, "perceive"},
                                                     {best.database, "database"},
                                                     {best.write, "write"},
                                                     {best.report, "report"}};
    const auto slowest = *std::max_element(std::begin(stages), std::end(stages));
    std::fprintf(report, "| %d | %d | %s | %.3f | %.3f | %.3f | %.3f | %.3f | %.3f | %s | %.0f |\n", atomsWanted,
                 entries, mopro ? "MoPro" : "XD", best.total(), best.read, best.perceive, best.database, best.write,
                 best.report, slowest.second, best.maxrssKb / 1024.0);
    std::fflush(report);
}

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--write")
        return writeCase(std::atoi(argv[2]), std::atoi(argv[3]), std::string(argv[4]) == "mopro");
    const bool one = argc == 6 && std::string(argv[1]) == "--case";
    const int repeats = one ? std::max(1, std::atoi(argv[5])) : argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    char dir[] = "/tmp/qdl-bench-XXXXXX";
    if (mkdtemp(dir) == nullptr || chdir(dir) != 0) {
        std::perror("bench directory");
        return 1;
    }
    report = fdopen(dup(1), "w");
    if (std::freopen("/dev/null", "w", stdout) == nullptr || std::freopen("/dev/null", "w", stderr) == nullptr) return 1;
    if (std::freopen("/dev/null", "r", stdin) == nullptr) return 1;

    std::fprintf(report, "| atoms | entries | input | whole run (s) | read | perceive | database | write | report | slowest stage | peak memory (MB) |\n");
    std::fprintf(report, "|---|---|---|---|---|---|---|---|---|---|---|\n");
    if (one) {
        runCase(std::atoi(argv[2]), std::atoi(argv[3]), std::string(argv[4]) == "mopro", repeats);
    } else {
        for (int atomsWanted : {3200, 12800, 51200})
            for (int entries : {20000, 100000})
                for (int mopro = 0; mopro < 2; ++mopro) runCase(atomsWanted, entries, mopro != 0, repeats);
    }
    std::fclose(report);
    std::string cleanup = std::string("rm -rf ") + dir;
    return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
