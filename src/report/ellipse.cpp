#include "ellipse.h"

#include <gemmi/math.hpp>

#include <algorithm>
#include <cmath>

#include "../geometry/cell.h"

namespace {

// M U M^T of a displacement tensor (U11 U22 U33 U12 U13 U23), in the same order.
void transformTensor(const double* u, const gemmi::Mat33& m, double (&out)[6]) {
    const gemmi::SMat33<double> t = gemmi::SMat33<double>{u[0], u[1], u[2], u[3], u[4], u[5]}.transformed_by(m);
    out[0] = t.u11;
    out[1] = t.u22;
    out[2] = t.u33;
    out[3] = t.u12;
    out[4] = t.u13;
    out[5] = t.u23;
}

}  // namespace

void cartesianDisplacement(const CellGeometry& g, const double* u, double (&out)[6]) {
    const bool isotropic = u[1] == 0 && u[2] == 0 && u[3] == 0 && u[4] == 0 && u[5] == 0;
    if (isotropic) {
        out[0] = out[1] = out[2] = u[0];
        out[3] = out[4] = out[5] = 0;
        return;
    }
    // columns: the Cartesian images of a*|a|..., i.e. of the unit steps scaled by a*, b*, c*
    const double star[3] = {g.aStar(), g.bStar(), g.cStar()};
    gemmi::Mat33 m;
    for (int c = 0; c < 3; ++c) {
        double unit[3] = {0, 0, 0}, column[3];
        unit[c] = star[c];
        g.toCartesian(unit, column);
        for (int r = 0; r < 3; ++r) m[r][c] = column[r];
    }
    transformTensor(u, m, out);
}

Ellipse projectedEllipse(const double (&u)[6], vec across, vec up) {
    auto form = [&](vec a, vec b) {  // a' U b
        const double ub[3] = {u[0] * b.x + u[3] * b.y + u[4] * b.z, u[3] * b.x + u[1] * b.y + u[5] * b.z,
                              u[4] * b.x + u[5] * b.y + u[2] * b.z};
        return a.x * ub[0] + a.y * ub[1] + a.z * ub[2];
    };
    const double p = form(across, across), r = form(up, up), s = form(across, up);
    const double mean = 0.5 * (p + r), half = std::hypot(0.5 * (p - r), s);
    Ellipse e;
    e.major = PROBABILITY_50 * std::sqrt(std::max(0.0, mean + half));
    e.minor = PROBABILITY_50 * std::sqrt(std::max(0.0, mean - half));
    e.angle = 0.5 * std::atan2(2 * s, p - r);
    return e;
}

bool isotropicU(const double (&u)[6]) {
    const double mean = (u[0] + u[1] + u[2]) / 3, tolerance = 1e-6 + 1e-4 * std::fabs(mean);
    for (int c = 0; c < 6; ++c)
        if (std::fabs(u[c] - (c < 3 ? mean : 0.0)) > tolerance) return false;
    return true;
}

void rotatedDisplacement(const CellGeometry& g, const int (&rot)[3][3], const double (&u)[6], double (&out)[6]) {
    gemmi::Mat33 r;  // the rotation in Cartesian axes, column by column
    for (int c = 0; c < 3; ++c) {
        double unit[3] = {0, 0, 0}, f[3], turned[3], column[3];
        unit[c] = 1;
        g.toFractional(unit, f);
        for (int k = 0; k < 3; ++k) turned[k] = rot[k][0] * f[0] + rot[k][1] * f[1] + rot[k][2] * f[2];
        g.toCartesian(turned, column);
        for (int k = 0; k < 3; ++k) r[k][c] = column[k];
    }
    transformTensor(u, r, out);
}
