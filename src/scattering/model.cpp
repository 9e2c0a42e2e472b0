#include "model.h"

#include <algorithm>
#include <cmath>

#include "../core/failure.h"
#include "../symmetry/spacegroup.h"

namespace scattering {

double interpolateColumn(const std::vector<double>& column, double step, double stl) {
    const int n = static_cast<int>(column.size());
    if (n == 0) return 0;
    if (n < 4) return column[std::min(n - 1, std::max(0, static_cast<int>(std::lround(stl / step))))];
    const double x = stl / step;
    int i = static_cast<int>(std::floor(x)) - 1;  // first of the four points
    i = std::max(0, std::min(n - 4, i));
    const double t = x - i;  // position among points i .. i+3 (0..3)
    const double y0 = column[i], y1 = column[i + 1], y2 = column[i + 2], y3 = column[i + 3];
    return y0 * (t - 1) * (t - 2) * (t - 3) / -6 + y1 * t * (t - 2) * (t - 3) / 2 +
           y2 * t * (t - 1) * (t - 3) / -2 + y3 * t * (t - 1) * (t - 2) / 6;
}

double SphericalTable::reach() const {
    // an empty column (hydrogen's core) reaches everywhere
    const std::size_t points = core.empty() ? valence.size() : valence.empty() ? core.size()
                                                                                : std::min(core.size(), valence.size());
    return points == 0 ? 0 : step * static_cast<double>(points - 1);
}

double SphericalTable::coreAt(double stl) const { return interpolateColumn(core, step, stl); }
double SphericalTable::valenceAt(double stl) const { return interpolateColumn(valence, step, stl); }

Vec3 Model::cartesian(const Vec3& frac) const {
    const gemmi::Position p = cell.orthogonalize(gemmi::Fractional(frac[0], frac[1], frac[2]));
    return {p.x, p.y, p.z};
}

namespace {

gemmi::Op opOf(const SymOp& s) {
    gemmi::Op op;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) op.rot[i][j] = s.rot[i][j] * gemmi::Op::DEN;
        op.tran[i] = static_cast<int>(std::lround(s.tran[i] * gemmi::Op::DEN));
    }
    return op.wrap();
}

}  // namespace

std::vector<gemmi::Op> symmetryOperations(const std::vector<std::string>& symm, char centric, char lattice,
                                          const std::string& source) {
    gemmi::GroupOps group;
    group.sym_ops.push_back(gemmi::Op::identity());
    for (const std::string& text : symm) {
        SymOp s;
        std::string why;
        if (!parseOperator(text, s, why))
            fatal("%s: the symmetry card \"%s\" is no operator: %s", source.c_str(), text.c_str(), why.c_str());
        group.sym_ops.push_back(opOf(s));
    }
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(centric)));
    if (c != 'C' && c != 'A') fatal("%s: the centring flag '%c' is neither C nor A", source.c_str(), centric);
    if (c == 'C') {
        const std::size_t listed = group.sym_ops.size();
        for (std::size_t k = 0; k < listed; ++k) {
            gemmi::Op inv = group.sym_ops[k];
            inv.rot = inv.negated_rot();
            for (int& t : inv.tran) t = -t;
            group.sym_ops.push_back(inv.wrap());
        }
    }
    const char l = static_cast<char>(std::toupper(static_cast<unsigned char>(lattice)));
    if (std::string("PABCIFR").find(l) == std::string::npos || l == '\0')
        fatal("%s: the lattice letter '%c' is none of P, A, B, C, I, F, R", source.c_str(), lattice);
    group.cen_ops = gemmi::centring_vectors(l);
    std::vector<gemmi::Op> ops;
    for (const gemmi::Op& op : group) {
        if (std::find(ops.begin(), ops.end(), op) == ops.end()) ops.push_back(op);
    }
    return ops;
}

Model sphericalModel(const Model& model) {
    Model spherical = model;
    for (KappaSet& k : spherical.kappas) k = KappaSet();
    for (Atom& a : spherical.atoms) {
        a.plm.fill(0);
        a.lmax = 0;  // nothing to evaluate beyond the monopole
    }
    return spherical;
}

namespace {

bool finite(const double* v, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (!std::isfinite(v[i])) return false;
    return true;
}

}  // namespace

void validate(const Model& model) {
    if (!(model.cell.volume > 0) || !std::isfinite(model.cell.volume))
        fatal("structure factors: the cell (%g %g %g %g %g %g) has no volume", model.cell.a, model.cell.b,
              model.cell.c, model.cell.alpha, model.cell.beta, model.cell.gamma);
    if (model.operations.empty()) fatal("structure factors: the model has no symmetry operation");
    for (std::size_t t = 0; t < model.types.size(); ++t) {
        const ScatteringType& s = model.types[t];
        if (!(s.radial.zeta > 0) || !std::isfinite(s.radial.zeta))
            fatal("structure factors: scattering type %zu (%s) has no radial exponent (zeta %g)", t + 1,
                  s.symbol.c_str(), s.radial.zeta);
        for (int l = 0; l <= MAX_L; ++l)
            if (s.radial.n[l] < std::max(0, l - 1) || s.radial.n[l] > 12)
                fatal("structure factors: scattering type %zu (%s): n_%d = %d is outside %d..12", t + 1,
                      s.symbol.c_str(), l, s.radial.n[l], std::max(0, l - 1));
        if (!std::isfinite(s.fp) || !std::isfinite(s.fpp) || !finite(s.table.core.data(), s.table.core.size()) ||
            !finite(s.table.valence.data(), s.table.valence.size()))
            fatal("structure factors: scattering type %zu (%s) holds a number that is not finite", t + 1,
                  s.symbol.c_str());
        if (!(s.table.step > 0) || s.table.valence.size() < 4 || (!s.table.core.empty() && s.table.core.size() < 4))
            fatal("structure factors: scattering type %zu (%s) has no spherical-atom table of at least 4 points",
                  t + 1, s.symbol.c_str());
    }
    for (std::size_t k = 0; k < model.kappas.size(); ++k) {
        const KappaSet& s = model.kappas[k];
        bool ok = s.kappa > 0 && std::isfinite(s.kappa);
        for (double v : s.kappaPrime) ok = ok && v > 0 && std::isfinite(v);
        if (!ok) fatal("structure factors: kappa set %zu holds a kappa that is not positive", k + 1);
    }
    for (const Atom& a : model.atoms) {
        const char* label = a.label.c_str();
        if (a.type < 0 || a.type >= static_cast<int>(model.types.size()))
            fatal("structure factors: atom %s has scattering type %d of %zu", label, a.type + 1, model.types.size());
        if (a.kappa < 0 || a.kappa >= static_cast<int>(model.kappas.size()))
            fatal("structure factors: atom %s has kappa set %d of %zu", label, a.kappa + 1, model.kappas.size());
        if (a.lmax < 0 || a.lmax > MAX_L) fatal("structure factors: atom %s has lmax %d (0..4)", label, a.lmax);
        if (!finite(a.frac.data(), 3) || !finite(a.u.data(), 6) || !finite(a.plm.data(), a.plm.size()) ||
            !std::isfinite(a.uIso) || !std::isfinite(a.pv) || !std::isfinite(a.occupancy) ||
            !finite(a.frame[0].data(), 3) || !finite(a.frame[1].data(), 3) || !finite(a.frame[2].data(), 3))
            fatal("structure factors: atom %s holds a number that is not finite", label);
    }
}

}  // namespace scattering
