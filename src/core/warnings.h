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
    // The same for a message that has always stood on standard error without "Warning: ":
    // writes "<line>" and a line end, keeps the line as the text.
    void warnLine(std::string kind, std::vector<std::string> atoms, std::string line);
    // Keeps the warnings of another log (already written where they arose), in their order.
    void adopt(const WarningLog& earlier);

    const std::vector<RunWarning>& all() const { return list_; }
    bool empty() const { return list_.empty(); }
    // Warnings per kind, kinds in the order of their first warning.
    std::vector<std::pair<std::string, int>> counts() const;

private:
    // The one way a warning reaches standard error: the bytes as given, then the record.
    void emit(RunWarning warning, const std::string& written);

    std::vector<RunWarning> list_;
};
