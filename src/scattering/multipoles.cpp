#include "multipoles.h"

#include <cmath>
#include <cstdint>

#include "../core/failure.h"

namespace scattering {

const std::array<MultipoleIndex, N_MULTIPOLES>& multipoleOrder() {
    static const std::array<MultipoleIndex, N_MULTIPOLES> order = {{
        {0, 0, 1},
        {1, 1, 1}, {1, 1, -1}, {1, 0, 1},  // dipoles in the order x, y, z
        {2, 0, 1}, {2, 1, 1}, {2, 1, -1}, {2, 2, 1}, {2, 2, -1},
        {3, 0, 1}, {3, 1, 1}, {3, 1, -1}, {3, 2, 1}, {3, 2, -1}, {3, 3, 1}, {3, 3, -1},
        {4, 0, 1}, {4, 1, 1}, {4, 1, -1}, {4, 2, 1}, {4, 2, -1}, {4, 3, 1}, {4, 3, -1}, {4, 4, 1}, {4, 4, -1},
    }};
    return order;
}

namespace {

// d^m P_l / dz^m: the associated Legendre function without (1 - z^2)^(m/2) and without the
// Condon-Shortley phase.
double legendreDerivative(int l, int m, double z) {
    const double z2 = z * z;
    switch (l * 5 + m) {
        case 0: return 1;
        case 5: return z;
        case 6: return 1;
        case 10: return (3 * z2 - 1) / 2;
        case 11: return 3 * z;
        case 12: return 3;
        case 15: return (5 * z2 - 3) * z / 2;
        case 16: return (15 * z2 - 3) / 2;
        case 17: return 15 * z;
        case 18: return 15;
        case 20: return (35 * z2 * z2 - 30 * z2 + 3) / 8;
        case 21: return (35 * z2 - 15) * z / 2;
        case 22: return (105 * z2 - 15) / 2;
        case 23: return 105 * z;
        default: return 105;  // l = 4, m = 4
    }
}

std::array<double, N_MULTIPOLES> computeNorms() {
    std::array<double, N_MULTIPOLES> norms{};
    const int steps = 200000;  // midpoint rule; |P_l^m| has kinks only at its few roots
    for (int k = 0; k < N_MULTIPOLES; ++k) {
        const MultipoleIndex& idx = multipoleOrder()[k];
        if (idx.l == 0) {
            norms[k] = 1 / (4 * M_PI);
            continue;
        }
        double sum = 0;
        for (int i = 0; i < steps; ++i) {
            const double z = -1 + (i + 0.5) * 2.0 / steps;
            // (1 - z^2)^(m/2): whole powers by products, a half power by one square root
            const double s2 = 1 - z * z;
            double weight = idx.m % 2 != 0 ? std::sqrt(s2) : 1.0;
            for (int p = 0; p < idx.m / 2; ++p) weight *= s2;
            sum += std::fabs(legendreDerivative(idx.l, idx.m, z) * weight);
        }
        const double theta = sum * 2.0 / steps;
        const double phi = idx.m == 0 ? 2 * M_PI : 4.0;  // integral of |cos m phi| over a turn
        norms[k] = 2 / (theta * phi);
    }
    return norms;
}

}  // namespace

const std::array<double, N_MULTIPOLES>& harmonicNorms() {
    static const std::array<double, N_MULTIPOLES> norms = computeNorms();
    return norms;
}

void densityHarmonics(const Vec3& u, double (&d)[N_MULTIPOLES]) {
    const std::array<double, N_MULTIPOLES>& norm = harmonicNorms();
    const double x = u[0], y = u[1], z = u[2];
    // Re and Im of (x + i y)^m = sin^m(theta) {cos, sin}(m phi)
    double re[5] = {1, x, 0, 0, 0}, im[5] = {0, y, 0, 0, 0};
    for (int m = 2; m <= 4; ++m) {
        re[m] = re[m - 1] * x - im[m - 1] * y;
        im[m] = re[m - 1] * y + im[m - 1] * x;
    }
    for (int k = 0; k < N_MULTIPOLES; ++k) {
        const MultipoleIndex& idx = multipoleOrder()[k];
        d[k] = norm[k] * legendreDerivative(idx.l, idx.m, z) * (idx.sign > 0 ? re[idx.m] : im[idx.m]);
    }
}

// The transform of the normalised Slater function follows from the spherical Hankel
// function, j_l(x) = Re[(-i)^(l+1) e^(ix)/x sum_s i^s (l+s)!/(s!(l-s)!) / (2x)^s], and
// integral x^(N-s-1) e^(-(1-it)x) dx = (N-s-1)! (1+it)^(N-s) / (1+t^2)^(N-s) with N = n+2.
// Multiplied through by 2^l t^(l+1) (1+t^2)^N the sum is a polynomial with integer
// coefficients; its powers below t^(l+1) cancel exactly, and what stays, divided by
// 2^l (n+2)!, is Q(t). Integer arithmetic keeps the cancellation exact.
SlaterTransforms::SlaterTransforms() {
    for (int n = 0; n <= 12; ++n)
        for (int l = 0; l <= MAX_L; ++l) {
            if (n < l - 1) continue;
            const int N = n + 2;
            const int size = 2 * N + l + 2;
            std::vector<std::int64_t> re(size, 0), im(size, 0);
            for (int s = 0; s <= l; ++s) {
                // c_s = (l+s)!/(s!(l-s)!) 2^(l-s) (N-s-1)!
                std::int64_t c = 1;
                for (int v = l - s + 1; v <= l + s; ++v) c *= v;
                for (int v = 2; v <= s; ++v) c /= v;
                c <<= (l - s);
                for (int v = 2; v <= N - s - 1; ++v) c *= v;
                // polynomial (1+it)^(N-s) (1+t^2)^s t^(l-s), complex integer coefficients
                std::vector<std::int64_t> pr(1, 1), pi(1, 0);
                for (int e = 0; e < N - s; ++e) {  // times (1 + i t)
                    std::vector<std::int64_t> nr(pr.size() + 1, 0), ni(pi.size() + 1, 0);
                    for (std::size_t j = 0; j < pr.size(); ++j) {
                        nr[j] += pr[j];
                        ni[j] += pi[j];
                        nr[j + 1] -= pi[j];
                        ni[j + 1] += pr[j];
                    }
                    pr.swap(nr);
                    pi.swap(ni);
                }
                for (int e = 0; e < s; ++e) {  // times (1 + t^2)
                    std::vector<std::int64_t> nr(pr.size() + 2, 0), ni(pi.size() + 2, 0);
                    for (std::size_t j = 0; j < pr.size(); ++j) {
                        nr[j] += pr[j];
                        ni[j] += pi[j];
                        nr[j + 2] += pr[j];
                        ni[j + 2] += pi[j];
                    }
                    pr.swap(nr);
                    pi.swap(ni);
                }
                // times c i^(s-l-1) t^(l-s); only the real part is wanted
                const int phase = ((s - l - 1) % 4 + 4) % 4;
                for (std::size_t j = 0; j < pr.size(); ++j) {
                    const std::int64_t realPart = phase == 0 ? pr[j] : phase == 1 ? -pi[j] : phase == 2 ? -pr[j] : pi[j];
                    re[j + l - s] += c * realPart;
                }
            }
            for (int j = 0; j <= l; ++j)
                if (re[j] != 0) fatal("Slater transform n=%d l=%d: the expansion does not cancel", n, l);
            double denominator = std::ldexp(1.0, l);
            for (int v = 2; v <= N; ++v) denominator *= v;
            std::vector<double>& q = q_[n][l];
            for (int j = l + 1; j < size; ++j) q.push_back(static_cast<double>(re[j]) / denominator);
            while (!q.empty() && q.back() == 0) q.pop_back();
        }
}

double SlaterTransforms::operator()(int n, int l, double t) const {
    const std::vector<double>& q = q_[n][l];
    double value = 0;
    for (std::size_t j = q.size(); j-- > 0;) value = value * t + q[j];
    const double base = 1 / (1 + t * t);
    double scale = 1;
    for (int e = 0; e < n + 2; ++e) scale *= base;
    return value * scale;
}

const SlaterTransforms& slaterTransforms() {
    static const SlaterTransforms transforms;
    return transforms;
}

}  // namespace scattering
