#include "engine.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <thread>
#include <utility>

#include "../core/failure.h"
#include "multipoles.h"

namespace scattering {

namespace {

constexpr double TWO_PI = 2 * M_PI;

// One pair (scattering type, kappa set): the radial parts every atom of it shares at a
// given |h|.
struct RadialKey {
    const ScatteringType* type;
    const KappaSet* kappa;
};

struct RadialValues {
    double core, valence;
    double sphericalValence;  // f_val at kappa 1, for the spherical model
    double j[MAX_L + 1];  // 4 pi <j_l>
};

struct PreparedAtom {
    int key;
    double occ;
    Vec3 frac;
    Mat3 frame;
    bool anisotropic;
    double beta[6];  // T(h) = exp(-(b11 h h + b22 k k + b33 l l + 2 b12 h k + 2 b13 h l + 2 b23 k l))
    double bIso;     // T = exp(-bIso s^2), s = sin(theta)/lambda
    double pv;
    double c[N_MULTIPOLES];  // P_lm N_lm
    int lmax;
    double fp, fpp;
};

struct PreparedOp {
    int rot[3][3];
    double tran[3];
};

struct Prepared {
    std::vector<RadialKey> keys;
    std::vector<PreparedAtom> atoms;
    std::vector<PreparedOp> ops;
    gemmi::Mat33 frac;  // fractionalisation matrix: Cartesian h = frac^T h
};

Prepared prepare(const Model& model) {
    validate(model);
    Prepared p;
    std::map<std::pair<int, int>, int> keyOf;
    const std::array<double, N_MULTIPOLES>& norm = harmonicNorms();
    const double astar[3] = {model.cell.ar, model.cell.br, model.cell.cr};
    for (const Atom& a : model.atoms) {
        PreparedAtom pa;
        const auto found = keyOf.emplace(std::make_pair(a.type, a.kappa), static_cast<int>(p.keys.size()));
        if (found.second) p.keys.push_back({&model.types[a.type], &model.kappas[a.kappa]});
        pa.key = found.first->second;
        pa.occ = a.occupancy;
        pa.frac = a.frac;
        pa.frame = a.frame;
        pa.anisotropic = a.anisotropic;
        const int ij[6][2] = {{0, 0}, {1, 1}, {2, 2}, {0, 1}, {0, 2}, {1, 2}};
        for (int k = 0; k < 6; ++k)
            pa.beta[k] = 2 * M_PI * M_PI * a.u[k] * astar[ij[k][0]] * astar[ij[k][1]] * (k < 3 ? 1 : 2);
        pa.bIso = 8 * M_PI * M_PI * a.uIso;
        pa.pv = a.pv;
        for (int k = 0; k < N_MULTIPOLES; ++k)
            pa.c[k] = multipoleOrder()[k].l <= a.lmax ? a.plm[k] * norm[k] : 0.0;
        pa.lmax = a.lmax;
        pa.fp = model.types[a.type].fp;
        pa.fpp = model.types[a.type].fpp;
        p.atoms.push_back(pa);
    }
    for (const gemmi::Op& op : model.operations) {
        PreparedOp po;
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) po.rot[i][j] = op.rot[i][j] / gemmi::Op::DEN;
            po.tran[i] = static_cast<double>(op.tran[i]) / gemmi::Op::DEN;
        }
        p.ops.push_back(po);
    }
    p.frac = model.cell.frac.mat;
    return p;
}

// Stops the run when a table does not reach as far as the data need.
void checkReach(const Prepared& p, const Model& model, const std::vector<Miller>& hkl) {
    double stlMax = 0;
    for (const Miller& h : hkl) stlMax = std::max(stlMax, sinThetaOverLambda(model.cell, h));
    for (const RadialKey& key : p.keys) {
        const SphericalTable& t = key.type->table;
        const double need = std::max(t.core.empty() ? 0.0 : stlMax, stlMax / key.kappa->kappa);
        if (need > t.reach() + 1e-9)
            fatal("structure factors: the spherical-atom table of %s reaches sin(theta)/lambda %.3f, the data "
                  "need %.3f (with kappa %.4f)",
                  key.type->symbol.c_str(), t.reach(), need, key.kappa->kappa);
    }
}

void radialValues(const Prepared& p, double stl, std::vector<RadialValues>& out) {
    const SlaterTransforms& st = slaterTransforms();
    const double k = 4 * M_PI * stl;  // 1/A
    for (std::size_t i = 0; i < p.keys.size(); ++i) {
        const RadialKey& key = p.keys[i];
        RadialValues& v = out[i];
        v.core = key.type->table.coreAt(stl);
        v.valence = key.type->table.valenceAt(stl / key.kappa->kappa);
        v.sphericalValence = key.type->table.valenceAt(stl);
        for (int l = 0; l <= MAX_L; ++l) {
            const double t = k / (key.type->radial.zeta * key.kappa->kappaPrime[l]);
            v.j[l] = 4 * M_PI * st(key.type->radial.n[l], l, t);
        }
    }
}

// The form factor of an atom (no dispersion) for the unit vector e (Cartesian) of h.
inline std::complex<double> atomF(const PreparedAtom& a, const RadialValues& r, const Vec3& e) {
    double re = r.core + a.pv * r.valence + r.j[0] * a.c[0];
    if (a.lmax == 0) return {re, 0.0};
    const Vec3& fx = a.frame[0];
    const Vec3& fy = a.frame[1];
    const Vec3& fz = a.frame[2];
    const double x = fx[0] * e[0] + fx[1] * e[1] + fx[2] * e[2];
    const double y = fy[0] * e[0] + fy[1] * e[1] + fy[2] * e[2];
    const double z = fz[0] * e[0] + fz[1] * e[1] + fz[2] * e[2];
    const double* c = a.c;
    const double a1 = c[1] * x + c[2] * y + c[3] * z;
    double im = r.j[1] * a1;
    if (a.lmax >= 2) {
        const double x2 = x * x, y2 = y * y, z2 = z * z;
        const double c2 = x2 - y2, s2 = 2 * x * y;  // Re, Im (x + iy)^2
        const double a2 = c[4] * (3 * z2 - 1) / 2 + 3 * z * (c[5] * x + c[6] * y) + 3 * (c[7] * c2 + c[8] * s2);
        re -= r.j[2] * a2;
        if (a.lmax >= 3) {
            const double c3 = c2 * x - s2 * y, s3 = c2 * y + s2 * x;
            const double a3 = c[9] * (5 * z2 - 3) * z / 2 + (15 * z2 - 3) / 2 * (c[10] * x + c[11] * y) +
                              15 * z * (c[12] * c2 + c[13] * s2) + 15 * (c[14] * c3 + c[15] * s3);
            im -= r.j[3] * a3;
            if (a.lmax >= 4) {
                const double c4 = c3 * x - s3 * y, s4 = c3 * y + s3 * x;
                const double a4 = c[16] * (35 * z2 * z2 - 30 * z2 + 3) / 8 +
                                  (35 * z2 - 15) * z / 2 * (c[17] * x + c[18] * y) +
                                  (105 * z2 - 15) / 2 * (c[19] * c2 + c[20] * s2) + 105 * z * (c[21] * c3 + c[22] * s3) +
                                  105 * (c[23] * c4 + c[24] * s4);
                re += r.j[4] * a4;
            }
        }
    }
    return {re, im};
}

// Unit vector of h (Miller row vector) in Cartesian reciprocal space; (0, 0, 1) for h = 0.
inline Vec3 unitCartesian(const gemmi::Mat33& frac, const int* h) {
    Vec3 e;
    for (int j = 0; j < 3; ++j) e[j] = h[0] * frac[0][j] + h[1] * frac[1][j] + h[2] * frac[2][j];
    const double n = std::sqrt(e[0] * e[0] + e[1] * e[1] + e[2] * e[2]);
    if (n == 0) return {0, 0, 1};
    for (double& v : e) v /= n;
    return e;
}

// Runs work(first, last) over [0, count) in as many slices as threads.
template <typename Work>
void inParallel(std::size_t count, int threads, Work work) {
    const std::size_t n = std::max<std::size_t>(1, std::min<std::size_t>(threadCount(threads), count));
    if (n == 1) {
        work(0, count);
        return;
    }
    std::vector<std::thread> pool;
    for (std::size_t t = 0; t < n; ++t)
        pool.emplace_back(work, count * t / n, count * (t + 1) / n);
    for (std::thread& th : pool) th.join();
}

}  // namespace

double sinThetaOverLambda(const gemmi::UnitCell& cell, const Miller& h) {
    return 0.5 * std::sqrt(cell.calculate_1_d2(gemmi::Miller{{h[0], h[1], h[2]}}));
}

int threadCount(int requested) {
    if (requested > 0) return requested;
    const unsigned hw = std::thread::hardware_concurrency();
    return hw == 0 ? 1 : static_cast<int>(hw);
}

namespace {

// F of the model and, with spherical non-null, of its spherical model, which shares the
// displacement and phase factors.
void crystalSums(const Model& model, const std::vector<Miller>& hkl, int threads,
                 std::vector<std::complex<double>>& result, std::vector<std::complex<double>>* spherical) {
    const Prepared p = prepare(model);
    checkReach(p, model, hkl);
    result.assign(hkl.size(), 0.0);
    if (spherical != nullptr) spherical->assign(hkl.size(), 0.0);
    // Reflections go in blocks; within a block the atoms form the outer loop, so that an
    // atom's phase factors come from short tables exp(2 pi i h x) built by recurrence instead
    // of a sine and a cosine per atom, operation and reflection.
    constexpr std::size_t BLOCK = 512;
    const std::size_t nOps = p.ops.size();
    const std::size_t nKeys = p.keys.size();
    inParallel(hkl.size(), threads, [&](std::size_t first, std::size_t last) {
        std::vector<RadialValues> radial(nKeys), block(nKeys * BLOCK);  // block: [key][reflection]
        std::vector<double> stl(BLOCK);
        std::vector<int> hr(3 * nOps * BLOCK);
        std::vector<std::complex<double>> shift(nOps * BLOCK), sum(BLOCK), sphericalSum(BLOCK), table;
        std::vector<Vec3> unit(nOps * BLOCK);
        for (std::size_t start = first; start < last; start += BLOCK) {
            const std::size_t n = std::min(BLOCK, last - start);
            int hmax = 0;
            for (std::size_t r = 0; r < n; ++r) {
                const Miller& h = hkl[start + r];
                stl[r] = sinThetaOverLambda(model.cell, h);
                radialValues(p, stl[r], radial);
                for (std::size_t k = 0; k < nKeys; ++k) block[k * BLOCK + r] = radial[k];
                for (std::size_t o = 0; o < nOps; ++o) {
                    const PreparedOp& op = p.ops[o];
                    int* v = &hr[3 * (r * nOps + o)];
                    for (int j = 0; j < 3; ++j) {
                        v[j] = h[0] * op.rot[0][j] + h[1] * op.rot[1][j] + h[2] * op.rot[2][j];
                        hmax = std::max(hmax, std::abs(v[j]));
                    }
                    shift[r * nOps + o] =
                        std::polar(1.0, TWO_PI * (h[0] * op.tran[0] + h[1] * op.tran[1] + h[2] * op.tran[2]));
                    unit[r * nOps + o] = unitCartesian(p.frac, v);
                }
                sum[r] = 0;
                sphericalSum[r] = 0;
            }
            const int width = 2 * hmax + 1;
            table.resize(3 * static_cast<std::size_t>(width));
            for (const PreparedAtom& a : p.atoms) {
                // table[axis * width + hmax + h] = exp(2 pi i h x_axis)
                for (int axis = 0; axis < 3; ++axis) {
                    std::complex<double>* t = &table[axis * static_cast<std::size_t>(width) + hmax];
                    const std::complex<double> step = std::polar(1.0, TWO_PI * a.frac[axis]);
                    t[0] = 1;
                    for (int h = 1; h <= hmax; ++h) {
                        t[h] = t[h - 1] * step;
                        t[-h] = std::conj(t[h]);
                    }
                }
                const std::complex<double>* ex = &table[hmax];
                const std::complex<double>* ey = ex + width;
                const std::complex<double>* ez = ey + width;
                const RadialValues* rv = &block[a.key * BLOCK];
                for (std::size_t r = 0; r < n; ++r) {
                    const double isoT = a.anisotropic ? 1.0 : std::exp(-a.bIso * stl[r] * stl[r]);
                    double sRe = 0, sIm = 0, pRe = 0, pIm = 0;
                    const double fSpherical = rv[r].core + a.pv * rv[r].sphericalValence + a.fp;
                    for (std::size_t o = 0; o < nOps; ++o) {
                        const std::size_t ro = r * nOps + o;
                        const int* v = &hr[3 * ro];
                        const std::complex<double> f = atomF(a, rv[r], unit[ro]);
                        double t = isoT;
                        if (a.anisotropic)
                            t = std::exp(-(a.beta[0] * v[0] * v[0] + a.beta[1] * v[1] * v[1] + a.beta[2] * v[2] * v[2] +
                                           a.beta[3] * v[0] * v[1] + a.beta[4] * v[0] * v[2] + a.beta[5] * v[1] * v[2]));
                        const std::complex<double> xy = ex[v[0]] * ey[v[1]];
                        const std::complex<double> phase = xy * ez[v[2]] * shift[ro];
                        const double fr = (f.real() + a.fp) * t, fi = (f.imag() + a.fpp) * t;
                        sRe += fr * phase.real() - fi * phase.imag();
                        sIm += fr * phase.imag() + fi * phase.real();
                        if (spherical != nullptr) {
                            const double gr = fSpherical * t, gi = a.fpp * t;
                            pRe += gr * phase.real() - gi * phase.imag();
                            pIm += gr * phase.imag() + gi * phase.real();
                        }
                    }
                    sum[r] += a.occ * std::complex<double>(sRe, sIm);
                    sphericalSum[r] += a.occ * std::complex<double>(pRe, pIm);
                }
            }
            for (std::size_t r = 0; r < n; ++r) {
                result[start + r] = sum[r];
                if (spherical != nullptr) (*spherical)[start + r] = sphericalSum[r];
            }
        }
    });
}

}  // namespace

std::vector<std::complex<double>> structureFactors(const Model& model, const std::vector<Miller>& hkl,
                                                   int threads) {
    std::vector<std::complex<double>> result;
    crystalSums(model, hkl, threads, result, nullptr);
    return result;
}

void structureFactorsWithSpherical(const Model& model, const std::vector<Miller>& hkl,
                                   std::vector<std::complex<double>>& f, std::vector<std::complex<double>>& spherical,
                                   int threads) {
    crystalSums(model, hkl, threads, f, &spherical);
}

std::vector<std::complex<double>> atomFormFactors(const Model& model, const std::vector<Miller>& hkl,
                                                  int threads) {
    const Prepared p = prepare(model);
    checkReach(p, model, hkl);
    const std::size_t nAtoms = p.atoms.size();
    std::vector<std::complex<double>> result(hkl.size() * nAtoms);
    inParallel(hkl.size(), threads, [&](std::size_t first, std::size_t last) {
        std::vector<RadialValues> radial(p.keys.size());
        for (std::size_t r = first; r < last; ++r) {
            const Miller& h = hkl[r];
            radialValues(p, sinThetaOverLambda(model.cell, h), radial);
            const int v[3] = {h[0], h[1], h[2]};
            const Vec3 e = unitCartesian(p.frac, v);
            for (std::size_t j = 0; j < nAtoms; ++j) result[r * nAtoms + j] = atomF(p.atoms[j], radial[p.atoms[j].key], e);
        }
    });
    return result;
}

}  // namespace scattering
