#include "failure.h"

#include <cstdio>
#include <cstdlib>

#include "Quandrel.h"

void errorBanner() {
    fprintf(stderr, "\n");
    fprintf(stderr, " ");
    for (int i = 0; i < 84; ++i) fputc('_', stderr);
    fprintf(stderr, "\n");
    fprintf(stderr, "|The Programm ends with an Error Code! Error was in function %-25s|\n", funkNam);
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

StopHook stopHook = nullptr;

void stopWithError(int code) {
    if (stopHook != nullptr) stopHook(code);
    atexit(errorBanner);
    exit(code);
}

void stopWithoutBanner(int code) {
    if (stopHook != nullptr) stopHook(code);
    exit(code);
}

void fatal(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    vfprintf(stderr, fmt, args);
    va_end(args);
    fputc('\n', stderr);
    stopWithError(1);
}
