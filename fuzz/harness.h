// Shared part of the fuzz targets. Every reader takes its input from a file with a fixed
// name in the working directory, so a target writes the fuzzed bytes to that file in a
// scratch directory and runs the reader on a fresh object. A reader that cannot go on
// throws a Failure, which the target catches around the reader, so one input that ends
// the run with a message is a normal outcome and the next input follows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "../tests/openfiles.h"
#include "app/Quandrel.h"
#include "core/failure.h"

namespace fuzz {

// Makes a scratch directory the working directory (once).
void setUp();

// Writes a file of the scratch directory.
void writeFile(const char* name, const std::uint8_t* data, std::size_t size);
void writeFile(const char* name, const std::string& text);

// Copies a file of the source tree (path relative to it) into the scratch directory.
void copySource(const char* relativePath, const char* name);

// Removes a file of the scratch directory (no error when it does not exist).
void removeFile(const char* name);

// Destroys the object of one input; its storage is kept for the next one (a new mapping
// of the large object for every input would cost more than the reader itself).
struct Destroy {
    void operator()(Quandrel* q) const { q->~Quandrel(); }
};
using Object = std::unique_ptr<Quandrel, Destroy>;

// A fresh object for one input, the stage names set back to main alone.
Object freshObject();

// Stops the fuzzer (a fault) when a step left files open: the readers close every file
// they open, also when they end the run with an error.
void checkNoFileLeft(int before);

// Stops the fuzzer (a fault) when a number of the structure that the new parameter file
// takes is NaN or infinite: the readers let no such number in, and the stages make none.
void requireFinite(const Quandrel& q);

// Runs one step; an error exit of the program ends the step and is not a fault, but a
// file the step leaves open is.
template <typename Step>
void guarded(Step step) {
    const int before = openFiles();
    try {
        step();
    } catch (const Failure&) {
    }
    checkNoFileLeft(before);
}

}  // namespace fuzz
