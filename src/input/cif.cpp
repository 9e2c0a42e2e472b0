// Reader of small-molecule CIFs. The text is parsed by gemmi; the cell, the atom sites and
// their displacement parameters come from its small-molecule reader, the symmetry from the
// symop loop (else the Hall symbol, else the H-M symbol), which that reader does not take.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <numeric>
#include <set>
#include <string>
#include <vector>

#include <gemmi/cif.hpp>
#include <gemmi/numb.hpp>
#include <gemmi/smcif.hpp>
#include <gemmi/symmetry.hpp>

#include "../chem/elements.h"
#include "../core/failure.h"
#include "../core/text.h"
#include "../geometry/geometry.h"
#include "crystal.h"

namespace {

namespace cif = gemmi::cif;

// Distance (A) within which a symmetry image of a site counts as the site itself: the
// site lies on a special position. Published coordinates of such sites are exact to the
// last printed digit; disordered atoms near a symmetry element stay well outside.
constexpr double SPECIAL_POSITION_TOLERANCE = 0.1;

const char* const SYMOP_TAGS[] = {"_space_group_symop_operation_xyz", "_symmetry_equiv_pos_as_xyz"};
const char* const HALL_TAGS[] = {"_space_group_name_Hall", "_symmetry_space_group_name_Hall"};
const char* const HM_TAGS[] = {"_space_group_name_H-M_alt", "_symmetry_space_group_name_H-M"};
const char* const CELL_TAGS[] = {"_cell_length_a", "_cell_length_b", "_cell_length_c",
                                 "_cell_angle_alpha", "_cell_angle_beta", "_cell_angle_gamma"};

bool hasAtomSites(const cif::Block& block) {
    return const_cast<cif::Block&>(block).find_values("_atom_site_label").length() > 0;
}

// Value and standard uncertainty of a CIF number such as "11.4180(7)"; the uncertainty is 0
// when the number carries none.
bool numberWithSu(const std::string& raw, double& value, double& su) {
    value = cif::as_number(raw);
    su = 0;
    if (std::isnan(value)) return false;
    const std::size_t open = raw.find('(');
    if (open == std::string::npos) return true;
    const std::size_t dot = raw.find('.');
    int decimals = 0;
    if (dot != std::string::npos && dot < open) {
        for (std::size_t k = dot + 1; k < open && std::isdigit(static_cast<unsigned char>(raw[k])); ++k) ++decimals;
    }
    su = std::atof(raw.c_str() + open + 1) * std::pow(10.0, -decimals);
    return true;
}

// Operator text of a SYMM card: upper-case X, Y, Z, the translation first as a fraction,
// no blanks ("-X,1/2+Y,1/2-Z").
std::string symmText(const gemmi::Op& op) {
    std::string text;
    for (int row = 0; row < 3; ++row) {
        if (row > 0) text += ',';
        std::string part;
        const int t = ((op.tran[row] % gemmi::Op::DEN) + gemmi::Op::DEN) % gemmi::Op::DEN;
        if (t != 0) {
            const int g = std::gcd(t, gemmi::Op::DEN);
            part += std::to_string(t / g) + "/" + std::to_string(gemmi::Op::DEN / g);
        }
        for (int col = 0; col < 3; ++col) {
            const int r = op.rot[row][col];
            if (r == 0) continue;
            const char axis = "XYZ"[col];
            const int n = std::abs(r);
            std::string term;
            if (n % gemmi::Op::DEN == 0) {
                if (n / gemmi::Op::DEN != 1) term = std::to_string(n / gemmi::Op::DEN) + "*";
            } else {
                const int g = std::gcd(n, gemmi::Op::DEN);
                term = std::to_string(n / g) + "/" + std::to_string(gemmi::Op::DEN / g) + "*";
            }
            if (r < 0)
                part += '-';
            else if (!part.empty())
                part += '+';
            part += term + axis;
        }
        if (part.empty()) part = "0";
        text += part;
    }
    return text;
}

bool isInversionAtOrigin(const gemmi::GroupOps& ops) {
    const gemmi::Op::Rot minusOne = {{{-gemmi::Op::DEN, 0, 0}, {0, -gemmi::Op::DEN, 0}, {0, 0, -gemmi::Op::DEN}}};
    const gemmi::Op* inversion = ops.find_by_rotation(minusOne);
    if (inversion == nullptr) return false;
    for (const gemmi::Op::Tran& c : ops.cen_ops) {
        bool lattice = true;
        for (int k = 0; k < 3; ++k) lattice = lattice && (inversion->tran[k] - c[k]) % gemmi::Op::DEN == 0;
        if (lattice) return true;
    }
    return false;
}

// LATT and SYMM cards of a group: for a centrosymmetric group with its inversion centre at
// the origin only the proper rotations are listed, otherwise every operator but the identity;
// centring translations are implied by the lattice letter.
CrystalSymmetry symmetryCards(const gemmi::GroupOps& ops) {
    CrystalSymmetry s;
    s.known = true;
    const char centring = ops.find_centering();
    const bool usual = centring != 0 && std::string("PABCIFR").find(centring) != std::string::npos;
    s.lattice = usual ? centring : 'P';
    const bool centric = isInversionAtOrigin(ops);
    s.centric = centric ? 'C' : 'A';
    std::vector<gemmi::Op> listed;
    if (usual) {
        listed = ops.sym_ops;
    } else {
        for (gemmi::Op op : ops) listed.push_back(op);  // every operator, centring included
    }
    for (const gemmi::Op& op : listed) {
        if (op.rot == gemmi::Op::identity().rot && op.tran == gemmi::Op::identity().tran) continue;
        if (centric && op.det_rot() < 0) continue;
        s.symm.push_back(symmText(op));
    }
    return s;
}

// An H-M symbol in a form gemmi does not take ("P2(1)/n", "P2~1~/n", "P2_1/n") written as
// one it does ("P21/n").
std::string plainHm(const std::string& hm) {
    std::string out;
    for (char c : hm)
        if (c != '~' && c != '_' && c != '(' && c != ')') out += c;
    return out;
}

struct FoundSymmetry {
    gemmi::GroupOps ops;
    std::string from;  // what it was read from, for the run's report
};

FoundSymmetry findSymmetry(cif::Block& block, const std::string& where, double alpha, double gamma) {
    for (const char* tag : SYMOP_TAGS) {
        cif::Column column = block.find_values(tag);
        if (column.length() == 0) continue;
        std::vector<gemmi::Op> list{gemmi::Op::identity()};
        for (const std::string& raw : column) {
            const std::string text = cif::as_string(raw);
            // long numbers and coefficients beyond -1, 0, 1 would overflow the operator arithmetic
            int digits = 0;
            for (char ch : text) {
                digits = (ch >= '0' && ch <= '9') ? digits + 1 : 0;
                if (digits > 4)
                    fatal("%s: the symmetry operator \"%s\" (%s) cannot be read: a number is too long", where.c_str(),
                          text.c_str(), tag);
            }
            try {
                gemmi::Op op = gemmi::parse_triplet(text);
                for (const auto& row : op.rot)
                    for (int v : row)
                        if (v > gemmi::Op::DEN || v < -gemmi::Op::DEN)
                            fatal("%s: the symmetry operator \"%s\" (%s) has coefficients other than -1, 0 and 1",
                                  where.c_str(), text.c_str(), tag);
                list.push_back(op.wrap());
            } catch (const std::exception& e) {
                fatal("%s: the symmetry operator \"%s\" (%s) cannot be read: %s", where.c_str(), text.c_str(), tag,
                      e.what());
            }
        }
        gemmi::GroupOps ops = gemmi::split_centering_vectors(list);
        // the identity is stated in the loop as well: each centring vector once
        std::sort(ops.cen_ops.begin(), ops.cen_ops.end());
        ops.cen_ops.erase(std::unique(ops.cen_ops.begin(), ops.cen_ops.end()), ops.cen_ops.end());
        return {ops, std::string("the symop loop ") + tag};
    }
    for (const char* tag : HALL_TAGS) {
        const std::string* raw = block.find_value(tag);
        if (raw == nullptr || cif::is_null(*raw)) continue;
        const std::string hall = cif::as_string(*raw);
        try {
            return {gemmi::symops_from_hall(hall.c_str()), std::string("the Hall symbol \"") + hall + "\""};
        } catch (const std::exception& e) {
            fprintf(stderr, "%s: the Hall symbol \"%s\" cannot be read (%s); the H-M symbol is tried.\n",
                    where.c_str(), hall.c_str(), e.what());
        }
    }
    std::string tried;
    for (const char* tag : HM_TAGS) {
        const std::string* raw = block.find_value(tag);
        if (raw == nullptr || cif::is_null(*raw)) continue;
        const std::string hm = cif::as_string(*raw);
        const gemmi::SpaceGroup* sg = gemmi::find_spacegroup_by_name(hm, alpha, gamma);
        if (sg == nullptr) sg = gemmi::find_spacegroup_by_name(plainHm(hm), alpha, gamma);
        if (sg != nullptr) return {sg->operations(), std::string("the H-M symbol \"") + hm + "\""};
        tried += " \"" + hm + "\"";
    }
    if (!tried.empty())
        fatal("%s: the space-group symbol%s names no space group that can be read, and there is neither a symop "
              "loop nor a Hall symbol: the symmetry is unknown.",
              where.c_str(), tried.c_str());
    fatal("%s: no symmetry is stated (no symop loop, no Hall or H-M symbol); a structure without symmetry "
          "states it as the symop loop 'x, y, z' or the symbol 'P 1'.",
          where.c_str());
}

// Order of the site symmetry of a position: the number of operators that map it onto itself.
int siteSymmetryOrder(const gemmi::UnitCell& cell, const gemmi::GroupOps& ops, const gemmi::Fractional& f) {
    int order = 0;
    for (gemmi::Op op : ops) {
        const std::array<double, 3> image = op.apply_to_xyz({f.x, f.y, f.z});
        gemmi::Fractional d(image[0] - f.x, image[1] - f.y, image[2] - f.z);
        d.x -= std::round(d.x);
        d.y -= std::round(d.y);
        d.z -= std::round(d.z);
        if (cell.orthogonalize_difference(d).length() < SPECIAL_POSITION_TOLERANCE) ++order;
    }
    return std::max(order, 1);
}

int elementIndexOf(const gemmi::Element& el) {
    if (el.elem == gemmi::El::X) return -1;
    const int index = el.atomic_number() - 1;
    return index < N_SYMBOLS ? index : -1;
}

CrystalInput readBlock(cif::Block& block, const std::string& path) {
    CrystalInput in;
    in.source = path;
    in.title = block.name;
    const std::string where = path + ", data block " + block.name;

    // cell and its standard uncertainties
    for (int k = 0; k < 6; ++k) {
        const std::string* raw = block.find_value(CELL_TAGS[k]);
        if (raw == nullptr || !numberWithSu(*raw, in.cell[k], in.cellSd[k]))
            fatal("%s: no cell: %s is %s.", where.c_str(), CELL_TAGS[k], raw == nullptr ? "missing" : "not a number");
    }
    if (!validCell(in.cell))
        fatal("%s: the cell %g %g %g %g %g %g is no cell (edges must be positive, angles between 0 and 180 "
              "degrees and spanning a volume).",
              where.c_str(), in.cell[0], in.cell[1], in.cell[2], in.cell[3], in.cell[4], in.cell[5]);

    const FoundSymmetry sym = findSymmetry(block, where, in.cell[3], in.cell[5]);
    in.symmetry = symmetryCards(sym.ops);
    printf("Symmetry of %s from %s: LATT %c %c, %zu SYMM card(s).\n", where.c_str(), sym.from.c_str(),
           in.symmetry.centric, in.symmetry.lattice, in.symmetry.symm.size());

    for (const char* axis : {"_atom_site_fract_x", "_atom_site_fract_y", "_atom_site_fract_z"})
        if (block.find_values(axis).length() == 0)
            fatal("%s: the atom sites have no fractional coordinates (%s is missing).", where.c_str(), axis);

    gemmi::SmallStructure st = gemmi::make_small_structure_from_block(block);
    in.wavelength = std::isfinite(st.wavelength) && st.wavelength > 0 ? st.wavelength : 0;
    gemmi::UnitCell cell(in.cell[0], in.cell[1], in.cell[2], in.cell[3], in.cell[4], in.cell[5]);

    for (const gemmi::SmallStructure::AtomType& t : st.atom_types) {
        CrystalAtomType type;
        type.element = elementIndexOf(t.element);
        type.fp = t.dispersion_real;
        type.fpp = t.dispersion_imag;
        if (type.element >= 0) in.atomTypes.push_back(type);
    }

    std::set<std::string> labels;
    for (const gemmi::SmallStructure::Site& s : st.sites) {
        const char* label = s.label.c_str();
        if (!labels.insert(s.label).second) fatal("%s: the atom label %s occurs twice.", where.c_str(), label);
        if (s.label.empty() || s.label.find_first_of(" \t") != std::string::npos)
            fatal("%s: the atom label \"%s\" is empty or holds a blank.", where.c_str(), label);
        CrystalSite site;
        site.label = s.label;
        site.element = elementIndexOf(s.element);
        if (site.element < 0)
            fatal("%s: site %s: the type symbol \"%s\" names no element.", where.c_str(), label,
                  s.type_symbol.c_str());
        const double f[3] = {s.fract.x, s.fract.y, s.fract.z};
        for (int k = 0; k < 3; ++k) {
            if (!std::isfinite(f[k]))
                fatal("%s: site %s has no usable coordinate %c (\"?\", \".\" or no number).", where.c_str(), label,
                      "xyz"[k]);
            site.frac[k] = f[k];
        }
        requireNumbers(site.frac, 3, where.c_str(), std::string("site ") + label + ", coordinates");
        if (!(s.occ > 0 && s.occ <= 1))
            fatal("%s: site %s has the occupancy %g; an occupancy must lie in (0, 1].", where.c_str(), label, s.occ);
        const int order = siteSymmetryOrder(cell, sym.ops, s.fract);
        site.occupancy = s.occ / order;
        site.part = std::abs(s.disorder_group);
        site.aniso = s.aniso.nonzero();
        site.uiso = s.u_iso;
        const double u[6] = {s.aniso.u11, s.aniso.u22, s.aniso.u33, s.aniso.u12, s.aniso.u13, s.aniso.u23};
        std::copy(u, u + 6, site.u);
        requireNumbers(&site.uiso, 1, where.c_str(), std::string("site ") + label + ", U iso");
        requireNumbers(site.u, 6, where.c_str(), std::string("site ") + label + ", U aniso");
        in.sites.push_back(site);
    }
    if (in.sites.empty()) fatal("%s: the block lists no atom sites.", where.c_str());
    return in;
}

}  // namespace

CrystalInput readCifInput(const std::string& path, const std::string& blockName) {
    cif::Document doc;
    std::string problem;
    try {
        doc = cif::read_file(path);
    } catch (const std::exception& e) {
        problem = e.what();
    }
    if (!problem.empty()) fatal("%s is no CIF that can be read: %s", path.c_str(), problem.c_str());
    if (doc.blocks.empty()) fatal("%s is no CIF: it holds no data block.", path.c_str());

    cif::Block* chosen = nullptr;
    if (!blockName.empty()) {
        chosen = doc.find_block(blockName);
        if (chosen == nullptr) {
            std::string names;
            for (const cif::Block& b : doc.blocks) names += " " + b.name;
            fatal("%s has no data block named %s (its blocks:%s).", path.c_str(), blockName.c_str(), names.c_str());
        }
        if (!hasAtomSites(*chosen)) fatal("%s: data block %s lists no atom sites.", path.c_str(), blockName.c_str());
    } else {
        for (cif::Block& b : doc.blocks)
            if (hasAtomSites(b)) {
                chosen = &b;
                break;
            }
        if (chosen == nullptr) fatal("%s has no data block with atom sites (_atom_site_label).", path.c_str());
    }
    printf("Reading data block %s of %s (%zu block(s) in the file).\n", chosen->name.c_str(), path.c_str(),
           doc.blocks.size());

    // gemmi reports problems of the content by throwing as well
    CrystalInput in;
    try {
        in = readBlock(*chosen, path);
    } catch (const std::exception& e) {
        problem = e.what();
    }
    if (!problem.empty()) fatal("%s, data block %s: %s", path.c_str(), chosen->name.c_str(), problem.c_str());
    return in;
}
