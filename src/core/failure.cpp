#include "failure.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>

#include "stage.h"
#include "text.h"

namespace {

const char* memoryNote = nullptr;

}  // namespace

Failure::Failure(int code, bool banner, std::string message)
    : code_(code), banner_(banner), message_(std::move(message)), stage_(currentStage()) {}

void errorBanner(const char* stage) {
    fprintf(stderr, "\n");
    fprintf(stderr, " ");
    for (int i = 0; i < 84; ++i) fputc('_', stderr);
    fprintf(stderr, "\n");
    // reference output: "Programm"; the stage name is padded to 25 columns
    fprintf(stderr, "|The Programm ends with an Error Code! Error was in function %-25s|\n", stage);
    fprintf(stderr, "|");
    for (int i = 0; i < 85; ++i) fputc('_', stderr);
    fprintf(stderr, "|\n");
}

void closingBanner() {
    fprintf(stderr, "\n\n");
    fprintf(stderr,
            "QuandrelTool - transfer of aspherical-atom multipole parameters; check every "
            "transferred value before you refine.\n");
    fprintf(stderr, "\n\n");
}

void reportFailure(const Failure& failure) {
    fwrite(failure.message().data(), 1, failure.message().size(), stderr);
    if (failure.banner()) errorBanner(failure.stage().c_str());
}

void stopWithError(int code) { throw Failure(code, true, std::string()); }

void stopWithoutBanner(int code) { throw Failure(code, false, std::string()); }

void fatal(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string message = vformat(fmt, args);
    va_end(args);
    throw Failure(1, true, message + "\n");
}

void stopWithSystemError(const char* fmt, ...) {
    const std::string system = systemErrorText(" ");
    va_list args;
    va_start(args, fmt);
    std::string message = vformat(fmt, args);
    va_end(args);
    throw Failure(1, true, message + system);
}

void cannotOpen(const char* fmt, ...) {
    const std::string system = systemErrorText(" ");
    va_list args;
    va_start(args, fmt);
    std::string name = vformat(fmt, args);
    va_end(args);
    throw Failure(1, true, "can't open " + name + system);
}

void warnCannotOpen(const char* fmt, ...) {
    const int error = errno;
    va_list args;
    va_start(args, fmt);
    std::string name = vformat(fmt, args);
    va_end(args);
    fprintf(stderr, "can't open %s", name.c_str());
    errno = error;
    reportSystemError(" ");
}

void reportSystemError(const char* prefix) { perror(prefix); }

std::string systemErrorText(const char* prefix) {
    std::string text;
    if (prefix != nullptr && prefix[0] != '\0') text = std::string(prefix) + ": ";
    return text + std::strerror(errno) + "\n";
}

MemoryNote::MemoryNote(const char* text) : previous_(memoryNote), unwinding_(std::uncaught_exceptions()) {
    memoryNote = text;
}

MemoryNote::~MemoryNote() {
    if (std::uncaught_exceptions() == unwinding_) memoryNote = previous_;
}

Failure outOfMemory() {
    errno = ENOMEM;
    const char* note = memoryNote != nullptr ? memoryNote : "Memory problem";
    memoryNote = nullptr;  // the notes the exhaustion left behind have ended
    return Failure(1, true, systemErrorText(note));
}
