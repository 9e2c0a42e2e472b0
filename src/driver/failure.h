// Exit paths shared by every stage: the banners and the error exit.
#pragma once

#include <cstdarg>

// At-exit action of every error exit: names the stage held in funkNam.
void errorBanner();

// At-exit action registered by main: the closing banner.
void closingBanner();

// Registers the error banner and ends the process with the given code.
[[noreturn]] void stopWithError(int code = 1);

// Ends the process with the given code without the error banner.
[[noreturn]] void stopWithoutBanner(int code);

// The fuzz harnesses take the exit over: when set, every stop calls it (with the exit code)
// instead of ending the process; it must not return.
using StopHook = void (*)(int code);
extern StopHook stopHook;

// Writes the formatted message and a line end to standard error, then stops with code 1.
[[noreturn]] void fatal(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
