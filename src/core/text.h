// Text helpers shared by every reader and writer.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "largepages.h"

// An open file that is closed however the code that opened it is left, also by a failure.
// Empty when the file could not be opened.
using FileHandle = std::unique_ptr<FILE, int (*)(FILE*)>;
inline FileHandle openFile(const char* name, const char* mode) { return FileHandle(fopen(name, mode), &fclose); }

// Largest magnitude of a number the readers take. No parameter of a structure comes near
// it; NaN, infinities and numbers beyond it are damaged input, never passed on.
constexpr double NUMBER_LIMIT = 1e6;

// True for a finite number of at most NUMBER_LIMIT in magnitude.
bool usableNumber(double value);

// Stops the run when one of the count values is no usable number, with the message
// "<file>: <what>: <value> is no usable number (...)".
void requireNumbers(const double* values, int count, const char* fileName, const std::string& what);

// Appends printf-formatted text to text, however long it is (nothing when the format fails).
void appendf(std::string& text, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void vappendf(std::string& text, const char* fmt, va_list args);

// Appends value as "%*d" writes it with the given width (right-aligned, wider when needed).
void appendInt(std::string& text, int value, int width);

// Appends word as "%-*s" writes it with the given width (left-aligned, filled with blanks).
void appendLeft(std::string& text, const char* word, int width);

// Appends value as "%*.*f" writes it with the given width and precision (through
// std::to_chars for finite values with at most nine decimals, snprintf for the rest).
void appendFixed(std::string& text, double value, int width, int precision);

// printf-formatted text as a string.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string vformat(const char* fmt, va_list args);

// Reads one number at text as sscanf's "%lf" does (white space before it skipped); on
// success stores it, advances text behind it and returns true. Plain decimal numbers
// are read by std::from_chars (correctly rounded, as the scan is); everything else
// (infinities, NaN, hexadecimal numbers, an exponent without digits, a number out of
// range) goes to sscanf itself, so the result is always that of the scan.
bool scanDouble(const char*& text, double& out);

// Reads one word at text as sscanf's "%<cap - 1>s" does (white space before it skipped)
// into out and advances text behind it. False when there is no word, and when the word
// does not fit cap (the scan would split it): the caller leaves such text to sscanf.
bool scanWord(const char*& text, char* out, std::size_t cap);

// Reads one integer at text as sscanf's "%d" does and advances text behind it. False
// when there is none, and for more than nine digits (left to sscanf, which reads them
// as a long).
bool scanInt(const char*& text, int& out);

// Reads up to count numbers ("%lf" each, white space between them) from text into out,
// as a chain of "%lf" conversions does: stops at the first text that is no number and
// leaves the remaining elements of out as they were. Returns the count read.
int scanDoubles(const char* text, double* out, int count);

// Stops the run as requireNumbers does; the text naming the values is only formatted
// when one of them is no usable number.
void requireNumbersf(const double* values, int count, const char* fileName, const char* whatFmt, ...)
    __attribute__((format(printf, 4, 5)));

// Removes trailing white space in place.
void rtrim(char* text);
void rtrim(std::string& text);

// Copies src into dst (capacity cap, terminator included). Returns false, and copies
// nothing, when src does not fit.
bool copyText(char* dst, std::size_t cap, const char* src);

// Copies src into dst as copyText does; when it does not fit, stops the run with the
// printf-formatted message instead.
void copyOrStop(char* dst, std::size_t cap, const char* src, const char* fmt, ...)
    __attribute__((format(printf, 4, 5)));

// The lines LineReader returns from a file that holds text, taken one by one as views into
// the text: white space at the start of the text and after every line end is passed over
// (so no line is empty) and a "\r" before the line end is dropped.
class TextLines {
public:
    explicit TextLines(std::string_view text) : text_(text) { skipSpace(); }

    // The next line; false when none is left.
    bool next(std::string_view& line);
    // True once the last line has been taken.
    bool atEnd() const { return at_ == text_.size(); }
    // Where the reader stands: the first character of the next line (as a file read line
    // by line stands there).
    std::size_t position() const { return at_; }

private:
    void skipSpace();

    std::string_view text_;
    std::size_t at_ = 0;
};

// Text of some megabytes (a whole input file), held in large pages.
using LargeText = std::basic_string<char, std::char_traits<char>, LargePageAllocator<char>>;

// The rest of a file, from where it stands to its end, in one piece.
LargeText readRest(FILE* file);

// The whole of a file as text; stops the run naming the file when it cannot be read.
std::string readTextFile(const std::string& path);

// Every line of text, as TextLines takes them.
std::vector<std::string_view> splitLines(std::string_view text);

// Reads a text file line by line the way every reader of the program does ("%[^\n]\n"):
// a line is everything up to the newline (a trailing carriage return is dropped), and
// the white space behind it - blank lines and the leading blanks of the next line - is
// swallowed. Lines are held in std::string, so no line can overflow a buffer; readers
// that have a line capacity check it themselves. The file stands right behind the
// white space after each line returned, so a reader may read on from the file itself.
class LineReader {
public:
    explicit LineReader(FILE* file) : file_(file) {}

    // Reads the next line. Returns false when nothing is left.
    bool next(std::string& line);

    // Reads the next line that does not begin with "!" (comment lines are skipped;
    // when only comment lines are left, the last of them is returned, as the readers'
    // "read while the line begins with ! and more lines follow" loop does).
    bool nextContent(std::string& line);

    // True once a read has met the end of the file (also when it returned a line).
    bool atEnd() const { return atEnd_; }

    // Starts again from the beginning of the file.
    void rewind();

    // Number of lines returned so far.
    long lineNumber() const { return lineNo_; }

private:
    struct FreeBuffer {
        void operator()(char* p) const { std::free(p); }
    };

    FILE* file_;
    // getline's buffer, kept from line to line
    std::unique_ptr<char, FreeBuffer> buffer_;
    std::size_t capacity_ = 0;
    bool atEnd_ = false;
    bool started_ = false;
    long lineNo_ = 0;
};
