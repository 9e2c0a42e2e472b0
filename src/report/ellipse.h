// Displacement ellipsoids as the drawing shows them: U from the crystal axes into Cartesian
// axes, and the outline of its 50 % probability ellipsoid seen along a line of sight.
#pragma once

#include "../geometry/cell.h"
#include "../geometry/vec.h"

// The scale of the 50 % probability surface of a trivariate normal distribution: the
// ellipsoid x' U^-1 x = c^2 holds half the probability for c = 1.5382.
constexpr double PROBABILITY_50 = 1.5382;

// U as XD and CIF state it (U11 U22 U33 U12 U13 U23 along a*, b*, c*, scaled to the
// reciprocal lengths) in the Cartesian axes of the cell (a along x, b in the xy plane), in
// the same order. An isotropic U (U11 alone) gives U iso on the diagonal.
void cartesianDisplacement(const CellGeometry& cell, const double* u, double (&out)[6]);

// A Cartesian U turned by a symmetry operator's rotation (on fractional coordinates).
void rotatedDisplacement(const CellGeometry& cell, const int (&rot)[3][3], const double (&ucart)[6], double (&out)[6]);

// Whether a Cartesian U is isotropic (a multiple of the unit tensor, to rounding); its U iso
// is then the mean of the diagonal.
bool isotropicU(const double (&ucart)[6]);

// The outline of an ellipsoid's projection onto the plane of `across` and `up` (unit vectors,
// perpendicular): the ellipse of the projected tensor, semi-axes in angstrom at 50 %
// probability, the major axis at `angle` radians from `across` towards `up`.
struct Ellipse {
    double major = 0, minor = 0, angle = 0;
};
Ellipse projectedEllipse(const double (&ucart)[6], vec across, vec up);
