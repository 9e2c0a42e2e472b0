// Radial Kohn-Sham solver. Each shell's radial equation is written for u = r R and the flux
// p = M du/dr, where M = 1 for the non-relativistic kinetic operator and
// M = 1 / (1 - V_c / 2c^2) for ZORA (V_c the nuclear plus Hartree potential):
//     du/dr = p / M,   dp/dr = [M'/r + M l(l+1)/r^2 + 2 (V - E)] u,
// integrated in x = ln r by the implicit fourth-order Adams-Moulton formula (exact 2x2
// solve per step), outward from the origin and inward from the tail to the classical
// turning point; the eigenvalue follows from the node count and the flux mismatch.
#include "atoms/radial.h"

#include <xc.h>

#include <algorithm>
#include <cmath>

#include "core/failure.h"

namespace atoms {

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double SPEED_OF_LIGHT = 137.035999084;   // atomic units (CODATA 2018)
constexpr int MAX_Z = 54;

// The grid: r_0 = 1e-7 bohr to 50 bohr.
constexpr double R_FIRST = 1e-7;
constexpr double R_LAST = 50.0;
constexpr double GRID_STEP = 0.006;

constexpr int MAX_SCF = 300;
constexpr int PULAY_HISTORY = 7;
constexpr double PULAY_MIX = 0.5;

// Integral of f dx on a uniform grid of step h, fourth order (extended Simpson weights).
double integrateUniform(const std::vector<double>& f, double h) {
    const std::size_t n = f.size();
    if (n < 8) {
        double s = 0;
        for (std::size_t i = 1; i < n; ++i) s += 0.5 * (f[i - 1] + f[i]);
        return s * h;
    }
    double s = 17.0 / 48 * (f[0] + f[n - 1]) + 59.0 / 48 * (f[1] + f[n - 2]) + 43.0 / 48 * (f[2] + f[n - 3]) +
               49.0 / 48 * (f[3] + f[n - 4]);
    for (std::size_t i = 4; i + 4 < n; ++i) s += f[i];
    return s * h;
}

// Running integral C_i = integral of F dx from x_0 to x_i, fourth order per interval.
std::vector<double> cumulative(const std::vector<double>& F, double h) {
    const std::size_t n = F.size();
    std::vector<double> c(n, 0.0);
    for (std::size_t i = 0; i + 1 < n; ++i) {
        double piece;
        if (i == 0)
            piece = 9 * F[0] + 19 * F[1] - 5 * F[2] + F[3];
        else if (i + 2 >= n)
            piece = 9 * F[i + 1] + 19 * F[i] - 5 * F[i - 1] + F[i - 2];
        else
            piece = -F[i - 1] + 13 * F[i] + 13 * F[i + 1] - F[i + 2];
        c[i + 1] = c[i] + piece * h / 24;
    }
    return c;
}

// dF/dx on a uniform grid of step h, fourth order.
std::vector<double> derivative(const std::vector<double>& F, double h) {
    const std::size_t n = F.size();
    std::vector<double> d(n);
    for (std::size_t i = 2; i + 2 < n; ++i) d[i] = (F[i - 2] - 8 * F[i - 1] + 8 * F[i + 1] - F[i + 2]) / (12 * h);
    d[0] = (-25 * F[0] + 48 * F[1] - 36 * F[2] + 16 * F[3] - 3 * F[4]) / (12 * h);
    d[1] = (-3 * F[0] - 10 * F[1] + 18 * F[2] - 6 * F[3] + F[4]) / (12 * h);
    d[n - 1] = (25 * F[n - 1] - 48 * F[n - 2] + 36 * F[n - 3] - 16 * F[n - 4] + 3 * F[n - 5]) / (12 * h);
    d[n - 2] = (3 * F[n - 1] + 10 * F[n - 2] - 18 * F[n - 3] + 6 * F[n - 4] - F[n - 5]) / (12 * h);
    return d;
}

// Exchange-correlation functionals of libxc for one model.
class XcModel {
public:
    explicit XcModel(Xc model) : model_(model) {
        if (model == Xc::LdaExchange) add(XC_LDA_X);
        if (model == Xc::LDA) {
            add(XC_LDA_X);
            add(XC_LDA_C_VWN);
        }
        if (model == Xc::PBE) {
            add(XC_GGA_X_PBE);
            add(XC_GGA_C_PBE);
        }
    }
    ~XcModel() {
        for (auto& f : funcs_) xc_func_end(&f);
    }
    XcModel(const XcModel&) = delete;
    XcModel& operator=(const XcModel&) = delete;

    bool gradient() const { return model_ == Xc::PBE; }

    // Potential v and energy density per electron eps of density rho with radial slope drho.
    void evaluate(const std::vector<double>& r, double h, const std::vector<double>& rho,
                  const std::vector<double>& drho, std::vector<double>& v, std::vector<double>& eps) const {
        const std::size_t n = rho.size();
        v.assign(n, 0.0);
        eps.assign(n, 0.0);
        if (funcs_.empty()) return;
        std::vector<double> sigma(n), zk(n), vrho(n), vsigma(n), vs(n, 0.0);
        for (std::size_t i = 0; i < n; ++i) sigma[i] = drho[i] * drho[i];
        for (const auto& f : funcs_) {
            if (gradient())
                xc_gga_exc_vxc(&f, n, rho.data(), sigma.data(), zk.data(), vrho.data(), vsigma.data());
            else
                xc_lda_exc_vxc(&f, n, rho.data(), zk.data(), vrho.data());
            for (std::size_t i = 0; i < n; ++i) {
                eps[i] += zk[i];
                v[i] += vrho[i];
                if (gradient()) vs[i] += vsigma[i];
            }
        }
        if (!gradient()) return;
        // v -= (1/r^2) d/dr (2 r^2 vsigma rho') = (1/r^3) dW/dx with W = 2 r^2 vsigma rho'
        std::vector<double> W(n);
        for (std::size_t i = 0; i < n; ++i) W[i] = 2 * r[i] * r[i] * vs[i] * drho[i];
        const std::vector<double> dW = derivative(W, h);
        for (std::size_t i = 0; i < n; ++i) v[i] -= dW[i] / (r[i] * r[i] * r[i]);
    }

private:
    void add(int id) {
        funcs_.emplace_back();
        if (xc_func_init(&funcs_.back(), id, XC_UNPOLARIZED) != 0) {
            funcs_.pop_back();
            fatal("The exchange-correlation functional %d is not available in libxc.", id);
        }
    }

    Xc model_;
    std::vector<xc_func_type> funcs_;
};

// The potentials one shell sees, on the grid.
struct Potential {
    std::vector<double> V;    // total Kohn-Sham potential
    std::vector<double> M;    // relativistic factor (1 without ZORA)
    std::vector<double> dM;   // dM/dr
};

struct ShellResult {
    double energy = 0;
    std::vector<double> u, p;   // u and p = M du/dr
};

// Shooting for shell (n, l) in the potential; guess is the starting energy.
class ShellSolver {
public:
    ShellSolver(const std::vector<double>& r, double h, const Potential& pot, int l)
        : r_(r), h_(h), pot_(pot), l_(l), n_(r.size()), a_(n_), c_(n_), veff_(n_) {
        const double ll = l * (l + 1.0);
        for (std::size_t i = 0; i < n_; ++i) {
            a_[i] = r[i] / pot.M[i];
            c_[i] = pot.dM[i] + pot.M[i] * ll / r[i] + 2 * r[i] * pot.V[i];
            veff_[i] = pot.V[i] + pot.M[i] * ll / (2 * r[i] * r[i]);
        }
    }

    ShellResult solve(int n, int z, double guess) const {
        const int nodesWanted = n - l_ - 1;
        double emin = -0.75 * z * z - 10, emax = 0;
        double e = std::min(std::max(guess, emin + 1e-9), -1e-9);
        ShellResult res;
        res.u.assign(n_, 0.0);
        res.p.assign(n_, 0.0);
        std::vector<double> u2;
        for (int iter = 0; iter < 400; ++iter) {
            const std::size_t ic = turningPoint(e);
            const int nodes = outward(e, ic, res.u, res.p);
            if (nodes != nodesWanted) {
                (nodes > nodesWanted ? emax : emin) = e;
                e = 0.5 * (emin + emax);
                if (emax - emin < 1e-14 * std::max(1.0, std::fabs(e))) break;
                continue;
            }
            const double uOut = res.u[ic], pOut = res.p[ic];
            const std::size_t iend = inward(e, ic, res.u, res.p);
            const double scale = uOut / res.u[ic];
            for (std::size_t i = ic; i <= iend; ++i) {
                res.u[i] *= scale;
                res.p[i] *= scale;
            }
            for (std::size_t i = iend + 1; i < n_; ++i) res.u[i] = res.p[i] = 0;
            u2.resize(iend + 1);   // u vanishes beyond the tail's start
            for (std::size_t i = 0; i <= iend; ++i) u2[i] = res.u[i] * res.u[i] * r_[i];
            const double norm = integrateUniform(u2, h_);
            const double de = uOut * (pOut - res.p[ic]) / (2 * norm);
            (de > 0 ? emin : emax) = e;
            const double tol = 1e-12 * std::max(1.0, std::fabs(e));
            if (std::fabs(de) < tol || emax - emin < tol) {
                const double s = 1 / std::sqrt(norm);
                for (std::size_t i = 0; i < n_; ++i) {
                    res.u[i] *= s;
                    res.p[i] *= s;
                }
                res.energy = e + de;
                return res;
            }
            double next = e + de;
            if (!(next > emin && next < emax)) next = 0.5 * (emin + emax);
            e = next;
        }
        fatal("The radial equation of shell n=%d l=%d of element %d did not converge (energy %g Hartree).", n,
              l_, z, e);
    }

private:
    std::size_t turningPoint(double e) const {
        std::size_t ic = 0;
        for (std::size_t i = n_ - 1; i > 0; --i)
            if (veff_[i] < e) {
                ic = i;
                break;
            }
        if (ic == 0) ic = static_cast<std::size_t>(std::min_element(veff_.begin(), veff_.end()) - veff_.begin());
        return std::min(std::max(ic, std::size_t{10}), n_ - 10);
    }

    // Outward from the origin to ic; returns the number of nodes of u.
    int outward(double e, std::size_t ic, std::vector<double>& u, std::vector<double>& p) const {
        const double s = leadingPower(r_[0]);
        for (std::size_t i = 0; i < 3; ++i) {
            u[i] = std::pow(r_[i] / r_[0], s);
            p[i] = pot_.M[i] * s * u[i] / r_[i];
        }
        const double al = 9 * h_ / 24, k = h_ / 24;
        int nodes = 0;
        for (std::size_t i = 2; i < ic; ++i) {
            const double b0 = c_[i] - 2 * r_[i] * e, b1 = c_[i - 1] - 2 * r_[i - 1] * e,
                         b2 = c_[i - 2] - 2 * r_[i - 2] * e, bn = c_[i + 1] - 2 * r_[i + 1] * e;
            const double ru = u[i] + k * (19 * a_[i] * p[i] - 5 * a_[i - 1] * p[i - 1] + a_[i - 2] * p[i - 2]);
            const double rp = p[i] + k * (19 * b0 * u[i] - 5 * b1 * u[i - 1] + b2 * u[i - 2]);
            const double an = a_[i + 1];
            u[i + 1] = (ru + al * an * rp) / (1 - al * al * an * bn);
            p[i + 1] = rp + al * bn * u[i + 1];
            if ((u[i + 1] < 0) != (u[i] < 0)) ++nodes;
            if (std::fabs(u[i + 1]) > 1e100) {   // far in the forbidden region: keep the numbers finite
                for (std::size_t j = 0; j <= i + 1; ++j) {
                    u[j] *= 1e-100;
                    p[j] *= 1e-100;
                }
            }
        }
        return nodes;
    }

    // Inward from the tail to ic; returns the last index of the tail that was integrated.
    std::size_t inward(double e, std::size_t ic, std::vector<double>& u, std::vector<double>& p) const {
        std::size_t iend = ic;
        double s = 0;
        while (iend + 1 < n_ && s < 50) {
            s += std::sqrt(2 * std::max(veff_[iend] - e, 0.0)) * (r_[iend + 1] - r_[iend]);
            ++iend;
        }
        iend = std::max(iend, ic + 4);
        const double kappa = std::sqrt(2 * std::max(veff_[iend] - e, 1e-6));
        for (std::size_t j = 0; j < 3; ++j) {
            const std::size_t i = iend - j;
            u[i] = std::exp(-kappa * (r_[i] - r_[iend]));
            p[i] = -kappa * pot_.M[i] * u[i];
        }
        const double al = 9 * h_ / 24, k = h_ / 24;
        for (std::size_t i = iend - 2; i > ic; --i) {
            const double b0 = c_[i] - 2 * r_[i] * e, b1 = c_[i + 1] - 2 * r_[i + 1] * e,
                         b2 = c_[i + 2] - 2 * r_[i + 2] * e, bn = c_[i - 1] - 2 * r_[i - 1] * e;
            const double ru = u[i] - k * (19 * a_[i] * p[i] - 5 * a_[i + 1] * p[i + 1] + a_[i + 2] * p[i + 2]);
            const double rp = p[i] - k * (19 * b0 * u[i] - 5 * b1 * u[i + 1] + b2 * u[i + 2]);
            const double an = a_[i - 1];
            u[i - 1] = (ru - al * an * rp) / (1 - al * al * an * bn);
            p[i - 1] = rp - al * bn * u[i - 1];
            if (std::fabs(u[i - 1]) > 1e100) {
                for (std::size_t j = i - 1; j <= iend; ++j) {
                    u[j] *= 1e-100;
                    p[j] *= 1e-100;
                }
            }
        }
        return iend;
    }

    // u ~ r^s at the origin: s = l + 1 without ZORA; with ZORA (M ~ 2c^2 r / Z there)
    // s = sqrt(l(l+1) + 1 - (Z/c)^2).
    double leadingPower(double r0) const {
        if (pot_.M[0] > 0.999) return l_ + 1.0;
        // M ~ a r: a = M/r at the first point; s^2 = 1 + l(l+1) - 2 Z / a with Z = -V r there
        const double a = pot_.M[0] / r0;
        const double z = -pot_.V[0] * r0;
        const double s2 = 1 + l_ * (l_ + 1.0) - 2 * z / a;
        return s2 > 0 ? std::sqrt(s2) : l_ + 1.0;
    }

    const std::vector<double>& r_;
    double h_;
    const Potential& pot_;
    int l_;
    std::size_t n_;
    std::vector<double> a_, c_, veff_;
};

// Gaussian elimination with partial pivoting; false when the system is singular.
bool solveLinear(std::vector<std::vector<double>> A, std::vector<double>& b) {
    const std::size_t n = b.size();
    for (std::size_t c = 0; c < n; ++c) {
        std::size_t piv = c;
        for (std::size_t i = c + 1; i < n; ++i)
            if (std::fabs(A[i][c]) > std::fabs(A[piv][c])) piv = i;
        if (std::fabs(A[piv][c]) < 1e-300) return false;
        std::swap(A[c], A[piv]);
        std::swap(b[c], b[piv]);
        for (std::size_t i = c + 1; i < n; ++i) {
            const double f = A[i][c] / A[c][c];
            for (std::size_t j = c; j < n; ++j) A[i][j] -= f * A[c][j];
            b[i] -= f * b[c];
        }
    }
    for (std::size_t c = n; c-- > 0;) {
        for (std::size_t j = c + 1; j < n; ++j) b[c] -= A[c][j] * b[j];
        b[c] /= A[c][c];
    }
    return true;
}

// Pulay (DIIS) mixing of the density and its slope.
class Pulay {
public:
    explicit Pulay(std::vector<double> weight) : w_(std::move(weight)) {}

    // Given the input (rho, drho) and the output of one iteration, replaces the input by the next.
    void mix(std::vector<double>& rho, std::vector<double>& drho, const std::vector<double>& rhoOut,
             const std::vector<double>& drhoOut) {
        const std::size_t n = rho.size();
        Entry e{rho, drho, std::vector<double>(n), std::vector<double>(n)};
        for (std::size_t i = 0; i < n; ++i) {
            e.res[i] = rhoOut[i] - rho[i];
            e.dres[i] = drhoOut[i] - drho[i];
        }
        hist_.push_back(std::move(e));
        if (hist_.size() > PULAY_HISTORY) hist_.erase(hist_.begin());
        std::vector<double> c;
        while (true) {
            const std::size_t m = hist_.size();
            std::vector<std::vector<double>> A(m + 1, std::vector<double>(m + 1, 1.0));
            for (std::size_t i = 0; i < m; ++i)
                for (std::size_t j = 0; j <= i; ++j) {
                    double s = 0;
                    for (std::size_t k = 0; k < n; ++k) s += w_[k] * hist_[i].res[k] * hist_[j].res[k];
                    A[i][j] = A[j][i] = s;
                }
            A[m][m] = 0;
            // scale for conditioning
            const double d = A[m - 1][m - 1] > 0 ? A[m - 1][m - 1] : 1;
            for (std::size_t i = 0; i < m; ++i)
                for (std::size_t j = 0; j < m; ++j) A[i][j] /= d;
            c.assign(m + 1, 0.0);
            c[m] = 1;
            if (solveLinear(A, c) || m == 1) break;
            hist_.erase(hist_.begin());
        }
        if (c.size() != hist_.size() + 1) c.assign(hist_.size() + 1, 0.0), c[hist_.size() - 1] = 1;
        std::fill(rho.begin(), rho.end(), 0.0);
        std::fill(drho.begin(), drho.end(), 0.0);
        for (std::size_t j = 0; j < hist_.size(); ++j)
            for (std::size_t i = 0; i < n; ++i) {
                rho[i] += c[j] * (hist_[j].rho[i] + PULAY_MIX * hist_[j].res[i]);
                drho[i] += c[j] * (hist_[j].drho[i] + PULAY_MIX * hist_[j].dres[i]);
            }
        for (auto& x : rho) x = std::max(x, 0.0);
    }

private:
    struct Entry {
        std::vector<double> rho, drho, res, dres;
    };
    std::vector<double> w_;
    std::vector<Entry> hist_;
};

}  // namespace

std::vector<ShellOccupation> groundStateConfiguration(int z) {
    if (z < 1 || z > MAX_Z) fatal("Spherical atoms are computed for hydrogen to xenon (Z 1 to 54), not Z = %d.", z);
    // Aufbau order with its capacities
    static const int order[][2] = {{1, 0}, {2, 0}, {2, 1}, {3, 0}, {3, 1}, {4, 0},
                                   {3, 2}, {4, 1}, {5, 0}, {4, 2}, {5, 1}};
    std::vector<ShellOccupation> shells;
    int left = z;
    for (const auto& o : order) {
        if (left == 0) break;
        const int cap = 2 * (2 * o[1] + 1);
        const int k = std::min(cap, left);
        shells.push_back({o[0], o[1], double(k)});
        left -= k;
    }
    // the ground states that take one or two s electrons into the d shell
    auto move = [&](int ns, int nd, int count) {
        for (auto& s : shells) {
            if (s.n == ns && s.l == 0) s.electrons -= count;
            if (s.n == nd && s.l == 2) s.electrons += count;
        }
        shells.erase(std::remove_if(shells.begin(), shells.end(), [](const ShellOccupation& s) { return s.electrons <= 0; }),
                     shells.end());
    };
    switch (z) {
        case 24: case 29: move(4, 3, 1); break;                      // Cr 3d5 4s1, Cu 3d10 4s1
        case 41: case 42: case 44: case 45: case 47: move(5, 4, 1); break;   // Nb Mo Ru Rh Ag: 5s1
        case 46: move(5, 4, 2); break;                               // Pd 4d10
        default: break;
    }
    // inner shells first: by n + l, then n (the order of the orbital energies does not matter)
    std::sort(shells.begin(), shells.end(), [](const ShellOccupation& a, const ShellOccupation& b) {
        return a.n != b.n ? a.n < b.n : a.l < b.l;
    });
    return shells;
}

double integrateRadial(const AtomSolution& atom, const std::vector<double>& f) {
    std::vector<double> g(f.size());
    for (std::size_t i = 0; i < f.size(); ++i) g[i] = f[i] * atom.r[i];
    return integrateUniform(g, atom.h);
}

namespace {

// One self-consistent field run of an atom on its radial grid: the potential, the shells
// solved in it, the density they give and its energies.
class ScfRun {
public:
    ScfRun(const SolverOptions& opt, std::vector<ShellOccupation> config, AtomSolution& atom)
        : opt_(opt), z_(opt.z), config_(std::move(config)), atom_(atom), r_(atom.r), n_(atom.r.size()),
          h_(atom.h), xc_(opt.xc) {
        r3w_.resize(n_);  // weights of the residual norm: r^2 dr = r^3 dx
        for (std::size_t i = 0; i < n_; ++i) r3w_[i] = r_[i] * r_[i] * r_[i];
        pot_.V.resize(n_);
        pot_.M.assign(n_, 1.0);
        pot_.dM.assign(n_, 0.0);
        guess_.resize(config_.size());
        for (std::size_t s = 0; s < config_.size(); ++s)
            guess_[s] = -0.5 * z_ * z_ / double(config_[s].n * config_[s].n) * 0.5;
        orbitals_.resize(config_.size());
        rhoOut_.resize(n_);
        drhoOut_.resize(n_);
    }

    void run() {
        startPotential();
        solveShells();
        std::vector<double> rhoIn = rhoOut_, drhoIn = drhoOut_;
        Pulay pulay(r3w_);
        double previous = 0;
        std::vector<double> Q, VH, vxc, eps;
        for (int it = 1;; ++it) {
            if (it > MAX_SCF) fatal("The self-consistent field of element %d did not converge.", z_);
            hartree(rhoIn, Q, VH);
            xc_.evaluate(r_, h_, rhoIn, drhoIn, vxc, eps);
            for (std::size_t i = 0; i < n_; ++i) pot_.V[i] = -z_ / r_[i] + VH[i] + vxc[i];
            setRelativity(VH, Q);
            solveShells();
            const double residual = energies(rhoIn);
            atom_.iterations = it;
            if ((it > 1 && std::fabs(atom_.totalEnergy - previous) < 1e-10 && residual < 1e-8) || residual < 1e-12)
                break;
            previous = atom_.totalEnergy;
            pulay.mix(rhoIn, drhoIn, rhoOut_, drhoOut_);
        }
        finish();
    }

private:
    // Electrostatics of a density: enclosed electrons Q and the Hartree potential.
    void hartree(const std::vector<double>& rho, std::vector<double>& Q, std::vector<double>& VH) const {
        std::vector<double> f(n_), g(n_);
        for (std::size_t i = 0; i < n_; ++i) {
            f[i] = 4 * PI * rho[i] * r_[i] * r_[i] * r_[i];
            g[i] = 4 * PI * rho[i] * r_[i] * r_[i];
        }
        const std::vector<double> cf = cumulative(f, h_), cg = cumulative(g, h_);
        const double q0 = 4 * PI / 3 * rho[0] * r_[0] * r_[0] * r_[0];
        Q.resize(n_);
        VH.resize(n_);
        for (std::size_t i = 0; i < n_; ++i) {
            Q[i] = opt_.hartree ? q0 + cf[i] : 0.0;
            VH[i] = opt_.hartree ? Q[i] / r_[i] + (cg[n_ - 1] - cg[i]) : 0.0;
        }
    }

    // The relativistic factor M = 1 / (1 - V / 2c^2) of the nuclear plus Hartree potential.
    void setRelativity(const std::vector<double>& VH, const std::vector<double>& Q) {
        if (!opt_.relativistic) return;
        const double c2 = 2 * SPEED_OF_LIGHT * SPEED_OF_LIGHT;
        for (std::size_t i = 0; i < n_; ++i) {
            const double vc = -z_ / r_[i] + VH[i];
            const double dvc = (z_ - Q[i]) / (r_[i] * r_[i]);
            pot_.M[i] = 1 / (1 - vc / c2);
            pot_.dM[i] = pot_.M[i] * pot_.M[i] * dvc / c2;
        }
    }

    // Start: a Thomas-Fermi-like screened nuclear potential with a -1/r tail.
    void startPotential() {
        const double b = 0.8853 * std::pow(double(z_), -1.0 / 3);
        std::vector<double> VH(n_, 0.0), Q(n_, 0.0);
        for (std::size_t i = 0; i < n_; ++i) {
            const double x = r_[i] / b;
            const double phi = 1 / ((1 + 0.53625 * x) * (1 + 0.53625 * x));
            const double zeff = opt_.hartree ? 1 + (z_ - 1) * phi : z_;
            pot_.V[i] = -zeff / r_[i];
            VH[i] = (z_ - zeff) / r_[i];  // the screening, for the relativistic factor
            Q[i] = z_ - zeff;             // approximately; it only enters dM/dr
        }
        setRelativity(VH, Q);
    }

    // Every shell in the current potential, and the density (and its gradient) they give.
    void solveShells() {
        for (std::size_t s = 0; s < config_.size(); ++s) {
            ShellSolver solver(r_, h_, pot_, config_[s].l);
            orbitals_[s] = solver.solve(config_[s].n, z_, guess_[s]);
            guess_[s] = orbitals_[s].energy;
        }
        std::fill(rhoOut_.begin(), rhoOut_.end(), 0.0);
        std::fill(drhoOut_.begin(), drhoOut_.end(), 0.0);
        for (std::size_t s = 0; s < config_.size(); ++s) {
            const double f = config_[s].electrons / (4 * PI);
            const auto& u = orbitals_[s].u;
            const auto& p = orbitals_[s].p;
            for (std::size_t i = 0; i < n_; ++i) {
                const double rr = r_[i] * r_[i];
                rhoOut_[i] += f * u[i] * u[i] / rr;
                drhoOut_[i] += f * 2 * u[i] * (p[i] / pot_.M[i]) / rr;
            }
        }
        for (std::size_t i = 0; i < n_; ++i) drhoOut_[i] -= 2 * rhoOut_[i] / r_[i];
    }

    // The energies of the output density (kinetic energy from the eigenvalues) into the
    // solution; returns the residual, the electrons by which output and input differ.
    double energies(const std::vector<double>& rhoIn) {
        double band = 0;
        for (std::size_t s = 0; s < config_.size(); ++s) band += config_[s].electrons * orbitals_[s].energy;
        std::vector<double> f(n_);
        for (std::size_t i = 0; i < n_; ++i) f[i] = 4 * PI * r_[i] * r_[i] * rhoOut_[i] * pot_.V[i];
        const double kinetic = band - integrateRadial(atom_, f);
        std::vector<double> Qo, VHo, vxco, epso;
        hartree(rhoOut_, Qo, VHo);
        xc_.evaluate(r_, h_, rhoOut_, drhoOut_, vxco, epso);
        std::vector<double> fn(n_), fh(n_), fx(n_), res(n_);
        for (std::size_t i = 0; i < n_; ++i) {
            const double w = 4 * PI * r_[i] * r_[i] * rhoOut_[i];
            fn[i] = -w * z_ / r_[i];
            fh[i] = 0.5 * w * VHo[i];
            fx[i] = w * epso[i];
            res[i] = 4 * PI * r_[i] * r_[i] * std::fabs(rhoOut_[i] - rhoIn[i]);
        }
        atom_.kinetic = kinetic;
        atom_.nuclear = integrateRadial(atom_, fn);
        atom_.hartreeEnergy = integrateRadial(atom_, fh);
        atom_.xcEnergy = integrateRadial(atom_, fx);
        atom_.totalEnergy = atom_.kinetic + atom_.nuclear + atom_.hartreeEnergy + atom_.xcEnergy;
        return integrateRadial(atom_, res);
    }

    void finish() {
        atom_.density = rhoOut_;
        atom_.shells.resize(config_.size());
        for (std::size_t s = 0; s < config_.size(); ++s) {
            atom_.shells[s].n = config_[s].n;
            atom_.shells[s].l = config_[s].l;
            atom_.shells[s].electrons = config_[s].electrons;
            atom_.shells[s].energy = orbitals_[s].energy;
            atom_.shells[s].u = std::move(orbitals_[s].u);
        }
    }

    const SolverOptions& opt_;
    const int z_;
    const std::vector<ShellOccupation> config_;
    AtomSolution& atom_;
    const std::vector<double>& r_;
    const std::size_t n_;
    const double h_;
    XcModel xc_;
    std::vector<double> r3w_;
    Potential pot_;
    std::vector<double> guess_;
    std::vector<ShellResult> orbitals_;
    std::vector<double> rhoOut_, drhoOut_;
};

}  // namespace

AtomSolution solveAtom(const SolverOptions& opt) {
    const int z = opt.z;
    if (z < 1 || z > MAX_Z) fatal("Spherical atoms are computed for hydrogen to xenon (Z 1 to 54), not Z = %d.", z);
    AtomSolution atom;
    std::vector<ShellOccupation> config = opt.configuration.empty() ? groundStateConfiguration(z) : opt.configuration;
    for (const auto& s : config)
        if (s.l < 0 || s.n <= s.l || s.electrons < 0 || s.electrons > 2 * (2 * s.l + 1))
            fatal("The shell n=%d l=%d with %g electrons cannot be occupied.", s.n, s.l, s.electrons);

    const double h = GRID_STEP;
    const std::size_t n = static_cast<std::size_t>(std::ceil(std::log(R_LAST / R_FIRST) / h)) + 1;
    atom.h = h;
    atom.r.resize(n);
    for (std::size_t i = 0; i < n; ++i) atom.r[i] = R_FIRST * std::exp(h * double(i));
    ScfRun(opt, std::move(config), atom).run();
    return atom;
}

}  // namespace atoms
