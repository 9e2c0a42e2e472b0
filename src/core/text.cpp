#include "text.h"

#include <charconv>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <system_error>
#include <vector>

#include "failure.h"

bool usableNumber(double value) { return std::isfinite(value) && std::fabs(value) <= NUMBER_LIMIT; }

void requireNumbers(const double* values, int count, const char* fileName, const std::string& what) {
    for (int k = 0; k < count; ++k)
        if (!usableNumber(values[k]))
            fatal("%s: %s: %g is no usable number (numbers must be finite and at most %g in magnitude)", fileName,
                  what.c_str(), values[k], NUMBER_LIMIT);
}

void requireNumbersf(const double* values, int count, const char* fileName, const char* whatFmt, ...) {
    for (int k = 0; k < count; ++k)
        if (!usableNumber(values[k])) {
            va_list args;
            va_start(args, whatFmt);
            const std::string what = vformat(whatFmt, args);
            va_end(args);
            requireNumbers(values, count, fileName, what);
        }
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

void appendInt(std::string& text, int value, int width) {
    char digits[16];
    const std::to_chars_result r = std::to_chars(digits, digits + sizeof digits, value);
    const int length = static_cast<int>(r.ptr - digits);
    if (length < width) text.append(static_cast<std::size_t>(width - length), ' ');
    text.append(digits, static_cast<std::size_t>(length));
}

void appendLeft(std::string& text, const char* word, int width) {
    const std::size_t length = std::strlen(word);
    text.append(word, length);
    if (static_cast<int>(length) < width) text.append(static_cast<std::size_t>(width) - length, ' ');
}

void appendFixed(std::string& text, double value, int width, int precision) {
    // The standard library's fixed conversion rounds the exact binary value as printf does
    // and gives the same bytes; its general machinery is what makes printf slow.
    char digits[400];  // the longest finite double in fixed notation with nine decimals
    if (std::isfinite(value) && precision >= 0 && precision <= 9) {
        const std::to_chars_result r =
            std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, precision);
        if (r.ec == std::errc()) {
            const int length = static_cast<int>(r.ptr - digits);
            if (length < width) text.append(static_cast<std::size_t>(width - length), ' ');
            text.append(digits, static_cast<std::size_t>(length));
            return;
        }
    }
    appendf(text, "%*.*f", width, precision, value);
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

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The scan's white space: blank, tab, line end, vertical tab, form feed, carriage return.
bool isScanSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The characters a plain decimal number is made of.
bool isDecimalChar(char c) { return isDigit(c) || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-'; }

}  // namespace

bool scanDouble(const char*& text, double& out) {
    const char* p = text;
    while (isScanSpace(*p)) ++p;
    const char* digits = p;
    const bool negative = *digits == '-';
    if (*digits == '+' || *digits == '-') ++digits;
    if (isDigit(*digits) || *digits == '.') {
        // from_chars takes no sign of its own; the end is where the decimal characters end
        const char* end = digits;
        while (isDecimalChar(*end)) ++end;
        double value = 0;
        const std::from_chars_result r = std::from_chars(digits, end, value, std::chars_format::general);
        // The scan takes "e" (and a sign behind it) into the number even with no digits
        // following, and "0x" as the start of a hexadecimal number: those, and numbers out
        // of range, are left to it.
        const char next = *r.ptr;
        if (r.ec == std::errc() && next != 'e' && next != 'E' && next != 'x' && next != 'X' && next != 'p' &&
            next != 'P') {
            out = negative ? -value : value;
            text = r.ptr;
            return true;
        }
    }
    int used = 0;
    if (sscanf(text, "%lf%n", &out, &used) != 1) return false;
    text += used;
    return true;
}

bool scanWord(const char*& text, char* out, std::size_t cap) {
    const char* p = text;
    while (isScanSpace(*p)) ++p;
    const char* end = p;
    while (*end != '\0' && !isScanSpace(*end)) ++end;
    const std::size_t length = static_cast<std::size_t>(end - p);
    if (length == 0 || length + 1 > cap) return false;
    std::memcpy(out, p, length);
    out[length] = '\0';
    text = end;
    return true;
}

bool scanInt(const char*& text, int& out) {
    const char* p = text;
    while (isScanSpace(*p)) ++p;
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    const char* digits = p;
    int value = 0;
    // nine digits at most, which no int overflows; a tenth is left to the scan
    while (isDigit(*p) && p - digits < 9) value = 10 * value + (*p++ - '0');
    if (p == digits || isDigit(*p)) return false;
    out = negative ? -value : value;
    text = p;
    return true;
}

int scanDoubles(const char* text, double* out, int count) {
    int read = 0;
    while (read < count && scanDouble(text, out[read])) ++read;
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

void TextLines::skipSpace() {
    while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) ++at_;
}

bool TextLines::next(std::string_view& line) {
    if (at_ == text_.size()) return false;
    std::size_t end = text_.find('\n', at_);
    const bool lineEnd = end != std::string_view::npos;
    if (!lineEnd) end = text_.size();
    std::size_t length = end - at_;
    if (length > 0 && text_[at_ + length - 1] == '\r') --length;
    line = text_.substr(at_, length);
    at_ = lineEnd ? end + 1 : text_.size();
    skipSpace();
    return true;
}

LargeText readRest(FILE* file) {
    LargeText text;
    const long at = std::ftell(file);
    if (at >= 0 && std::fseek(file, 0, SEEK_END) == 0) {
        const long end = std::ftell(file);
        if (end > at) text.reserve(static_cast<std::size_t>(end - at));
        std::fseek(file, at, SEEK_SET);
    }
    char block[1 << 16];
    std::size_t got;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) text.append(block, got);
    return text;
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    TextLines reader(text);
    std::string_view line;
    while (reader.next(line)) lines.push_back(line);
    return lines;
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
    // getline takes the line out of the stream's buffer in one piece (NUL bytes included)
    char* buffer = buffer_.release();
    const ssize_t got = getline(&buffer, &capacity_, file_);
    buffer_.reset(buffer);
    if (got <= 0) {
        atEnd_ = true;
        return false;
    }
    std::size_t length = static_cast<std::size_t>(got);
    int c = EOF;
    if (buffer[length - 1] == '\n') {
        c = '\n';
        --length;
    }
    line.assign(buffer, length);
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

std::string readTextFile(const std::string& path) {
    FILE* f = fopen(path.c_str(), "rb");
    if (f == nullptr) cannotOpen("%s", path.c_str());
    std::string text;
    char buffer[65536];
    std::size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, got);
    const bool failed = ferror(f) != 0;
    fclose(f);
    if (failed) fatal("%s: read error", path.c_str());
    return text;
}
