#include "atoms/slater.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "core/failure.h"

namespace atoms {

namespace {

constexpr std::size_t MAX_FILE_BYTES = 1 << 20;
constexpr std::size_t MAX_BASIS = 64;      // basis functions of one angular block
constexpr std::size_t MAX_ORBITALS = 8;    // orbitals of one angular block
constexpr double MAX_ZETA = 1e4;
constexpr double MAX_COEFFICIENT = 1e3;

const char* const LETTERS = "SPDF";

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> w;
    std::string s;
    while (in >> s) w.push_back(s);
    return w;
}

int letterL(const std::string& s) {
    if (s.size() != 1) return -1;
    for (int l = 0; LETTERS[l]; ++l)
        if (s[0] == LETTERS[l]) return l;
    return -1;
}

// "2S" -> n 2, l 0; false for anything else (n one digit 1..9)
bool shellWord(const std::string& s, int& n, int& l) {
    if (s.size() != 2 || s[0] < '1' || s[0] > '9') return false;
    l = letterL(s.substr(1));
    n = s[0] - '0';
    return l >= 0;
}

bool number(const std::string& s, double& x) {
    if (s.empty() || s.size() > 40) return false;
    char* end = nullptr;
    errno = 0;
    x = std::strtod(s.c_str(), &end);
    return errno == 0 && end == s.c_str() + s.size() && std::isfinite(x);
}

double factorial(int n) {
    double f = 1;
    for (int i = 2; i <= n; ++i) f *= i;
    return f;
}

double normalisation(int n, double zeta) { return std::pow(2 * zeta, n + 0.5) / std::sqrt(factorial(2 * n)); }

}  // namespace

SlaterAtom parseSlater(const std::string& text, const std::string& name) {
    if (text.size() > MAX_FILE_BYTES) fatal("%s: longer than %zu bytes; no wavefunction table is that long.", name.c_str(), MAX_FILE_BYTES);
    SlaterAtom atom;
    bool haveEnergy = false;
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    int blockL = -1;                  // the angular block being read
    std::size_t blockStart = 0;       // its first orbital in atom.orbitals
    int blockLine = 0;                // lines read since its header
    while (std::getline(in, line)) {
        ++lineNo;
        const std::vector<std::string> w = words(line);
        if (w.empty()) continue;
        if (!haveEnergy) {
            if (w.size() >= 3 && w[0] == "E" && w[1] == "=") {
                if (!number(w[2], atom.totalEnergy))
                    fatal("%s, line %d: the total energy \"%s\" is no number.", name.c_str(), lineNo, w[2].c_str());
                haveEnergy = true;
            }
            continue;
        }
        int n = 0, l = 0;
        const int headerL = letterL(w[0]);
        if (headerL >= 0 && w.size() >= 2) {   // block header: "S  1S 2S"
            if (w.size() - 1 > MAX_ORBITALS)
                fatal("%s, line %d: more than %zu orbitals in one block.", name.c_str(), lineNo, MAX_ORBITALS);
            blockL = headerL;
            blockStart = atom.orbitals.size();
            blockLine = 0;
            for (std::size_t k = 1; k < w.size(); ++k) {
                if (!shellWord(w[k], n, l) || l != headerL || n <= l)
                    fatal("%s, line %d: \"%s\" is no %c orbital.", name.c_str(), lineNo, w[k].c_str(), LETTERS[headerL]);
                for (const auto& o : atom.orbitals)
                    if (o.n == n && o.l == l) fatal("%s, line %d: the orbital %s appears twice.", name.c_str(), lineNo, w[k].c_str());
                SlaterOrbital o;
                o.n = n;
                o.l = l;
                atom.orbitals.push_back(o);
            }
            continue;
        }
        if (blockL < 0) continue;   // text between the energies and the first block
        ++blockLine;
        if (blockLine <= 2) continue;   // orbital energies and CUSP line
        const std::size_t orbitals = atom.orbitals.size() - blockStart;
        if (!shellWord(w[0], n, l) || l != blockL || w.size() != orbitals + 2)
            fatal("%s, line %d: expected a basis row \"<n>%c zeta\" and %zu coefficients.", name.c_str(), lineNo,
                  LETTERS[blockL], orbitals);
        double zeta = 0;
        if (!number(w[1], zeta) || !(zeta > 0) || zeta > MAX_ZETA)
            fatal("%s, line %d: the exponent \"%s\" is not a number in (0, %g].", name.c_str(), lineNo, w[1].c_str(), MAX_ZETA);
        if (atom.orbitals[blockStart].zeta.size() >= MAX_BASIS)
            fatal("%s, line %d: more than %zu basis functions in one block.", name.c_str(), lineNo, MAX_BASIS);
        for (std::size_t k = 0; k < orbitals; ++k) {
            double c = 0;
            if (!number(w[k + 2], c) || std::fabs(c) > MAX_COEFFICIENT)
                fatal("%s, line %d: the coefficient \"%s\" is not a number of at most %g.", name.c_str(), lineNo,
                      w[k + 2].c_str(), MAX_COEFFICIENT);
            SlaterOrbital& o = atom.orbitals[blockStart + k];
            o.basisN.push_back(n);
            o.zeta.push_back(zeta);
            o.coefficient.push_back(c);
        }
    }
    if (!haveEnergy) fatal("%s: no total energy line \"E = ...\".", name.c_str());
    if (atom.orbitals.empty()) fatal("%s: no orbitals.", name.c_str());
    for (const auto& o : atom.orbitals) {
        if (o.zeta.empty()) fatal("%s: the orbital %d%c has no basis functions.", name.c_str(), o.n, LETTERS[o.l]);
        const double norm = slaterNorm(o);
        if (!(std::fabs(norm - 1) < 1e-3))
            fatal("%s: the orbital %d%c is not normalised (its norm is %g).", name.c_str(), o.n, LETTERS[o.l], norm);
    }
    return atom;
}

SlaterAtom readSlater(const std::string& dir, const std::string& symbol) {
    std::string file = symbol;
    for (auto& c : file) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string path = dir + "/" + file + ".slater";
    std::ifstream in(path, std::ios::binary);
    if (!in) cannotOpen("%s", path.c_str());
    std::string text;
    char buf[65536];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
        text.append(buf, static_cast<std::size_t>(in.gcount()));
        if (text.size() > MAX_FILE_BYTES) break;
    }
    return parseSlater(text, path);
}

double slaterU(const SlaterOrbital& o, double r) {
    double u = 0;
    for (std::size_t i = 0; i < o.zeta.size(); ++i)
        u += o.coefficient[i] * normalisation(o.basisN[i], o.zeta[i]) * std::pow(r, o.basisN[i]) * std::exp(-o.zeta[i] * r);
    return u;
}

double slaterNorm(const SlaterOrbital& o) {
    // <chi_i|chi_j> = N_i N_j (n_i + n_j)! / (zeta_i + zeta_j)^(n_i + n_j + 1)
    double s = 0;
    for (std::size_t i = 0; i < o.zeta.size(); ++i)
        for (std::size_t j = 0; j < o.zeta.size(); ++j) {
            const int p = o.basisN[i] + o.basisN[j];
            s += o.coefficient[i] * o.coefficient[j] * normalisation(o.basisN[i], o.zeta[i]) *
                 normalisation(o.basisN[j], o.zeta[j]) * factorial(p) / std::pow(o.zeta[i] + o.zeta[j], p + 1);
        }
    return s;
}

}  // namespace atoms
