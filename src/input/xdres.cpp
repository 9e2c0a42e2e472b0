// Reader of the XD parameter file "xd.res" (or "xd.inp") and of "xd_part.aux".
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "../core/stage.h"
#include "../geometry/cell.h"
#include "input.h"
#include "../core/failure.h"
#include "../core/populations.h"
#include "xdlines.h"

namespace {

const char AXIS_LETTER[4] = {0, 'X', 'Y', 'Z'};

// Populations an atom holds, by the multipole level of the file (26 values at level 4).
const int POPULATIONS_OF_LEVEL[5] = {1, 5, 10, 17, 26};

// Reads the next word of a text file (white space, line ends included, separates words).
bool nextWord(FILE* file, std::string& word) {
    word.clear();
    int c;
    while ((c = getc_unlocked(file)) != EOF && std::isspace(c)) {
    }
    while (c != EOF && !std::isspace(c)) {
        word.push_back(static_cast<char>(c));
        c = getc_unlocked(file);
    }
    return !word.empty();
}

// The atom record as the writer lays it out: the label in eight columns (more when it is
// longer), then AX1 (3 columns), AX2 (2), ATOM0 (5), ATOM1, ATOM2 (5 each; 4 each for
// TP 3 and 4), TP (2), TBL (3), KAP (3), LMX (2), SYMCODE (3), CHEMCON (4), then
// " x y z occupancy" (%9.6f three times and %6.4f, a blank before each).
constexpr int ATOM_RECORD_WIDTHS[2][11] = {{3, 2, 5, 5, 5, 2, 3, 3, 2, 3, 4}, {3, 2, 5, 4, 4, 2, 3, 3, 2, 3, 4}};
constexpr std::size_t POSITION_WIDTH = 37;

// A number that fills its field runs into the number before it (a CHEMCON above 999 into
// SYMCODE, an atom number above 9,999 into the field before it), so words split at blanks
// are not always the fields. A record laid out exactly as the writer lays it out (every
// integer right-aligned in its columns) is read by its columns; -1 when the record is not
// of that layout, and the words read at blanks stand. Where no number fills its field both
// readings agree.
int readAtomColumns(const char* record, AtomRecord& a) {
    const char* p = record;
    while (*p != '\0' && *p != ' ' && *p != '\t') ++p;
    const std::size_t labelEnd = static_cast<std::size_t>(p - record);
    std::size_t at = labelEnd < 8 ? 8 : labelEnd;
    const std::size_t length = std::strlen(record);
    if (labelEnd == 0 || length < at + POSITION_WIDTH) return -1;
    const std::size_t integers = length - at - POSITION_WIDTH;
    const int* widths = integers == 37 ? ATOM_RECORD_WIDTHS[0] : integers == 35 ? ATOM_RECORD_WIDTHS[1] : nullptr;
    if (widths == nullptr) return -1;
    int value[11];
    for (int k = 0; k < 11; ++k) {
        const int width = widths[k];
        char field[8];
        std::memcpy(field, record + at, static_cast<std::size_t>(width));
        field[width] = '\0';
        int c = 0;
        while (c < width && field[c] == ' ') ++c;
        if (c < width && field[c] == '-') ++c;
        if (c == width) return -1;
        for (int d = c; d < width; ++d)
            if (field[d] < '0' || field[d] > '9') return -1;
        value[k] = std::atoi(field);
        at += static_cast<std::size_t>(width);
    }
    double position[4];
    if (scanDoubles(record + at, position, 4) != 4) return -1;
    int* fields[] = {&a.ax1, &a.ax2, &a.atom0, &a.atom1, &a.atom2, &a.tp, &a.tbl, &a.kap, &a.lmx, &a.symCode, &a.chemCon};
    for (int k = 0; k < 11; ++k) *fields[k] = value[k];
    std::copy(position, position + 3, a.frac);
    a.occupancy = position[3];
    return 16;
}

// The record read word by word as "%127s" and eleven "%d" and four "%lf" read it; false,
// and nothing stored, when it does not give all sixteen fields this way (the scan then
// reads it, for its count of fields).
bool readAtomWords(const char* record, AtomRecord& a, char (&label)[LINE_CAP]) {
    const char* p = record;
    int value[11];
    double position[4];
    if (!scanWord(p, label, sizeof label)) return false;
    for (int& v : value)
        if (!scanInt(p, v)) return false;
    for (double& v : position)
        if (!scanDouble(p, v)) return false;
    int* fields[] = {&a.ax1, &a.ax2, &a.atom0, &a.atom1, &a.atom2, &a.tp, &a.tbl, &a.kap, &a.lmx, &a.symCode, &a.chemCon};
    for (int k = 0; k < 11; ++k) *fields[k] = value[k];
    std::copy(position, position + 3, a.frac);
    a.occupancy = position[3];
    return true;
}

// ---- records of the parameter file ----

// "xd.res", or "xd.inp" when there is no "xd.res"; fileName is set to the one opened.
InputFile openParameterFile(const char*& fileName) {
    fileName = "xd.res";
    InputFile file = openInput("xd.res");
    if (file) return file;
    warnCannotOpen("xd.res ");
    fprintf(stderr, "->so I try xd.inp\n");
    fileName = "xd.inp";
    file = openInput("xd.inp");
    if (!file) cannotOpen("xd.inp");
    return file;
}

// USAGE nAtoms . multipoleLevel nKappa . . . . . . . . . nDummy
void readUsage(Structure& s, XdLines& lines) {
    const char* fileName = lines.fileName();
    std::string line;
    do {
        if (!lines.next(line)) fatal("%s ends before its USAGE line", fileName);
    } while (std::strncmp(line.c_str(), "USAGE", 5) != 0);
    lines.checkLength(line, "the USAGE line");
    int* r = s.usageRest;
    sscanf(line.c_str(), "%*s %d %d %d %d %d %d %d %d %d %d %d %d %d %d", &s.nAtoms, &r[0], &s.multipoleLevel,
           &s.nKappa, &r[1], &r[2], &r[3], &r[4], &r[5], &r[6], &r[7], &r[8], &r[9], &s.nDummy);
    if (s.nAtoms < 0 || s.nAtoms > MAX_ATOMS)
        fatal("%s: the USAGE line announces %d atoms; between 0 and %d can be handled", fileName, s.nAtoms,
              MAX_ATOMS);
    if (s.nKappa < 0 || s.nKappa > MAX_KAPPA)
        fatal("%s: the USAGE line announces %d kappa sets; between 0 and %d can be handled", fileName, s.nKappa,
              MAX_KAPPA);
    if (s.nDummy < 0 || s.nDummy > s.nAtoms)
        fatal("%s: the USAGE line announces %d dummy atoms for %d atoms; between 0 and the number of atoms "
              "can be handled",
              fileName, s.nDummy, s.nAtoms);
    if (s.nAtoms + s.nDummy > MAX_ATOMS)
        fatal("%s: the USAGE line announces %d atoms and %d dummy atoms: XD's parameter file numbers atoms "
              "and dummy atoms in five columns, so at most %d of them together can be handled",
              fileName, s.nAtoms, s.nDummy, MAX_ATOMS);
}

// The atoms, the dummies of the file behind them, and room for the dummies of the
// database stage.
void roomForAtoms(Structure& s) {
    {
        MemoryNote note("Memory problem xdinp!  ");
        s.makeRoomForAtoms(s.nAtoms, s.nDummy);
    }
}

void readDummies(Structure& s, XdLines& lines) {
    for (int j = 0; j < s.nDummy; ++j) {
        AtomRecord& d = s.atom[s.nAtoms + j];
        sscanf(lines.record("dummy atom %d of %d", j + 1, s.nDummy), "%lf%lf%lf", &d.frac[0], &d.frac[1],
               &d.frac[2]);
        snprintf(d.label, sizeof d.label, "DUM%d", j);
        requireNumbersf(d.frac, 3, lines.fileName(), "dummy atom %d", j + 1);
        cellGeometry(s.cell).toCartesian(d.frac, d.cart);
        requireNumbersf(d.cart, 3, lines.fileName(), "dummy atom %d (Cartesian)", j + 1);
    }
}

// label ax1 ax2 atom0 atom1 atom2 tp tbl kap lmx symCode chemCon x y z occupancy
void readAtomLine(AtomRecord& a, XdLines& lines, int i, int nAtoms) {
    char label[LINE_CAP];
    const char* record = lines.record("the record of atom %d of %d", i + 1, nAtoms);
    int n;
    if (!std::isspace(static_cast<unsigned char>(record[0])) && readAtomColumns(record, a) > 0) {
        // The columns give every field the word-by-word scan gives, and the label is the
        // record's first word: the scan would have read nothing that stays.
        std::size_t length = 0;
        while (record[length] != '\0' && !std::isspace(static_cast<unsigned char>(record[length]))) ++length;
        std::memcpy(label, record, length);
        label[length] = '\0';
        n = 16;
    } else {
        n = readAtomWords(record, a, label) ? 16
                                            : sscanf(record, "%127s%d%d%d%d%d%d%d%d%d%d%d%lf%lf%lf%lf", label, &a.ax1,
                                                     &a.ax2, &a.atom0, &a.atom1, &a.atom2, &a.tp, &a.tbl, &a.kap,
                                                     &a.lmx, &a.symCode, &a.chemCon, &a.frac[0], &a.frac[1],
                                                     &a.frac[2], &a.occupancy);
        if (n >= 1) {
            const int columns = readAtomColumns(record, a);
            if (columns > 0) n = columns;
        }
    }
    if (n >= 1) {
        if (!copyText(a.label, sizeof a.label, label)) {
            char field[48];
            snprintf(field, sizeof field, "the label of atom %d", i + 1);
            storeWord(a.label, sizeof a.label, label, lines.fileName(), field);
        }
    }
    a.lmx = 4;
}

// Displacement parameters: U (tp up to 2), then C (tp 3), then D (tp 4).
void readDisplacements(AtomRecord& a, XdLines& lines) {
    if (a.tp <= 4) scanDoubles(lines.record("the displacement parameters of atom %s", a.label), a.u, 6);
    if (a.tp == 3 || a.tp == 4)
        for (int k = 0; k < 2; ++k)
            scanDoubles(lines.record("the third-order displacement parameters of atom %s", a.label), a.c3 + 5 * k,
                        5);
    if (a.tp == 4)
        for (int k = 0; k < 3; ++k)
            scanDoubles(lines.record("the fourth-order displacement parameters of atom %s", a.label), a.d4 + 5 * k,
                        5);
}

// Axis letters: first axis, second axis, the remaining third one.
void setAxisLetters(AtomRecord& a) {
    if (a.ax1 >= 1 && a.ax1 <= 3) a.axisChars[0] = AXIS_LETTER[a.ax1];
    if (a.ax2 >= 1 && a.ax2 <= 3) a.axisChars[1] = AXIS_LETTER[a.ax2];
    if (a.ax1 >= 1 && a.ax1 <= 3 && a.ax2 >= 1 && a.ax2 <= 3 && a.ax1 != a.ax2)
        a.axisChars[2] = AXIS_LETTER[6 - a.ax1 - a.ax2];
}

// Valence and multipole populations, lines by the level of the file.
void readPopulations(AtomRecord& a, XdLines& lines, int level, int i) {
    if (level < 0 || level > 4) return;
    const int count = POPULATIONS_OF_LEVEL[level];
    readPopulationRows([&] { return lines.record("the multipole populations of atom %s", a.label); }, a.multipole,
                       count);
    requireNumbersf(a.multipole, count, lines.fileName(), "atom %d (%s), populations", i + 1, a.label);
}

void readAtom(Structure& s, XdLines& lines, int i, const CellGeometry& cell) {
    const char* fileName = lines.fileName();
    AtomRecord& a = s.atom[i];
    readAtomLine(a, lines, i, s.nAtoms);
    readDisplacements(a, lines);

    // the texts naming the values are formatted only for a message
    const int n = i + 1;
    requireNumbersf(a.frac, 3, fileName, "atom %d (%s), coordinates", n, a.label);
    requireNumbersf(&a.occupancy, 1, fileName, "atom %d (%s), occupancy", n, a.label);
    requireNumbersf(a.u, 6, fileName, "atom %d (%s), displacement parameters", n, a.label);
    requireNumbersf(a.c3, 10, fileName, "atom %d (%s), third-order displacement parameters", n, a.label);
    requireNumbersf(a.d4, 15, fileName, "atom %d (%s), fourth-order displacement parameters", n, a.label);
    cell.toCartesian(a.frac, a.cart);
    requireNumbersf(a.cart, 3, fileName, "atom %d (%s), Cartesian coordinates", n, a.label);

    setAxisLetters(a);
    readPopulations(a, lines, s.multipoleLevel, i);
}

// number kappa1 ... kappa6
void readKappaSets(Structure& s, XdLines& lines) {
    for (int k = 0; k < s.nKappa; ++k) {
        sscanf(lines.record("kappa set %d of %d", k + 1, s.nKappa), "%d %lf%lf%lf%lf%lf%lf", &s.kappaNo[k],
               &s.kappaSet[0][k], &s.kappaSet[1][k], &s.kappaSet[2][k], &s.kappaSet[3][k], &s.kappaSet[4][k],
               &s.kappaSet[5][k]);
        for (int v = 0; v < 6; ++v) requireNumbersf(&s.kappaSet[v][k], 1, lines.fileName(), "kappa set %d", k + 1);
    }
}

// The last parameter line: its numbers are written back unchanged.
void readTrailingLine(Structure& s, XdLines& lines) {
    const char* fileName = lines.fileName();
    lines.skip("its last parameter line");
    lines.skip("its last parameter line");
    std::string last = lines.record("its last parameter line");
    s.nTrailing = 0;
    for (char* piece = std::strtok(&last[0], " \t"); piece != nullptr; piece = std::strtok(nullptr, " \t")) {
        if (s.nTrailing == MAX_TRAILING)
            fatal("%s: the last parameter line holds more than %d numbers", fileName, MAX_TRAILING);
        s.trailingValues[s.nTrailing++] = atof(piece);
    }
    requireNumbers(s.trailingValues, s.nTrailing, fileName, "the last parameter line");
}

// Each atom takes the values of its kappa set, counted by position in the file.
void assignKappas(Structure& s, const char* fileName) {
    for (int i = 0; i < s.nAtoms; ++i) {
        AtomRecord& a = s.atom[i];
        if (a.kap < 1 || a.kap > s.nKappa)
            fatal("%s: atom %d (%s) refers to kappa set %d, but the file holds %d kappa sets", fileName, i + 1,
                  a.label, a.kap, s.nKappa);
        if (a.tbl < 1 || a.tbl > s.nScat)
            fatal("%s: atom %d (%s) refers to scattering entry %d, but xd.mas holds %d entries", fileName, i + 1,
                  a.label, a.tbl, s.nScat);
        for (int v = 0; v < 6; ++v) a.kappa[v] = s.kappaSet[v][a.kap - 1];
    }
}

}  // namespace

namespace {

// The records of an open parameter file: USAGE line, dummies, atoms, kappa sets, the
// trailing line.
void readParameterRecords(Structure& s, FILE* file, const char* fileName) {
    XdLines lines(file, fileName);
    readUsage(s, lines);
    roomForAtoms(s);
    lines.skip("the two lines after its USAGE line");
    lines.skip("the two lines after its USAGE line");
    readDummies(s, lines);
    const CellGeometry cell(s.cell);
    for (int i = 0; i < s.nAtoms; ++i) readAtom(s, lines, i, cell);
    readKappaSets(s, lines);
    readTrailingLine(s, lines);
    assignKappas(s, fileName);
}

}  // namespace

void readParameterFile(Structure& s) {
    {
        Stage stage("readInp");
        const char* fileName = nullptr;
        InputFile file = openParameterFile(fileName);
        s.source = fileName;
        readParameterRecords(s, file.get(), fileName);
        // reference output: "successfull" and "Dummys"
        fprintf(stderr, "Reading %s was successfull!\n%d Atoms, %d Dummys and %d Kappas read\n\n", fileName, s.nAtoms,
                s.nDummy, s.nKappa);
    }
    readPartFile(s);
}

void readWrittenParameterFile(Structure& s, const char* fileName) {
    Stage stage("readInp");
    InputFile file = openInput(fileName);
    if (!file) cannotOpen("%s", fileName);
    s.source = fileName;
    readParameterRecords(s, file.get(), fileName);
}

void readPartFile(Structure& s) {
    Stage stage("readPartAux");
    // Records of three words (label, number, part), white space and line ends between them.
    InputFile file = openInput("xd_part.aux");
    bool more = file != nullptr;
    for (int i = 0; i < s.nAtoms; ++i) {
        s.atom[i].part = 0;
        std::string w1, w2, w3;
        more = more && nextWord(file.get(), w1) && nextWord(file.get(), w2) && nextWord(file.get(), w3);
        if (!more) continue;
        if (sscanf(w3.c_str(), "%d", &s.atom[i].part) != 1)
            fatal("xd_part.aux: record %d (%s %s %s) has no part number as its third word", i + 1, w1.c_str(),
                  w2.c_str(), w3.c_str());
    }
}
