#include "textfile.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "../core/failure.h"

namespace scattering {

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::size_t stop = end;
        if (stop > start && text[stop - 1] == '\r') --stop;
        lines.emplace_back(text, start, stop - start);
        start = end + 1;
    }
    return lines;
}

bool parseNumber(const std::string& word, double& value) {
    if (word.empty() || word.size() > 64) return false;
    std::string w = word;
    for (char& c : w)
        if (c == 'd' || c == 'D') c = 'e';
    if (w.find_first_not_of("0123456789+-.eE") != std::string::npos) return false;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(w.c_str(), &end);
    if (end != w.c_str() + w.size() || errno == ERANGE || !std::isfinite(v)) return false;
    value = v;
    return true;
}

bool parseInteger(const std::string& word, long& value) {
    std::size_t i = word[0] == '-' || word[0] == '+' ? 1 : 0;
    if (word.size() <= i || word.size() - i > 9) return false;
    for (std::size_t k = i; k < word.size(); ++k)
        if (word[k] < '0' || word[k] > '9') return false;
    value = std::strtol(word.c_str(), nullptr, 10);
    return true;
}

}  // namespace scattering
