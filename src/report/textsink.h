// Where the report writers put their text: one growing buffer that is handed to the file
// in large blocks between records, or, without a file, kept whole (for the tests).
#pragma once

#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>
#include <string_view>

class TextSink {
public:
    explicit TextSink(std::FILE* file = nullptr);

    // The text not yet written; writers append to it directly.
    std::string& text() { return text_; }
    void put(std::string_view s) { text_.append(s.data(), s.size()); }
    void put(char c) { text_.push_back(c); }

    // Hands the text to the file once a block has gathered (a no-op without a file).
    void spill() {
        if (file_ != nullptr && text_.size() >= BLOCK) writeOut();
    }
    // Writes the rest and flushes; false when any write failed (errno then tells why).
    bool finish();

    std::string take() { return std::move(text_); }

private:
    static constexpr std::size_t BLOCK = std::size_t(1) << 20;
    void writeOut();

    std::FILE* file_;
    std::string text_;
    bool failed_ = false;
    int error_ = 0;  // errno of the first failed write
};

// Writers of the two files (report.cpp and page.cpp); the run is described in report.h.
class RunReport;
void writeJson(const RunReport& run, TextSink& out);
void writePage(const RunReport& run, TextSink& out);

// The letter of a frame axis code (1 X, 2 Y, 3 Z); "" for any other code.
const char* axisLetter(int code);

// The settings as the JSON states them (the page lists them in the same form).
struct Options;
nlohmann::ordered_json runSettings(const Options& options);
