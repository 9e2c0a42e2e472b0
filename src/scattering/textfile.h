// Small text helpers of the scattering readers: lines, strict numbers (whole files: core/text.h).
#pragma once

#include "../core/text.h"

#include <string>
#include <vector>

namespace scattering {

// The lines of a text without their line ends ("\n" or "\r\n").
std::vector<std::string> splitLines(const std::string& text);

// A whole word as a finite number (decimal or exponent form, Fortran "1.d-09" included).
bool parseNumber(const std::string& word, double& value);
// A whole word as an integer of at most nine digits.
bool parseInteger(const std::string& word, long& value);

}  // namespace scattering
