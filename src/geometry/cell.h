// The unit cell and everything formed from it: the orthogonalisation matrix (a along x,
// b in the xy plane) and its inverse, the metric, the volume and the reciprocal cell.
// This is the one place where these matrices are formed.
#pragma once

// One cell: a, b, c (A) and alpha, beta, gamma (degrees).
class CellGeometry {
public:
    explicit CellGeometry(const double* cell);

    // Fractional to Cartesian coordinates (A) and back.
    void toCartesian(const double* frac, double (&out)[3]) const;
    void toFractional(const double* cart, double (&out)[3]) const;
    // Distance (A) between two points in fractional coordinates, from the metric.
    double distance(const double* f1, const double* f2) const;

    double volume() const { return volume_; }
    // Reciprocal edge lengths a*, b*, c* (1/A) and the cosines of the reciprocal angles.
    double aStar() const { return aStar_; }
    double bStar() const { return bStar_; }
    double cStar() const { return cStar_; }
    double cosAlphaStar() const { return cosAlphaStar_; }
    double cosBetaStar() const { return cosBetaStar_; }
    double cosGammaStar() const { return cosGammaStar_; }
    // The cosines of the direct angles.
    double cosAlpha() const { return ca_; }
    double cosBeta() const { return cb_; }
    double cosGamma() const { return cg_; }
    // The squared length of the volume factor: 1 - cos^2 alpha - cos^2 beta - cos^2 gamma
    // + 2 cos alpha cos beta cos gamma; a cell spans a volume where it is positive.
    double volumeFactor() const { return volumeFactor_; }

private:
    double a_, b_, c_;
    double ca_, cb_, cg_, sa_, sb_, sg_;
    double m12_, m13_, m22_, m23_, m33_;  // orthogonalisation (m11 = a)
    double n11_, n12_, n13_, n22_, n23_, n33_;  // its inverse
    double volumeFactor_, volume_;
    double aStar_, bStar_, cStar_;
    double cosAlphaStar_, cosBetaStar_, cosGammaStar_;
};

// The geometry of a cell. Forming it takes some trigonometry: code that converts many
// positions in the same cell forms it once and keeps it.
inline CellGeometry cellGeometry(const double* cell) { return CellGeometry(cell); }
