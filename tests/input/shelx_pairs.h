// The real pairs of a SHELXL .res and the CIF that SHELXL wrote from the same model (shared
// fixtures), and the CIF side read with gemmi directly: every atom site with the precision
// of each printed number.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include <gemmi/cif.hpp>
#include <gemmi/numb.hpp>

#include "symmetry/spacegroup.h"

namespace shelxpairs {

namespace cif = gemmi::cif;

struct ResCifPair {
    const char* res;
    const char* cif;
};

inline const ResCifPair REAL_PAIRS[] = {
    {"shelx/l_alanine_23K_xharpy/iam.res", "shelx/l_alanine_23K_xharpy/iam.cif"},
    {"shelx/cod2240189_fe_perchlorate/2240189.res", "shelx/cod2240189_fe_perchlorate/2240189.cif"},
    {"shelx/cod2238212_zn_dithiolene/2238212_from_cif.res", "shelx/cod2238212_zn_dithiolene/2238212.cif"},
};

inline std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Half a unit of the last digit a CIF number is printed with ("0.0252(5)": 0.00005).
inline double halfLastDigit(const std::string& raw) {
    const std::size_t dot = raw.find('.');
    if (dot == std::string::npos) return 0.5;
    int decimals = 0;
    for (std::size_t k = dot + 1; k < raw.size() && std::isdigit(static_cast<unsigned char>(raw[k])); ++k) ++decimals;
    return 0.5 * std::pow(10.0, -decimals);
}

// One atom site as the CIF prints it, with the precision of each printed number.
struct CifSite {
    double frac[3] = {0, 0, 0}, fracPrecision[3] = {0, 0, 0};
    double occupancy = 1, occupancyPrecision = 0;
    double uiso = 0;
    bool aniso = false;
    double u[6] = {0, 0, 0, 0, 0, 0};  // U11 U22 U33 U12 U13 U23
    double uPrecision = 0;             // of the coarsest U value
};

struct CifModel {
    std::map<std::string, CifSite> sites;  // by upper-case label
    std::vector<SymOp> operators;
    double cell[6] = {0, 0, 0, 0, 0, 0};
};

inline CifModel readCif(const std::string& path) {
    cif::Document doc = cif::read_file(path);
    cif::Block& block = doc.sole_block();
    CifModel m;
    const char* const cellTags[] = {"_cell_length_a", "_cell_length_b", "_cell_length_c",
                                    "_cell_angle_alpha", "_cell_angle_beta", "_cell_angle_gamma"};
    for (int k = 0; k < 6; ++k) m.cell[k] = cif::as_number(*block.find_value(cellTags[k]));
    for (const char* tag : {"_space_group_symop_operation_xyz", "_symmetry_equiv_pos_as_xyz"}) {
        for (const std::string& raw : block.find_values(tag)) {
            SymOp op;
            std::string why;
            EXPECT_TRUE(parseOperator(cif::as_string(raw), op, why)) << raw << ": " << why;
            m.operators.push_back(op);
        }
    }
    for (auto row : block.find("_atom_site_", {"label", "fract_x", "fract_y", "fract_z", "occupancy", "U_iso_or_equiv"})) {
        CifSite& s = m.sites[upper(row.str(0))];
        for (int c = 0; c < 3; ++c) {
            s.frac[c] = cif::as_number(row[1 + c]);
            s.fracPrecision[c] = halfLastDigit(row[1 + c]);
        }
        s.occupancy = cif::as_number(row[4]);
        s.occupancyPrecision = halfLastDigit(row[4]);
        s.uiso = cif::as_number(row[5]);
        s.uPrecision = halfLastDigit(row[5]);
    }
    for (auto row : block.find("_atom_site_aniso_", {"label", "U_11", "U_22", "U_33", "U_12", "U_13", "U_23"})) {
        // SHELXL lists the U of atoms fixed at occupancy 0 but not the atoms
        const auto site = m.sites.find(upper(row.str(0)));
        if (site == m.sites.end()) continue;
        CifSite& s = site->second;
        s.aniso = true;
        s.uPrecision = 0;
        for (int c = 0; c < 6; ++c) {
            s.u[c] = cif::as_number(row[1 + c]);
            s.uPrecision = std::max(s.uPrecision, halfLastDigit(row[1 + c]));
        }
    }
    return m;
}

}  // namespace shelxpairs
