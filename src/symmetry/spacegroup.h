// The symmetry operators of a crystal: parsed from operator texts ("-X,1/2+Y,1/2-Z",
// "x+0.5, -y, z") and expanded from the generators a master file lists (LATT and SYMM
// cards) to the full list the lattice implies.
#pragma once

#include <string>
#include <vector>

#include "../core/structure.h"

// Parses one operator text. Terms may stand in any order, upper or lower case, with or
// without blanks; translations may be fractions or decimals of a twelfth or an eighth
// ("0.5", "0.25", "0.33333"). Returns false with a reason in why when the text is no
// operator (including a rotation part that is not a proper or improper rotation).
bool parseOperator(const std::string& text, SymOp& op, std::string& why);

// The operator text of a symmetry line: the line without the blanks and tabs before it and
// the white space behind it. Returns false with the reason in why when it is no operator.
bool operatorOfLine(const std::string& line, std::string& text, std::string& why);

// The full operator list: the identity first, then every listed operator, the inverses
// through the origin of all of them for a centric lattice, each combined with the
// centring translations of the lattice letter; duplicates (translations compared modulo
// whole cells) appear once. A symmetry that is not known gives the identity alone. A text
// that does not parse stops the run, naming the card and the source.
std::vector<SymOp> expandSymmetry(const CrystalSymmetry& symmetry, const char* source);
// The same without stopping: an empty list, and in problem what expandSymmetry would say
// after the source, when the cards give no list.
std::vector<SymOp> expandedOperators(const CrystalSymmetry& symmetry, std::string& problem);
// The full operator list of a structure: the one it holds (readStructure expands the cards
// once, after reading), or, for a structure built in memory or whose cards give no list,
// expandSymmetry's.
std::vector<SymOp> symmetryOperators(const CrystalSymmetry& symmetry, const char* source);

// Reads the two letters of a LATT card ("LATT   C P"): false when the card is no LATT
// card of a known centring and lattice letter.
bool parseLattCard(const std::string& line, CrystalSymmetry& symmetry);

// Takes a master-file line that is a LATT or SYMM card into symmetry and returns true;
// returns false for any other line. A LATT card without a known centring and lattice
// letter, or a SYMM card that holds no operator, stops the run quoting the line.
bool takeSymmetryCard(const std::string& line, CrystalSymmetry& symmetry, const char* source);
