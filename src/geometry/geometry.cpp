// Crystal geometry of the structure: fractional/Cartesian conversion, distances and angles
// (through the cell geometry of cell.h), and the row-vector rotation.
#include "geometry.h"

#include <cmath>

#include "cell.h"

bool validCell(const double* cell) {
    for (int k = 0; k < 6; ++k)
        if (!std::isfinite(cell[k])) return false;
    for (int k = 0; k < 3; ++k)
        if (!(cell[k] > 0.0) || !(cell[k + 3] > 0.0 && cell[k + 3] < 180.0)) return false;
    return cellGeometry(cell).volumeFactor() > 1e-6;
}

void rot_(const double (*m)[3], const double* v, double (&out)[3]) {
    double product[3];
    for (int c = 0; c < 3; ++c) product[c] = m[0][c] * v[0] + m[1][c] * v[1] + m[2][c] * v[2];
    out[0] = product[0];
    out[1] = product[1];
    out[2] = product[2];
}
