// Reader of MoPro parameter files and of the MoPro table "mopro.tab".
//
// The parameter file is keyword driven: a line's first word selects a section (CELL,
// SYMM, KAPPA, DUMMY, ATOMS, ANHAR, ...), and "STOP" ends it. Lines beginning with "!"
// are comments wherever a line is read. Each kind of atom (scattering word, the last
// word of an ATOM line) gets its electron configuration from a "CHEM" block of the table.
#include "../core/stage.h"
#include "mopro.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "../chem/elements.h"
#include "../geometry/cell.h"
#include "input.h"
#include "../core/failure.h"
#include "../core/populations.h"
#include "../core/text.h"
#include "../geometry/geometry.h"
#include "../symmetry/spacegroup.h"
#include "xdlines.h"

namespace {

constexpr std::size_t MOPRO_LINE_MAX = 223;  // longest line of a parameter file or table
constexpr std::size_t TYPED_NAME_MAX = 199;  // longest file name typed at a prompt
constexpr int WORD = 224;                    // one word of a line (with "%223s")

// Keywords of the parameter file, in the order they are tried.
enum class Key { Atom, Cell, Zerr, Symm, Scale, Uover, Solvt, Fmult, Extin, Kappa, Dummy, Atoms, Wsig, Anhar, Stop, Other };
struct KeywordRow {
    const char* word;
    Key key;
};
const KeywordRow KEYWORDS[] = {
    {"ATOM", Key::Atom},   {"CELL", Key::Cell},   {"ZERR", Key::Zerr},   {"SYMM", Key::Symm},
    {"SCALE", Key::Scale}, {"UOVER", Key::Uover}, {"SOLVT", Key::Solvt}, {"FMULT", Key::Fmult},
    {"EXTIN", Key::Extin}, {"KAPPA", Key::Kappa}, {"DUMMY", Key::Dummy}, {"ATOMS", Key::Atoms},
    {"WSIG", Key::Wsig},   {"ANHAR", Key::Anhar}, {"STOP", Key::Stop},
};

// Axis types of the axis line. Only "XY" sets the axes here; the database stage sets the
// local axes of the others.
const char* const AXIS_TYPES[] = {
    "XY",  "ZX",  "bXY", "bZX", "mXY", "mZX", "3ZX", "3bZ", "3Zb", "XZ",
    "YX",  "YZ",  "ZY",  "bXZ", "bYX", "bYZ", "mYX", "mXZ", "mYZ", "mZY",
};

// Multipole word of the axis line and the level it stands for.
struct LevelRow {
    const char* word;
    int level;
};
const LevelRow MULTIPOLE_LEVELS[] = {
    {"COR", -1}, {"MON", 0}, {"DIP", 1}, {"QUA", 2}, {"OCT", 3}, {"HEX", 4},
};

// Orbitals of the table's WAVE lines; the position is the index into the occupations of
// a scattering entry.
const char* const ORBITALS[] = {
    "1s", "2s", "3s", "4s", "2p", "3p", "4p", "3d", "4d",
    "4f", "5s", "5p", "6s", "6p", "5d", "7s", "6d", "5f",
};
static_assert(sizeof ORBITALS / sizeof ORBITALS[0] == sizeof(ScatEntry{}.occupations) / sizeof(int),
              "one orbital per occupation");

// Lines of a MoPro file: comment lines are skipped; every other line must fit the
// 223-character line of the format.
class MoProLines {
public:
    MoProLines(FILE* file, const char* name) : reader_(file), name_(name) {}

    const char* name() const { return name_; }

    bool next(std::string& line) {
        while (reader_.next(line)) {
            if (!line.empty() && line[0] == '!') continue;
            if (line.size() > MOPRO_LINE_MAX)
                fatal("A line of %s is longer than %zu characters: \"%.40s...\"", name_, MOPRO_LINE_MAX,
                      line.c_str());
            return true;
        }
        return false;
    }

    // The next line, which the file must hold; the printf-formatted whatFmt names it for
    // the message (formatted only then). The line stays until the next call.
    const std::string& need(const char* whatFmt, ...) __attribute__((format(printf, 2, 3))) {
        if (next(line_)) return line_;
        va_list args;
        va_start(args, whatFmt);
        const std::string what = vformat(whatFmt, args);
        va_end(args);
        fatal("%s ends before %s.", name_, what.c_str());
    }

private:
    LineReader reader_;
    std::string line_;
    const char* name_;
};

[[noreturn]] void readError(const char* file) {
    // reference output: "ERRROR" with three Rs, as in the master-file reader
    stopWithSystemError("READ ERRROR in %s", file);
}

[[noreturn]] void readError(const char* file, int fields, const std::string& line) {
    stopWithSystemError("READ ERRROR in %s %d %s", file, fields < 0 ? 0 : fields, line.c_str());
}

template <std::size_t N>
void copyWord(char (&dst)[N], const char* src, const char* what, int atomNo, const char* file) {
    copyOrStop(dst, N, src, "%s '%s' of atom %d in %s is longer than %zu characters.", what, src, atomNo, file, N - 1);
}

// A file name typed at a prompt: one line of standard input, trailing white space removed.
void readTypedName(char* dst, std::size_t cap) {
    std::string typed;
    int c;
    while ((c = getchar()) != EOF && c != '\n') typed.push_back(static_cast<char>(c));
    if (typed.size() > TYPED_NAME_MAX) fatal("The name typed is longer than %zu characters.", TYPED_NAME_MAX);
    rtrim(typed);
    copyText(dst, cap, typed.c_str());
}

Key keywordOf(const char* word) {
    for (const KeywordRow& row : KEYWORDS)
        if (std::strcmp(word, row.word) == 0) return row.key;
    return Key::Other;
}

// ---- sections of the parameter file ----

void readCell(Structure& s, const MoProLines& in, const std::string& line) {
    double c[6];
    if (sscanf(line.c_str(), "CELL %lf %lf %lf %lf %lf %lf\n", &c[0], &c[1], &c[2], &c[3], &c[4], &c[5]) < 6)
        readError(in.name());
    requireNumbers(c, 6, in.name(), "the CELL line");
    if (!validCell(c))
        fatal("%s: the CELL line gives no cell (edges must be positive, angles between 0 and 180 degrees and "
              "spanning a volume): \"%s\"",
              in.name(), line.c_str());
    std::memcpy(s.cell, c, sizeof c);
}

// The symmetry record: "SYMM count group centring", then count operator lines. The
// group symbol's first letter is the lattice letter; a centring word beginning with
// "CENTRO" (any case) makes the lattice centric.
void readSymmetry(Structure& s, MoProLines& in, const std::string& line) {
    int count = 0;
    char lattice[WORD] = "";
    char centring[WORD] = "noncentro";
    if (sscanf(line.c_str(), "SYMM %d %223s %223s", &count, lattice, centring) < 2) readError(in.name());
    CrystalSymmetry symmetry;
    symmetry.known = true;
    std::string word = centring;
    for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    symmetry.centric = word.compare(0, 6, "CENTRO") == 0 ? 'C' : 'A';
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(lattice[0])));
    if (std::string("PABCIFR").find(letter) == std::string::npos)
        fatal("%s: the line \"%s\" names no lattice (the group symbol must begin with P, A, B, C, I, F or R).",
              in.name(), line.c_str());
    symmetry.lattice = letter;
    std::vector<std::string> texts;
    for (int k = 0; k < count; ++k) texts.push_back(in.need("the %d symmetry lines announced by SYMM", count));
    for (std::string& text : texts) {
        std::string why;
        if (!operatorOfLine(text, text, why))
            fatal("%s: the symmetry line \"%s\" holds no operator (%s).", in.name(), text.c_str(), why.c_str());
        symmetry.symm.push_back(text);
    }
    s.symmetry = symmetry;
}

void readKappaSets(Structure& s, MoProLines& in, const std::string& line) {
    int count = 0;
    if (sscanf(line.c_str(), "KAPPA %d", &count) < 1) readError(in.name());
    if (count < 0 || count > MAX_KAPPA)
        fatal("KAPPA %d in %s: at most %d kappa sets are possible.", count, in.name(), MAX_KAPPA);
    s.nKappa = count;
    for (int k = 0; k < count; ++k) {
        const std::string& set = in.need("kappa set %d of the %d announced by KAPPA", k + 1, count);
        double values[2];
        int n = scanDoubles(set.c_str(), values, 2);
        if (n < 2) readError(in.name(), n, set);
        requireNumbersf(values, 2, in.name(), "kappa set %d", k + 1);
        s.kappaSet[0][k] = values[0];
        s.kappaSet[1][k] = values[1];
        for (int v = 2; v < 6; ++v) s.kappaSet[v][k] = 1.0;
    }
}

// Dummy atoms are held apart until the atoms are read, then put behind them.
void readDummies(Structure& s, MoProLines& in, const std::string& line, std::vector<AtomRecord>& dummies) {
    int count = 0;
    if (sscanf(line.c_str(), "DUMMY %d", &count) < 1) readError(in.name());
    if (count < 0 || count > MAX_ATOMS)
        fatal("DUMMY %d in %s: at most %d dummy atoms are possible.", count, in.name(), MAX_ATOMS);
    s.nDummy = count;
    {
        MemoryNote note("Memory problem dummyatoms!  ");
        dummies.assign(count, AtomRecord());
    }
    for (int j = 0; j < count; ++j) {
        const std::string& text = in.need("dummy atom %d of the %d announced by DUMMY", j + 1, count);
        AtomRecord& d = dummies[j];
        char label[WORD] = "";
        int n = sscanf(text.c_str(), "DUMY %lf%lf%lf %223s", &d.frac[0], &d.frac[1], &d.frac[2], label);
        if (n < 3) readError(in.name(), n, text);
        requireNumbersf(d.frac, 3, in.name(), "dummy atom %d", j + 1);
        if (n == 3) std::snprintf(label, sizeof label, "DUM%d", j);
        copyOrStop(d.label, sizeof d.label, label, "Dummy label '%s' in %s is longer than %d characters.", label,
                   in.name(), LABEL_CAP - 1);
        cellGeometry(s.cell).toCartesian(d.frac, d.cart);
    }
}

// The index of a scattering word among those the file has used so far; a new word is
// added behind them.
std::size_t scatteringIndex(std::vector<std::string>& scatWords, const char* scat, const AtomRecord& a,
                            const char* file) {
    std::size_t t = 0;
    while (t < scatWords.size() && scatWords[t] != scat) ++t;
    if (t == scatWords.size()) {
        if (scatWords.size() == static_cast<std::size_t>(MAX_SCAT))
            fatal("%s uses more than %d scattering words ('%s' of atom %s is one too many).", file, MAX_SCAT, scat,
                  a.label);
        if (std::strlen(scat) >= sizeof(ScatEntry{}.symbol))
            fatal("Scattering word '%s' of atom %s in %s is longer than %zu characters.", scat, a.label, file,
                  sizeof(ScatEntry{}.symbol) - 1);
        scatWords.push_back(scat);
    }
    return t;
}

// The ATOM line read field by field as "ATOM %d %223s %223s %d %lf %lf %lf %lf %d %223s"
// reads it; false, and nothing stored, when it does not give all ten fields this way (the
// scan then reads the line, for its count of fields).
bool readAtomFields(const char* p, AtomRecord& a, char* label, char* group, char* scat) {
    if (std::strncmp(p, "ATOM", 4) != 0) return false;
    p += 4;
    int number = 0, groupNo = 0, unused = 0;
    double v[4];
    if (!scanInt(p, number) || !scanWord(p, label, WORD) || !scanWord(p, group, WORD) || !scanInt(p, groupNo))
        return false;
    for (double& value : v)
        if (!scanDouble(p, value)) return false;
    if (!scanInt(p, unused) || !scanWord(p, scat, WORD)) return false;
    a.atom1 = number;
    a.groupNo = groupNo;
    std::memcpy(a.frac, v, sizeof a.frac);
    a.occupancy = v[3];
    return true;
}

// ATOM number label group groupNo x y z occupancy (unused) scattering-word
void readAtomLine(Structure& s, MoProLines& in, int i, std::vector<std::string>& scatWords) {
    const char* file = in.name();
    AtomRecord& a = s.atom[i];
    const std::string& line = in.need("atom %d of the %d announced by ATOMS", i + 1, s.nAtoms);
    char label[WORD] = "", group[WORD] = "", scat[WORD] = "";
    if (!readAtomFields(line.c_str(), a, label, group, scat)) {
        int unused = 0;
        int n = sscanf(line.c_str(), "ATOM %d %223s %223s %d %lf %lf %lf %lf %d %223s", &a.atom1, label, group,
                       &a.groupNo, &a.frac[0], &a.frac[1], &a.frac[2], &a.occupancy, &unused, scat);
        if (n < 10) readError(file, n, line);
    }
    copyWord(a.label, label, "Label", i + 1, file);
    requireNumbersf(a.frac, 3, file, "atom %d (%s), coordinates", i + 1, a.label);
    requireNumbersf(&a.occupancy, 1, file, "atom %d (%s), occupancy", i + 1, a.label);
    copyWord(a.group, group, "Group", i + 1, file);
    a.tbl = static_cast<int>(scatteringIndex(scatWords, scat, a, file)) + 1;
}

// The axis type: known types only; "XY" sets the axes, a leading "-" is passed over.
void readAxisType(AtomRecord& a, const char* type, const char* file) {
    const char* axisType = type;
    if (axisType[0] == '-') {
        ++axisType;
        // reference output: the "test<>axisstr=" line of a negated axis type
        printf("test<>axisstr=<%s>\n", axisType);
    }
    bool known = false;
    for (const char* name : AXIS_TYPES) known = known || std::strcmp(axisType, name) == 0;
    if (!known) {
        fprintf(stderr,
                "Unknown axis type '%s' ! I know only:\n XY, bXY, bZX, mXY, mZX, 3ZX, 3bZ, 3Zb,\n"
                "\t\t\t\t\t\t\t    XZ, YX, YZ, ZY, bXZ, bYX, bYZ, mYX, mXZ, mYZ, mZY\nGoodbye!\n"
                "(the axis line of atom %s in %s)\n",
                axisType, a.label, file);
        stopWithoutBanner(1);
    }
    if (std::strcmp(axisType, "XY") == 0) {
        a.axisChars[0] = 'X';
        a.axisChars[1] = 'Y';
        a.axisChars[2] = 'Z';
        a.ax1 = 1;
        a.ax2 = 2;
    }
}

// axis-type axis-atom-1 axis-atom-2 multipole-word K<kappa set> and three unused words
void readAxisLine(AtomRecord& a, MoProLines& in, int i) {
    const char* file = in.name();
    const std::string& line = in.need("the axis line of atom %s", a.label);
    char type[WORD] = "", axis1[WORD] = "", axis2[WORD] = "", level[WORD] = "", w[3][WORD] = {};
    // read field by field as "%223s %223s %223s %223s K%d %223s %223s %223s" reads them; a
    // line not read in full so is left to the scan, for its count of fields
    const char* p = line.c_str();
    int kappa = 0;
    bool read = scanWord(p, type, WORD) && scanWord(p, axis1, WORD) && scanWord(p, axis2, WORD) &&
                scanWord(p, level, WORD);
    if (read) {
        while (std::isspace(static_cast<unsigned char>(*p))) ++p;
        read = *p++ == 'K' && scanInt(p, kappa) && scanWord(p, w[0], WORD) && scanWord(p, w[1], WORD) &&
               scanWord(p, w[2], WORD);
    }
    if (read) {
        a.kap = kappa;
    } else {
        int n = sscanf(line.c_str(), "%223s %223s %223s %223s K%d %223s %223s %223s", type, axis1, axis2, level,
                       &a.kap, w[0], w[1], w[2]);
        if (n < 8) readError(file, n, line);
    }
    copyWord(a.axisAtom1, axis1, "Axis atom", i + 1, file);
    copyWord(a.axisAtom2, axis2, "Axis atom", i + 1, file);
    readAxisType(a, type, file);

    bool levelKnown = false;
    for (const LevelRow& row : MULTIPOLE_LEVELS)
        if (std::strcmp(level, row.word) == 0) {
            a.lmx = row.level;
            levelKnown = true;
        }
    if (!levelKnown)
        fatal("Unknown multipole level '%s' of atom %s in %s (COR, MON, DIP, QUA, OCT or HEX).", level, a.label,
              file);
}

// UANI with six values or UISO with one
void readDisplacementLine(AtomRecord& a, MoProLines& in, int i) {
    const char* file = in.name();
    const std::string& line = in.need("the displacement line of atom %s", a.label);
    double u[6];
    // "UANI %lf %lf %lf %lf %lf %lf" and "UISO %lf": the word, then numbers as the scan reads them
    if (line.compare(0, 4, "UANI") == 0 && scanDoubles(line.c_str() + 4, u, 6) == 6) {
        std::memcpy(a.u, u, sizeof u);
        a.tp = 2;
    } else if (line.compare(0, 4, "UISO") == 0 && scanDoubles(line.c_str() + 4, u, 1) == 1) {
        a.u[0] = u[0];
        a.tp = 1;
    } else {
        readError(file, 0, line);
    }
    requireNumbersf(a.u, 6, file, "atom %d (%s), displacement parameters", i + 1, a.label);
}

// Multipole lines by level: 2, 5 or 10 values; then 7 (level 3 and 4) and 9 (level 4).
void readMultipoleLines(AtomRecord& a, MoProLines& in, int i) {
    const char* file = in.name();
    int filled = 0;
    auto multipoleLine = [&](int count) {
        const std::string& values = in.need("the multipole lines of atom %s", a.label);
        int got = scanDoubles(values.c_str(), a.multipole + filled, count);
        if (got < count) readError(file, got, values);
        requireNumbersf(a.multipole + filled, count, file, "atom %d (%s), populations", i + 1, a.label);
        filled += count;
    };
    if (a.lmx >= 0) multipoleLine(a.lmx == 0 ? 2 : a.lmx == 1 ? 5 : 10);
    if (a.lmx >= 3) multipoleLine(7);
    if (a.lmx >= 4) multipoleLine(9);
}

// Per-atom steps of the ATOMS section: the ATOM line, the axis line, the displacement line
// and the multipole lines of atom i; then its coordinates and populations are printed.
void readAtom(Structure& s, MoProLines& in, int i, std::vector<std::string>& scatWords, const CellGeometry& cell) {
    readAtomLine(s, in, i, scatWords);
    AtomRecord& a = s.atom[i];
    readAxisLine(a, in, i);
    readDisplacementLine(a, in, i);
    readMultipoleLines(a, in, i);

    cell.toCartesian(a.frac, a.cart);
    // reference output: every atom read is listed with its coordinates and 26 populations:
    // "%-10s %9f %9f %9f   %9f %9f %9f\n", then the populations as "%8.4f" ten to a row
    // (put together in one text; appendFixed gives printf's bytes)
    std::string listing;
    appendLeft(listing, a.label, 10);
    for (int k = 0; k < 6; ++k) {
        listing.append(k == 3 ? "   " : " ");
        appendFixed(listing, k < 3 ? a.frac[k] : a.cart[k - 3], 9, 6);
    }
    listing.push_back('\n');
    appendFixedPopulationRows(listing, a.multipole, N_POPULATIONS, 8, 4);
    fwrite(listing.data(), 1, listing.size(), stdout);
}

void readAtoms(Structure& s, MoProLines& in, const std::string& line, std::vector<std::string>& scatWords) {
    int count = 0;
    if (sscanf(line.c_str(), "ATOMS %d", &count) < 1) readError(in.name());
    if (count < 1 || count > MAX_ATOMS)
        fatal("ATOMS %d in %s: a structure holds 1 to %d atoms.", count, in.name(), MAX_ATOMS);
    s.nAtoms = count;
    // the atoms, the dummies of the file behind them, and room for those of the database stage
    {
        MemoryNote note("Memory problem xdinp!  ");
        s.makeRoomForAtoms(count, 0);
    }
    scatWords.clear();
    const CellGeometry cell(s.cell);
    for (int i = 0; i < count; ++i) readAtom(s, in, i, scatWords, cell);
}

void readAnharmonic(Structure& s, MoProLines& in, const std::string& line) {
    int count = 0, order = 0;
    if (sscanf(line.c_str(), "ANHAR %d %d", &count, &order) < 2) readError(in.name());
    if (order != 3 && order != 4)
        fatal("ANHAR in %s: the order %d is not 3 or 4.", in.name(), order);
    for (int r = 0; r < count; ++r) {
        std::string text = in.need("record %d of the %d announced by ANHAR", r + 1, count);
        int number = 0;
        if (sscanf(text.c_str(), "%d", &number) < 1) readError(in.name(), 0, text);
        if (number < 1 || number > s.nAtoms)
            fatal("ANHAR record %d of %s names atom %d; the atoms are numbered 1 to %d.", r + 1, in.name(), number,
                  s.nAtoms);
        AtomRecord& a = s.atom[number - 1];
        a.tp = order;
        text = in.need("record %d of the %d announced by ANHAR", r + 1, count);
        int got = scanDoubles(text.c_str(), a.c3, 8);
        if (got < 8) readError(in.name(), got, text);
        text = in.need("record %d of the %d announced by ANHAR", r + 1, count);
        got = scanDoubles(text.c_str(), a.c3 + 8, 2);
        if (got < 2) readError(in.name(), got, text);
        requireNumbersf(a.c3, 10, in.name(), "ANHAR record %d", r + 1);
    }
}

// ---- finishing ----

// 1-based number of the atom an axis word names, 0 when it names none: a word of digits
// is the number itself; "label" is the first atom of that label in the same group as
// atom i; "group_label" the first atom of that label in that group.
int axisAtomNumber(const Structure& s, int i, const char* word, const std::map<std::pair<int, std::string>, int>& firstOf) {
    if (istzahl(word)) {
        long number = std::strtol(word, nullptr, 10);
        if (number < 1 || number > s.nAtoms + s.nDummy)
            fatal("Axis atom '%s' of atom %s in %s is no atom number of the file (1 to %d).", word, s.atom[i].label,
                  s.source.c_str(), s.nAtoms + s.nDummy);
        return static_cast<int>(number);
    }
    int group = s.atom[i].groupNo;
    const char* label = word;
    if (const char* bar = std::strchr(word, '_')) {
        std::string prefix(word, bar);
        if (!istzahl(prefix.c_str())) return 0;
        group = std::atoi(prefix.c_str());
        label = bar + 1;
    }
    auto found = firstOf.find({group, label});
    return found == firstOf.end() ? 0 : found->second + 1;
}

// ---- the parameter file as a whole ----

// What the sections of the parameter file leave for the finishing steps.
struct ParameterFile {
    std::vector<std::string> scatWords;  // scattering words in the order of first use
    std::vector<AtomRecord> dummies;
    bool haveCell = false;
    bool haveAtoms = false;
};

// The parameter file the options name; without a name, the user is asked for one (and the
// options keep it for the report).
InputFile openParameterFile(Options& o) {
    if (o.inputFile[0] == '\0') {
        // reference output: the prompt names this example path
        printf("please type in the name of MoProParameter file (eg /home/pjorsten/ideen/alamet.01 ): ");
        fflush(stdout);
        readTypedName(o.inputFile, sizeof o.inputFile);
    }
    InputFile file = openInput(o.inputFile);
    if (!file) cannotOpen("'%s'", o.inputFile);
    return file;
}

// The sections up to "STOP" (or the first line that begins no section), each by its keyword.
void readSections(Structure& s, MoProLines& in, ParameterFile& p) {
    for (bool more = true; more;) {
        std::string line;
        if (!in.next(line)) fatal("%s ends without a STOP line.", in.name());
        char word[WORD] = "";
        sscanf(line.c_str(), "%223s", word);
        switch (keywordOf(word)) {
            case Key::Cell:
                readCell(s, in, line);
                p.haveCell = true;
                break;
            case Key::Zerr:
            case Key::Scale:
            case Key::Uover:
            case Key::Solvt:
            case Key::Fmult:
            case Key::Extin:
            case Key::Wsig:
                break;
            case Key::Symm:
                readSymmetry(s, in, line);
                break;
            case Key::Kappa:
                readKappaSets(s, in, line);
                break;
            case Key::Dummy:
                readDummies(s, in, line, p.dummies);
                break;
            case Key::Atoms:
                readAtoms(s, in, line, p.scatWords);
                p.haveAtoms = true;
                break;
            case Key::Anhar:
                readAnharmonic(s, in, line);
                break;
            case Key::Stop:
            case Key::Atom:
            case Key::Other:
                more = false;
                break;
        }
    }
}

void checkCounts(const Structure& s, const ParameterFile& p) {
    const char* inputFile = s.source.c_str();
    const int nAtoms = s.nAtoms, nDummy = s.nDummy;
    if (!p.haveCell) fatal("%s has no CELL line.", inputFile);
    if (!p.haveAtoms) fatal("%s has no ATOMS section.", inputFile);
    if (nDummy > nAtoms) fatal("%s has %d dummy atoms but only %d atoms.", inputFile, nDummy, nAtoms);
    if (nAtoms + nDummy > MAX_ATOMS)
        fatal("%s has %d atoms and %d dummy atoms: XD's parameter file numbers atoms and dummy atoms in five "
              "columns, so at most %d of them together can be handled.",
              inputFile, nAtoms, nDummy, MAX_ATOMS);
}

// The dummies go behind the atoms.
void placeDummies(Structure& s, const std::vector<AtomRecord>& dummies) {
    s.makeRoomForAtoms(s.nAtoms, s.nDummy);
    for (int j = 0; j < s.nDummy; ++j) {
        AtomRecord& d = s.atom[s.nAtoms + j];
        std::memcpy(d.label, dummies[j].label, sizeof d.label);
        std::memcpy(d.frac, dummies[j].frac, sizeof d.frac);
        cellGeometry(s.cell).toCartesian(d.frac, d.cart);
    }
}

// Per atom, once the whole file is read: the axis atoms' numbers, the kappa values and the
// Cartesian coordinates (the cell may follow the atoms).
void finishAtoms(Structure& s) {
    std::map<std::pair<int, std::string>, int> firstOf;  // (group, label) -> first atom
    for (int i = s.nAtoms - 1; i >= 0; --i) firstOf[{s.atom[i].groupNo, s.atom[i].label}] = i;
    const CellGeometry cell(s.cell);
    for (int i = 0; i < s.nAtoms; ++i) {
        AtomRecord& a = s.atom[i];
        if (std::strstr(a.axisAtom1, "SYM") != nullptr || std::strstr(a.axisAtom2, "SYM") != nullptr) {
            fprintf(stderr,
                    "Symmetry in axisdefinition is not supported yet!\n(the axis atoms %s and %s of atom %s in %s)\n",
                    a.axisAtom1, a.axisAtom2, a.label, s.source.c_str());
            stopWithoutBanner(32);
        }
        if (int n = axisAtomNumber(s, i, a.axisAtom1, firstOf)) a.atom0 = n;
        if (int n = axisAtomNumber(s, i, a.axisAtom2, firstOf)) a.atom2 = n;
        if (a.kap < 1 || a.kap > s.nKappa)
            fatal("Atom %s of %s uses kappa set K%d, but the file has %d kappa sets.", a.label, s.source.c_str(), a.kap,
                  s.nKappa);
        for (int v = 0; v < 6; ++v) a.kappa[v] = s.kappaSet[v][a.kap - 1];
        cell.toCartesian(a.frac, a.cart);
        requireNumbersf(a.cart, 3, s.source.c_str(), "atom %d (%s), Cartesian coordinates", i + 1, a.label);
    }
}

}  // namespace

int istzahl(const char* text) {
    if (*text == '\0') return 0;
    for (const char* p = text; *p != '\0'; ++p)
        if (*p < '0' || *p > '9') return 0;
    return 1;
}

void readMoProFiles(Structure& s, Options& o) {
    Stage stage("readMoProParam");
    InputFile file = openParameterFile(o);
    s.source = o.inputFile;
    MoProLines in(file.get(), o.inputFile);
    ParameterFile p;
    readSections(s, in, p);
    file.reset();

    checkCounts(s, p);
    placeDummies(s, p.dummies);
    finishAtoms(s);

    s.nScat = static_cast<int>(p.scatWords.size());
    for (int k = 0; k < s.nScat; ++k) {
        char word[sizeof(ScatEntry{}.symbol)];
        copyText(word, sizeof word, p.scatWords[k].c_str());
        readMoProTable(s, o, k, word);
    }
}

void readMoProTable(Structure& s, Options& o, int k, char* word) {
    if (k < 0 || k >= MAX_SCAT) fatal("Scattering entry %d is outside the table of %d entries.", k + 1, MAX_SCAT);
    ScatEntry& e = s.scatTable[k];
    e = ScatEntry();
    copyOrStop(e.symbol, sizeof e.symbol, word, "Scattering word '%s' of %s is longer than %zu characters.", word,
               o.inputFile, sizeof e.symbol - 1);
    e.number = k + 1;
    e.element = elementIndex(elementPartOf(word));
    if (e.element < 0) fatal("Scattering word '%s' of %s names no element.", word, o.inputFile);

    const char* tabName = "mopro.tab";
    InputFile tab = openInput(tabName);
    if (!tab && o.moproTabPath[0] != '\0') {
        tabName = o.moproTabPath;
        tab = openInput(tabName);
    }
    if (!tab) {
        // reference output: the prompt for the table also says "MoProParameter file"
        printf("please type in the name of MoProParameter file (eg /home/pjorsten/mops/LibMoPro/mopro.tab ): ");
        fflush(stdout);
        readTypedName(o.moproTabPath, sizeof o.moproTabPath);
        tabName = o.moproTabPath;
        tab = openInput(tabName);
        if (!tab) cannotOpen("'%s'", o.moproTabPath);
    }

    MoProLines in(tab.get(), tabName);
    std::string line;
    bool found = false;
    while (!found && in.next(line)) {
        std::size_t chem = line.find("CHEM ");
        char name[WORD] = "";
        found = chem != std::string::npos && sscanf(line.c_str() + chem + 5, "%223s", name) == 1 &&
                std::strcmp(name, word) == 0;
    }
    if (!found) fatal("The MoPro table %s has no entry \"CHEM %s\".", tabName, word);

    // Orbital pieces ("2s2", "3d10") of the CORE and VALE WAVE lines, up to the next entry.
    while (in.next(line) && line.find("CHEM") == std::string::npos) {
        bool valence = line.find("VALE") != std::string::npos;
        if (!(valence || line.find("CORE") != std::string::npos) || line.find("WAVE") == std::string::npos) continue;
        char piece[WORD];
        int used = 0;
        for (const char* p = line.c_str(); sscanf(p, "%223s%n", piece, &used) == 1; p += used) {
            for (std::size_t o = 0; o < sizeof ORBITALS / sizeof ORBITALS[0]; ++o) {
                const char* at = std::strstr(piece, ORBITALS[o]);
                if (at == nullptr) continue;
                const char* digits = at + 2;
                if (!std::isdigit(static_cast<unsigned char>(*digits)))
                    fatal("Orbital '%s' of entry \"CHEM %s\" in %s has no occupation.", piece, word, tabName);
                long occupation = std::strtol(digits, nullptr, 10);
                if (occupation > 99)
                    fatal("Orbital '%s' of entry \"CHEM %s\" in %s has more than 99 electrons.", piece, word, tabName);
                e.occupations[o] = static_cast<int>(occupation);
                e.electrons += e.occupations[o];
                if (valence) e.valenceElectrons += e.occupations[o];
            }
        }
    }
}
