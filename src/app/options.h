// The run's options: the command line, then the settings file, parsed once into one value.
#pragma once

#include <string>
#include <vector>

#include "../atoms/atoms.h"
#include "../core/options.h"
#include "../core/warnings.h"

// What the command line asks for.
enum class Action { Run, Version, Help, Atom };

struct CommandLine {
    Options options;
    Action action = Action::Run;
    // The values of -findSymm and -planar as the run confirms them on standard output once
    // the structure is read, one line per switch in the order given.
    std::vector<std::string> echoes;
    // What the switches were warned about (on standard error already), for the report.
    WarningLog warnings;
};

// Reads the switches. Stops the run (exit 1) on a value that is missing where one is needed
// or too long for its use. A switch the program does not know, a stray argument and a
// -planar value that is no number are warned about on standard error; the run goes on.
CommandLine parseCommandLine(int argc, const char* const* argv);

// Reads the settings file (options.settingsPath, falling back on ./qdltool.ini) into
// options, chooses the kind of structure input, and writes "example4qdltool.ini". Without a
// settings file the example is written and the run stops. Its warnings go to standard error
// and, given a log, into it.
void readSettingsFile(Options& options, WarningLog* warnings = nullptr);

// Writes "example4qdltool.ini": every settings key with its value in options.
void writeExampleSettings(const Options& options);

// The spherical atoms the options ask for (functional, relativity, Slater tables).
atoms::AtomSettings atomSettings(const Options& options);
