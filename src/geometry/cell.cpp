#include "cell.h"

#include <cmath>

#include "geometry.h"

namespace {

constexpr double DEG_PER_RAD = 180.0 / PI;
static_assert(DEG_PER_RAD == 57.29577951308232, "degrees per radian");

}  // namespace

CellGeometry::CellGeometry(const double* cell) : a_(cell[0]), b_(cell[1]), c_(cell[2]) {
    const double alpha = cell[3] / DEG_PER_RAD, beta = cell[4] / DEG_PER_RAD, gamma = cell[5] / DEG_PER_RAD;
    ca_ = std::cos(alpha), cb_ = std::cos(beta), cg_ = std::cos(gamma);
    sa_ = std::sin(alpha), sb_ = std::sin(beta), sg_ = std::sin(gamma);

    m12_ = b_ * cg_, m13_ = c_ * cb_;
    m22_ = b_ * sg_, m23_ = c_ * (ca_ - cb_ * cg_) / sg_;
    m33_ = std::sqrt(c_ * c_ - m13_ * m13_ - m23_ * m23_);

    double v = 1.0 - ca_ * ca_;
    v -= cb_ * cb_;
    v -= cg_ * cg_;
    v += 2.0 * ca_ * cb_ * cg_;
    volumeFactor_ = v;
    v = std::sqrt(v);
    const double tg = std::tan(gamma);
    n11_ = 1.0 / a_, n12_ = -1.0 / (a_ * tg), n13_ = (ca_ * cg_ - cb_) / (a_ * v * sg_);
    n22_ = 1.0 / (b_ * sg_), n23_ = (cb_ * cg_ - ca_) / (b_ * v * sg_);
    n33_ = sg_ / (c_ * v);

    volume_ = a_ * b_ * c_ * std::sqrt(1 + 2 * ca_ * cb_ * cg_ - ca_ * ca_ - cb_ * cb_ - cg_ * cg_);
    aStar_ = b_ * c_ * sa_ / volume_, bStar_ = a_ * c_ * sb_ / volume_, cStar_ = a_ * b_ * sg_ / volume_;
    cosAlphaStar_ = (cb_ * cg_ - ca_) / (sb_ * sg_);
    cosBetaStar_ = (ca_ * cg_ - cb_) / (sa_ * sg_);
    cosGammaStar_ = (ca_ * cb_ - cg_) / (sa_ * sb_);
}

void CellGeometry::toCartesian(const double* frac, double (&out)[3]) const {
    const double x = frac[0], y = frac[1], z = frac[2];
    out[0] = a_ * x + m12_ * y + m13_ * z;
    out[1] = m22_ * y + m23_ * z;
    out[2] = m33_ * z;
}

void CellGeometry::toFractional(const double* cart, double (&out)[3]) const {
    const double x = cart[0], y = cart[1], z = cart[2];
    out[0] = n11_ * x + n12_ * y + n13_ * z;
    out[1] = n22_ * y + n23_ * z;
    out[2] = n33_ * z;
}

double CellGeometry::distance(const double* f1, const double* f2) const {
    const double dx = f1[0] - f2[0], dy = f1[1] - f2[1], dz = f1[2] - f2[2];
    const double d2 = dx * dx * a_ * a_ + dy * dy * b_ * b_ + dz * dz * c_ * c_ + 2 * dx * dy * a_ * b_ * cg_ +
                      2 * dx * dz * a_ * c_ * cb_ + 2 * dy * dz * b_ * c_ * ca_;
    return std::sqrt(d2);
}
