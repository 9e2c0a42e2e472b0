// What a whole run printed and wrote, read back for the tests that compare runs: the
// quandrel name of every atom and the atom records of the new parameter file.
#pragma once

#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "testutil.h"

// (label, quandrel name) of every atom, from the run's standard output.
inline std::vector<std::pair<std::string, std::string>> quandrelNames(const std::string& out) {
    static const std::regex line(R"((\S+)\s+is quandrel\s+\d+: (\S+))");
    std::vector<std::pair<std::string, std::string>> names;
    for (std::sregex_iterator it(out.begin(), out.end(), line), end; it != end; ++it)
        names.emplace_back((*it)[1].str(), (*it)[2].str());
    return names;
}

// One atom record of a new parameter file: the words of its first line (label, frame,
// table numbers, x y z, occupancy: 16 words) and its second line (the U values).
struct AtomRecordText {
    std::vector<std::string> words;
    std::string uLine;
};

inline std::vector<AtomRecordText> atomRecords(const std::string& res) {
    const std::vector<std::string> lines = linesOf(res);
    std::vector<AtomRecordText> records;
    for (std::size_t k = 0; k + 1 < lines.size(); ++k) {
        std::istringstream words(lines[k]);
        std::vector<std::string> w;
        for (std::string s; words >> s;) w.push_back(s);
        if (w.size() != 16 || lines[k][0] == ' ') continue;
        records.push_back({w, lines[k + 1]});
    }
    return records;
}
