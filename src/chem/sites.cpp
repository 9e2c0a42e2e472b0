// The sites of a perception run: input atoms and symmetry images, with their geometry.
#include <cmath>

#include "../geometry/cell.h"
#include "../geometry/geometry.h"
#include "perception.h"

const AtomRecord& siteOf(const Structure& s, const Perception& p, int index) {
    if (index >= s.nAtoms && p.isImage(index)) return p.imageAtom[static_cast<std::size_t>(index - p.nInput)];
    return s.atom[static_cast<std::size_t>(index)];
}

void Perception::growSites(int n) {
    const std::size_t size = static_cast<std::size_t>(n);
    if (ringCode.size() < size) ringCode.resize(size, 0);
    if (ringMask.size() < size) ringMask.resize(size);
    if (planarCache.size() < size) planarCache.resize(size, -1.0);
    if (sameNameAs.size() < size) sameNameAs.resize(size);
}

double PerceptionRun::distance(const double* f1, const double* f2) const { return cell.distance(f1, f2); }

double PerceptionRun::angle(int i, int j, int k) const {
    const double* ci = site(i).cart;
    const double* cj = site(j).cart;
    const double* ck = site(k).cart;
    const double u[3] = {cj[0] - ci[0], cj[1] - ci[1], cj[2] - ci[2]};
    const double w[3] = {ck[0] - ci[0], ck[1] - ci[1], ck[2] - ci[2]};
    const double lu = std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]);
    const double lw = std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
    // Two atoms on one point have no direction: the angle is reported as 0.
    if (lu == 0.0 || lw == 0.0) return 0.0;
    double cosine = (u[0] * w[0] + u[1] * w[1] + u[2] * w[2]) / (lw * lu);
    // Rounding can push the cosine of a straight or zero angle just past +-1.
    if (cosine > 1.0) cosine = 1.0;
    if (cosine < -1.0) cosine = -1.0;
    return std::acos(cosine) / PI * 180;
}
