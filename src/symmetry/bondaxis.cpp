// Bond-axis symmetry analysis ("-findSymm"): a rough estimate of every atom's site
// symmetry from the atom and its bonded neighbours alone. Candidate axes run along the
// bonds, along sums of two bond directions and along normals of two bond directions;
// each is tried with rotations of order 1 to 6, proper and improper.
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "../core/stage.h"
#include "../geometry/cell.h"
#include "../core/text.h"
#include "../geometry/geometry.h"
#include "../geometry/vec.h"
#include "completion.h"

namespace {

// A construction vector shorter than this (in ångström for a bond or a sum of two bonds,
// in square ångström for a cross product) has no direction worth the name: two atoms on
// one point, two opposite bonds or two parallel bonds, up to rounding. Coordinates in the
// input files carry about 1e-4 Å, rounding about 1e-15 Å, so the threshold lies well
// between genuine geometry and arithmetic noise.
constexpr double ZERO_AXIS = 1e-6;

// The atom's neighbourhood: point 0 is the atom at the origin, points 1..n its neighbours
// as vectors from the atom, each with its element index as type.
struct Point {
    double r[3];
    int type;
};

// Family texts of the log line, indexed by family.
const char* const FAMILY_TEXT[3] = {"bond to", "linear combination of", "cross product of"};

struct Axis {
    int family;
    double u[3];       // unit vector
    char name[64];     // two labels of at most 19 characters and ".lc." or ".X." fit
};

// Adds the axis along v unless v has no usable length.
void addAxis(std::vector<Axis>& axes, int family, vec v, const char* name) {
    const double length = norm(v);
    if (!(length >= ZERO_AXIS)) return;
    Axis a;
    a.family = family;
    a.u[0] = v.x / length;
    a.u[1] = v.y / length;
    a.u[2] = v.z / length;
    snprintf(a.name, sizeof a.name, "%s", name);
    axes.push_back(a);
}

// The rotation by phi about the unit vector u:
// R = cos(phi) I + sin(phi) [u]x + (1 - cos(phi)) u u^T.
void rodrigues(const double* u, double phi, double (&m)[3][3]) {
    const double c = std::cos(phi), s = std::sin(phi), t = 1.0 - c;
    const double x = u[0], y = u[1], z = u[2];
    m[0][0] = c + t * x * x;     m[0][1] = t * x * y - s * z; m[0][2] = t * x * z + s * y;
    m[1][0] = t * y * x + s * z; m[1][1] = c + t * y * y;     m[1][2] = t * y * z - s * x;
    m[2][0] = t * z * x - s * y; m[2][1] = t * z * y + s * x; m[2][2] = c + t * z * z;
}

// Number of pairs (rotated point p, unrotated point q) of equal type closer than tolerance.
// The operation maps the neighbourhood onto itself when this equals the number of points.
// rot_ multiplies from the left, i.e. applies the inverse rotation; a set that one maps
// onto itself the other maps too, and the count is the same.
int matches(const std::vector<Point>& pts, const double (&m)[3][3], double tolerance) {
    int count = 0;
    for (const Point& p : pts) {
        double r[3];
        rot_(m, p.r, r);
        for (const Point& q : pts) {
            if (q.type != p.type) continue;
            if (distance(toVec(r), toVec(q.r)) < tolerance) ++count;
        }
    }
    return count;
}

}  // namespace

void findSomeSymm(const PerceptionRun& run) {
    const Options& opt = run.opt;
    const int nAtoms = run.s.nAtoms;
    const auto& knopf = run.p.knopf;
    const NameTable& quandrelName = run.p.quandrelName;
    FILE* logFile = run.log;
    Stage stage("find_some_symm");
    printf("________________________________________________\n"
           "Bond axis symmetry analysis: (Do not trust it!!)\n"
           "________________________________________________\n");
    printf("SYMMTOL = %f\n", opt.symmTol);

    for (int i = 0; i < nAtoms; ++i) {
        const AtomRecord& at = run.site(i);
        std::string descriptor;
        bool inversion = false;
        static const Knopf unbonded;
        const Knopf& node = i < static_cast<int>(knopf.size()) ? knopf[i] : unbonded;
        const int n = node.count();

        if (n < 2) {
            printf("%s's local symmetry is linear |(%s)\n", at.label, quandrelName[i]);
            fprintf(logFile, "%s's local symmetry is linear \n", at.label);
            continue;
        }

        std::vector<Point> pts;
        pts.push_back({{0.0, 0.0, 0.0}, run.elementOf(i)});
        for (int b = 0; b < n; ++b) {
            const AtomRecord& nb = run.site(node.nachbar[b]);
            pts.push_back({{nb.cart[0] - at.cart[0], nb.cart[1] - at.cart[1], nb.cart[2] - at.cart[2]},
                           run.elementOf(node.nachbar[b])});
        }
        auto labelOf = [&](int b) { return run.site(node.nachbar[b - 1]).label; };

        std::vector<Axis> axes;
        char name[64];
        for (int b = 1; b <= n; ++b) addAxis(axes, 0, toVec(pts[b].r), labelOf(b));
        for (int a = 1; a <= n; ++a)
            for (int b = a + 1; b <= n; ++b) {
                snprintf(name, sizeof name, "%s.lc.%s", labelOf(a), labelOf(b));
                addAxis(axes, 1, toVec(pts[a].r) + toVec(pts[b].r), name);
            }
        for (int a = 1; a <= n; ++a)
            for (int b = a + 1; b <= n; ++b) {
                snprintf(name, sizeof name, "%s.X.%s", labelOf(a), labelOf(b));
                addAxis(axes, 2, cross(toVec(pts[a].r), toVec(pts[b].r)), name);
            }

        const int expected = n + 1;
        for (const Axis& ax : axes) {
            const double tip[3] = {at.cart[0] + ax.u[0], at.cart[1] + ax.u[1], at.cart[2] + ax.u[2]};
            double dummy[3];
            run.cell.toFractional(tip, dummy);
            const char* family = FAMILY_TEXT[ax.family];
            for (int k = 1; k <= 6; ++k) {
                double m[3][3];
                rodrigues(ax.u, 2.0 * PI / k, m);
                if (k >= 2 && matches(pts, m, opt.symmTol) == expected) {
                    fprintf(logFile, "Symmetry %d Axis points to DUMMY at %f %f %f and is the %s %s\n", k, dummy[0],
                            dummy[1], dummy[2], family, ax.name);
                    appendf(descriptor, "%d-%s ", k, ax.name);
                }
                // improper: the rotation followed by the inversion; of order 1 the inversion
                // itself, of order 2 the mirror plane perpendicular to the axis
                for (auto& row : m)
                    for (double& e : row) e = -e;
                if (matches(pts, m, opt.symmTol) == expected) {
                    fprintf(logFile, "Symmetry -%d Axis points to DUMMY at %f %f %f and is the %s %s\n", k, dummy[0],
                            dummy[1], dummy[2], family, ax.name);
                    if (k == 1) {
                        if (!inversion) appendf(descriptor, "-1 ");
                        inversion = true;
                    } else if (k == 2) {
                        appendf(descriptor, "m/%s ", ax.name);
                    } else {
                        appendf(descriptor, "%d-%s ", -k, ax.name);
                    }
                }
            }
        }

        const char* shown = descriptor.empty() ? "1" : descriptor.c_str();
        printf("%s's local symmetry %s |(%s)\n", at.label, shown, quandrelName[i]);
        fprintf(logFile, "%s's local symmetry %s \n\n", at.label, shown);
    }
}
