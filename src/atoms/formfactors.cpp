// Core and valence form factors by Fourier-Bessel transforms of the shell densities, their
// tables and interpolation, the per-run cache, and the -atom listing.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "atoms/atoms.h"
#include "atoms/radial.h"
#include "atoms/slater.h"
#include "core/failure.h"

namespace atoms {

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double BOHR = 0.529177210903;   // Angstrom

// The tables: sin(theta)/lambda = 0, STEP, ... up to MAX_STOL (and three points beyond, for
// the interpolation stencil at the end).
constexpr double STOL_STEP = 0.005;
constexpr double MAX_STOL = 3.0;
constexpr int TABLE_SIZE = static_cast<int>(MAX_STOL / STOL_STEP + 0.5) + 4;

// The transform grid: logarithmic near the nucleus (relative spacing LOG_STEP), linear
// (spacing LINEAR_STEP bohr) far out, so that the oscillations of j0(kr) are resolved up to
// the largest k of the tables: r(t) solves t = ln(r / FIRST_R) / LOG_STEP + r / LINEAR_STEP.
constexpr double FIRST_R = 1e-6;
constexpr double LAST_R = 45.0;
constexpr double LOG_STEP = 0.01;
constexpr double LINEAR_STEP = 0.015;

const char* const SYMBOLS[] = {"H",  "He", "Li", "Be", "B",  "C",  "N",  "O",  "F",  "Ne", "Na", "Mg", "Al", "Si",
                               "P",  "S",  "Cl", "Ar", "K",  "Ca", "Sc", "Ti", "V",  "Cr", "Mn", "Fe", "Co", "Ni",
                               "Cu", "Zn", "Ga", "Ge", "As", "Se", "Br", "Kr", "Rb", "Sr", "Y",  "Zr", "Nb", "Mo",
                               "Tc", "Ru", "Rh", "Pd", "Ag", "Cd", "In", "Sn", "Sb", "Te", "I",  "Xe"};
constexpr int MAX_Z = 54;

const char SHELL_LETTERS[] = "SPDF";

struct TransformGrid {
    std::vector<double> r, weight;   // points and quadrature weights of integral f dr
};

const TransformGrid& transformGrid() {
    static const TransformGrid grid = [] {
        TransformGrid g;
        auto tOf = [](double r) { return std::log(r / FIRST_R) / LOG_STEP + r / LINEAR_STEP; };
        const int n = static_cast<int>(std::ceil(tOf(LAST_R))) + 1;
        std::vector<double> drdt(n);
        double r = FIRST_R;
        for (int j = 0; j < n; ++j) {
            for (int k = 0; k < 50; ++k) {   // Newton on t(r) = j
                const double f = tOf(r) - j;
                const double d = 1 / (LOG_STEP * r) + 1 / LINEAR_STEP;
                const double next = std::max(r - f / d, 0.5 * r);
                if (std::fabs(next - r) < 1e-15 * r) break;
                r = next;
            }
            g.r.push_back(r);
            drdt[j] = 1 / (1 / (LOG_STEP * r) + 1 / LINEAR_STEP);
        }
        // extended Simpson weights in t
        g.weight.assign(n, 1.0);
        const double ends[4] = {17.0 / 48, 59.0 / 48, 43.0 / 48, 49.0 / 48};
        for (int k = 0; k < 4; ++k) {
            g.weight[k] = ends[k];
            g.weight[n - 1 - k] = ends[k];
        }
        for (int j = 0; j < n; ++j) g.weight[j] *= drdt[j];
        return g;
    }();
    return grid;
}

// u^2 of a solved shell at the points of the transform grid: cubic interpolation in ln r.
std::vector<double> resample(const AtomSolution& atom, const std::vector<double>& u) {
    const TransformGrid& g = transformGrid();
    const double x0 = std::log(atom.r[0]);
    const std::size_t n = atom.r.size();
    std::vector<double> out(g.r.size(), 0.0);
    for (std::size_t j = 0; j < g.r.size(); ++j) {
        const double x = (std::log(g.r[j]) - x0) / atom.h;
        if (x < 1) {   // below the solver's second point: u ~ r^s; the weight there is negligible
            out[j] = u[0] * u[0] * std::pow(g.r[j] / atom.r[0], 2.0);
            continue;
        }
        const std::size_t i = static_cast<std::size_t>(x);
        if (i + 2 >= n) break;
        const double t = x - double(i);
        const double w0 = -t * (t - 1) * (t - 2) / 6, w1 = (t + 1) * (t - 1) * (t - 2) / 2,
                     w2 = -(t + 1) * t * (t - 2) / 2, w3 = (t + 1) * t * (t - 1) / 6;
        const double v = w0 * u[i - 1] + w1 * u[i] + w2 * u[i + 1] + w3 * u[i + 2];
        out[j] = v * v;
    }
    return out;
}

// Column of the SCAT row of shell (n, l); -1 when the row has none.
int columnOf(int n, int l) {
    for (int c = 0; c < 18; ++c)
        if (scatColumn(c).n == n && scatColumn(c).l == l) return c;
    return -1;
}

int period(int z) { return z <= 2 ? 1 : z <= 10 ? 2 : z <= 18 ? 3 : z <= 36 ? 4 : 5; }

bool dBlock(int z) { return (z >= 21 && z <= 30) || (z >= 39 && z <= 48); }

}  // namespace

ShellName scatColumn(int column) {
    static const ShellName columns[18] = {{1, 0}, {2, 0}, {3, 0}, {4, 0}, {2, 1}, {3, 1}, {4, 1}, {3, 2}, {4, 2},
                                          {4, 3}, {5, 0}, {5, 1}, {6, 0}, {6, 1}, {5, 2}, {7, 0}, {6, 2}, {5, 3}};
    return columns[column];
}

ShellSplit defaultSplit(int z) {
    ShellSplit split;
    const int p = period(z);
    for (const ShellOccupation& s : groundStateConfiguration(z)) {
        const bool valence = (s.n == p && s.l <= 1) || (dBlock(z) && s.n == p - 1 && s.l == 2);
        const int e = static_cast<int>(std::lround(s.electrons));
        split.occupations[columnOf(s.n, s.l)] = valence ? -e : e;
    }
    return split;
}

FormFactors::FormFactors(std::vector<double> core, std::vector<double> valence, double coreElectrons,
                         double valenceElectrons, double totalEnergy)
    : core_(std::move(core)),
      valence_(std::move(valence)),
      coreElectrons_(coreElectrons),
      valenceElectrons_(valenceElectrons),
      totalEnergy_(totalEnergy) {}

double FormFactors::maxStol() const { return MAX_STOL; }

double FormFactors::core(double stol) const { return interpolate(core_, stol); }

double FormFactors::valence(double stol) const { return interpolate(valence_, stol); }

double FormFactors::interpolate(const std::vector<double>& table, double stol) const {
    if (!(stol >= 0 && stol <= MAX_STOL + 1e-9))
        fatal("Spherical form factors are tabulated for sin(theta)/lambda 0 to %.2f 1/A, not %g.", MAX_STOL, stol);
    // six-point Lagrange interpolation; at the start the table's even symmetry f(-s) = f(s)
    const double x = stol / STOL_STEP;
    int i = static_cast<int>(x);
    if (i > TABLE_SIZE - 4) i = TABLE_SIZE - 4;
    const double t = x - i;
    double value = 0;
    for (int a = -2; a <= 3; ++a) {
        double w = 1;
        for (int b = -2; b <= 3; ++b)
            if (b != a) w *= (t - b) / (a - b);
        value += w * table[static_cast<std::size_t>(std::abs(i + a))];
    }
    return value;
}

AtomShells computeShells(int z, const AtomSettings& settings) {
    if (z < 1 || z > MAX_Z) fatal("Spherical atoms are computed for hydrogen to xenon (Z 1 to 54), not Z = %d.", z);
    if (!settings.wavefunctionDir.empty()) {
        const TransformGrid& g = transformGrid();
        AtomShells out;
        out.z = z;
        const SlaterAtom atom = readSlater(settings.wavefunctionDir, SYMBOLS[z - 1]);
        out.totalEnergy = atom.totalEnergy;
        for (const SlaterOrbital& o : atom.orbitals) {
            AtomShells::Shell s{o.n, o.l, std::vector<double>(g.r.size())};
            for (std::size_t j = 0; j < g.r.size(); ++j) {
                const double u = slaterU(o, g.r[j]);
                s.u2[j] = u * u;
            }
            out.shells.push_back(std::move(s));
        }
        return out;
    }
    SolverOptions opt;
    opt.z = z;
    opt.xc = settings.functional == Functional::LDA ? Xc::LDA : Xc::PBE;
    opt.relativistic = settings.relativistic;
    return shellsOf(z, solveAtom(opt));
}

AtomShells shellsOf(int z, const AtomSolution& atom) {
    AtomShells out;
    out.z = z;
    out.totalEnergy = atom.totalEnergy;
    for (const SolvedShell& s : atom.shells) out.shells.push_back({s.n, s.l, resample(atom, s.u)});
    return out;
}

FormFactors makeFormFactors(const AtomShells& atom, const ShellSplit& split) {
    const TransformGrid& g = transformGrid();
    const std::size_t np = g.r.size();
    std::vector<double> core(np, 0.0), valence(np, 0.0);
    double coreElectrons = 0, valenceElectrons = 0;
    for (int c = 0; c < 18; ++c) {
        const int occ = split.occupations[c];
        if (occ == 0) continue;
        const ShellName sn = scatColumn(c);
        const AtomShells::Shell* shell = nullptr;
        for (const auto& s : atom.shells)
            if (s.n == sn.n && s.l == sn.l) shell = &s;
        if (shell == nullptr)
            fatal("The scattering row of %s asks for %d electrons in the %d%c shell, which the atom does not have.",
                  symbolOf(atom.z), std::abs(occ), sn.n, SHELL_LETTERS[sn.l]);
        std::vector<double>& target = occ > 0 ? core : valence;
        (occ > 0 ? coreElectrons : valenceElectrons) += std::abs(occ);
        for (std::size_t j = 0; j < np; ++j) target[j] += std::abs(occ) * shell->u2[j];
    }
    // the transform: f(k) = integral g(r) sin(kr) / (kr) dr, k = 4 pi bohr stol, summed as
    // f(k_m) = 1/k_m sum_j w_j g_j / r_j sin(k_m r_j); sin(k_m r_j) by rotation from one k to
    // the next, four radial points at a time (independent chains the compiler can interleave)
    std::size_t count = 0;
    for (std::size_t j = 0; j < np; ++j)
        if (core[j] > 1e-18 || valence[j] > 1e-18) count = j + 1;
    count = (count + 3) / 4 * 4;
    const double dk = 4 * PI * BOHR * STOL_STEP;
    std::vector<double> fc(TABLE_SIZE, 0.0), fv(TABLE_SIZE, 0.0);
    for (std::size_t j0 = 0; j0 < count; j0 += 4) {
        double wc[4], wv[4], s[4], co[4], sd[4], cd[4];
        for (int q = 0; q < 4; ++q) {
            const std::size_t j = j0 + q;
            const bool in = j < np;
            const double r = in ? g.r[j] : 1.0;
            wc[q] = in ? g.weight[j] * core[j] : 0.0;
            wv[q] = in ? g.weight[j] * valence[j] : 0.0;
            fc[0] += wc[q];
            fv[0] += wv[q];
            wc[q] /= r;
            wv[q] /= r;
            sd[q] = std::sin(dk * r);
            cd[q] = std::cos(dk * r);
            s[q] = sd[q];
            co[q] = cd[q];
        }
        for (int m = 1; m < TABLE_SIZE; ++m) {
            double ac = 0, av = 0;
            for (int q = 0; q < 4; ++q) {
                ac += wc[q] * s[q];
                av += wv[q] * s[q];
                const double s2 = s[q] * cd[q] + co[q] * sd[q];
                co[q] = co[q] * cd[q] - s[q] * sd[q];
                s[q] = s2;
            }
            fc[m] += ac;
            fv[m] += av;
        }
    }
    for (int m = 1; m < TABLE_SIZE; ++m) {
        fc[m] /= m * dk;
        fv[m] /= m * dk;
    }
    if (valenceElectrons > 0)
        for (double& f : fv) f /= valenceElectrons;
    return FormFactors(std::move(fc), std::move(fv), coreElectrons, valenceElectrons, atom.totalEnergy);
}

AtomCache::AtomCache(AtomSettings settings) : settings_(std::move(settings)) {}

const FormFactors& AtomCache::get(int z, const ShellSplit& split) {
    const std::pair<int, std::vector<int>> key{z, std::vector<int>(split.occupations, split.occupations + 18)};
    auto it = tables_.find(key);
    if (it != tables_.end()) return it->second;
    auto s = shells_.find(z);
    if (s == shells_.end()) s = shells_.emplace(z, computeShells(z, settings_)).first;
    return tables_.emplace(key, makeFormFactors(s->second, split)).first->second;
}

int atomicNumber(const std::string& symbol) {
    for (int z = 1; z <= MAX_Z; ++z) {
        const char* s = SYMBOLS[z - 1];
        if (symbol.size() != std::strlen(s)) continue;
        bool same = true;
        for (std::size_t k = 0; k < symbol.size(); ++k)
            if (std::tolower(static_cast<unsigned char>(symbol[k])) != std::tolower(static_cast<unsigned char>(s[k])))
                same = false;
        if (same) return z;
    }
    return 0;
}

const char* symbolOf(int z) { return z >= 1 && z <= MAX_Z ? SYMBOLS[z - 1] : "?"; }

int printAtomTables(const std::string& element, const AtomSettings& settings, std::FILE* out) {
    const int z = atomicNumber(element);
    if (z == 0) {
        std::fprintf(stderr, "-atom: \"%s\" is not an element of hydrogen to xenon.\n", element.c_str());
        return 1;
    }
    AtomCache cache(settings);
    const FormFactors& f = cache.get(z, defaultSplit(z));
    const std::string sym = symbolOf(z);
    auto line = [&](const std::string& label, bool core) {
        std::fprintf(out, "%-10s", label.c_str());
        for (int i = 0; i < 40; ++i) {
            const double stol = 0.05 * i;
            std::fprintf(out, " %7.5f", core ? f.core(stol) : f.valence(stol));
        }
        std::fputc('\n', out);
    };
    // like XD's listing, an element without core electrons (H, He) has no core line
    if (f.coreElectrons() > 0) line(sym + " core", true);
    line(sym + " valence", false);
    std::fprintf(out, "%s total energy %.8f Hartree\n", sym.c_str(), f.totalEnergy());
    return 0;
}

}  // namespace atoms
