#include "reflections.h"

#include <cstdlib>
#include <sstream>

#include "../core/failure.h"
#include "textfile.h"

namespace scattering {

namespace {

std::string trimmed(const std::string& s) {
    const std::size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return "";
    const std::size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

void checkReflection(const Reflection& r, const std::string& name, int line) {
    for (int v : r.hkl)
        if (v < -MAX_INDEX || v > MAX_INDEX)
            fatal("%s, line %d: the index %d is beyond %d", name.c_str(), line, v, MAX_INDEX);
    if (r.sigma < 0) fatal("%s, line %d: the standard uncertainty %g is negative", name.c_str(), line, r.sigma);
}

}  // namespace

std::vector<Reflection> parseShelxHkl(const std::string& text, const std::string& name) {
    std::vector<Reflection> out;
    int number = 0;
    for (const std::string& line : splitLines(text)) {
        ++number;
        if (trimmed(line).empty()) continue;
        const int widths[6] = {4, 4, 4, 8, 8, 4};
        std::string fields[6];
        std::size_t at = 0;
        for (int f = 0; f < 6; ++f) {
            if (at < line.size()) fields[f] = trimmed(line.substr(at, widths[f]));
            at += widths[f];
        }
        if (at < line.size() && !trimmed(line.substr(at)).empty() && trimmed(line.substr(at))[0] != '!') {
            // columns behind the batch (a direction-cosine block) are allowed when numeric
            std::istringstream rest(line.substr(at));
            std::string word;
            double ignored;
            while (rest >> word)
                if (!parseNumber(word, ignored))
                    fatal("%s, line %d: \"%s\" behind the batch number is no number", name.c_str(), number,
                          word.c_str());
        }
        Reflection r;
        long v[3];
        for (int i = 0; i < 3; ++i)
            if (!parseInteger(fields[i], v[i]))
                fatal("%s, line %d: columns %d-%d hold no Miller index (format 3I4, 2F8.2, I4): \"%s\"",
                      name.c_str(), number, 4 * i + 1, 4 * i + 4, line.c_str());
        if (v[0] == 0 && v[1] == 0 && v[2] == 0) break;
        for (int i = 0; i < 3; ++i) r.hkl[i] = v[i] < -MAX_INDEX || v[i] > MAX_INDEX ? MAX_INDEX + 1 : static_cast<int>(v[i]);
        if (!parseNumber(fields[3], r.f2) || !parseNumber(fields[4], r.sigma))
            fatal("%s, line %d: columns 13-28 hold no F^2 and sigma (format 3I4, 2F8.2, I4): \"%s\"", name.c_str(),
                  number, line.c_str());
        long batch = 1;
        if (!fields[5].empty()) {
            if (!parseInteger(fields[5], batch))
                fatal("%s, line %d: columns 29-32 hold no batch number: \"%s\"", name.c_str(), number, line.c_str());
        }
        r.batch = static_cast<int>(batch);
        checkReflection(r, name, number);
        out.push_back(r);
    }
    return out;
}

std::vector<Reflection> parseXdHkl(const std::string& text, const std::string& name) {
    std::vector<Reflection> out;
    const std::vector<std::string> lines = splitLines(text);
    std::size_t first = 0;
    while (first < lines.size() && trimmed(lines[first]).empty()) ++first;
    if (first == lines.size()) fatal("%s: no header line \"<title> F^2 NDAT <n>\"", name.c_str());
    {
        std::istringstream head(lines[first]);
        std::string title, kind, ndat, n;
        long columns = 0;
        if (!(head >> title >> kind >> ndat >> n) || kind != "F^2" || ndat != "NDAT" || !parseInteger(n, columns))
            fatal("%s, line %zu: the header is not \"<title> F^2 NDAT <n>\" (only F^2 data are read): \"%s\"",
                  name.c_str(), first + 1, lines[first].c_str());
        if (columns < 6 || columns > 20)
            fatal("%s, line %zu: NDAT %ld: rows of 6 to 20 columns (h k l batch F^2 sigma ...) are read",
                  name.c_str(), first + 1, columns);
    }
    for (std::size_t i = first + 1; i < lines.size(); ++i) {
        const int number = static_cast<int>(i + 1);
        std::istringstream row(lines[i]);
        std::string w[6];
        int got = 0;
        while (got < 6 && row >> w[got]) ++got;
        if (got == 0) continue;
        Reflection r;
        long v[4];
        bool ok = got == 6;
        for (int k = 0; ok && k < 4; ++k) ok = parseInteger(w[k], v[k]);
        ok = ok && parseNumber(w[4], r.f2) && parseNumber(w[5], r.sigma);
        if (!ok) fatal("%s, line %d: not a row \"h k l batch F^2 sigma\": \"%s\"", name.c_str(), number, lines[i].c_str());
        for (int k = 0; k < 3; ++k) r.hkl[k] = v[k] < -MAX_INDEX || v[k] > MAX_INDEX ? MAX_INDEX + 1 : static_cast<int>(v[k]);
        r.batch = static_cast<int>(v[3]);
        checkReflection(r, name, number);
        out.push_back(r);
    }
    return out;
}

std::vector<Reflection> readShelxHkl(const std::string& path) { return parseShelxHkl(readTextFile(path), path); }
std::vector<Reflection> readXdHkl(const std::string& path) { return parseXdHkl(readTextFile(path), path); }

}  // namespace scattering
