// A run as the main program starts it: the report files opened, the settings file read into
// the options, the structure read.
#pragma once

#include <memory>

#include "../core/options.h"
#include "../driver/Quandrel.h"

std::unique_ptr<Quandrel> openRun(const Options& options = Options());
