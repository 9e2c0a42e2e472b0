// Exit paths shared by every stage: the banners and the error exit.
#pragma once

#include <cstdarg>

// At-exit action of every error exit: names the stage held in funkNam.
void errorBanner();

// At-exit action registered by main: the closing banner.
void closingBanner();

// Registers the error banner and ends the process with the given code.
[[noreturn]] void stopWithError(int code = 1);

// Writes the formatted message and a line end to standard error, then stops with code 1.
[[noreturn]] void fatal(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
