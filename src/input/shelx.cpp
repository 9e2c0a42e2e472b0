// Reader of SHELX result and instruction files (.res, .ins): the cell, the symmetry and the
// atoms of the model, nothing of the refinement set-up. Lines are read as SHELXL reads
// them: an instruction or an atom per line, "!" starts a comment, a line ending in " ="
// goes on in the next line (which begins with a blank), any other line that begins with a
// blank is ignored. The model ends at HKLF or END.
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <map>
#include <numeric>
#include <set>
#include <string>
#include <vector>

#include <gemmi/elem.hpp>
#include <gemmi/unitcell.hpp>

#include "../chem/elements.h"
#include "../core/failure.h"
#include "../core/text.h"
#include "../geometry/geometry.h"
#include "../symmetry/spacegroup.h"
#include "crystal.h"

namespace {

// Instructions of SHELXL and its companions (first word, residue suffix "_..." removed).
// Anything else on a line of its own is an atom.
const std::set<std::string> INSTRUCTIONS = {
    "ABIN", "ACTA", "AFIX", "ANIS", "ANSC", "ANSR", "BASF", "BEDE", "BIND", "BLOC", "BOND", "BUMP", "CELL",
    "CGLS", "CHIV", "CONF", "CONN", "DAMP", "DANG", "DEFS", "DELU", "DFIX", "DISP", "EADP", "END",  "EQIV",
    "EXTI", "EXYZ", "FEND", "FLAT", "FMAP", "FRAG", "FREE", "FVAR", "GRID", "HFIX", "HKLF", "HOPE", "HTAB",
    "ISOR", "L.S.", "LATT", "LAUE", "LIST", "LONE", "MERG", "MOLE", "MORE", "MOVE", "MPLA", "NCSY", "NEUT",
    "OMIT", "PART", "PLAN", "PRIG", "REM",  "RESI", "RIGU", "RTAB", "SADI", "SAME", "SFAC", "SHEL", "SIMU",
    "SIZE", "SPEC", "STIR", "SUMP", "SWAT", "SYMM", "TEMP", "TIME", "TITL", "TWIN", "TWST", "UNIT", "WGHT",
    "WIGL", "WPDB", "XNPD", "ZERR",
};

// Lattice letter of |LATT n|.
const char LATTICE_OF[] = {' ', 'P', 'I', 'R', 'F', 'A', 'B', 'C'};

// A negative isotropic U in this range is a multiple of the Ueq of the previous atom
// that is not a hydrogen atom (riding hydrogen atoms: -1.2, -1.5).
constexpr double RIDING_U_MIN = 0.5;
constexpr double RIDING_U_MAX = 5.0;

// An occupancy this close to 0 is 0.
constexpr double ZERO_OCCUPANCY = 1e-9;

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::vector<std::string> wordsOf(const std::string& text) {
    std::vector<std::string> words;
    std::size_t k = 0;
    while (k < text.size()) {
        while (k < text.size() && (isBlank(text[k]) || text[k] == '\v' || text[k] == '\f')) ++k;
        const std::size_t start = k;
        while (k < text.size() && !isBlank(text[k]) && text[k] != '\v' && text[k] != '\f') ++k;
        if (k > start) words.push_back(text.substr(start, k - start));
    }
    return words;
}

// Instruction name of a first word: upper case, without a residue suffix ("SADI_CCF3").
std::string instructionOf(const std::string& word) { return upper(word.substr(0, word.find('_'))); }

// "Q12": a Fourier peak, not an atom.
bool isPeak(const std::string& label) {
    if (label.size() < 2 || (label[0] != 'Q' && label[0] != 'q')) return false;
    for (std::size_t k = 1; k < label.size(); ++k)
        if (!std::isdigit(static_cast<unsigned char>(label[k]))) return false;
    return true;
}

// Operator text of a SYMM card of a master file: upper-case X, Y, Z, the translation
// first as a fraction, no blanks ("-X,1/2+Y,1/2-Z").
std::string symmCardText(const SymOp& op) {
    constexpr int DEN = 24;
    std::string text;
    for (int row = 0; row < 3; ++row) {
        if (row > 0) text += ',';
        std::string part;
        const int t = ((static_cast<int>(std::lround(op.tran[row] * DEN)) % DEN) + DEN) % DEN;
        if (t != 0) {
            const int g = std::gcd(t, DEN);
            part += std::to_string(t / g) + "/" + std::to_string(DEN / g);
        }
        for (int col = 0; col < 3; ++col) {
            const int r = op.rot[row][col];
            if (r == 0) continue;
            if (r < 0)
                part += '-';
            else if (!part.empty())
                part += '+';
            if (std::abs(r) != 1) part += std::to_string(std::abs(r)) + "*";
            part += "XYZ"[col];
        }
        text += part.empty() ? "0" : part;
    }
    return text;
}

// One logical line: the text of a line and its continuation lines, comments removed.
struct Card {
    std::string text;
    long line = 0;  // number of its first line in the file
    std::vector<std::string> words;
};

class ShelxReader {
public:
    explicit ShelxReader(const std::string& path) : path_(path) {}

    CrystalInput read();

private:
    // Stops the run: "<file>, line <n>: <message>".
    [[noreturn]] void fail(long line, const char* fmt, ...) const __attribute__((format(printf, 3, 4)));

    void readLines();
    bool nextCard(Card& card);
    double number(const Card& card, std::size_t k, const char* what) const;
    int integer(const Card& card, std::size_t k, const char* what) const;
    void cellCard(const Card& card);
    void zerrCard(const Card& card);
    void lattCard(const Card& card);
    void symmCard(const Card& card);
    void sfacCard(const Card& card);
    void resiCard(const Card& card);
    void dispCard(const Card& card);
    void addType(const std::string& name, int element);
    void atomCard(const Card& card);
    double decoded(double value, long line, const std::string& label, const char* what) const;
    void finishLabels();
    int countPeaksAfter(std::size_t from) const;

    std::string path_;
    std::vector<std::string> lines_;
    std::size_t next_ = 0;
    CrystalInput in_;
    long cellLine_ = 0;
    int latt_ = 1;
    std::vector<int> sfac_;       // element of each SFAC type
    std::vector<std::string> sfacName_;
    std::vector<CrystalAtomType> types_;  // dispersion of each SFAC type (NaN: not stated)
    std::vector<double> fvar_;    // free variables; the first is the overall scale
    int part_ = 0;
    std::string residue_;         // residue number of the atoms that follow ("" outside RESI)
    std::vector<std::string> residueOf_;
    std::vector<long> lineOf_;
    bool pivot_ = false;          // an atom that is not a hydrogen atom has been read
    double pivotUeq_ = 0;
    int peaks_ = 0;
    std::vector<std::string> renamed_;     // labels that carry their residue number
    std::vector<std::string> emptySites_;  // atoms of occupancy 0, left out
    std::vector<std::string> includes_;    // files named by "+file" lines, not read
};

void ShelxReader::fail(long line, const char* fmt, ...) const {
    va_list args;
    va_start(args, fmt);
    const std::string message = vformat(fmt, args);
    va_end(args);
    // the message was always cut at 1023 characters (a line of the file can be longer)
    fatal("%s, line %ld: %.1023s", path_.c_str(), line, message.c_str());
}

void ShelxReader::readLines() {
    std::ifstream file(path_, std::ios::binary);
    if (!file) fatal("%s cannot be opened: %s", path_.c_str(), std::strerror(errno));
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines_.push_back(line);
    }
}

// The next card of the model: blank-led lines, REM lines and empty lines are passed over,
// comments cut, continuation lines joined. False at the end of the file.
bool ShelxReader::nextCard(Card& card) {
    const auto withoutComment = [](const std::string& line) {
        std::string text = line.substr(0, line.find('!'));
        rtrim(text);
        return text;
    };
    // " =" at the end (or "=" alone) continues the line
    const auto continued = [](const std::string& text) {
        const std::size_t n = text.size();
        return n > 0 && text[n - 1] == '=' && (n == 1 || isBlank(text[n - 2]));
    };
    while (next_ < lines_.size()) {
        const std::string& first = lines_[next_];
        const long number = static_cast<long>(++next_);
        if (first.empty() || std::isspace(static_cast<unsigned char>(first[0]))) continue;
        std::string text = withoutComment(first);
        card.words = wordsOf(text);
        if (card.words.empty()) continue;
        if (instructionOf(card.words[0]) == "REM") continue;
        if (first[0] == '+') {
            // "+file" includes a file (mostly restraints); the model is read from this file alone
            includes_.push_back(text.substr(1));
            continue;
        }
        long last = number;
        while (continued(text)) {
            text.pop_back();
            if (next_ >= lines_.size())
                fail(last, "the line ends with \" =\" (it goes on in the next line), but the file ends there.");
            const std::string& more = lines_[next_];
            if (more.empty() || !isBlank(more[0]))
                fail(last + 1,
                     "line %ld ends with \" =\", but this line does not go on with it (a continuation line begins "
                     "with a blank).",
                     last);
            last = static_cast<long>(++next_);
            text += ' ';
            text += withoutComment(more);
        }
        card.text = text;
        card.line = number;
        card.words = wordsOf(text);
        return true;
    }
    return false;
}

double ShelxReader::number(const Card& card, std::size_t k, const char* what) const {
    if (k >= card.words.size()) fail(card.line, "%s %s is missing.", card.words[0].c_str(), what);
    const std::string& word = card.words[k];
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(word.c_str(), &end);
    if (end == word.c_str() || *end != '\0' || errno == ERANGE)
        fail(card.line, "%s: %s \"%s\" is not a number.", card.words[0].c_str(), what, word.c_str());
    if (!usableNumber(value))
        fail(card.line, "%s: %s %s is no usable number (at most %g in magnitude).", card.words[0].c_str(), what,
             word.c_str(), NUMBER_LIMIT);
    return value;
}

int ShelxReader::integer(const Card& card, std::size_t k, const char* what) const {
    const double value = number(card, k, what);
    if (value != std::floor(value) || std::fabs(value) > 1e5)
        fail(card.line, "%s: %s %s is not a whole number.", card.words[0].c_str(), what, card.words[k].c_str());
    return static_cast<int>(value);
}

void ShelxReader::cellCard(const Card& card) {
    if (card.words.size() != 8)
        fail(card.line, "CELL needs 7 numbers (wavelength, a, b, c, alpha, beta, gamma); %zu are given.",
             card.words.size() - 1);
    in_.wavelength = number(card, 1, "the wavelength");
    if (!(in_.wavelength > 0)) fail(card.line, "CELL: the wavelength %g is not positive.", in_.wavelength);
    static const char* const WHAT[] = {"a", "b", "c", "alpha", "beta", "gamma"};
    for (int k = 0; k < 6; ++k) in_.cell[k] = number(card, static_cast<std::size_t>(k) + 2, WHAT[k]);
    if (!validCell(in_.cell))
        fail(card.line,
             "CELL %g %g %g %g %g %g is no cell (edges must be positive, angles between 0 and 180 degrees and "
             "spanning a volume).",
             in_.cell[0], in_.cell[1], in_.cell[2], in_.cell[3], in_.cell[4], in_.cell[5]);
    cellLine_ = card.line;
}

void ShelxReader::zerrCard(const Card& card) {
    if (card.words.size() != 8)
        fail(card.line, "ZERR needs 7 numbers (Z and the uncertainties of a, b, c, alpha, beta, gamma); %zu are given.",
             card.words.size() - 1);
    for (int k = 0; k < 6; ++k) {
        in_.cellSd[k] = number(card, static_cast<std::size_t>(k) + 2, "an uncertainty");
        if (in_.cellSd[k] < 0) fail(card.line, "ZERR: the uncertainty %g is negative.", in_.cellSd[k]);
    }
}

void ShelxReader::lattCard(const Card& card) {
    const int n = integer(card, 1, "the lattice type");
    if (n == 0 || std::abs(n) > 7)
        fail(card.line, "LATT %d is no lattice type (1 to 7 for P I R F A B C; negative: no inversion centre).", n);
    latt_ = n;
}

// A SYMM card as a symmetry operator. SHELX writes translations as fractions or decimals
// ("0.50000 - X"); the operator parser of the symmetry subsystem reads both.
void ShelxReader::symmCard(const Card& card) {
    std::string plain;
    for (char c : card.text.substr(card.words[0].size()))
        if (!std::isspace(static_cast<unsigned char>(c))) plain += c;
    if (plain.empty()) fail(card.line, "SYMM names no operator.");
    // an operator has at most one term per axis in each row; more are no operator (and
    // would make the parser's sums overflow)
    int letters = 0;
    for (char c : plain) {
        if (c == ',') letters = 0;
        if (std::isalpha(static_cast<unsigned char>(c)) && ++letters > 3)
            fail(card.line, "SYMM %s is no symmetry operator (more than three terms in a row).", plain.c_str());
    }
    SymOp op;
    std::string why;
    if (!parseOperator(plain, op, why))
        fail(card.line, "SYMM %s is no symmetry operator: %s.", plain.c_str(), why.c_str());
    const SymOp identity;
    bool isIdentity = true;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) isIdentity = isIdentity && op.rot[r][c] == identity.rot[r][c];
    for (double t : op.tran) isIdentity = isIdentity && t == 0;
    if (isIdentity) return;  // the identity is implied
    in_.symmetry.symm.push_back(symmCardText(op));
}

// Element of an SFAC name ("C", "CL", "Cl", "D" for deuterium).
int elementOfName(const std::string& name) {
    if (name.empty() || name.size() > 2) return -1;
    for (char c : name)
        if (!std::isalpha(static_cast<unsigned char>(c))) return -1;
    const gemmi::Element el(name);
    if (el.elem == gemmi::El::X) return -1;
    const int index = el.atomic_number() - 1;
    return index < N_SYMBOLS ? index : -1;
}

void ShelxReader::sfacCard(const Card& card) {
    if (card.words.size() < 2) fail(card.line, "SFAC names no element.");
    const auto element = [&](const std::string& name) {
        const int e = elementOfName(name);
        if (e < 0) fail(card.line, "SFAC %s names no element.", name.c_str());
        return e;
    };
    char* end = nullptr;
    const bool longForm = card.words.size() > 2 && (std::strtod(card.words[2].c_str(), &end), *end == '\0');
    if (longForm) {
        // one type with its scattering-factor coefficients: the element is what the model needs
        // name a1 b1 a2 b2 a3 b3 a4 b4 c f' f'' mu r wt
        for (std::size_t k = 2; k < card.words.size(); ++k) number(card, k, "a coefficient");
        addType(card.words[1], element(card.words[1]));
        if (card.words.size() > 12) {
            types_.back().fp = number(card, 11, "f'");
            types_.back().fpp = number(card, 12, "f''");
        }
        return;
    }
    for (std::size_t k = 1; k < card.words.size(); ++k) addType(card.words[k], element(card.words[k]));
}

void ShelxReader::addType(const std::string& name, int element) {
    sfac_.push_back(element);
    sfacName_.push_back(upper(name));
    CrystalAtomType type;
    type.element = element;
    type.fp = type.fpp = std::nan("");
    types_.push_back(type);
}

// "DISP name f' f'' [mu]": the dispersion of the SFAC type of that name.
void ShelxReader::dispCard(const Card& card) {
    if (card.words.size() < 4) fail(card.line, "DISP needs a type name, f' and f''.");
    const double fp = number(card, 2, "f'");
    const double fpp = number(card, 3, "f''");
    for (std::size_t k = 0; k < sfacName_.size(); ++k)
        if (sfacName_[k] == upper(card.words[1])) {
            types_[k].fp = fp;
            types_[k].fpp = fpp;
            return;
        }
    fail(card.line, "DISP %s names no SFAC type.", card.words[1].c_str());
}

void ShelxReader::resiCard(const Card& card) {
    // "RESI class number", "RESI number class", "RESI number", the number possibly with a chain ("A:12")
    for (std::size_t k = 1; k < card.words.size(); ++k) {
        const std::string& w = card.words[k];
        const std::string digits = w.size() > 2 && w[1] == ':' ? w.substr(2) : w;
        if (digits.empty() || digits.size() > 6 ||
            digits.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const long n = std::strtol(digits.c_str(), nullptr, 10);
        residue_ = n == 0 ? "" : std::to_string(n);
        return;
    }
    fail(card.line, "RESI gives no residue number.");
}

// A number given as 10m + p: m = 0 refined (p itself), m = 1 fixed at p, m > 1 p times free
// variable m, m < -1 p times (free variable -m minus 1).
double ShelxReader::decoded(double value, long line, const std::string& label, const char* what) const {
    const double magnitude = std::fabs(value);
    if (magnitude < 5) return value;
    const long m = static_cast<long>(std::floor((magnitude + 5) / 10));
    const double p = value - std::copysign(10.0 * static_cast<double>(m), value);
    if (m == 1) return p;
    if (static_cast<std::size_t>(m) > fvar_.size())
        fail(line, "atom %s: %s %g refers to free variable %ld, which does not exist (FVAR gives %zu value%s).",
             label.c_str(), what, value, m, fvar_.size(), fvar_.size() == 1 ? "" : "s");
    const double fv = fvar_[static_cast<std::size_t>(m) - 1];
    return value > 0 ? p * fv : p * (fv - 1);
}

void ShelxReader::atomCard(const Card& card) {
    const std::string& label = card.words[0];
    if (!std::isalpha(static_cast<unsigned char>(label[0])))
        fail(card.line, "\"%s\" is neither an instruction nor an atom (atom names begin with a letter).",
             label.c_str());
    if (isPeak(label)) {
        ++peaks_;
        return;
    }
    if (cellLine_ == 0) fail(card.line, "atom %s: no CELL instruction comes before the first atom.", label.c_str());
    if (sfac_.empty()) fail(card.line, "atom %s: no SFAC instruction comes before the first atom.", label.c_str());
    const std::size_t numbers = card.words.size() - 1;
    if (numbers < 6)
        fail(card.line,
             "atom %s has too few numbers (%zu): an atom gives its SFAC number, x, y, z, the site occupation factor "
             "and one U (isotropic) or six (anisotropic).",
             label.c_str(), numbers);
    if (numbers != 6 && numbers != 11)
        fail(card.line,
             "atom %s has %zu numbers: an atom gives its SFAC number, x, y, z, the site occupation factor and one U "
             "(isotropic) or six (anisotropic), 6 or 11 numbers.",
             label.c_str(), numbers);
    const int type = integer(card, 1, "the SFAC number");
    if (type < 1 || static_cast<std::size_t>(type) > sfac_.size())
        fail(card.line, "atom %s: the SFAC number %d is unknown (SFAC defines %zu type%s).", label.c_str(), type,
             sfac_.size(), sfac_.size() == 1 ? "" : "s");

    CrystalSite site;
    site.label = label;
    site.element = sfac_[static_cast<std::size_t>(type) - 1];
    static const char* const AXIS[] = {"x", "y", "z"};
    for (int k = 0; k < 3; ++k)
        site.frac[k] = decoded(number(card, static_cast<std::size_t>(k) + 2, AXIS[k]), card.line, label, AXIS[k]);
    site.occupancy = decoded(number(card, 5, "the site occupation factor"), card.line, label,
                             "the site occupation factor");
    // an atom fixed at occupancy 0 (a placeholder of a disordered atom) is no atom of the model;
    // it still counts as the previous atom for riding U values
    const bool placeholder = std::fabs(site.occupancy) < ZERO_OCCUPANCY;
    if (!placeholder && !(site.occupancy > 0 && site.occupancy <= 1))
        fail(card.line, "atom %s has the occupancy %g; an occupancy must lie in (0, 1].", label.c_str(),
             site.occupancy);
    site.part = part_;

    double ueq = 0;
    if (numbers == 6) {
        const double u = number(card, 6, "U");
        if (u <= -RIDING_U_MIN && u >= -RIDING_U_MAX) {
            if (!pivot_)
                fail(card.line, "atom %s: the U %g is a multiple of the U of the previous atom that is not a hydrogen "
                     "atom, but there is no such atom.", label.c_str(), u);
            site.uiso = -u * pivotUeq_;
        } else {
            site.uiso = decoded(u, card.line, label, "U");
        }
        ueq = site.uiso;
    } else {
        // the file's order U11 U22 U33 U23 U13 U12; ours U11 U22 U33 U12 U13 U23
        static const int FROM[6] = {6, 7, 8, 11, 10, 9};
        static const char* const NAME[6] = {"U11", "U22", "U33", "U12", "U13", "U23"};
        for (int k = 0; k < 6; ++k)
            site.u[k] = decoded(number(card, static_cast<std::size_t>(FROM[k]), NAME[k]), card.line, label, NAME[k]);
        site.aniso = true;
        const gemmi::UnitCell cell(in_.cell[0], in_.cell[1], in_.cell[2], in_.cell[3], in_.cell[4], in_.cell[5]);
        ueq = cell.calculate_u_eq({site.u[0], site.u[1], site.u[2], site.u[3], site.u[4], site.u[5]});
    }
    if (site.element != 0) {
        pivot_ = true;
        pivotUeq_ = ueq;
    }
    if (placeholder) {
        emptySites_.push_back(label);
        return;
    }
    in_.sites.push_back(site);
    residueOf_.push_back(residue_);
    lineOf_.push_back(card.line);
}

// Labels recur across residues (RESI); such atoms are named as SHELX addresses them, with
// the residue number ("O1_4"). Any other repeated label is an error.
void ShelxReader::finishLabels() {
    std::map<std::string, int> count;
    for (const CrystalSite& s : in_.sites) ++count[upper(s.label)];
    std::vector<std::string> renamed;
    for (std::size_t i = 0; i < in_.sites.size(); ++i) {
        CrystalSite& s = in_.sites[i];
        if (count[upper(s.label)] > 1 && !residueOf_[i].empty()) {
            s.label += "_" + residueOf_[i];
            renamed.push_back(s.label);
        }
    }
    std::map<std::string, long> seen;
    for (std::size_t i = 0; i < in_.sites.size(); ++i) {
        const auto at = seen.emplace(upper(in_.sites[i].label), lineOf_[i]);
        if (!at.second)
            fail(lineOf_[i], "the atom name %s is used already in line %ld.", in_.sites[i].label.c_str(),
                 at.first->second);
    }
    renamed_ = renamed;
}

int ShelxReader::countPeaksAfter(std::size_t from) const {
    int n = 0;
    for (std::size_t k = from; k < lines_.size(); ++k) {
        const std::vector<std::string> words = wordsOf(lines_[k]);
        if (!lines_[k].empty() && !std::isspace(static_cast<unsigned char>(lines_[k][0])) && isPeak(words[0])) ++n;
    }
    return n;
}

CrystalInput ShelxReader::read() {
    readLines();
    in_.source = path_;
    Card card;
    bool ended = false;
    bool inFragment = false;
    long lastLine = 0;
    while (!ended && nextCard(card)) {
        lastLine = card.line;
        const std::string name = instructionOf(card.words[0]);
        const bool instruction = INSTRUCTIONS.count(name) > 0;
        if (inFragment) {
            // fragment atoms look like atoms but are not
            if (name == "FEND") inFragment = false;
            ended = name == "HKLF" || name == "END";
            continue;
        }
        if (!instruction) {
            atomCard(card);
        } else if (name == "TITL") {
            std::string title = card.text.substr(card.words[0].size());
            title.erase(0, title.find_first_not_of(" \t"));
            in_.title = title;
        } else if (name == "CELL") {
            cellCard(card);
        } else if (name == "ZERR") {
            zerrCard(card);
        } else if (name == "LATT") {
            lattCard(card);
        } else if (name == "SYMM") {
            symmCard(card);
        } else if (name == "SFAC") {
            sfacCard(card);
        } else if (name == "DISP") {
            dispCard(card);
        } else if (name == "FVAR") {
            for (std::size_t k = 1; k < card.words.size(); ++k) fvar_.push_back(number(card, k, "a free variable"));
        } else if (name == "PART") {
            part_ = integer(card, 1, "the part number");
        } else if (name == "RESI") {
            resiCard(card);
        } else if (name == "FRAG") {
            inFragment = true;
        } else if (name == "HKLF" || name == "END") {
            ended = true;
        }
        // everything else (refinement set-up, restraints, constraints, output control) does not
        // describe the structure
    }
    lastLine = ended ? lastLine : static_cast<long>(lines_.size());
    if (cellLine_ == 0) fail(lastLine, "the file gives no CELL instruction before it ends.");
    if (sfac_.empty()) fail(lastLine, "the file gives no SFAC instruction before it ends.");
    if (in_.sites.empty()) fail(lastLine, "the file gives no atoms before it ends.");
    finishLabels();
    // the dispersion the file states, for the scattering table
    for (const CrystalAtomType& t : types_)
        if (std::isfinite(t.fp) && std::isfinite(t.fpp)) in_.atomTypes.push_back(t);

    in_.symmetry.known = true;
    in_.symmetry.centric = latt_ > 0 ? 'C' : 'A';
    in_.symmetry.lattice = LATTICE_OF[std::abs(latt_)];
    if (in_.title.empty()) {
        // the file's name without folder and extension
        const std::size_t slash = path_.find_last_of('/');
        const std::string base = slash == std::string::npos ? path_ : path_.substr(slash + 1);
        in_.title = base.substr(0, base.find_last_of('.'));
    }
    peaks_ += countPeaksAfter(next_);
    printf("Reading SHELX file %s: %zu atoms, LATT %c %c with %zu SYMM card(s).\n", path_.c_str(),
           in_.sites.size(), in_.symmetry.centric, in_.symmetry.lattice, in_.symmetry.symm.size());
    if (!renamed_.empty())
        printf("%s: %zu atom name(s) recur in several residues and carry the residue number (%s%s).\n",
               path_.c_str(), renamed_.size(), renamed_.front().c_str(), renamed_.size() > 1 ? ", ..." : "");
    if (!emptySites_.empty())
        printf("%s: %zu atom(s) of occupancy 0 left out (%s%s), as a CIF of the model leaves them out.\n",
               path_.c_str(), emptySites_.size(), emptySites_.front().c_str(), emptySites_.size() > 1 ? ", ..." : "");
    for (const std::string& name : includes_)
        printf("%s: the included file %s is not read (only the atoms of this file are).\n", path_.c_str(), name.c_str());
    if (peaks_ > 0) printf("%s: %d Q-peak(s) left out (difference-density peaks, not atoms).\n", path_.c_str(), peaks_);
    return in_;
}

}  // namespace

CrystalInput readShelxInput(const std::string& path) { return ShelxReader(path).read(); }
