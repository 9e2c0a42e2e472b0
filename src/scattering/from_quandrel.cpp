#include "from_quandrel.h"

#include <cstdio>
#include <sstream>

#include "../core/failure.h"
#include "../core/text.h"
#include "frame.h"
#include "radial.h"
#include "textfile.h"

namespace scattering {

MasterExtras parseMasterExtras(const std::string& text, const std::string& name) {
    MasterExtras extras;
    bool inAtoms = false;
    int number = 0;
    for (const std::string& line : splitLines(text)) {
        ++number;
        std::istringstream in(line);
        std::string first;
        if (!(in >> first) || first[0] == '!') continue;
        if (first == "WAVE") {
            std::string value;
            if (!(in >> value) || !parseNumber(value, extras.wavelength) || !(extras.wavelength > 0) ||
                extras.wavelength > 100)
                fatal("%s, line %d: the WAVE card holds no wavelength", name.c_str(), number);
        } else if (first == "ATOM" && line.find("ATOM0") != std::string::npos) {
            inAtoms = true;
        } else if (first == "END" && inAtoms) {
            inAtoms = false;
        } else if (inAtoms && first != "DUM" && first.compare(0, 3, "DUM") != 0) {
            std::string w[6];
            for (std::string& word : w) in >> word;
            if (w[5] != "R" && w[5] != "L")
                fatal("%s, line %d: the ATOM-table line of %s has no R or L in its seventh word", name.c_str(),
                      number, first.c_str());
            extras.handedness[first] = w[5][0];
        }
    }
    return extras;
}

QuandrelModel modelFromQuandrel(const Structure& q, const QuandrelInputs& in) {
    QuandrelModel out;
    Model& m = out.model;
    m.cell = gemmi::UnitCell(q.cell[0], q.cell[1], q.cell[2], q.cell[3], q.cell[4], q.cell[5]);
    if (in.master.wavelength > 0) m.wavelength = in.master.wavelength;
    if (q.symmetry.known)
        m.operations = symmetryOperations(q.symmetry.symm, q.symmetry.centric, q.symmetry.lattice, "xd.mas");
    for (int t = 0; t < q.nScat; ++t) {
        const ScatEntry& e = q.scatTable[t];
        ScatteringType s;
        s.symbol = e.symbol;
        s.z = e.element + 1;
        s.fp = e.values[0];
        s.fpp = e.values[1];
        const auto r = in.radial.find(s.z);
        s.radial = r != in.radial.end() ? r->second : standardRadial(s.z);
        if (in.spherical) s.table = in.spherical(s.z);
        m.types.push_back(s);
    }
    for (int k = 0; k < q.nKappa; ++k) {
        KappaSet set;
        set.kappa = q.kappaSet[0][k];
        for (int l = 0; l <= MAX_L; ++l) set.kappaPrime[l] = q.kappaSet[l + 1][k];
        m.kappas.push_back(set);
    }
    const int total = q.nAtoms + q.nDummy;
    auto position = [&](int oneBased, const char* label, const char* which) {
        if (oneBased < 1 || oneBased > total)
            fatal("xd.res: the frame of %s names %s %d of %d atoms and dummies", label, which, oneBased, total);
        const double* f = q.atom[oneBased - 1].frac;
        return m.cartesian({f[0], f[1], f[2]});
    };
    for (int i = 0; i < q.nAtoms; ++i) {
        const AtomRecord& r = q.atom[i];
        Atom a;
        a.label = r.label;
        a.frac = {r.frac[0], r.frac[1], r.frac[2]};
        a.occupancy = r.occupancy;
        a.anisotropic = r.tp != 1;
        a.uIso = r.u[0];
        for (int k = 0; k < 6; ++k) a.u[k] = r.u[k];
        a.type = r.tbl - 1;
        a.kappa = r.kap - 1;
        a.pv = r.multipole[0];
        for (int k = 0; k < N_MULTIPOLES; ++k) a.plm[k] = r.multipole[k + 1];
        a.lmax = r.lmx;
        const auto hand = in.master.handedness.find(a.label);
        const char h = hand != in.master.handedness.end() ? hand->second : 'R';
        a.frame = localFrame(position(r.atom1, r.label, "ATOM1"), position(r.atom0, r.label, "ATOM0"),
                             position(r.atom2, r.label, "ATOM2"), r.ax1, r.ax2, h, a.label);
        m.atoms.push_back(a);
    }
    int anharmonic = 0;
    for (int i = 0; i < q.nAtoms; ++i) anharmonic += q.atom[i].tp > 2;
    if (anharmonic > 0)
        out.warnings.warnLine("anharmonic displacement left out", {},
                              format("structure factors: the third- and fourth-order displacement parameters of "
                                     "%d atom(s) are left out",
                                     anharmonic));
    if (q.nTrailing > 0) out.scale = q.trailingValues[q.nTrailing - 1];
    return out;
}

}  // namespace scattering
