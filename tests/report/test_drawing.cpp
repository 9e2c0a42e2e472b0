// The geometry of the drawing: displacement ellipsoids projected as ORTEP draws them, and
// labels placed without overlaps, hydrogens giving way first.
#include <gtest/gtest.h>

#include <cmath>

#include "geometry/cell.h"
#include "report/ellipse.h"
#include "report/labels.h"

namespace {

// The probability inside the ellipsoid x' U^-1 x = c^2 of a trivariate normal distribution.
double inside(double c) { return std::erf(c / std::sqrt(2.0)) - std::sqrt(2.0 / M_PI) * c * std::exp(-c * c / 2); }

}  // namespace

TEST(Ellipsoid, TheScaleHoldsHalfTheProbability) { EXPECT_NEAR(inside(PROBABILITY_50), 0.5, 1e-4); }

TEST(Ellipsoid, ProjectedAxesAreThoseOfTheFiftyPercentSurface) {
    // principal mean-square displacements 0.04, 0.01 and 0.02 A^2 along chosen Cartesian
    // directions, in a monoclinic and an orthorhombic cell; expected semi-axes in the plane
    struct Case {
        double cell[6];
        double angle;  // rotation of the principal axes about z, degrees
    };
    for (const Case c : {Case{{10, 12, 14, 90, 90, 90}, 0}, Case{{7.1, 9.3, 11.2, 90, 104.5, 90}, 30},
                         Case{{6.0, 6.5, 8.0, 80, 95, 112}, -55}}) {
        SCOPED_TRACE(c.angle);
        const double t = c.angle * M_PI / 180, ct = std::cos(t), st = std::sin(t);
        // the Cartesian tensor R diag(0.04, 0.01, 0.02) R' with R a turn about z
        const double ucart[6] = {0.04 * ct * ct + 0.01 * st * st, 0.04 * st * st + 0.01 * ct * ct, 0.02,
                                 (0.04 - 0.01) * ct * st, 0, 0};
        // back to the crystal's U: fractional tensor A^-1 Ucart A^-T, each component divided
        // by the reciprocal lengths of its two axes
        const CellGeometry g(c.cell);
        double inverse[3][3];  // A^-1, column by column
        for (int k = 0; k < 3; ++k) {
            double unit[3] = {0, 0, 0}, column[3];
            unit[k] = 1;
            g.toFractional(unit, column);
            for (int r = 0; r < 3; ++r) inverse[r][k] = column[r];
        }
        const double full[3][3] = {{ucart[0], ucart[3], ucart[4]}, {ucart[3], ucart[1], ucart[5]}, {ucart[4], ucart[5], ucart[2]}};
        double frac[3][3] = {};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                for (int k = 0; k < 3; ++k)
                    for (int l = 0; l < 3; ++l) frac[i][j] += inverse[i][k] * full[k][l] * inverse[j][l];
        const double star[3] = {g.aStar(), g.bStar(), g.cStar()};
        const int pairs[6][2] = {{0, 0}, {1, 1}, {2, 2}, {0, 1}, {0, 2}, {1, 2}};
        double u[6];
        for (int k = 0; k < 6; ++k) u[k] = frac[pairs[k][0]][pairs[k][1]] / (star[pairs[k][0]] * star[pairs[k][1]]);
        double back[6];
        cartesianDisplacement(CellGeometry(c.cell), u, back);
        for (int r = 0; r < 6; ++r) ASSERT_NEAR(back[r], ucart[r], 1e-9);

        // seen along z: the ellipse of the two in-plane axes, turned by the angle
        const Ellipse down = projectedEllipse(back, vec{1, 0, 0}, vec{0, 1, 0});
        EXPECT_NEAR(down.major, PROBABILITY_50 * 0.2, 0.01 * PROBABILITY_50 * 0.2);
        EXPECT_NEAR(down.minor, PROBABILITY_50 * 0.1, 0.01 * PROBABILITY_50 * 0.1);
        EXPECT_NEAR(std::remainder(down.angle - t, M_PI), 0, 1e-6);
        // seen along the major axis: the other two
        const Ellipse along = projectedEllipse(back, vec{-st, ct, 0}, vec{0, 0, 1});
        EXPECT_NEAR(along.major, PROBABILITY_50 * std::sqrt(0.02), 0.01 * PROBABILITY_50 * std::sqrt(0.02));
        EXPECT_NEAR(along.minor, PROBABILITY_50 * 0.1, 0.01 * PROBABILITY_50 * 0.1);
        EXPECT_FALSE(isotropicU(back));
    }
}

TEST(Ellipsoid, AnIsotropicAtomIsACircleInEveryCell) {
    // XD's U of an isotropic atom in a monoclinic cell: U iso scaled by the reciprocal metric
    const double cell[6] = {7.1, 9.3, 11.2, 90, 104.5, 90};
    const double uiso = 0.03, cosBetaStar = -std::cos(104.5 * M_PI / 180);  // alpha* = gamma* = 90
    const double u[6] = {uiso, uiso, uiso, 0, uiso * cosBetaStar, 0};
    double cart[6];
    cartesianDisplacement(CellGeometry(cell), u, cart);
    EXPECT_TRUE(isotropicU(cart));
    EXPECT_NEAR(cart[0], uiso, 1e-12);
    const Ellipse e = projectedEllipse(cart, vec{0.6, 0.8, 0}, vec{0, 0, 1});
    EXPECT_NEAR(e.major, e.minor, 1e-9);
    // the U11-only form of the parameter file gives the same
    const double alone[6] = {uiso, 0, 0, 0, 0, 0};
    cartesianDisplacement(CellGeometry(cell), alone, cart);
    EXPECT_TRUE(isotropicU(cart));
}

TEST(Ellipsoid, AnImageTurnsItsAtomsEllipsoid) {
    const double cell[6] = {7.1, 9.3, 11.2, 90, 104.5, 90};
    const double u[6] = {0.04, 0.01, 0.02, 0.003, 0.005, -0.002};
    double cart[6], turned[6];
    cartesianDisplacement(CellGeometry(cell), u, cart);
    const int inversion[3][3] = {{-1, 0, 0}, {0, -1, 0}, {0, 0, -1}};
    rotatedDisplacement(CellGeometry(cell), inversion, cart, turned);
    for (int k = 0; k < 6; ++k) EXPECT_NEAR(turned[k], cart[k], 1e-12);  // the inversion keeps it
    const int twofold[3][3] = {{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}};  // along b, the unique axis
    rotatedDisplacement(CellGeometry(cell), twofold, cart, turned);
    EXPECT_NEAR(turned[0], cart[0], 1e-12);
    EXPECT_NEAR(turned[1], cart[1], 1e-12);
    EXPECT_NEAR(turned[3], -cart[3], 1e-12);  // xy and yz change sign, xz stays
    EXPECT_NEAR(turned[4], cart[4], 1e-12);
    EXPECT_NEAR(turned[5], -cart[5], 1e-12);
}

TEST(Labels, NoTwoPlacedLabelsOverlapAndHydrogensGiveWayFirst) {
    // a dense grid of atoms, heavy and hydrogen alternating, with labels wider than the spacing
    std::vector<LabelRequest> wanted;
    for (int i = 0; i < 400; ++i) {
        LabelRequest w;
        w.x = 20 + 14.0 * (i % 20);
        w.y = 20 + 14.0 * (i / 20);
        w.radius = 3;
        w.dx = 1;
        w.width = 24;
        w.height = 12;
        w.priority = i % 2 == 0 ? 0 : 2;
        wanted.push_back(w);
    }
    const std::vector<LabelPlacement> placed = placeLabels(wanted, 320, 320);
    ASSERT_EQ(placed.size(), wanted.size());
    int heavy = 0, hydrogens = 0;
    for (std::size_t a = 0; a < placed.size(); ++a) {
        if (!placed[a].placed) continue;
        (wanted[a].priority == 0 ? heavy : hydrogens)++;
        const LabelPlacement& p = placed[a];
        EXPECT_GE(p.x0, 0);
        EXPECT_LE(p.x1, 320);
        EXPECT_NEAR(p.x1 - p.x0, 24, 1e-9);
        for (std::size_t b = a + 1; b < placed.size(); ++b) {
            const LabelPlacement& q = placed[b];
            if (!q.placed) continue;
            EXPECT_FALSE(p.x0 < q.x1 && q.x0 < p.x1 && p.y0 < q.y1 && q.y0 < p.y1) << a << " " << b;
        }
    }
    EXPECT_GT(heavy, 0);
    EXPECT_GT(hydrogens, 0);
    // two atoms in one spot with room for one label: the hydrogen, asked first, gives way
    LabelRequest hydrogen = wanted[1], heavyAtom = wanted[0];
    hydrogen.x = heavyAtom.x = 52;  // only the box to the left fits
    hydrogen.y = heavyAtom.y = 12;
    const std::vector<LabelPlacement> one = placeLabels({hydrogen, heavyAtom}, 70, 24);
    EXPECT_FALSE(one[0].placed);
    EXPECT_TRUE(one[1].placed);
    // with room for everything every label is placed, the preferred side first
    const std::vector<LabelPlacement> roomy = placeLabels({wanted[0]}, 320, 320);
    ASSERT_TRUE(roomy[0].placed);
    EXPECT_GT(roomy[0].x, wanted[0].x);
}
