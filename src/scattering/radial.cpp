#include "radial.h"

#include <cmath>
#include <cstdio>
#include <sstream>

#include <gemmi/elem.hpp>

#include "../core/failure.h"
#include "textfile.h"

namespace scattering {

namespace {

constexpr double BOHR = 0.529177210903;  // A

// Effective nuclear charges Z_eff = n zeta of the valence orbitals from the screening
// constants of Clementi & Raimondi, J. Chem. Phys. 38 (1963) 2686 (and Clementi, Raimondi &
// Reinhardt, J. Chem. Phys. 47 (1967) 1300 for the values they tabulate), for Z = 1..36:
// outer s, outer p (0: none occupied) and 3d (0: none in the valence shell).
struct Screening {
    double s, p, d;
};
const Screening SCREENING[36] = {
    {1.0, 0, 0},        {1.6875, 0, 0},      {1.2792, 0, 0},       {1.9120, 0, 0},       {2.5762, 2.4214, 0},
    {3.2166, 3.1358, 0}, {3.8474, 3.8340, 0}, {4.4916, 4.4532, 0},  {5.1276, 5.1000, 0},  {5.7584, 5.7584, 0},
    {2.5074, 0, 0},     {3.3075, 0, 0},      {4.1172, 4.0656, 0},  {4.9032, 4.2852, 0},  {5.6418, 4.8864, 0},
    {6.3669, 5.4819, 0}, {7.0683, 6.1161, 0}, {7.7568, 6.7641, 0},  {3.4952, 0, 0},       {4.3981, 0, 0},
    {4.6316, 0, 7.1203}, {4.8168, 0, 8.1410}, {4.9812, 0, 8.9828},  {5.1332, 0, 9.7566},  {5.2828, 0, 10.5282},
    {5.4340, 0, 11.1798}, {5.5764, 0, 11.8554}, {5.7108, 0, 12.5296}, {5.8580, 0, 13.2006}, {5.9652, 0, 13.8780},
    {7.0671, 6.2216, 0}, {8.0444, 6.7804, 0}, {8.9444, 7.4488, 0},  {9.7577, 8.2867, 0},  {10.5528, 9.0279, 0},
    {11.3161, 9.7686, 0},
};

int principal(int z) { return z <= 2 ? 1 : z <= 10 ? 2 : z <= 18 ? 3 : 4; }

}  // namespace

// zeta: the exponent of the valence density (a product of two valence orbitals), the sum of
// the s and p orbital exponents, twice the s exponent where no p shell is occupied, and
// twice the 3d exponent for the transition metals Sc..Zn. Hydrogen: 2 x 1.0 bohr^-1.
// n_l: the power of r in that product, 2(n-1) for valence orbitals of principal quantum
// number n (3 for a 3d shell), raised to l where smaller, as usual in multipole models
// (H, He 0 1 2 3 4; Li..Ne 2 2 2 3 4; Na..Ar and Sc..Zn 4 4 4 4 4; K, Ca, Ga..Kr 6 6 6 6 6).
RadialSet standardRadial(int z) {
    if (z < 1 || z > 36)
        fatal("radial exponents: no standard exponent for element %d (H..Kr only); give them with -radial", z);
    const Screening& s = SCREENING[z - 1];
    const int n = principal(z);
    double zeta;  // bohr^-1
    int shell = n;
    if (s.d > 0) {
        zeta = 2 * s.d / 3;
        shell = 3;
    } else if (s.p > 0) {
        zeta = s.s / n + s.p / n;
    } else {
        zeta = 2 * s.s / n;
    }
    RadialSet r;
    r.zeta = zeta / BOHR;
    for (int l = 0; l <= MAX_L; ++l) r.n[l] = std::max(2 * (shell - 1), l);
    return r;
}

int atomicNumber(const std::string& symbol) {
    if (symbol.empty() || symbol.size() > 2) return 0;
    const gemmi::Element el(symbol);
    if (el.elem == gemmi::El::X || el.elem == gemmi::El::D) return 0;
    return el.atomic_number();
}

std::map<int, RadialSet> parseRadialText(const std::string& text, const std::string& name) {
    std::map<int, RadialSet> table;
    int number = 0;
    for (const std::string& line : splitLines(text)) {
        ++number;
        std::istringstream in(line);
        std::string symbol;
        if (!(in >> symbol) || symbol[0] == '#' || symbol[0] == '!') continue;
        RadialSet r;
        std::string zeta;
        const int z = atomicNumber(symbol);
        if (z == 0) fatal("%s, line %d: \"%s\" names no element", name.c_str(), number, symbol.c_str());
        if (!(in >> zeta) || !parseNumber(zeta, r.zeta) || !(r.zeta > 0) || r.zeta > 1000)
            fatal("%s, line %d: the exponent of %s is no positive number of 1/A", name.c_str(), number,
                  symbol.c_str());
        for (int l = 0; l <= MAX_L; ++l) {
            std::string word;
            long v = -1;
            if (!(in >> word) || !parseInteger(word, v) || v < std::max(0, l - 1) || v > 12)
                fatal("%s, line %d: n_%d of %s is missing or outside %d..12 (line: element zeta n0 n1 n2 n3 n4)",
                      name.c_str(), number, l, symbol.c_str(), std::max(0, l - 1));
            r.n[l] = static_cast<int>(v);
        }
        std::string rest;
        if (in >> rest && rest[0] != '#' && rest[0] != '!')
            fatal("%s, line %d: more than six numbers after %s", name.c_str(), number, symbol.c_str());
        table[z] = r;
    }
    return table;
}

std::map<int, RadialSet> readRadialFile(const std::string& path) {
    return parseRadialText(readTextFile(path), path);
}

}  // namespace scattering
