// The one way a run ends early: a stage that cannot go on throws a Failure, and main
// writes its message, the error banner (when due) and the closing banner, and returns
// its exit code.
#pragma once

#include <cstdarg>
#include <string>

// The end of a run that cannot go on. Deliberately no std::exception: the readers turn
// exceptions of the CIF library into messages, and a Failure must pass through them.
class Failure {
public:
    // message: the text main writes to standard error (empty when the stage wrote its own).
    // The error banner names the stage running at the time of the failure.
    Failure(int code, bool banner, std::string message);

    int code() const { return code_; }
    bool banner() const { return banner_; }
    const std::string& message() const { return message_; }
    const std::string& stage() const { return stage_; }

private:
    int code_;
    bool banner_;
    std::string message_;
    std::string stage_;
};

// Writes the failure as main does: its message, then the error banner when it is due.
void reportFailure(const Failure& failure);

// The error banner, naming the failing stage.
void errorBanner(const char* stage);

// The closing banner of every run.
void closingBanner();

// Stops the run with the error banner and the given code (the stage wrote its message).
[[noreturn]] void stopWithError(int code = 1);

// Stops the run with the given code without the error banner.
[[noreturn]] void stopWithoutBanner(int code);

// Stops the run with code 1 and the error banner; the message is the formatted text and a
// line end.
[[noreturn]] void fatal(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Stops the run with code 1 and the error banner; the message is the formatted text
// followed by the system error of errno after a blank, as "can't open xd.mas : No such
// file or directory".
[[noreturn]] void stopWithSystemError(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// stopWithSystemError for a file that cannot be opened: "can't open " and the formatted
// name (with what the message puts around it), then the system error.
[[noreturn]] void cannotOpen(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// The same text as a warning on standard error; the run goes on.
void warnCannotOpen(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Writes the system error of errno to standard error after the prefix and ": " (the prefix
// and ": " are left out when the prefix is empty), and a line end.
void reportSystemError(const char* prefix);

// The text reportSystemError writes, for a failure message.
std::string systemErrorText(const char* prefix);

// Names the allocation that follows for the message of a run that runs out of memory:
// main catches the exhaustion and writes the text of the innermost note, followed by the
// system error ("knopf: Cannot allocate memory"). The note ends with its scope, unless the
// scope is left by the exhaustion itself.
class MemoryNote {
public:
    explicit MemoryNote(const char* text);
    ~MemoryNote();
    MemoryNote(const MemoryNote&) = delete;
    MemoryNote& operator=(const MemoryNote&) = delete;

private:
    const char* previous_;
    int unwinding_;
};

// The failure of a run that ran out of memory: the innermost note, the system error,
// the error banner, code 1. Called where the exhaustion is caught, outside every note.
Failure outOfMemory();
