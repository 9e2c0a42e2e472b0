// Site-symmetry key table: the multipole refinement flags of a KEY line.
#pragma once

#include <string>

// Flag text of the site-symmetry name: five groups of 2, 3, 5, 7 and 9 "0"/"1" flags
// (monopole to hexadecapole level) separated by single blanks. "unknown N" gives N as
// 26 binary digits in the same grouping. A name that is not known gives `previous`: the
// master-file writer passes the flags it looked up last, which such an atom repeats.
std::string symmName2DualString(const char* name, const std::string& previous);

// True when symmName2DualString knows the name (a table row or "unknown N").
bool isKeyTableName(const char* name);
