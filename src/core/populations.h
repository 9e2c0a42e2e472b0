// The multipole populations of an atom as the parameter files and the database hold them:
// Pv, P00, then the 3 dipole, 5 quadrupole, 7 octupole and 9 hexadecapole populations,
// written ten to a row (10, 10 and 6 for all 26).
#pragma once

#include <cstdio>
#include <string>

#include "text.h"

constexpr int N_POPULATIONS = 26;
constexpr int POPULATIONS_PER_ROW = 10;

// Appends p[0..count) in rows of ten: each value in the printf format field, between the
// values of a row the text between, a line end behind each row.
void appendPopulationRows(std::string& text, const double* p, int count, const char* field,
                          const char* between = "");

// Appends p[0..count) in rows of ten as appendPopulationRows does with the field
// "%<width>.<precision>f" and nothing between the values (formatted by appendFixed).
void appendFixedPopulationRows(std::string& text, const double* p, int count, int width, int precision);

// Reads count populations in rows of ten, one line a row: nextRow() hands the text of the
// next row, of which as many numbers as the row holds are read. A row with fewer numbers
// leaves the rest of its values as they were.
template <class NextRow>
void readPopulationRows(NextRow nextRow, double* p, int count) {
    for (int first = 0; first < count; first += POPULATIONS_PER_ROW) {
        const int n = count - first < POPULATIONS_PER_ROW ? count - first : POPULATIONS_PER_ROW;
        scanDoubles(nextRow(), p + first, n);
    }
}

// Reads up to 26 populations as numbers with white space between them, line ends anywhere
// (as a database entry may break its rows); returns how many were read.
int readPopulations(FILE* file, double* p);
