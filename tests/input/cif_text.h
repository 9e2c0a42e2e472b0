// Small CIFs written by the tests: a cell, a symmetry statement and an atom loop, each
// replaceable, so one case changes exactly one thing.
#pragma once

#include <string>

struct CifText {
    std::string block = "test";
    std::string cell =
        "_cell_length_a 10.0(2)\n_cell_length_b 11.0\n_cell_length_c 12.0\n"
        "_cell_angle_alpha 90\n_cell_angle_beta 100.0(1)\n_cell_angle_gamma 90\n";
    std::string symmetry =
        "loop_\n_space_group_symop_operation_xyz\n'x, y, z'\n'-x, y+1/2, -z+1/2'\n'-x, -y, -z'\n'x, -y-1/2, z-1/2'\n";
    std::string extra = "_diffrn_radiation_wavelength 0.71073\n";
    std::string atomHeader =
        "loop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_fract_x\n_atom_site_fract_y\n"
        "_atom_site_fract_z\n_atom_site_U_iso_or_equiv\n_atom_site_occupancy\n_atom_site_disorder_group\n";
    // a water molecule and a chloride, general positions
    std::string atoms =
        "O1 O 0.10 0.20 0.30 0.020 1 .\n"
        "H1 H 0.18 0.20 0.30 0.030 1 .\n"
        "H2 H 0.08 0.28 0.30 0.030 1 .\n"
        "Cl1 Cl- 0.40 0.40 0.10 0.025 1 .\n";
    std::string aniso =
        "loop_\n_atom_site_aniso_label\n_atom_site_aniso_U_11\n_atom_site_aniso_U_22\n_atom_site_aniso_U_33\n"
        "_atom_site_aniso_U_12\n_atom_site_aniso_U_13\n_atom_site_aniso_U_23\n"
        "O1 0.021 0.022 0.023 0.001 0.002 0.003\n";

    std::string text() const {
        return "data_" + block + "\n" + cell + symmetry + extra + atomHeader + atoms + aniso;
    }
};
