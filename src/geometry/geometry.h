// Free vector helper of the geometry subsystem.
#pragma once

constexpr double PI = 3.141592653589793;

// out = v times m (row vector from the left): out[c] = sum_r m[r][c] v[r].
// out may be the same array as v.
void rot_(const double (*m)[3], const double* v, double (&out)[3]);

// True when the six numbers are a cell: edges positive, angles between 0 and 180 degrees,
// and the three angles spanning a volume (no edge in the plane of the two others).
bool validCell(const double* cell);
