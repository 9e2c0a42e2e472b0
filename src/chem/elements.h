// Element tables, indexed by element index (atomic number - 1).
#pragma once

#include <cstdint>
#include <string>

constexpr int N_SYMBOLS = 109;   // hydrogen .. meitnerium
constexpr int N_RADII = 109;
constexpr int N_ELNEG = 96;      // hydrogen .. curium
constexpr int N_VALENCES = 88;   // hydrogen .. radium

extern const char PSE_Symbol[N_SYMBOLS][3];
extern const std::uint16_t Kovalenz_Radien[N_RADII];   // covalent radius, pm
extern const std::uint16_t ElNeg[N_ELNEG];             // electronegativity x 100
extern const std::int32_t wertigkeiten[N_VALENCES];    // standard valence

// Table look-ups that treat an index outside a table as 0, like the zeros that end it.
int radiusOf(int element);
int elNegOf(int element);
int valenceOf(int element);

// Element index of a symbol written exactly as the table writes it ("Cl", iodine "J"):
// case-sensitive, no deuterium; -1 when no element has that symbol.
int elementIndex(const std::string& symbol);

// Element index of the symbol of a scattering-table entry, written exactly as the table
// writes it; an unknown symbol counts as helium (1): an entry always names some element.
int scatteringElementIndex(const char* symbol);

// Symbol of an element index; unknown for an index outside the table.
const char* elementSymbol(int element, const char* unknown = "");

// Element part of a scattering word: the word up to its first digit or charge sign,
// first letter upper case, the others lower case ("CL1-" gives "Cl").
std::string elementPartOf(const char* word);

// Appends the lower-case form of word to text.
void appendLowerCase(std::string& text, const char* word);
