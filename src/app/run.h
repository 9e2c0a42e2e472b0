// A run as the main program starts it: the report files opened, the settings file read into
// the options, the structure read.
#pragma once

#include <memory>

#include "../core/options.h"
#include "../core/warnings.h"
#include "Quandrel.h"

// The run's warning log starts with `earlier` (the command line's), then those of the
// settings file and the readers, each written to standard error where it arose.
std::unique_ptr<Quandrel> openRun(const Options& options = Options(), const WarningLog& earlier = WarningLog());
