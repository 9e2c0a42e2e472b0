// XD's ATOM table (the local frames of the master file): the fields of a line and the
// column layout the program writes. XD reads the table by fields, and users edit it with any
// spacing; the program reads it the same way and always writes its own column layout.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The columns ATOM .. TBL of a line, in this order.
constexpr std::size_t ATOM_COLUMNS_TO_TBL = 9;

// The fields of an ATOM table line, separated by white space (a NUL byte ends the line).
std::vector<std::string_view> atomTableFields(std::string_view line);

// Appends the fields ATOM .. TBL (the first nine of fields; fewer when there are fewer) in
// the column layout of the table:
//   ATOM   left-justified from col 1      ATOM2  left-justified from col 32
//   ATOM0  left-justified from col 10     AX2    right-justified to col 41
//   AX1    right-justified to col 20      R/L    at col 45
//   ATOM1  left-justified from col 23     TP     right-justified to col 49
//                                         TBL    right-justified to col 52
// (columns counted from where text stands when called). A field that would reach the one
// before it (a label longer than its columns) stands one blank behind it instead, and the
// fields after it move right as far. The text is filled with blanks to col 52 when shorter.
void appendAtomColumnsToTbl(std::string& text, const std::vector<std::string_view>& fields);
