// Cell conversions, distances, angles and vector helpers.
#include <gtest/gtest.h>

#include <cmath>

#include "geometry/cell.h"
#include "geometry/geometry.h"
#include "testutil.h"

TEST(Geometry, CubicCellScalesFractionalCoordinates) {
    ScratchDir dir;
    StructureBuilder b(10.0);
    double frac[3] = {0.1, 0.2, 0.3}, cart[3];
    toCartesian(b.structure(), frac, cart);
    EXPECT_NEAR(cart[0], 1.0, 1e-12);
    EXPECT_NEAR(cart[1], 2.0, 1e-12);
    EXPECT_NEAR(cart[2], 3.0, 1e-12);
}

TEST(Geometry, FractionalCartesianRoundTripInTriclinicAndMonoclinicCells) {
    ScratchDir dir;
    StructureBuilder b;
    const double cells[][6] = {{7.1, 8.3, 9.7, 81.5, 97.2, 113.4}, {6.9784, 5.6956, 7.1985, 90, 105.383, 90}};
    for (const auto& c : cells) {
        b.setCell(c[0], c[1], c[2], c[3], c[4], c[5]);
        double frac[3] = {0.123, -0.456, 0.789}, cart[3], back[3];
        toCartesian(b.structure(), frac, cart);
        toFractional(b.structure(), cart, back);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(back[k], frac[k], 1e-12);
        // the Cartesian x axis runs along a
        double ax[3] = {1, 0, 0}, ca[3];
        toCartesian(b.structure(), ax, ca);
        EXPECT_NEAR(ca[0], c[0], 1e-12);
        EXPECT_NEAR(ca[1], 0.0, 1e-12);
        EXPECT_NEAR(ca[2], 0.0, 1e-12);
    }
}

TEST(Geometry, DistanceUsesTheCellMetricWithoutTranslations) {
    ScratchDir dir;
    StructureBuilder b(5.0);
    EXPECT_DOUBLE_EQ(distanceBetween(b.structure(), 0.3, 0.3, 0.3, 0.3, 0.3, 0.3), 0.0);
    EXPECT_NEAR(distanceBetween(b.structure(), 0, 0, 0, 0.2, 0, 0), 1.0, 1e-12);
    EXPECT_NEAR(distanceBetween(b.structure(), 0.05, 0, 0, 0.95, 0, 0), 4.5, 1e-12) << "no lattice translation";
    b.setCell(7.1, 8.3, 9.7, 81.5, 97.2, 113.4);
    double f1[3] = {0.1, 0.2, 0.3}, f2[3] = {0.4, -0.1, 0.25}, c1[3], c2[3];
    toCartesian(b.structure(), f1, c1);
    toCartesian(b.structure(), f2, c2);
    double cartesian = std::sqrt(std::pow(c1[0] - c2[0], 2) + std::pow(c1[1] - c2[1], 2) + std::pow(c1[2] - c2[2], 2));
    EXPECT_NEAR(distanceBetween(b.structure(), f1[0], f1[1], f1[2], f2[0], f2[1], f2[2]), cartesian, 1e-12);
}

TEST(Geometry, AnglesAtTheFirstAtom) {
    ScratchDir dir;
    StructureBuilder b;
    b.add("A", "C", 0, 0, 0);
    b.add("B", "C", 1.5, 0, 0);
    b.add("C", "C", -1.5, 0, 0);
    b.add("D", "C", 0, 2, 0);
    b.add("E", "C", 0, 0, 0);
    auto q = b.build();
    EXPECT_DOUBLE_EQ(perceiving(*q).angle(0, 1, 2), 180.0) << "straight line";
    EXPECT_NEAR(perceiving(*q).angle(0, 1, 3), 90.0, 1e-12);
    EXPECT_DOUBLE_EQ(perceiving(*q).angle(0, 1, 1), 0.0);
    EXPECT_DOUBLE_EQ(perceiving(*q).angle(0, 4, 1), 0.0) << "a neighbour on the atom itself gives 0, not NaN";
}

TEST(Geometry, RotationMultipliesTheRowVectorFromTheLeftAndMayWorkInPlace) {
    const double m[3][3] = {{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}};
    double v[3] = {1, 0, 0};
    rot_(m, v, v);
    EXPECT_EQ(v[0], 0.0);
    EXPECT_EQ(v[1], 1.0);
    EXPECT_EQ(v[2], 0.0);
}

TEST(Geometry, DistancesFollowTheCellWhenCellsTakeTurns) {
    // The cosines of the last cell are kept between calls: two structures with different
    // cells, asked in turn, must each get their own metric.
    ScratchDir dir;
    StructureBuilder cubic(10.0), oblique;
    oblique.setCell(10.0, 10.0, 10.0, 90, 90, 60);
    for (int turn = 0; turn < 3; ++turn) {
        EXPECT_NEAR(distanceBetween(cubic.structure(), 0, 0, 0, 0.1, 0.1, 0), std::sqrt(2.0), 1e-12) << turn;
        EXPECT_NEAR(distanceBetween(oblique.structure(), 0, 0, 0, 0.1, 0.1, 0), std::sqrt(3.0), 1e-12) << turn;
        double frac[3] = {0.1, 0.1, 0}, cart[3];
        toCartesian(oblique.structure(), frac, cart);
        EXPECT_NEAR(cart[0], 1.5, 1e-12) << turn;
        toCartesian(cubic.structure(), frac, cart);
        EXPECT_NEAR(cart[0], 1.0, 1e-12) << turn;
    }
}

TEST(CellGeometry, MatricesOfOneCellAgree) {
    const double cells[][6] = {{10, 10, 10, 90, 90, 90}, {5.1, 7.3, 9.2, 90, 104.5, 90}, {6.2, 7.9, 8.4, 71.3, 82.2, 77.9}};
    for (const auto& cell : cells) {
        const CellGeometry g(cell);
        const double frac[3] = {0.13, -0.42, 0.77}, origin[3] = {0, 0, 0};
        double cart[3], back[3];
        g.toCartesian(frac, cart);
        g.toFractional(cart, back);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(back[k], frac[k], 1e-12);
        EXPECT_NEAR(g.distance(frac, origin), std::sqrt(cart[0] * cart[0] + cart[1] * cart[1] + cart[2] * cart[2]), 1e-12);
    }
}

TEST(CellGeometry, ReciprocalCellOfAMonoclinicCell) {
    const double cell[6] = {5.1, 7.3, 9.2, 90, 104.5, 90};
    const CellGeometry g(cell);
    const double beta = 104.5 * PI / 180;
    EXPECT_NEAR(g.aStar(), 1 / (5.1 * std::sin(beta)), 1e-12);
    EXPECT_NEAR(g.bStar(), 1 / 7.3, 1e-12);
    EXPECT_NEAR(g.cStar(), 1 / (9.2 * std::sin(beta)), 1e-12);
    EXPECT_NEAR(g.cosBetaStar(), -std::cos(beta), 1e-12);
    EXPECT_NEAR(g.cosAlphaStar(), 0, 1e-12);
    EXPECT_NEAR(g.volume(), 5.1 * 7.3 * 9.2 * std::sin(beta), 1e-9);
}
