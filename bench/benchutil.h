// Shared parts of the benchmark programs: a scratch working directory with the stages'
// chatter sent away from the figures, generated structures written as XD input, generated
// databases, and a stopwatch.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace bench {

// Where the figures go: the original standard output (the stages talk a lot on the
// standard streams, which enterScratch sends to /dev/null).
inline FILE* report = stdout;

// Makes a fresh directory under /tmp the working directory, keeps the original standard
// output as report and sends the standard streams to /dev/null. Returns the directory, or
// an empty text when that fails.
inline std::string enterScratch() {
    char dir[] = "/tmp/qdl-bench-XXXXXX";
    if (mkdtemp(dir) == nullptr || chdir(dir) != 0) {
        std::perror("bench directory");
        return "";
    }
    report = fdopen(dup(1), "w");
    if (std::freopen("/dev/null", "w", stdout) == nullptr || std::freopen("/dev/null", "w", stderr) == nullptr ||
        std::freopen("/dev/null", "r", stdin) == nullptr)
        return "";
    return dir;
}

// Closes the report and removes the directory; the exit code of the program.
inline int leaveScratch(const std::string& dir) {
    std::fclose(report);
    const std::string cleanup = "rm -rf " + dir;
    return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}

inline void writeFile(const char* name, const std::string& text) {
    FILE* f = std::fopen(name, "w");
    if (f == nullptr) {
        std::perror(name);
        std::exit(1);
    }
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

inline std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
inline std::string format(const char* fmt, ...) {
    char buffer[512];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(buffer, sizeof buffer, fmt, args);
    va_end(args);
    return buffer;
}

// Seconds a stage takes: wall-clock time, or with QDL_BENCH_CPU set in the environment the
// process's processor time (user and system), which other load on the machine barely moves.
inline double seconds(const std::function<void()>& stage) {
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

// ---- generated structures ----

// One atom of a template molecule: label (or element symbol), frame (axes and atom
// numbers within the molecule, 1-based), table entry and fractional coordinates.
struct TemplateAtom {
    const char* name;
    int ax1, ax2, atom0, atom1, atom2, tbl;
    double frac[3];
};

// One atom of a generated structure; atom numbers count through the whole structure.
struct GeneratedAtom {
    std::string label;
    int ax1, ax2, atom0, atom1, atom2, tbl;
    double frac[3];
};

// A copy of a template atom: the atom numbers shifted by the atoms before the copy, the
// Cartesian position cart placed in a cubic cell of edge cell.
inline GeneratedAtom copyOf(const TemplateAtom& t, const std::string& label, int shift, const double (&cart)[3],
                            double cell) {
    GeneratedAtom a{label, t.ax1, t.ax2, t.atom0 + shift, t.atom1 + shift, t.atom2 + shift, t.tbl, {0, 0, 0}};
    for (int c = 0; c < 3; ++c) a.frac[c] = cart[c] / cell;
    return a;
}

// The settings of a run against DABA.txt; inputLines select the input.
inline std::string settingsText(const std::string& inputLines) {
    return "DABA_PATH=DABA.txt\nachieve_neutrality[0-3]=0\nqdlexp=1\nIons=1\nUseNewRingNomenclature=1\n"
           "Hydrogen-Constrain[Uiso|riding|both|none]=none\n" +
           inputLines;
}

// The scattering-table line of an element of the generated structures (C, H, N or O).
inline std::string scatLine(const std::string& symbol) {
    const char* valence = symbol == "C" ? "  2  -2   0   0  -2" : symbol == "N" ? "  2  -2   0   0  -3"
                          : symbol == "O"                       ? "  2  -2   0   0  -4"
                                                                : " -1   0   0   0   0";
    const char* tail = symbol == "C" ? "0.0033   0.0016   0.6646" : symbol == "N" ? "0.0061   0.0033   0.9360"
                       : symbol == "O"                         ? "0.0106   0.0060   0.5803"
                                                               : "0.0000   0.0000  -0.3739";
    return format("%-4s CHFW CHFW CSZD  %s   0   0   0   0   0   0   0   0   0   0   0   0   0   %s\n",
                  symbol.c_str(), valence, tail);
}

// xd.mas of a structure in a cubic cell: the scattering table of the elements in table
// order, one KAPPA line per kappa set, extraCards before END XDLSM.
inline void writeMaster(const std::vector<GeneratedAtom>& atoms, double cell, const std::vector<std::string>& elements,
                        int kappaSets, const std::string& extraCards = "") {
    std::string mas = "!<<< X D MASTER FILE >>>\nTITLE bench\n";
    mas += format("CELL   %9.4f %9.4f %9.4f   90.000   90.000   90.000\n", cell, cell, cell);
    mas += "WAVE    0.71073\nLATT   A P\nMODULE *XDLSM\nSELECT  *model 4 2 1 0 based_on F test verbose 1\n";
    mas += "SCAT CORE SPHV DEFV   1S  2S  3S  4S  2P  3P  4P  3D  4D  4F  5S  5P  6S  6P  5D  7S  6D  5F  DELF'  "
           "DELF'' NSCTL\n";
    for (const std::string& e : elements) mas += scatLine(e);
    mas += "END SCAT\n";
    mas += "ATOM     ATOM0    AX1 ATOM1    ATOM2   AX2 R/L TP TBL KAP LMX SITESYM  CHEMCON\n";
    for (const GeneratedAtom& a : atoms)
        mas += format("%-8s %-8s  Z  %-8s %-8s X   R   2  %d   %d   4  NO\n", a.label.c_str(),
                      atoms[static_cast<std::size_t>(a.atom0 - 1)].label.c_str(), a.label.c_str(),
                      atoms[static_cast<std::size_t>(a.atom2 - 1)].label.c_str(), a.tbl, a.tbl);
    mas += "END ATOM\nKEY     XYZ --U2-- ----U3---- ------U4------- M- -D- --Q-- ---O--- ----H----\n";
    for (const GeneratedAtom& a : atoms)
        mas += format("%-8s111 111111 0000000000 000000000000000 10 111 11111 1111111 111111111\n", a.label.c_str());
    for (int k = 0; k < kappaSets; ++k) mas += "KAPPA   000000\n";
    mas += "EXTCN   1111111 0 00\nOVTHP   0\nSCALE  1\nEND KEY\n" + extraCards + "END XDLSM\n";
    writeFile("xd.mas", mas);
}

// xd.res of the structure: every atom with U 0.02 and the same multipoles, then the kappa
// sets (one line each: number and six values).
inline void writeParameters(const std::vector<GeneratedAtom>& atoms, const std::string& kappaLines, int kappaSets) {
    std::string res = "XDPARFILE VERSION  2\nbench   MODEL  4  2  1  0\n"
                      "LIMITS nat  2000 ntx  31 lmx  4 nzz  30 nto  0 nsc  20 ntb  20 nov   2500\n";
    res += format("USAGE  %5d     2     4 %5d     0     1     4     0     1     0     1     0     0     0\n",
                  static_cast<int>(atoms.size()), kappaSets);
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
    res += kappaLines;
    res += " 0.0000E+00 0.0000E+00 0.0000E+00  0.0000E+00  0.0000E+00  0.0000E+00 0.0000E+00\n 0.0000E+00\n"
           " 8.892739E-01\n";
    writeFile("xd.res", res);
}

// ---- generated databases ----

// Element symbols of a name: its head and its first neighbour ("C1n1c" gives C and N).
inline std::pair<std::string, std::string> elementsOf(const std::string& name) {
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

// Entry number k of a generated database, for the name.
inline std::string entryText(const std::string& name, int k) {
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

// DABA.txt of n entries holding the given names, the rest filler names that no atom has.
// spread: the names stand evenly through the file; otherwise all at its end.
inline void writeDatabase(int n, const std::vector<std::string>& names, bool spread) {
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

}  // namespace bench
