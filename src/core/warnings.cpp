#include "warnings.h"

#include <cstdio>

void WarningLog::emit(RunWarning warning, const std::string& written) {
    std::fwrite(written.data(), 1, written.size(), stderr);
    list_.push_back(std::move(warning));
}

void WarningLog::warn(std::string kind, std::vector<std::string> atoms, std::string text) {
    const std::string written = "Warning: " + text + "\n";
    emit({std::move(kind), std::move(atoms), std::move(text)}, written);
}

void WarningLog::warnLine(std::string kind, std::vector<std::string> atoms, std::string line) {
    const std::string written = line + "\n";
    emit({std::move(kind), std::move(atoms), std::move(line)}, written);
}

void WarningLog::adopt(const WarningLog& earlier) {
    list_.insert(list_.end(), earlier.list_.begin(), earlier.list_.end());
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
