// Crystal geometry of the structure: fractional/Cartesian conversion, distances and angles
// (through the cell geometry of cell.h), and the row-vector rotation.
#include "geometry.h"

#include <cmath>

#include "../driver/Quandrel.h"
#include "cell.h"

void Quandrel::frac2cart(const double* frac, double (&out)[3]) { cellGeometry(cell).toCartesian(frac, out); }

void Quandrel::cart2frac(const double* cart, double (&out)[3]) { cellGeometry(cell).toFractional(cart, out); }

double Quandrel::laenge(double x1, double y1, double z1, double x2, double y2, double z2) {
    const double f1[3] = {x1, y1, z1}, f2[3] = {x2, y2, z2};
    return cellGeometry(cell).distance(f1, f2);
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


bool validCell(const double* cell) {
    for (int k = 0; k < 6; ++k)
        if (!std::isfinite(cell[k])) return false;
    for (int k = 0; k < 3; ++k)
        if (!(cell[k] > 0.0) || !(cell[k + 3] > 0.0 && cell[k + 3] < 180.0)) return false;
    return cellGeometry(cell).volumeFactor() > 1e-6;
}

void rot_(const double (*m)[3], const double* v, double (&out)[3]) {
    static double product[3];
    for (int c = 0; c < 3; ++c) product[c] = m[0][c] * v[0] + m[1][c] * v[1] + m[2][c] * v[2];
    out[0] = product[0];
    out[1] = product[1];
    out[2] = product[2];
}
