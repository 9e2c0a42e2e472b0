// Readers of measured reflections: SHELX HKLF 4 files and XD's .hkl files.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace scattering {

using Miller = std::array<int, 3>;

struct Reflection {
    Miller hkl = {0, 0, 0};
    double f2 = 0;     // measured F^2
    double sigma = 0;  // its standard uncertainty
    int batch = 1;
};

// SHELX HKLF 4: fixed columns 3I4, 2F8.2 (F^2, sigma), an optional batch number I4; a line
// 0 0 0 (or the end of the file) ends the data. Stops the run naming the file and the line
// number of a malformed line.
std::vector<Reflection> readShelxHkl(const std::string& path);
std::vector<Reflection> parseShelxHkl(const std::string& text, const std::string& name);

// XD: a header line "<title> F^2 NDAT <n>" (F^2 data), then rows "h k l batch F^2 sigma" in
// free format (n = 6 columns; further columns are ignored). Stops the run naming the file
// and the line number of a malformed line or header.
std::vector<Reflection> readXdHkl(const std::string& path);
std::vector<Reflection> parseXdHkl(const std::string& text, const std::string& name);

// Miller indices must stay within this bound (|h|, |k|, |l|).
constexpr int MAX_INDEX = 999;

}  // namespace scattering
