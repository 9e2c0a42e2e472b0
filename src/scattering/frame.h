// Local frames of the multipole atoms as XD's ATOM table defines them.
#pragma once

#include <string>

#include "model.h"

namespace scattering {

// The local frame of an atom at `atom`: the axis ax1 (1 = X, 2 = Y, 3 = Z) points from the
// atom (ATOM1) to atom0 (ATOM0); the axis ax2 lies in the plane of the atom, atom0 and atom2
// (ATOM2), towards atom2, orthogonal to ax1; the third axis completes a right-handed frame
// for handedness 'R' and the opposite one for 'L'. Positions are Cartesian (A); atom0 and
// atom2 may be dummy positions. Rows of the result are the local X, Y, Z axes. Stops the run
// naming the label when the axes are the same, an unknown handedness, or the three
// positions define no plane.
Mat3 localFrame(const Vec3& atom, const Vec3& atom0, const Vec3& atom2, int ax1, int ax2, char handedness,
                const std::string& label);

}  // namespace scattering
