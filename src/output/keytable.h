// Site-symmetry key table: the multipole refinement flags of a KEY line.
#pragma once

// Flag text of the site-symmetry name: five groups of 2, 3, 5, 7 and 9 "0"/"1" flags
// (monopole to hexadecapole level) separated by single blanks. "unknown N" gives N as
// 26 binary digits in the same grouping. The text lives in one static buffer that each
// call overwrites; a name that is not known returns the buffer unchanged, so it still
// holds the previous result.
const char* symmName2DualString(const char* name);

// True when symmName2DualString knows the name (a table row or "unknown N").
bool isKeyTableName(const char* name);
