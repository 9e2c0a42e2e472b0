#include "warnings.h"

#include <cstdio>

void WarningLog::warn(std::string kind, std::vector<std::string> atoms, std::string text) {
    std::fprintf(stderr, "Warning: %s\n", text.c_str());
    list_.push_back({std::move(kind), std::move(atoms), std::move(text)});
}

std::vector<std::pair<std::string, int>> WarningLog::counts() const {
    std::vector<std::pair<std::string, int>> counts;
    for (const RunWarning& w : list_) {
        auto it = counts.begin();
        while (it != counts.end() && it->first != w.kind) ++it;
        if (it == counts.end())
            counts.emplace_back(w.kind, 1);
        else
            ++it->second;
    }
    return counts;
}
