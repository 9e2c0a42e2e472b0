#include "helpers.h"

#include "scattering/radial.h"
#include "sources.h"

namespace scatteringtest {

scattering::Model oneTypeModel(int z, int coreElectrons, double a, double b, double c, double beta) {
    scattering::Model m;
    m.cell = gemmi::UnitCell(a, b, c, 90, beta, 90);
    scattering::ScatteringType t;
    t.symbol = "E";
    t.z = z;
    t.radial = scattering::standardRadial(z);
    t.table = testsources::it92Table(z, coreElectrons);
    m.types.push_back(t);
    m.kappas.push_back({});
    return m;
}

scattering::Atom atomAt(const char* label, scattering::Vec3 frac, double pv) {
    scattering::Atom a;
    a.label = label;
    a.frac = frac;
    a.pv = pv;
    a.u = {0.012, 0.015, 0.011, 0.002, -0.003, 0.001};
    return a;
}

std::vector<scattering::Miller> indicesUpTo(int n) {
    std::vector<scattering::Miller> out;
    for (int h = -n; h <= n; ++h)
        for (int k = -n; k <= n; ++k)
            for (int l = -n; l <= n; ++l)
                if (h != 0 || k != 0 || l != 0) out.push_back({h, k, l});
    return out;
}

}  // namespace scatteringtest
