// The ordering of quandrel-name terms: the free helpers behind sortQuandrel (naming.h).
//
// A term is one neighbour descriptor with its element and, in the first shell, its
// bracket group: 1.5c[1.5c1h], 2o, #3c, 1cl. Terms are ordered by bond value (triple
// first; "#" counts as 1.5, "@" as 1.0), then, for the same element, by ring weight and
// by their second shell, and last by element, heavier first.
#pragma once

#include <string>

// The character sets that split a name into its terms.
extern const char* const NAME_LETTERS;      // every letter
extern const char* const DESCRIPTOR_START;  // first character of a bond descriptor
extern const char* const ELEMENT_END;       // lower-case letters without q, and "]"

// A string that sorts by the term ordering.
class MyString : public std::string {
public:
    MyString() = default;
    MyString(const MyString& other) = default;
    MyString(const std::string& text) : std::string(text) {}
    MyString(const char* text) : std::string(text) {}
    MyString& operator=(const MyString& other) = default;
    ~MyString() = default;
};

// Whether term a comes before term b.
bool operator<(MyString const& a, MyString const& b);

// Sorts the terms of a bracket group's content (the text between "[" and "]") in place.
void stringel(std::string& group);

// Atomic number (element index + 1) of the element symbol that begins the text (its
// first letter taken in upper case); -1 when no element symbol matches.
int atomicNumberOfTerm(std::string text);

// Decimal digit sum: 34 gives 7.
int quersumme(int value);

// Splits off a charge suffix ("+1.0", "-0.5", "+", "-") that stands behind the terms of a
// name; returns it (empty when there is none) and leaves the name without it.
std::string splitChargeSuffix(std::string& name);

// The canonical form of a whole name: bracket groups first, then the first-shell terms
// behind the head; a charge suffix is kept at the end.
std::string canonicalName(const std::string& name);
