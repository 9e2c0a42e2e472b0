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

// Decimal numbers of an operator text written as fractions over the operator arithmetic's
// denominator ("0.5-x" as "12/24-x", ".5+Y" as "12/24+Y"), which the triplet parser takes.
// Empty when a decimal is no multiple of 1/24 (within the four digits CIFs print).
std::string decimalsAsFractions(const std::string& text) {
    std::string out;
    for (std::size_t k = 0; k < text.size();) {
        const char c = text[k];
        const bool startsNumber = std::isdigit(static_cast<unsigned char>(c)) ||
                                  (c == '.' && k + 1 < text.size() && std::isdigit(static_cast<unsigned char>(text[k + 1])));
        if (!startsNumber) {
            out += c;
            ++k;
            continue;
        }
        std::size_t end = k;
        while (end < text.size() && (std::isdigit(static_cast<unsigned char>(text[end])) || text[end] == '.')) ++end;
        const std::string number = text.substr(k, end - k);
        if (number.find('.') == std::string::npos || end - k > 12) {
            out += number;
        } else {
            const double scaled = std::atof(number.c_str()) * gemmi::Op::DEN;
            const double whole = std::round(scaled);
            if (std::fabs(scaled - whole) > 0.01) return "";
            out += std::to_string(static_cast<long>(whole)) + "/" + std::to_string(gemmi::Op::DEN);
        }
        k = end;
    }
    return out;
}

// The forms an H-M symbol is tried in: as written; without the subscript marks of
// "P2(1)/n" or "P2~1~/n"; without blanks around a slash ("P 21 /m"); without any blank
// ("P m 3 m" as "Pm3m"); and with the bar of the cubic three that older symbols leave out
// ("Pm3m" as "Pm-3m", "Ia3d" as "Ia-3d").
std::vector<std::string> hmForms(const std::string& hm) {
    std::vector<std::string> forms{hm};
    std::string plain;
    for (char c : hm)
        if (c != '~' && c != '_' && c != '(' && c != ')') plain += c;
    forms.push_back(plain);
    std::string slash;
    for (std::size_t k = 0; k < plain.size(); ++k) {
        if (plain[k] == ' ' && ((k + 1 < plain.size() && plain[k + 1] == '/') || (!slash.empty() && slash.back() == '/')))
            continue;
        slash += plain[k];
    }
    forms.push_back(slash);
    std::string compact;
    for (char c : plain)
        if (c != ' ' && c != '\t') compact += c;
    forms.push_back(compact);
    std::string barred;
    for (std::size_t k = 0; k < compact.size(); ++k) {
        if (compact[k] == '3' && k > 1 && std::string("mnadbc").find(compact[k - 1]) != std::string::npos)
            barred += '-';
        barred += compact[k];
    }
    forms.push_back(barred);
    return forms;
}

struct FoundSymmetry {
    gemmi::GroupOps ops;
    std::string from;  // what it was read from, for the run's report
};

FoundSymmetry findSymmetry(cif::Block& block, const std::string& where, double alpha, double gamma,
                           WarningLog& warnings) {
    for (const char* tag : SYMOP_TAGS) {
        cif::Column column = block.find_values(tag);
        if (column.length() == 0) continue;
        std::vector<gemmi::Op> list{gemmi::Op::identity()};
        for (const std::string& raw : column) {
            const std::string stated = cif::as_string(raw);
            std::string text = decimalsAsFractions(stated);
            if (text.empty())
                fatal("%s: the symmetry operator \"%s\" (%s) cannot be read: a decimal translation is no multiple of "
                      "1/24",
                      where.c_str(), stated.c_str(), tag);
            // long numbers and coefficients beyond -1, 0, 1 would overflow the operator arithmetic
            int digits = 0;
            for (char ch : text) {
                digits = (ch >= '0' && ch <= '9') ? digits + 1 : 0;
                if (digits > 4)
                    fatal("%s: the symmetry operator \"%s\" (%s) cannot be read: a number is too long", where.c_str(),
                          stated.c_str(), tag);
            }
            try {
                gemmi::Op op = gemmi::parse_triplet(text);
                for (const auto& row : op.rot)
                    for (int v : row)
                        if (v > gemmi::Op::DEN || v < -gemmi::Op::DEN)
                            fatal("%s: the symmetry operator \"%s\" (%s) has coefficients other than -1, 0 and 1",
                                  where.c_str(), stated.c_str(), tag);
                list.push_back(op.wrap());
            } catch (const std::exception& e) {
                fatal("%s: the symmetry operator \"%s\" (%s) cannot be read: %s", where.c_str(), stated.c_str(), tag,
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
            warnings.warnLine("unreadable symmetry", {},
                              format("%s: the Hall symbol \"%s\" cannot be read (%s); the H-M symbol is tried.",
                                     where.c_str(), hall.c_str(), e.what()));
        }
    }
    std::string tried;
    for (const char* tag : HM_TAGS) {
        const std::string* raw = block.find_value(tag);
        if (raw == nullptr || cif::is_null(*raw)) continue;
        const std::string hm = cif::as_string(*raw);
        const gemmi::SpaceGroup* sg = nullptr;
        for (const std::string& form : hmForms(hm))
            if (sg == nullptr) sg = gemmi::find_spacegroup_by_name(form, alpha, gamma);
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

// The elements of _chemical_formula_sum ("C6 H12 O6", deuterium as hydrogen); empty when the
// block states none.
std::set<int> formulaElements(cif::Block& block) {
    std::set<int> elements;
    const std::string* raw = block.find_value("_chemical_formula_sum");
    if (raw == nullptr || cif::is_null(*raw)) return elements;
    const std::string formula = cif::as_string(*raw);
    for (std::size_t k = 0; k < formula.size(); ++k) {
        if (!std::isupper(static_cast<unsigned char>(formula[k]))) continue;
        std::string symbol(1, formula[k]);
        if (k + 1 < formula.size() && std::islower(static_cast<unsigned char>(formula[k + 1]))) symbol += formula[k + 1];
        const int element = elementIndexOf(gemmi::Element(symbol));
        if (element >= 0) elements.insert(element);
    }
    return elements;
}

// The element a site label stands for, with what was tried appended to tried. The leading
// letters are read as a two-letter symbol, else as a one-letter one ("Cl1", "Ow1" oxygen,
// "Hw" hydrogen, "D" deuterium, thus hydrogen); water labels ("Wat1") are oxygen. Where the
// formula names the elements, a symbol it holds wins ("HO1" in C-H-O is hydrogen, not
// holmium). -1 when no reading names an element.
int elementFromLabel(const std::string& label, const std::set<int>& formula, std::string& tried) {
    std::string letters;
    for (char c : label) {
        if (!std::isalpha(static_cast<unsigned char>(c))) break;
        letters += c;
    }
    if (letters.empty()) {
        tried += " (the label starts with no letter)";
        return -1;
    }
    std::string upper;
    for (char c : letters) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper.compare(0, 3, "WAT") == 0) return 7;
    int two = -1;
    if (letters.size() >= 2) {
        two = elementIndexOf(gemmi::Element(letters.substr(0, 2)));
        tried += " \"" + letters.substr(0, 2) + "\"";
    }
    const int one = elementIndexOf(gemmi::Element(letters.substr(0, 1)));
    tried += " \"" + letters.substr(0, 1) + "\"";
    if (!formula.empty()) {
        if (two >= 0 && formula.count(two) != 0) return two;
        if (one >= 0 && formula.count(one) != 0) return one;
    }
    return two >= 0 ? two : one;
}

// Raw values of the atom-site loop that the small-structure reader takes without saying
// whether they were stated, row by row in the loop's order.
struct RawSite {
    std::string typeSymbol;  // empty: no type-symbol column
    std::string occupancy;   // empty: no occupancy column
    int symmetryOrder = 0;   // _atom_site_site_symmetry_order; 0: not stated
    int multiplicity = 0;    // _atom_site_symmetry_multiplicity; 0: not stated or not usable
};

std::vector<RawSite> rawSites(cif::Block& block) {
    enum { kLabel, kSymbol, kOcc, kOrder, kMultiplicity };
    std::vector<RawSite> rows;
    cif::Table table = block.find("_atom_site_", {"label", "?type_symbol", "?occupancy", "?site_symmetry_order",
                                                   "?symmetry_multiplicity"});
    auto positive = [](const std::string& text) {
        const double v = cif::as_number(text);
        return std::isfinite(v) && v >= 1 && v <= 1000 && v == std::floor(v) ? static_cast<int>(v) : 0;
    };
    for (auto row : table) {
        RawSite r;
        if (row.has(kSymbol)) r.typeSymbol = row[kSymbol];
        if (row.has(kOcc)) r.occupancy = row[kOcc];
        if (row.has(kOrder)) r.symmetryOrder = positive(row[kOrder]);
        if (row.has(kMultiplicity)) r.multiplicity = positive(row[kMultiplicity]);
        rows.push_back(r);
    }
    return rows;
}

// A dispersion value the atom-type loop states must be a finite number: a damaged one
// ("nan", "inf", "1e999", text) is refused, never passed over for the computed value nor
// written. "?" and "." state nothing.
void requireFiniteDispersion(cif::Block& block, const std::string& where) {
    enum { kSymbol, kReal, kImag };
    const char* const tags[] = {"_atom_type_symbol", "_atom_type_scat_dispersion_real",
                                "_atom_type_scat_dispersion_imag"};
    cif::Table table = block.find("_atom_type_", {"symbol", "?scat_dispersion_real", "?scat_dispersion_imag"});
    for (auto row : table)
        for (int k : {kReal, kImag}) {
            if (!row.has(k) || cif::is_null(row[k])) continue;
            if (!usableNumber(cif::as_number(row[k])))
                fatal("%s: atom type %s: %s is \"%s\", no finite number.", where.c_str(), row[kSymbol].c_str(), tags[k],
                      row[k].c_str());
        }
}

// The order of the site symmetry of every site, from the multiplicity the CIF states where
// the ordered sites show what that column means; the multiplicity is then cleared.
void settleSymmetryOrders(std::vector<RawSite>& raw, const gemmi::SmallStructure& st, const gemmi::UnitCell& cell,
                          const gemmi::GroupOps& ops) {
    const int groupOrder = static_cast<int>(ops.order());
    // _atom_site_symmetry_multiplicity is the number of positions in the cell, but older
    // refinement programs wrote the order of the site symmetry under that name (1 for a
    // general position). The ordered sites decide which meaning the column has; where they
    // agree with neither, it is not used.
    bool countsPositions = true, givesOrder = true, anyMultiplicity = false;
    for (std::size_t k = 0; k < st.sites.size() && k < raw.size(); ++k) {
        if (raw[k].multiplicity == 0 || st.sites[k].disorder_group < 0 || !std::isfinite(st.sites[k].fract.x) ||
            !std::isfinite(st.sites[k].fract.y) || !std::isfinite(st.sites[k].fract.z))
            continue;
        anyMultiplicity = true;
        const int computed = siteSymmetryOrder(cell, ops, st.sites[k].fract);
        countsPositions = countsPositions && raw[k].multiplicity * computed == groupOrder;
        givesOrder = givesOrder && raw[k].multiplicity == computed;
    }
    for (RawSite& r : raw) {
        if (r.multiplicity == 0) continue;
        if (anyMultiplicity && countsPositions && groupOrder % r.multiplicity == 0)
            r.symmetryOrder = r.symmetryOrder != 0 ? r.symmetryOrder : groupOrder / r.multiplicity;
        else if (anyMultiplicity && givesOrder && !countsPositions)
            r.symmetryOrder = r.symmetryOrder != 0 ? r.symmetryOrder : r.multiplicity;
        r.multiplicity = 0;
    }
}

// The element of a site: its type symbol where one is stated, else from its label (guided
// by the formula); stops the run naming what was tried.
int siteElement(const gemmi::SmallStructure::Site& s, const RawSite& r, const std::set<int>& formula,
                const std::string& where) {
    const char* label = s.label.c_str();
    int element = -1;
    if (!r.typeSymbol.empty() && !cif::is_null(r.typeSymbol)) {
        // a stated type symbol is the element; a damaged one is not guessed over
        element = elementIndexOf(s.element);
        if (element < 0)
            fatal("%s: site %s: the type symbol \"%s\" names no element.", where.c_str(), label,
                  s.type_symbol.c_str());
    } else {
        std::string tried;
        element = elementFromLabel(s.label, formula, tried);
        if (element < 0)
            fatal("%s: site %s: %s, and the label names no element (tried%s%s).", where.c_str(), label,
                  r.typeSymbol.empty() ? "there is no _atom_site_type_symbol" : "the type symbol is unknown",
                  tried.c_str(), formula.empty() ? "" : ", guided by _chemical_formula_sum");
    }
    return element;
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

    const FoundSymmetry sym = findSymmetry(block, where, in.cell[3], in.cell[5], in.warnings);
    in.symmetry = symmetryCards(sym.ops);
    printf("Symmetry of %s from %s: LATT %c %c, %zu SYMM card(s).\n", where.c_str(), sym.from.c_str(),
           in.symmetry.centric, in.symmetry.lattice, in.symmetry.symm.size());

    for (const char* axis : {"_atom_site_fract_x", "_atom_site_fract_y", "_atom_site_fract_z"})
        if (block.find_values(axis).length() == 0)
            fatal("%s: the atom sites have no fractional coordinates (%s is missing).", where.c_str(), axis);

    gemmi::SmallStructure st = gemmi::make_small_structure_from_block(block);
    in.wavelength = std::isfinite(st.wavelength) && st.wavelength > 0 ? st.wavelength : 0;
    gemmi::UnitCell cell(in.cell[0], in.cell[1], in.cell[2], in.cell[3], in.cell[4], in.cell[5]);

    requireFiniteDispersion(block, where);
    for (const gemmi::SmallStructure::AtomType& t : st.atom_types) {
        CrystalAtomType type;
        type.element = elementIndexOf(t.element);
        type.fp = t.dispersion_real;
        type.fpp = t.dispersion_imag;
        if (type.element >= 0) in.atomTypes.push_back(type);
    }

    std::set<std::string> labels;
    const std::set<int> formula = formulaElements(block);
    std::vector<RawSite> raw = rawSites(block);
    settleSymmetryOrders(raw, st, cell, sym.ops);
    for (std::size_t k = 0; k < st.sites.size(); ++k) {
        const gemmi::SmallStructure::Site& s = st.sites[k];
        const RawSite r = k < raw.size() ? raw[k] : RawSite();
        const char* label = s.label.c_str();
        if (!labels.insert(s.label).second) fatal("%s: the atom label %s occurs twice.", where.c_str(), label);
        if (s.label.empty() || s.label.find_first_of(" \t") != std::string::npos)
            fatal("%s: the atom label \"%s\" is empty or holds a blank.", where.c_str(), label);
        CrystalSite site;
        site.label = s.label;
        site.element = siteElement(s, r, formula, where);
        const double f[3] = {s.fract.x, s.fract.y, s.fract.z};
        for (int k = 0; k < 3; ++k) {
            if (!std::isfinite(f[k]))
                fatal("%s: site %s has no usable coordinate %c (\"?\", \".\" or no number).", where.c_str(), label,
                      "xyz"[k]);
            site.frac[k] = f[k];
        }
        requireNumbers(site.frac, 3, where.c_str(), std::string("site ") + label + ", coordinates");
        if (!r.occupancy.empty() && cif::is_null(r.occupancy))
            in.warnings.warn("occupancy not stated", {label},
                             format("%s: site %s states no occupancy (\"%s\"); it is taken as 1.", where.c_str(),
                                    label, r.occupancy.c_str()));
        if (s.occ == 0) {
            // a placeholder of a disordered atom kept at occupancy 0 is no atom of the model
            in.warnings.warn("occupancy 0 left out", {label},
                             format("%s: site %s has the occupancy 0 (a placeholder); it is left out.", where.c_str(),
                                    label));
            continue;
        }
        if (!(s.occ > 0 && s.occ <= 1))
            fatal("%s: site %s has the occupancy %g; an occupancy must lie in (0, 1].", where.c_str(), label, s.occ);
        site.part = s.disorder_group;
        // The order of the site symmetry: as the CIF states it, else from the multiplicity
        // it states, else computed; never computed for a group disordered across a
        // symmetry element (negative group), whose atoms lie near it, not on it.
        int order = r.symmetryOrder;
        if (order == 0) order = site.part < 0 ? 1 : siteSymmetryOrder(cell, sym.ops, s.fract);
        site.occupancy = s.occ / order;
        site.aniso = s.aniso.nonzero();
        site.uiso = s.u_iso;
        const double u[6] = {s.aniso.u11, s.aniso.u22, s.aniso.u33, s.aniso.u12, s.aniso.u13, s.aniso.u23};
        std::copy(u, u + 6, site.u);
        requireNumbers(&site.uiso, 1, where.c_str(), std::string("site ") + label + ", U iso");
        requireNumbers(site.u, 6, where.c_str(), std::string("site ") + label + ", U aniso");
        if (site.aniso ? (site.u[0] < 0 || site.u[1] < 0 || site.u[2] < 0) : site.uiso < 0)
            fatal("%s: site %s has a negative displacement parameter (%s %g); a displacement cannot be negative.",
                  where.c_str(), label, site.aniso ? "U11, U22, U33" : "U iso",
                  site.aniso ? std::min({site.u[0], site.u[1], site.u[2]}) : site.uiso);
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
