// Line access shared by the XD readers. Comment lines ("!") are skipped wherever a line
// is read; a file that ends before an expected line stops the run with a message naming
// the file and the missing line; a line that is taken apart with a scan format must fit
// the readers' line buffer (LINE_CAP - 1 characters), and every word stored into a fixed
// field must fit that field.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

#include "../core/text.h"

class XdLines {
public:
    XdLines(FILE* file, const char* fileName) : reader_(file), fileName_(fileName) {}

    // Next line that is not a comment; false when none is left.
    bool next(std::string& line);

    // Next line that is not a comment, to be taken apart with a scan format. Stops the
    // run with "<file> ends before <what>" when the file has no such line, and with
    // "<file>: a line is longer than 127 characters (...) at <what>" when it does not fit
    // the buffer.
    const char* record(const char* whatFmt, ...) __attribute__((format(printf, 2, 3)));

    // Next line that is not a comment, whose content is not used; stops the run with
    // "<file> ends before <what>" when the file has no such line.
    void skip(const char* whatFmt, ...) __attribute__((format(printf, 2, 3)));

    // Stops the run when a line read by next() does not fit the line buffer.
    void checkLength(const std::string& line, const char* what) const;

    const char* fileName() const { return fileName_; }

private:
    LineReader reader_;
    std::string line_;
    const char* fileName_;
};

// An open input file that is closed however the reader is left.
using InputFile = FileHandle;
inline InputFile openInput(const char* name) { return openFile(name, "rt"); }

// Copies a word that a scan format read into a fixed field of capacity cap (terminator
// included); stops the run with a message naming the file and the field when it does
// not fit.
void storeWord(char* dst, std::size_t cap, const char* word, const char* fileName, const char* field);
