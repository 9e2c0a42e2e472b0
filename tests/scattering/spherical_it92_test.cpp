// The program's own spherical atoms through the engine, against gemmi's IT92 form factors:
// with every multipole zero, kappa 1 and a neutral Pv, f(h) of C, N and O follows IT92 within
// 0.5 % up to sin(theta)/lambda 1.0 1/A.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include <gemmi/it92.hpp>

#include "atoms/atoms.h"
#include "scattering/engine.h"
#include "scattering/model.h"

TEST(SphericalAtoms, OwnPbeAtomsFollowIt92ThroughTheEngine) {
    atoms::AtomCache cache{atoms::AtomSettings()};
    for (int z : {6, 7, 8}) {
        const atoms::FormFactors& f = cache.get(z, atoms::defaultSplit(z));
        scattering::Model m;
        m.cell = gemmi::UnitCell(20, 20, 20, 90, 90, 90);
        scattering::ScatteringType t;
        t.z = z;
        t.table.step = 0.01;
        for (int i = 0; i * 0.01 <= 2.0 + 1e-9; ++i) {
            t.table.core.push_back(f.core(i * 0.01));
            t.table.valence.push_back(f.valence(i * 0.01));
        }
        m.types.push_back(t);
        m.kappas.push_back(scattering::KappaSet());
        scattering::Atom a;
        a.pv = f.valenceElectrons();
        m.atoms.push_back(a);
        std::vector<scattering::Miller> hkl;
        for (int h = 0; h <= 40; ++h) hkl.push_back({h, 0, 0});  // sin(theta)/lambda = h / 40
        const std::vector<std::complex<double>> ff = scattering::atomFormFactors(m, hkl);
        const auto& it92 = gemmi::IT92<double>::get(static_cast<gemmi::El>(z));
        for (int h = 0; h <= 40; ++h) {
            const double stol = h / 40.0;
            const double reference = it92.calculate_sf(stol * stol);
            EXPECT_NEAR(ff[static_cast<std::size_t>(h)].real(), reference, 0.005 * reference)
                << "Z " << z << " at sin(theta)/lambda " << stol;
            EXPECT_NEAR(ff[static_cast<std::size_t>(h)].imag(), 0.0, 1e-12);
        }
    }
}
