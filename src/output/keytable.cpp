// Site-symmetry key table.
#include "keytable.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

struct KeyRow {
    const char* name;
    const char* flags;  //  M  D   Q     O       H
};

// clang-format off
constexpr KeyRow KEY_TABLE[] = {
    {"1",                        "10 111 11111 1111111 111111111"},
    {"-1",                       "10 000 11111 0000000 111111111"},
    {"2",                        "10 001 10011 1001100 100110011"},
    {"2x",                       "10 100 10110 1100110 101100110"},
    {"2y",                       "10 010 11010 1010101 110101010"},
    {"2z",                       "10 001 10011 1001100 100110011"},  // as "2"
    {"m",                        "10 110 10011 0110011 100110011"},
    {"mz",                       "10 110 10011 0110011 100110011"},  // as "m"
    {"mx",                       "10 011 10110 1011001 101100110"},
    {"my",                       "10 101 11010 1101010 110101010"},
    {"2/m",                      "10 000 10011 0000000 100110011"},
    {"222",                      "10 001 10010 0000100 100100010"},
    {"mm2",                      "10 001 10010 1001000 100100010"},
    {"mmm",                      "10 000 10010 0000000 100100010"},
    {"4",                        "10 001 10000 1000000 100000011"},
    {"-4",                       "10 000 10000 1001100 100000011"},
    {"4/m",                      "10 000 10000 0000000 100000011"},
    {"422 oder 4mm",             "10 001 10000 1000000 100000010"},
    {"-42m",                     "10 001 10000 0001000 100000010"},
    {"4/mmm",                    "10 000 10000 0000000 100000010"},
    {"3",                        "10 001 10000 1000011 100001100"},
    {"-3",                       "10 000 10000 0000000 100001100"},
    {"32",                       "10 001 10000 1000001 100001000"},
    {"3m",                       "10 001 10000 1000010 100001000"},
    {"3mx",                      "10 001 10000 1000001 100000100"},
    {"3my",                      "10 001 10000 1000010 100001000"},  // as "3m"
    {"-3m",                      "10 000 10000 0000000 100001000"},
    {"6",                        "10 001 10000 1000000 100000000"},
    {"-6",                       "10 000 10000 0001100 100000000"},
    {"6/m  oder 6mm oder 6/mmm", "10 000 10000 0000000 100000000"},
    {"622",                      "10 100 10000 1000000 100000000"},
    {"-6m2",                     "10 001 10000 1000010 100000000"},
    {"C_inv_H",                  "10 001"},                          // only the first two groups
    {"chemcon??",                ""},
};
// clang-format on
static_assert(sizeof KEY_TABLE / sizeof KEY_TABLE[0] == 34, "one row per site-symmetry name");

const KeyRow* findRow(const char* name) {
    for (const KeyRow& row : KEY_TABLE)
        if (std::strcmp(row.name, name) == 0) return &row;
    return nullptr;
}

// "unknown" followed by a blank and a whole number: true with the number.
bool numericForm(const char* name, unsigned long& number) {
    if (std::strncmp(name, "unknown ", 8) != 0) return false;
    const char* digits = name + 8;
    if (*digits == '\0') return false;
    unsigned long n = 0;
    for (const char* p = digits; *p != '\0'; ++p) {
        if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
        n = n * 10 + static_cast<unsigned long>(*p - '0');
        n &= 0x3FFFFFFUL;  // only bits 25..0 are shown
    }
    number = n;
    return true;
}

}  // namespace

std::string symmName2DualString(const char* name, const std::string& previous) {
    if (const KeyRow* row = findRow(name)) return row->flags;
    unsigned long n = 0;
    if (numericForm(name, n)) {
        char flags[48];
        char bit[26];
        for (int b = 25; b >= 0; --b) bit[25 - b] = ((n >> b) & 1UL) ? '1' : '0';
        std::snprintf(flags, sizeof flags,
                      "%c%c %c%c%c %c%c%c%c%c %c%c%c%c%c%c%c %c%c%c%c%c%c%c%c%c",
                      bit[0], bit[1], bit[2], bit[3], bit[4], bit[5], bit[6], bit[7], bit[8], bit[9],
                      bit[10], bit[11], bit[12], bit[13], bit[14], bit[15], bit[16], bit[17], bit[18],
                      bit[19], bit[20], bit[21], bit[22], bit[23], bit[24], bit[25]);
        return flags;
    }
    return previous;
}

bool isKeyTableName(const char* name) {
    unsigned long n = 0;
    return findRow(name) != nullptr || numericForm(name, n);
}
