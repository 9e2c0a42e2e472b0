// The warnings of a run: each goes to standard error as it always did and is also kept
// (kind, atoms, text), so the report can list what to check before refining.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct RunWarning {
    std::string kind;                // a short fixed phrase, e.g. "dummy without a position rule"
    std::vector<std::string> atoms;  // the labels it concerns
    std::string text;                // the message without "Warning: "
};

class WarningLog {
public:
    // Writes "Warning: <text>" and a line end to standard error and keeps the warning.
    void warn(std::string kind, std::vector<std::string> atoms, std::string text);

    const std::vector<RunWarning>& all() const { return list_; }
    // Warnings per kind, kinds in the order of their first warning.
    std::vector<std::pair<std::string, int>> counts() const;

private:
    std::vector<RunWarning> list_;
};
