// Why a neighbourhood outgrows what the program handles: the likely cause and what to do,
// for the messages that stop the run.
#pragma once

#include <string>

#include "perception.h"

// Stops the run because the quandrel name of atom atomIndex would be longer than NAME_CAP - 1
// characters. The message's first line is "The quandrel name of atom <label> would be longer
// than 279 characters:", the name follows on the next, then the likely cause: two atoms of its
// bonded neighbourhood far closer than atoms can be (alternative sites of a disorder without
// groups; the closest such pair and its distance are named), else a framework or ionic solid
// whose bonded neighbourhood never closes; and what to do about it.
[[noreturn]] void stopForTooLongName(const PerceptionRun& run, int atomIndex, const std::string& name);

// Stops the run because site atomIndex, whose node is full, is bonded to one more site
// (neighbour). The message names the closest two of its neighbours and their distance, and
// the likely cause: alternative sites of a disorder without groups when they are that close,
// else an ionic or framework solid; and what to do about it.
[[noreturn]] void stopForTooManyNeighbours(const PerceptionRun& run, int atomIndex, int neighbour);
