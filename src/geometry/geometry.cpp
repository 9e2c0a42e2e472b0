// Crystal geometry: the cell matrices, fractional/Cartesian conversion, distances,
// angles and 3-vector arithmetic. The cell matrices are formed here and nowhere else.
#include "../core/stage.h"
#include "geometry.h"

#include <cmath>

#include "../driver/Quandrel.h"

namespace {

constexpr double DEG_PER_RAD = 180.0 / PI;
static_assert(DEG_PER_RAD == 57.29577951308232, "degrees per radian");

struct CellAngles {
    double ca, cb, cg, sg;
};

// The cosines and sine of the cell angles. Distances are taken millions of times in a
// large structure, always in the same cell: the values of the last cell asked for are kept.
CellAngles anglesOf(const double* cell) {
    static double lastCell[3] = {NAN, NAN, NAN};
    static CellAngles last;
    if (cell[3] == lastCell[0] && cell[4] == lastCell[1] && cell[5] == lastCell[2]) return last;
    last = {std::cos(cell[3] / DEG_PER_RAD), std::cos(cell[4] / DEG_PER_RAD), std::cos(cell[5] / DEG_PER_RAD),
            std::sin(cell[5] / DEG_PER_RAD)};
    lastCell[0] = cell[3];
    lastCell[1] = cell[4];
    lastCell[2] = cell[5];
    return last;
}

}  // namespace

void Quandrel::frac2cart(const double* frac, double (&out)[3]) {
    Stage stage("frac2kart");
    const double a = cell[0], b = cell[1], c = cell[2];
    const CellAngles t = anglesOf(cell);
    const double m11 = a, m12 = b * t.cg, m13 = c * t.cb;
    const double m22 = b * t.sg, m23 = c * (t.ca - t.cb * t.cg) / t.sg;
    const double m33 = std::sqrt(c * c - m13 * m13 - m23 * m23);
    const double x = frac[0], y = frac[1], z = frac[2];
    out[0] = m11 * x + m12 * y + m13 * z;
    out[1] = m22 * y + m23 * z;
    out[2] = m33 * z;
}

void Quandrel::cart2frac(const double* cart, double (&out)[3]) {
    Stage stage("cart2frac");
    const double a = cell[0], b = cell[1], c = cell[2];
    const CellAngles t = anglesOf(cell);
    double v = 1.0 - t.ca * t.ca;
    v -= t.cb * t.cb;
    v -= t.cg * t.cg;
    v += 2.0 * t.ca * t.cb * t.cg;
    v = std::sqrt(v);
    const double tg = std::tan(cell[5] / DEG_PER_RAD);
    const double n11 = 1.0 / a, n12 = -1.0 / (a * tg), n13 = (t.ca * t.cg - t.cb) / (a * v * t.sg);
    const double n22 = 1.0 / (b * t.sg), n23 = (t.cb * t.cg - t.ca) / (b * v * t.sg);
    const double n33 = t.sg / (c * v);
    const double x = cart[0], y = cart[1], z = cart[2];
    out[0] = n11 * x + n12 * y + n13 * z;
    out[1] = n22 * y + n23 * z;
    out[2] = n33 * z;
}

double Quandrel::laenge(double x1, double y1, double z1, double x2, double y2, double z2) {
    const double a = cell[0], b = cell[1], c = cell[2];
    const CellAngles t = anglesOf(cell);
    const double dx = x1 - x2, dy = y1 - y2, dz = z1 - z2;
    const double d2 = dx * dx * a * a + dy * dy * b * b + dz * dz * c * c + 2 * dx * dy * a * b * t.cg +
                      2 * dx * dz * a * c * t.cb + 2 * dy * dz * b * c * t.ca;
    return std::sqrt(d2);
}

double Quandrel::winkel(int i, int j, int k) {
    static double angle;
    const double* ci = atom[i].cart;
    const double* cj = atom[j].cart;
    const double* ck = atom[k].cart;
    const double u[3] = {cj[0] - ci[0], cj[1] - ci[1], cj[2] - ci[2]};
    const double w[3] = {ck[0] - ci[0], ck[1] - ci[1], ck[2] - ci[2]};
    const double lu = std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]);
    const double lw = std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
    // Two atoms on one point have no direction: the angle is reported as 0.
    if (lu == 0.0 || lw == 0.0) return angle = 0.0;
    double cosine = (u[0] * w[0] + u[1] * w[1] + u[2] * w[2]) / (lw * lu);
    // Rounding can push the cosine of a straight or zero angle just past +-1.
    if (cosine > 1.0) cosine = 1.0;
    if (cosine < -1.0) cosine = -1.0;
    angle = std::acos(cosine) / PI * 180;
    return angle;
}

void Quandrel::kreuz(double (&out)[3], double x1, double y1, double z1, double x2, double y2, double z2) {
    const vec c = cross({x1, y1, z1}, {x2, y2, z2});
    out[0] = c.x, out[1] = c.y, out[2] = c.z;
}

void Quandrel::normier(const double* v, double (&out)[3]) {
    const vec u = normalised(toVec(v));
    out[0] = u.x, out[1] = u.y, out[2] = u.z;
}

vec Quandrel::nrm(vec v) { return normalised(v); }

vec Quandrel::crs(vec a, vec b) { return cross(a, b); }

double Quandrel::scalar(vec a, vec b) { return dot(a, b); }

bool validCell(const double* cell) {
    for (int k = 0; k < 6; ++k)
        if (!std::isfinite(cell[k])) return false;
    for (int k = 0; k < 3; ++k)
        if (!(cell[k] > 0.0) || !(cell[k + 3] > 0.0 && cell[k + 3] < 180.0)) return false;
    const CellAngles t = anglesOf(cell);
    const double volume = 1.0 - t.ca * t.ca - t.cb * t.cb - t.cg * t.cg + 2.0 * t.ca * t.cb * t.cg;
    return volume > 1e-6;
}

void rot_(const double (*m)[3], const double* v, double (&out)[3]) {
    static double product[3];
    for (int c = 0; c < 3; ++c) product[c] = m[0][c] * v[0] + m[1][c] * v[1] + m[2][c] * v[2];
    out[0] = product[0];
    out[1] = product[1];
    out[2] = product[2];
}
