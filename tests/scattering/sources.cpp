#include "sources.h"

#include <cmath>
#include <complex>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

#include <gemmi/elem.hpp>
#include <gemmi/it92.hpp>

#include "testutil.h"

namespace testsources {

using scattering::SphericalTable;

SphericalTable it92Table(int z, int coreElectrons, double step, double reach) {
    const auto& coef = gemmi::IT92<double>::get(static_cast<gemmi::El>(z));
    SphericalTable t;
    t.step = step;
    for (int i = 0; step * i <= reach + 1e-9; ++i) {
        const double s = step * i;
        const double f = coef.calculate_sf(s * s);
        if (coreElectrons > 0) t.core.push_back(f * coreElectrons / z);
        t.valence.push_back(f / z);
    }
    return t;
}

namespace {

constexpr double BOHR = 0.529177210903;

double factorial(int n) { return n <= 1 ? 1.0 : n * factorial(n - 1); }

// occupation * integral R^2 j0(k r) r^2 dr of one shell, k in 1/bohr
double shellFormFactor(const HartreeFock::Shell& s, double k) {
    double sum = 0;
    for (std::size_t i = 0; i < s.n.size(); ++i)
        for (std::size_t j = 0; j < s.n.size(); ++j) {
            const double ni = std::pow(2 * s.zeta[i], s.n[i] + 0.5) / std::sqrt(factorial(2 * s.n[i]));
            const double nj = std::pow(2 * s.zeta[j], s.n[j] + 0.5) / std::sqrt(factorial(2 * s.n[j]));
            const int p = s.n[i] + s.n[j];
            const double a = s.zeta[i] + s.zeta[j];
            const double integral = k < 1e-9 ? factorial(p) / std::pow(a, p + 1)
                                             : (factorial(p - 1) / std::pow(std::complex<double>(a, -k), p)).imag() / k;
            sum += s.c[i] * s.c[j] * ni * nj * integral;
        }
    return s.occupation * sum;
}

}  // namespace

HartreeFock::HartreeFock(int z) {
    std::string symbol = gemmi::Element(static_cast<gemmi::El>(z)).name();
    for (char& c : symbol) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string path = sharedFixture("../wavefunctions/neutral/" + symbol + ".slater");
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    // configuration such as 1S(2)2S(2)2P(4): the shells and their occupations
    std::map<std::string, int> occupation;
    std::string outerS, outerP;
    for (std::size_t at = line.find('('); at != std::string::npos; at = line.find('(', at + 1)) {
        const std::string shell = line.substr(at - 2, 2);
        occupation[shell] = std::stoi(line.substr(at + 1));
        if (shell[1] == 'S') outerS = shell;
        if (shell[1] == 'P') outerP = shell;
    }
    std::vector<std::string> names;  // orbitals of the current block
    std::vector<std::size_t> firstShell;
    while (std::getline(in, line)) {
        std::istringstream w(line);
        std::string first;
        if (!(w >> first)) continue;
        if ((first == "S" || first == "P" || first == "D" || first == "F") && line.find("BASIS") == std::string::npos) {
            names.clear();
            std::string name;
            const std::size_t base = shells.size();
            while (w >> name) {
                if (!occupation.count(name)) throw std::runtime_error(path + ": configuration lacks " + name);
                const bool isCore = z > 2 && name != outerS && name != outerP;
                shells.push_back({occupation[name], isCore, {}, {}, {}});
                if (!isCore) valenceElectrons += occupation[name];
                names.push_back(name);
            }
            firstShell.assign(1, base);
            continue;
        }
        if (first.size() == 2 && std::isdigit(static_cast<unsigned char>(first[0])) && !names.empty()) {
            double zeta;
            w >> zeta;
            for (std::size_t o = 0; o < names.size(); ++o) {
                double c;
                w >> c;
                Shell& s = shells[firstShell[0] + o];
                s.n.push_back(first[0] - '0');
                s.zeta.push_back(zeta);
                s.c.push_back(c);
            }
        }
    }
    if (shells.empty() || valenceElectrons == 0) throw std::runtime_error(path + ": no wavefunction read");
}

double HartreeFock::core(double stl) const {
    double f = 0;
    for (const Shell& s : shells)
        if (s.core) f += shellFormFactor(s, 4 * M_PI * stl * BOHR);
    return f;
}

double HartreeFock::valence(double stl) const {
    double f = 0;
    for (const Shell& s : shells)
        if (!s.core) f += shellFormFactor(s, 4 * M_PI * stl * BOHR);
    return f / valenceElectrons;
}

SphericalTable serineTable(int z, double reach) {
    const std::string symbol = gemmi::Element(static_cast<gemmi::El>(z)).name();
    std::ifstream in(sharedFixture("structure-factors/serine/pbe_tables.txt"));
    std::string line;
    SphericalTable t;
    t.step = 0.05;
    while (std::getline(in, line)) {
        std::istringstream w(line);
        std::string el, kind;
        if (!(w >> el >> kind) || el != symbol) continue;
        std::vector<double>& column = kind == "core" ? t.core : t.valence;
        double v;
        while (w >> v) column.push_back(v);
    }
    if (t.valence.empty()) throw std::runtime_error("pbe_tables.txt holds no valence row of " + symbol);
    const HartreeFock hf(z);
    const double joint = t.step * static_cast<double>(t.valence.size() - 1);
    const double coreShift = t.core.empty() ? 0.0 : t.core.back() - hf.core(joint);
    const double shift = t.valence.back() - hf.valence(joint);
    for (std::size_t i = t.valence.size(); t.step * static_cast<double>(i) <= reach + 1e-9; ++i) {
        const double s = t.step * static_cast<double>(i);
        const double fade = std::max(0.0, 1 - (s - joint) / 0.3);
        if (!t.core.empty()) t.core.push_back(hf.core(s) + coreShift * fade);
        t.valence.push_back(hf.valence(s) + shift * fade);
    }
    return t;
}

}  // namespace testsources
