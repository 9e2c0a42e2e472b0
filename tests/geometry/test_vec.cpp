// The small vector type: every operation must give the bits the stages' own arithmetic gave
// (output files are compared byte for byte), so each is checked against that arithmetic
// written out, on values that do not round evenly.
#include <gtest/gtest.h>

#include <cmath>

#include "app/Quandrel.h"
#include "geometry/geometry.h"
#include "geometry/vec.h"

namespace {

const vec SAMPLES[][2] = {
    {{0.1, 0.2, 0.3}, {1.7, -2.9, 0.013}},
    {{1e-3, 7.77, -3.1415}, {-0.333, 2.0 / 3.0, 1e5}},
    {{-4.2, 0.0, 9.9}, {0.0, -0.0, 1.0 / 7.0}},
};

}  // namespace

TEST(Vec, OperationsGiveTheBitsOfTheArithmeticWrittenOut) {
    for (const auto& s : SAMPLES) {
        const vec a = s[0], b = s[1];
        const vec c = cross(a, b);
        EXPECT_EQ(c.x, a.y * b.z - a.z * b.y);
        EXPECT_EQ(c.y, a.z * b.x - a.x * b.z);
        EXPECT_EQ(c.z, a.x * b.y - a.y * b.x);
        EXPECT_EQ(dot(a, b), a.x * b.x + a.y * b.y + a.z * b.z);
        const double length = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
        EXPECT_EQ(norm(a), length);
        const vec u = normalised(a);
        EXPECT_EQ(u.x, a.x / length);
        EXPECT_EQ(u.z, a.z / length);
        const double dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
        EXPECT_EQ(distance(a, b), std::sqrt(dx * dx + dy * dy + dz * dz));
        const vec m = 50.0 * (a - b);
        EXPECT_EQ(m.y, 50.0 * (a.y - b.y));
        // the triple product of the chirality test
        EXPECT_EQ(dot(a, cross(b, a + b)), a.x * (b.y * (a.z + b.z) - b.z * (a.y + b.y)) +
                                               a.y * (b.z * (a.x + b.x) - b.x * (a.z + b.z)) +
                                               a.z * (b.x * (a.y + b.y) - b.y * (a.x + b.x)));
    }
}

TEST(Vec, AVectorWithoutLengthKeepsItsComponents) {
    const vec zero = normalised(vec{0.0, -0.0, 0.0});
    EXPECT_EQ(zero.x, 0.0);
    EXPECT_TRUE(std::signbit(zero.y));
    EXPECT_EQ(vec().z, 0.0);
    EXPECT_EQ(180.0 / PI, 57.29577951308232);
}

TEST(Vec, ANodeCountStaysWithinTheNeighbourSlots) {
    const struct {
        int anzahl, count;
    } rows[] = {{-3, 0}, {0, 0}, {4, 4}, {MAX_NEIGHBOURS, MAX_NEIGHBOURS}, {MAX_NEIGHBOURS + 2, MAX_NEIGHBOURS}};
    for (const auto& r : rows) {
        Knopf node;
        node.anzahl = r.anzahl;
        EXPECT_EQ(node.count(), r.count) << r.anzahl;
    }
}
