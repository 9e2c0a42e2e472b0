// Benchmark of whole runs beyond the old capacities: translated copies of phenol (one
// aromatic ring each, so ring perception is exercised) in a large cubic cell, 3,200, 12,800
// and 51,200 atoms, against generated databases of 20,000 and 100,000 entries, read from XD
// files, from a MoPro file and from a P1 CIF (without xd.mas, so the master-file template
// and the default frames are built). Each run is a child process, so that its peak memory
// (ru_maxrss) is its own. Not a test: it prints figures.
//
//   build/bench_scale [repeats]      (default 3; the best run of each case is reported)
//   build/bench_scale --case ATOMS ENTRIES xd|mopro|cif REPEATS   (that one case)
//   build/bench_scale --write ATOMS ENTRIES xd|mopro|cif
//                                    (writes that case's input into the current directory)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
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
            const double cart[3] = {TEMPLATE_CELL[0] * t.frac[0] + TEMPLATE_CELL[2] * std::cos(beta) * t.frac[2] +
                                        offset[0] + 1.0,
                                    TEMPLATE_CELL[1] * t.frac[1] + offset[1] + 1.0,
                                    TEMPLATE_CELL[2] * std::sin(beta) * t.frac[2] + offset[2] + 1.0};
            atoms.push_back(copyOf(t, t.name + std::to_string(atoms.size() + 1), m * PER_MOLECULE, cart, cellEdge));
        }
    }
    // the lone atoms 3 A apart in a row: unbonded, and not one atom given twice (a CIF reader
    // refuses atoms of one part closer than 0.1 A)
    const double step = 3.0 / cellEdge;
    while (static_cast<int>(atoms.size()) < n) {
        const int k = static_cast<int>(atoms.size()) + 1;
        atoms.push_back({"OW" + std::to_string(k), 3, 1, k, k, k, 1, {0.995, 0.995 - step * (k % 20), 0.995}});
    }
    return atoms;
}

void writeXd(const std::vector<GeneratedAtom>& atoms, double cell) {
    writeFile("qdltool.ini", settingsText("Inputtype[XD|MOPRO]=XD\n"));
    writeMaster(atoms, cell, {"O", "C", "H"}, 3);
    writeParameters(atoms,
                    "  1  0.988222  0.843443  0.843443  0.843443  0.843443  0.843443\n"
                    "  2  0.990097  0.945889  0.945889  0.945889  0.945889  0.945889\n"
                    "  3  1.200000  1.200000  1.200000  1.200000  1.200000  1.200000\n",
                    3);
}

// The same structure as a MoPro parameter file (plus the master file the writer builds on).
void writeMoPro(const std::vector<GeneratedAtom>& atoms, double cell) {
    writeFile("qdltool.ini", settingsText("Inputtype[XD|MOPRO]=MOPRO\nInputfile(empty for XD)=bench.01\n"
                                          "Path_to_mopro.tab=\n"));
    writeMaster(atoms, cell, {"O", "C", "H"}, 3);
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

// The same structure as a P1 CIF: labels, type symbols, fractional coordinates, U iso.
void writeCif(const std::vector<GeneratedAtom>& atoms, double cell) {
    writeFile("qdltool.ini", settingsText("Inputtype[XD|MOPRO]=CIF\nInputfile(empty for XD)=bench.cif\n"));
    std::remove("xd.mas");
    std::string c = "data_bench\n";
    c += format("_cell_length_a %.4f\n_cell_length_b %.4f\n_cell_length_c %.4f\n", cell, cell, cell);
    c += "_cell_angle_alpha 90\n_cell_angle_beta 90\n_cell_angle_gamma 90\n"
         "_diffrn_radiation_wavelength 0.71073\n_symmetry_space_group_name_H-M 'P 1'\n"
         "loop_\n_symmetry_equiv_pos_as_xyz\n'x, y, z'\n"
         "loop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_fract_x\n_atom_site_fract_y\n"
         "_atom_site_fract_z\n_atom_site_U_iso_or_equiv\n_atom_site_occupancy\n";
    for (const GeneratedAtom& a : atoms)
        c += format("%s %s %.7f %.7f %.7f 0.0200 1\n", a.label.c_str(),
                    a.tbl == 1 ? "O" : a.tbl == 3 ? "H" : "C", a.frac[0], a.frac[1], a.frac[2]);
    writeFile("bench.cif", c);
}

// Writes the input of one kind of case: "xd", "mopro" or "cif".
void writeInput(const std::vector<GeneratedAtom>& atoms, double cell, const std::string& kind) {
    if (kind == "mopro")
        writeMoPro(atoms, cell);
    else if (kind == "cif")
        writeCif(atoms, cell);
    else
        writeXd(atoms, cell);
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
        t.read = seconds([&] { q.reset(openRun().release()); });
        t.perceive = seconds([&] { q->findOutNames(); });
        t.database = seconds([&] { q->findInDataBase(); });
        t.write = seconds([&] { q->setupNewInpAndMasFile(); });
        t.report = seconds([&] { writeRunReport(q->records()); });
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
        std::unique_ptr<Quandrel> q(openRun().release());
        q->findOutNames();
        std::set<std::string> distinct;
        for (int i = 0; i < q->structure.nAtoms; ++i) distinct.insert(q->perception.quandrelName[i]);
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
int writeCase(int atomsWanted, int entries, const std::string& kind) {
    double cell = 0;
    const std::vector<GeneratedAtom> atoms = generateAtoms(atomsWanted, cell);
    writeInput(atoms, cell, kind);
    writeDatabase(entries, perceivedNames(), false);
    return 0;
}

// Runs one case `repeats` times and prints its row: the best whole run with its stages.
void runCase(int atomsWanted, int entries, const std::string& kind, int repeats) {
    double cell = 0;
    const std::vector<GeneratedAtom> atoms = generateAtoms(atomsWanted, cell);
    writeInput(atoms, cell, kind);
    writeDatabase(entries, perceivedNames(), false);
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
                 entries, kind == "mopro" ? "MoPro" : kind == "cif" ? "CIF" : "XD", best.total(), best.read,
                 best.perceive, best.database, best.write, best.report, slowest.second, best.maxrssKb / 1024.0);
    std::fflush(report);
}

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--write")
        return writeCase(std::atoi(argv[2]), std::atoi(argv[3]), argv[4]);
    const bool one = argc == 6 && std::string(argv[1]) == "--case";
    const int repeats = one ? std::max(1, std::atoi(argv[5])) : argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const std::string dir = enterScratch();
    if (dir.empty()) return 1;

    std::fprintf(report, "| atoms | entries | input | whole run (s) | read | perceive | database | write | report | slowest stage | peak memory (MB) |\n");
    std::fprintf(report, "|---|---|---|---|---|---|---|---|---|---|---|\n");
    if (one) {
        runCase(std::atoi(argv[2]), std::atoi(argv[3]), argv[4], repeats);
    } else {
        for (int atomsWanted : {3200, 12800, 51200})
            for (int entries : {20000, 100000})
                for (const char* kind : {"xd", "mopro", "cif"}) runCase(atomsWanted, entries, kind, repeats);
    }
    return leaveScratch(dir);
}
