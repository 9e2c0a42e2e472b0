#include "frame.h"

#include <cmath>

#include "../core/failure.h"

namespace scattering {

namespace {

Vec3 minus(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
double dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

}  // namespace

Mat3 localFrame(const Vec3& atom, const Vec3& atom0, const Vec3& atom2, int ax1, int ax2, char handedness,
                const std::string& label) {
    if (ax1 < 1 || ax1 > 3 || ax2 < 1 || ax2 > 3 || ax1 == ax2)
        fatal("local frame of %s: the axis codes %d and %d are not two different axes of X, Y, Z (1..3)",
              label.c_str(), ax1, ax2);
    if (handedness != 'R' && handedness != 'L')
        fatal("local frame of %s: the handedness '%c' is neither R nor L", label.c_str(), handedness);
    Vec3 e1 = minus(atom0, atom);
    const double l1 = std::sqrt(dot(e1, e1));
    if (!(l1 > 1e-6)) fatal("local frame of %s: ATOM0 stands on the atom itself", label.c_str());
    for (double& v : e1) v /= l1;
    Vec3 e2 = minus(atom2, atom);
    const double along = dot(e2, e1);
    for (int i = 0; i < 3; ++i) e2[i] -= along * e1[i];
    const double l2 = std::sqrt(dot(e2, e2));
    if (!(l2 > 1e-6)) fatal("local frame of %s: ATOM2 lies on the line of the atom and ATOM0", label.c_str());
    for (double& v : e2) v /= l2;
    Mat3 frame;
    frame[ax1 - 1] = e1;
    frame[ax2 - 1] = e2;
    // (ax1, ax2) in cyclic order X->Y->Z->X: the third axis is e1 x e2 in a right-handed frame
    const bool cyclic = (ax2 - ax1 + 3) % 3 == 1;
    Vec3 third = cyclic ? cross(e1, e2) : cross(e2, e1);
    if (handedness == 'L')
        for (double& v : third) v = -v;
    frame[6 - ax1 - ax2 - 1] = third;
    return frame;
}

}  // namespace scattering
