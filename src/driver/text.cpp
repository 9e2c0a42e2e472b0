#include "text.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <vector>

#include "failure.h"

bool usableNumber(double value) { return std::isfinite(value) && std::fabs(value) <= NUMBER_LIMIT; }

void requireNumbers(const double* values, int count, const char* fileName, const std::string& what) {
    for (int k = 0; k < count; ++k)
        if (!usableNumber(values[k]))
            fatal("%s: %s: %g is no usable number (numbers must be finite and at most %g in magnitude)", fileName,
                  what.c_str(), values[k], NUMBER_LIMIT);
}

void vappendf(std::string& text, const char* fmt, va_list args) {
    va_list again;
    va_copy(again, args);
    char small[256];
    const int n = vsnprintf(small, sizeof small, fmt, args);
    if (n >= 0 && static_cast<std::size_t>(n) < sizeof small) {
        text.append(small, static_cast<std::size_t>(n));
    } else if (n > 0) {
        std::vector<char> big(static_cast<std::size_t>(n) + 1);
        vsnprintf(big.data(), big.size(), fmt, again);
        text.append(big.data(), static_cast<std::size_t>(n));
    }
    va_end(again);
}

void appendf(std::string& text, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    vappendf(text, fmt, args);
    va_end(args);
}

std::string vformat(const char* fmt, va_list args) {
    std::string text;
    vappendf(text, fmt, args);
    return text;
}

std::string format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string text = vformat(fmt, args);
    va_end(args);
    return text;
}

int scanDoubles(const char* text, double* out, int count) {
    int read = 0;
    while (read < count) {
        int used = 0;
        if (sscanf(text, "%lf%n", &out[read], &used) != 1) break;
        text += used;
        ++read;
    }
    return read;
}

void rtrim(char* text) {
    std::size_t n = std::strlen(text);
    while (n > 0 && std::isspace(static_cast<unsigned char>(text[n - 1]))) text[--n] = '\0';
}

void rtrim(std::string& text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
}

bool copyText(char* dst, std::size_t cap, const char* src) {
    std::size_t n = std::strlen(src);
    if (n + 1 > cap) return false;
    std::memcpy(dst, src, n + 1);
    return true;
}

void copyOrStop(char* dst, std::size_t cap, const char* src, const char* fmt, ...) {
    if (copyText(dst, cap, src)) return;
    va_list args;
    va_start(args, fmt);
    const std::string message = vformat(fmt, args);
    va_end(args);
    fatal("%s", message.c_str());
}

// The program reads its files from one thread: characters are taken without locking the
// stream each time.
bool LineReader::next(std::string& line) {
    line.clear();
    if (!started_) {
        // A file that begins with blank lines: the conversion skips them like any others.
        started_ = true;
        int c;
        while ((c = getc_unlocked(file_)) != EOF && std::isspace(c)) {
        }
        if (c == EOF) {
            atEnd_ = true;
            return false;
        }
        ungetc(c, file_);
    }
    int c = getc_unlocked(file_);
    if (c == EOF) {
        atEnd_ = true;
        return false;
    }
    while (c != EOF && c != '\n') {
        line.push_back(static_cast<char>(c));
        c = getc_unlocked(file_);
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // the "\n" of the conversion: swallow all white space that follows
    while (c != EOF) {
        c = getc_unlocked(file_);
        if (c == EOF) break;
        if (!std::isspace(c)) {
            ungetc(c, file_);
            break;
        }
    }
    if (c == EOF) atEnd_ = true;
    ++lineNo_;
    return true;
}

bool LineReader::nextContent(std::string& line) {
    if (!next(line)) return false;
    std::string more;
    while (!line.empty() && line[0] == '!' && !atEnd_) {
        if (!next(more)) break;
        line.swap(more);
    }
    return true;
}

void LineReader::rewind() {
    std::rewind(file_);
    atEnd_ = false;
    started_ = false;
    lineNo_ = 0;
}
