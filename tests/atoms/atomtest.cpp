#include "atomtest.h"

#include <sys/stat.h>

#include <cmath>
#include <complex>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "testutil.h"

namespace atomtest {

std::string neutralWavefunctions() {
    const std::string dir = std::string(SHARED_FIXTURES_DIR) + "/../wavefunctions/neutral";
    struct stat st;
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw std::runtime_error("the published wavefunctions are missing: expected " + dir);
    return dir;
}

std::map<std::string, std::vector<double>> referenceTables() {
    std::istringstream in(slurp(sharedFixture("structure-factors/serine/pbe_tables.txt")));
    std::map<std::string, std::vector<double>> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream w(line);
        std::string element, kind;
        w >> element >> kind;
        std::vector<double>& row = rows[element + " " + kind];
        double x;
        while (w >> x) row.push_back(x);
    }
    if (rows.empty()) throw std::runtime_error("pbe_tables.txt holds no rows");
    return rows;
}

double closedFormFactor(const atoms::SlaterOrbital& o, double stol) {
    // integral r^p exp(-a r) sin(kr)/(kr) dr = Im[(p-1)! / (a - i k)^p] / k; at k = 0: p! / a^(p+1)
    const double k = 4 * PI * BOHR * stol;
    auto fact = [](int n) {
        double f = 1;
        for (int i = 2; i <= n; ++i) f *= i;
        return f;
    };
    auto norm = [&](int n, double z) { return std::pow(2 * z, n + 0.5) / std::sqrt(fact(2 * n)); };
    double f = 0;
    for (std::size_t i = 0; i < o.zeta.size(); ++i)
        for (std::size_t j = 0; j < o.zeta.size(); ++j) {
            const int p = o.basisN[i] + o.basisN[j];
            const double a = o.zeta[i] + o.zeta[j];
            const double c = o.coefficient[i] * o.coefficient[j] * norm(o.basisN[i], o.zeta[i]) * norm(o.basisN[j], o.zeta[j]);
            if (k < 1e-12)
                f += c * fact(p) / std::pow(a, p + 1);
            else
                f += c * std::imag(fact(p - 1) / std::pow(std::complex<double>(a, -k), p)) / k;
        }
    return f;
}

const SolvedElement& defaultAtom(int z) {
    static std::map<int, std::unique_ptr<SolvedElement>> solved;
    auto it = solved.find(z);
    if (it == solved.end()) {
        atoms::SolverOptions opt;
        opt.z = z;
        atoms::AtomSolution s = atoms::solveAtom(opt);
        atoms::AtomShells shells = atoms::shellsOf(z, s);
        atoms::FormFactors f = atoms::makeFormFactors(shells, atoms::defaultSplit(z));
        it = solved.emplace(z, std::make_unique<SolvedElement>(SolvedElement{std::move(s), std::move(shells), std::move(f)})).first;
    }
    return *it->second;
}

}  // namespace atomtest
