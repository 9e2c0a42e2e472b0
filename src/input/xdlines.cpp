#include "xdlines.h"

#include <cstdarg>
#include <cstdio>

#include "../core/structure.h"
#include "../core/failure.h"

bool XdLines::next(std::string& line) {
    // nextContent hands back the last comment line when nothing else is left: that is
    // the end of the file as well.
    if (!reader_.nextContent(line)) return false;
    return line.empty() || line[0] != '!';
}

const char* XdLines::record(const char* whatFmt, ...) {
    const bool found = next(line_);
    if (found && line_.size() <= static_cast<std::size_t>(LINE_CAP - 1)) return line_.c_str();
    va_list args;
    va_start(args, whatFmt);
    const std::string what = vformat(whatFmt, args);
    va_end(args);
    if (found) checkLength(line_, what.c_str());
    fatal("%s ends before %s", fileName_, what.c_str());
}

void XdLines::skip(const char* whatFmt, ...) {
    if (next(line_)) return;
    va_list args;
    va_start(args, whatFmt);
    const std::string what = vformat(whatFmt, args);
    va_end(args);
    fatal("%s ends before %s", fileName_, what.c_str());
}

void XdLines::checkLength(const std::string& line, const char* what) const {
    if (line.size() <= static_cast<std::size_t>(LINE_CAP - 1)) return;
    fatal("%s: a line is longer than %d characters (%zu) at %s: \"%.40s...\"", fileName_, LINE_CAP - 1, line.size(),
          what, line.c_str());
}

void storeWord(char* dst, std::size_t cap, const char* word, const char* fileName, const char* field) {
    copyOrStop(dst, cap, word, "%s: %s \"%s\" is longer than %zu characters", fileName, field, word, cap - 1);
}
