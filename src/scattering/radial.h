// Radial exponents of the deformation functions: the standard single-zeta values per element
// and the reader of a user's table ("-radial <file>").
#pragma once

#include <map>
#include <string>

#include "model.h"

namespace scattering {

// The standard radial set of an element H..Kr (atomic number 1..36); stops the run for
// another element.
RadialSet standardRadial(int z);

// A table of radial sets by atomic number, read from a file of lines
// "<element> <zeta in 1/A> <n0> <n1> <n2> <n3> <n4>"; blank lines and lines starting with '#'
// or '!' are skipped. A malformed line stops the run naming the file and the line number.
std::map<int, RadialSet> readRadialFile(const std::string& path);
// The same for a text already read (name is the file name of the messages).
std::map<int, RadialSet> parseRadialText(const std::string& text, const std::string& name);

// The atomic number of an element symbol in any case ("O", "CL", "Cl"); 0 when it names none.
int atomicNumber(const std::string& symbol);

}  // namespace scattering
